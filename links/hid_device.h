#pragma once
// One HID interface of the system. It opens the interface only through its
// access gate (plugged in, and lent out or being offered by the controller),
// reads its identity, strings and report length, sends feature reports and,
// while a client holds it with a data handler bound, runs a read thread.

#include "links/hid_device_read_thread.h"
#include "links/hid_events.h"
#include "links/hid_platform.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class THidDeviceController;

class THidDevice {
public:
    static constexpr int kDefaultSleepSlice = 100;
    static constexpr int kMinSleepSlice = 10;
    static constexpr int kMaxSleepSlice = 10000;
    // The string buffers hold 254 UTF-16 units.
    static constexpr std::size_t kStringChars = 254;

    // Opens the interface once to identify it. Throws EControllerError
    // "device cannot be opened" or "device cannot be identified".
    THidDevice(THidPnPInfo info, THidDeviceController* controller, std::shared_ptr<HidPlatform> platform);
    // The check-in: stops reading, closes the handles and, while the device
    // is still plugged in, leaves a fresh device in its place in the
    // controller's list.
    ~THidDevice();
    THidDevice(const THidDevice&) = delete;
    THidDevice& operator=(const THidDevice&) = delete;

    const THidPnPInfo& PnPInfo() const { return pnp_; }
    const HidAttributes& Attributes() const { return attributes_; }
    bool PluggedIn() const { return pluggedIn_; }
    bool CheckedOut() const { return checkedOut_; }
    bool InEnumeration() const { return inEnumeration_; }
    bool ReadWriteAccess() const { return readWriteAccess_; }
    bool Reading() const { return readThread_ != nullptr; }

    QString ProductText();
    QString SerialText();
    // Report ID byte included; 0 when it could not be read.
    std::size_t InputReportByteLength();

    int SleepSlice() const { return sleepSlice_; }
    // Values outside 10..10000 ms are ignored.
    void SetSleepSlice(int ms);

    // Which of the device's reports say nothing new, for a device that reports
    // all the time. It is then read at a pace, and all but the quiet report
    // that ends a burst may reach the data handler a little later, a few at a
    // time (see THidDeviceReadThread).
    // Takes effect when reading starts.
    void SetQuietReports(THidDeviceReadThread::QuietReport quiet) { quietReports_ = quiet; }

    const THidDataEvent& DataHandler() const { return dataHandler_; }
    // Binding starts reading when the device may read; none stops it first.
    void SetDataHandler(THidDataEvent handler);
    const THidDataErrorEvent& DataErrorHandler() const { return dataErrorHandler_; }
    void SetDataErrorHandler(THidDataErrorEvent handler) { dataErrorHandler_ = std::move(handler); }
    const THidPlugEvent& UnplugHandler() const { return unplugHandler_; }
    void SetUnplugHandler(THidPlugEvent handler) { unplugHandler_ = std::move(handler); }

    // data[0] is the report ID. Keeps the query handle open afterwards.
    bool SendFeatureReport(const std::uint8_t* data, std::size_t size);

    // The device has gone: reading stops, the handles close, and the unplug
    // handler, if any, is called once.
    void Unplug();

    // True when a serial-number buffer differs from the language list in one
    // of the list's words; the list's length is found from its end, the words
    // it never reached holding 0xFFFF.
    static bool serialDiffersFromLanguageList(const std::u16string& serial, const std::vector<std::uint16_t>& words);

private:
    friend class THidDeviceController;

    bool gateOpen() const { return pluggedIn_ && (checkedOut_ || inEnumeration_); }
    // Opens the query handle as at creation, read-write, else query-only.
    bool openQueryHandle();
    void closeQueryHandle() { queryHandle_.reset(); }
    void startReading();
    void stopReading();

    std::shared_ptr<HidPlatform> platform_;
    THidDeviceController* controller_;
    THidPnPInfo pnp_;
    HidAttributes attributes_;
    bool pluggedIn_ = true;
    bool checkedOut_ = false;
    bool inEnumeration_ = false;
    bool readWriteAccess_ = false;
    std::unique_ptr<HidHandle> queryHandle_;
    QString productText_;
    QString serialText_;
    bool capsRead_ = false;
    std::size_t inputReportLength_ = 0;
    int sleepSlice_ = kDefaultSleepSlice;
    THidDeviceReadThread::QuietReport quietReports_ = nullptr;
    THidDataEvent dataHandler_;
    THidDataErrorEvent dataErrorHandler_;
    THidPlugEvent unplugHandler_;
    std::unique_ptr<THidDeviceReadThread> readThread_;
};
