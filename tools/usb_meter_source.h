#pragma once
// The meter on its USB cable, picked and opened as the window does: the HID
// device captioned exactly "USB to Serial" in the device list, its speed set
// with the feature report, its reports unwrapped into frames. A cable that
// goes away (or whose reading fails) is looked for again every 2 s and opened
// afresh once back; the link counts as back with its first report.

#include "meter_source.h"

#include "links/hid_platform.h"
#include "links/usb_report_unwrapper.h"

#include <QTimer>

#include <cstdint>
#include <memory>

class THidDevice;
class THidDeviceController;
class UsbDeviceList;

namespace meterlink {
class LogSession;
}

class UsbMeterSource : public MeterSource {
    Q_OBJECT
public:
    UsbMeterSource(meterlink::LogSession& session, std::shared_ptr<HidPlatform> platform,
                   std::uint32_t adapterBaud, QObject* parent = nullptr);
    ~UsbMeterSource() override;

    bool open(QString& error) override;
    QString name() const override { return QStringLiteral("USB cable"); }
    bool linked() const override { return cable_ && !lost_; }
    std::size_t framesRejected() const override { return unwrapper_.rejectedCount(); }
    // Hands the meter bytes of every report to the session as a stream,
    // instead of the frames the cable's idle reports cut: for every meter
    // but the shipped one, whose decoders find their frames themselves.
    void setStreamBytes(bool on) { streamBytes_ = on; }
    // The meter's line has seven data bits: the cable passes the parity bit
    // on as bit 7, which is cleared.
    void setSevenBitLine(bool on) { sevenBitLine_ = on; }

private:
    // The device list was built anew: the cable read before is gone from it.
    void deviceChanged();
    // Sets the selected cable's speed and reads it; false without a usable cable.
    bool openSelectedCable();
    void report(const std::uint8_t* data, std::uint16_t size);
    void frame(const meterlink::MeterFrame& frame);
    void readFailed(std::uint32_t error);
    void lose(const QString& reason);
    void retry();

    meterlink::LogSession& session_;
    std::shared_ptr<HidPlatform> platform_;
    std::uint32_t adapterBaud_;
    UsbReportUnwrapper unwrapper_;
    bool streamBytes_ = false;
    bool sevenBitLine_ = false;
    std::unique_ptr<THidDeviceController> controller_;
    std::unique_ptr<UsbDeviceList> devices_;
    THidDevice* cable_ = nullptr;   // the device being read, one of the list's
    unsigned openings_ = 0;         // how many times a cable was opened
    bool started_ = false;
    bool lost_ = false;
    bool silent_ = false;   // the watchdog's count was reached without a frame
    QTimer retry_;
};
