#pragma once
// The one interface the HID devices and their controller stand on. Each
// system's HID services (hidapi, a simulated cable in this process or in
// another one) implement it; nothing above it knows which is in use.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Identifies one HID interface: DevicePath opens it, DevInst tells it apart
// from every other interface, and from the same one plugged in again.
struct THidPnPInfo {
    std::string DevicePath;
    std::string DevInst;
};

struct HidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

enum class HidAccess {
    ReadWrite,   // queries, feature reports
    QueryOnly,   // attributes and strings only
    Read,        // input reports, for the read thread
};

// A read: bytes > 0 is one input report, report ID first; 0 is a time-out;
// below 0 the read failed with error (a platform error code).
struct HidReadResult {
    int bytes = 0;
    std::uint32_t error = 0;
};

// One open interface. Calls on one handle come from one thread at a time.
class HidHandle {
public:
    virtual ~HidHandle() = default;

    virtual bool canWrite() const = 0;
    virtual bool getAttributes(HidAttributes& attributes) = 0;
    // Strings as the device reports them, cut to maxChars - 1 UTF-16 units.
    virtual bool getProductString(std::u16string& text, std::size_t maxChars) = 0;
    virtual bool getSerialNumberString(std::u16string& text, std::size_t maxChars) = 0;
    // String descriptor 0, the device's language list, into words as far as it
    // can; the words it does not reach keep their value.
    virtual bool getLanguageList(std::vector<std::uint16_t>& words) = 0;
    // Length of the longest input report, report ID byte included; 0 unknown.
    virtual std::size_t inputReportLength() = 0;
    // data[0] is the report ID (0 for a device without numbered reports).
    virtual bool sendFeatureReport(const std::uint8_t* data, std::size_t size) = 0;
    // One output report on the interrupt OUT pipe; data[0] is the report ID.
    // Bridges to a meter's UART carry the PC's bytes this way; the cables
    // that only take feature reports have none.
    virtual bool writeOutputReport(const std::uint8_t* data, std::size_t size) {
        (void)data;
        (void)size;
        return false;
    }
    // Waits up to timeoutMs for one input report; data[0] receives its report ID.
    virtual HidReadResult read(std::uint8_t* data, std::size_t size, int timeoutMs) = 0;
};

// Keeps a device-change notification alive; destroying it ends the notification.
class HidChangeWatch {
public:
    virtual ~HidChangeWatch() = default;
};

// Copies a device's language IDs into words as a system returns string
// descriptor 0: with a terminating zero, as far as words reaches.
void fillLanguageList(const std::vector<std::uint16_t>& languages, std::vector<std::uint16_t>& words);

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // A short name for diagnostics: "hidapi", "simulated", "sim:PATH".
    virtual QString name() const = 0;
    // The HID interfaces present now. Never throws; nothing present is an empty list.
    virtual std::vector<THidPnPInfo> listInterfaces() = 0;
    // Null when the interface cannot be opened that way; error then holds why.
    virtual std::unique_ptr<HidHandle> open(const THidPnPInfo& info, HidAccess access,
                                            std::uint32_t* error = nullptr) = 0;
    // Calls onChange on the GUI thread whenever HID interfaces may have come or gone.
    virtual std::unique_ptr<HidChangeWatch> watchChanges(std::function<void()> onChange) = 0;
    // The system's words for an error code from open or read.
    virtual QString errorText(std::uint32_t code) const;
    // Where a system may answer the serial-number query with the language list
    // when a device has no serial number, the device must check the answer
    // against that list. Systems that take the serial from the device's own
    // descriptor (Linux hidraw) have nothing to check and may be unable to read
    // the list at all.
    virtual bool serialMayBeLanguageList() const { return true; }
};
