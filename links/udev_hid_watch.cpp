#include "links/udev_hid_watch.h"

#include <QSocketNotifier>

#include <libudev.h>

std::unique_ptr<UdevHidWatch> UdevHidWatch::create(std::function<void()> onChange) {
    udev* context = udev_new();
    if (!context) return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevHidWatch>(new UdevHidWatch(context, monitor, std::move(onChange)));
}

UdevHidWatch::UdevHidWatch(udev* context, udev_monitor* monitor, std::function<void()> onChange)
    : udev_(context), monitor_(monitor), onChange_(std::move(onChange)) {
    notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { drain(); });
}

UdevHidWatch::~UdevHidWatch() {
    notifier_.reset();
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
}

void UdevHidWatch::drain() {
    // One reconciliation for however many events came together.
    bool any = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        udev_device_unref(device);
        any = true;
    }
    if (any) onChange_();
}
