#include "links/hidapi_platform.h"

#include "links/hid_report_descriptor.h"
#include "links/rescan_hid_watch.h"
#if defined(Q_OS_LINUX) && defined(METERLINK_HAVE_UDEV)
#include "links/udev_hid_watch.h"
#endif
#ifdef Q_OS_WIN
#include "links/windows_hid_watch.h"
#endif

#include <QFile>
#include <QFileInfo>

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr std::size_t kDefaultInputLength = 65;

std::uint32_t systemError() {
#ifdef Q_OS_WIN
    return static_cast<std::uint32_t>(GetLastError());
#else
    return static_cast<std::uint32_t>(errno != 0 ? errno : EIO);
#endif
}

void clearSystemError() {
#ifdef Q_OS_WIN
    SetLastError(0);
#else
    errno = 0;
#endif
}

std::u16string fromWide(const wchar_t* text, std::size_t maxChars = 254) {
    if (!text) return {};
    return QString::fromWCharArray(text).toStdU16String().substr(0, maxChars - 1);
}

#ifdef Q_OS_LINUX
// "/dev/hidrawN" -> the sysfs directory of the HID device behind it.
QString sysfsDevice(const std::string& path) {
    const QString node = QFileInfo(QString::fromStdString(path)).fileName();
    return QStringLiteral("/sys/class/hidraw/") + node + QStringLiteral("/device");
}
#endif

// The device's report layout; a default where the system does not tell.
HidInputReportLayout reportLayout(hid_device* device, const std::string& path) {
    QByteArray descriptor;
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
    unsigned char buffer[HID_API_MAX_REPORT_DESCRIPTOR_SIZE];
    const int n = device ? hid_get_report_descriptor(device, buffer, sizeof buffer) : -1;
    if (n > 0) descriptor = QByteArray(reinterpret_cast<const char*>(buffer), n);
#else
    (void)device;
#endif
#ifdef Q_OS_LINUX
    if (descriptor.isEmpty()) {
        QFile file(sysfsDevice(path) + QStringLiteral("/report_descriptor"));
        if (file.open(QIODevice::ReadOnly)) descriptor = file.read(4096);
    }
#else
    (void)path;
#endif
    HidInputReportLayout layout =
        parseInputReportLayout(reinterpret_cast<const std::uint8_t*>(descriptor.constData()),
                               static_cast<std::size_t>(descriptor.size()));
    if (layout.inputLength == 0) layout.inputLength = kDefaultInputLength;
    return layout;
}

// Tells one plugging of a device from the next: on Linux the sysfs path of
// the HID device, whose last part counts up at every plugging.
std::string identityOf(const hid_device_info& info) {
#ifdef Q_OS_LINUX
    const QString canonical = QFileInfo(sysfsDevice(info.path)).canonicalFilePath();
    if (!canonical.isEmpty()) return canonical.toStdString();
#endif
    return std::string(info.path) + "|" + std::to_string(info.vendor_id) + ":" + std::to_string(info.product_id) +
           "|" + QString::fromWCharArray(info.serial_number ? info.serial_number : L"").toStdString() + "|" +
           std::to_string(info.interface_number);
}

class HidapiHandle : public HidHandle {
public:
    HidapiHandle(std::shared_ptr<std::mutex> mutex, hid_device* device, HidAccess access,
                 HidapiPlatform::Listed listed, HidInputReportLayout layout)
        : mutex_(std::move(mutex)), device_(device), access_(access), listed_(std::move(listed)), layout_(layout) {}

    ~HidapiHandle() override {
        if (!device_) return;
        std::lock_guard<std::mutex> lock(*mutex_);
        hid_close(device_);
    }

    bool canWrite() const override { return device_ && access_ == HidAccess::ReadWrite; }

    bool getAttributes(HidAttributes& attributes) override {
        attributes = listed_.attributes;
        return true;
    }

    bool getProductString(std::u16string& text, std::size_t maxChars) override {
        return getString(hid_get_product_string, listed_.product, text, maxChars);
    }

    bool getSerialNumberString(std::u16string& text, std::size_t maxChars) override {
        return getString(hid_get_serial_number_string, listed_.serial, text, maxChars);
    }

    bool getLanguageList(std::vector<std::uint16_t>& words) override {
        if (!device_ || words.empty()) return false;
        // Prefilled with the caller's words, so the length can be found from the end.
        std::vector<wchar_t> buffer(words.size());
        std::copy(words.begin(), words.end(), buffer.begin());
        const bool ok = hid_get_indexed_string(device_, 0, buffer.data(), buffer.size()) == 0;
        for (std::size_t i = 0; i < words.size(); ++i) words[i] = static_cast<std::uint16_t>(buffer[i]);
        return ok;
    }

    std::size_t inputReportLength() override { return layout_.inputLength; }

    bool sendFeatureReport(const std::uint8_t* data, std::size_t size) override {
        return device_ && hid_send_feature_report(device_, data, size) >= 0;
    }

    bool writeOutputReport(const std::uint8_t* data, std::size_t size) override {
        return device_ && access_ == HidAccess::ReadWrite && hid_write(device_, data, size) >= 0;
    }

    HidReadResult read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        if (!device_ || size < 2) return {-1, static_cast<std::uint32_t>(EINVAL)};
        clearSystemError();
        int n = 0;
        if (layout_.numbered) {
            n = hid_read_timeout(device_, data, size, timeoutMs);
        } else {
            data[0] = 0;
            n = hid_read_timeout(device_, data + 1, size - 1, timeoutMs);
            if (n > 0) ++n;
        }
        if (n < 0) return {-1, systemError()};
        return {n, 0};
    }

private:
    bool getString(int (*query)(hid_device*, wchar_t*, size_t), const std::u16string& listed, std::u16string& text,
                   std::size_t maxChars) {
        if (!device_) {
            text = listed.substr(0, maxChars - 1);
            return true;
        }
        std::vector<wchar_t> buffer(maxChars, L'\0');
        if (query(device_, buffer.data(), buffer.size()) != 0) return false;
        text = fromWide(buffer.data(), maxChars);
        return true;
    }

    std::shared_ptr<std::mutex> mutex_;
    hid_device* device_;
    HidAccess access_;
    HidapiPlatform::Listed listed_;
    HidInputReportLayout layout_;
};

}  // namespace

HidapiPlatform::HidapiPlatform() : mutex_(std::make_shared<std::mutex>()) {
    // Before any thread opens a handle.
    started_ = hid_init() == 0;
}

HidapiPlatform::~HidapiPlatform() {
    if (started_) hid_exit();
}

QString HidapiPlatform::name() const { return QStringLiteral("hidapi"); }

std::vector<THidPnPInfo> HidapiPlatform::listInterfaces() {
    std::vector<THidPnPInfo> list;
    if (!started_) return list;
    std::lock_guard<std::mutex> lock(*mutex_);
    hid_device_info* all = hid_enumerate(0, 0);
    listed_.clear();
    for (const hid_device_info* info = all; info; info = info->next) {
        if (!info->path) continue;
        list.push_back({info->path, identityOf(*info)});
        listed_[info->path] = {{info->vendor_id, info->product_id, info->release_number},
                               fromWide(info->product_string),
                               fromWide(info->serial_number)};
    }
    hid_free_enumeration(all);
    return list;
}

std::unique_ptr<HidHandle> HidapiPlatform::open(const THidPnPInfo& info, HidAccess access, std::uint32_t* error) {
    if (!started_) {
        if (error) *error = static_cast<std::uint32_t>(ENODEV);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(*mutex_);
    const auto it = listed_.find(info.DevicePath);
    if (it == listed_.end()) {
        if (error) *error = static_cast<std::uint32_t>(ENOENT);
        return nullptr;
    }
    hid_device* device = nullptr;
    if (access != HidAccess::QueryOnly) {
        clearSystemError();
        device = hid_open_path(info.DevicePath.c_str());
        if (!device) {
            if (error) *error = systemError();
            return nullptr;
        }
    }
    const HidInputReportLayout layout = reportLayout(device, info.DevicePath);
    return std::make_unique<HidapiHandle>(mutex_, device, access, it->second, layout);
}

std::unique_ptr<HidChangeWatch> HidapiPlatform::watchChanges(std::function<void()> onChange) {
#if defined(Q_OS_LINUX) && defined(METERLINK_HAVE_UDEV)
    if (auto udev = UdevHidWatch::create(onChange)) return udev;
#elif defined(Q_OS_WIN)
    return std::make_unique<WindowsHidWatch>(std::move(onChange));
#endif
    return std::make_unique<RescanHidWatch>(std::move(onChange));
}

bool HidapiPlatform::serialMayBeLanguageList() const {
#ifdef Q_OS_LINUX
    // hidraw takes the serial from the device's serial-number descriptor and
    // cannot read descriptor 0 at all.
    return false;
#else
    return true;
#endif
}
