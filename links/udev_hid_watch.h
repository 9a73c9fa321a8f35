#pragma once
// Linux: hears of hidraw devices coming and going from the udev monitor, on
// the GUI thread through a socket notifier. The events arrive after udev has
// applied its rules, so a new device already has its access rights.

#include "links/hid_platform.h"

#include <functional>
#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

class UdevHidWatch : public HidChangeWatch {
public:
    // Null when the monitor cannot be set up (no netlink here, for one).
    static std::unique_ptr<UdevHidWatch> create(std::function<void()> onChange);
    ~UdevHidWatch() override;

private:
    UdevHidWatch(udev* context, udev_monitor* monitor, std::function<void()> onChange);
    void drain();

    udev* udev_;
    udev_monitor* monitor_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> onChange_;
};
