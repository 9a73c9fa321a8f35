#pragma once
// What "find my meter" found on one port or USB cable, and how the command
// line shows it (a line of text, or a JSON object).

#include "protocol/meter_table.h"

#include <QJsonObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace meterlink {

struct FoundMeter {
    enum class Status {
        Found,     // a meter answered, or a meter cable is plugged in
        Silent,    // the port opened, but nothing it received was a meter's
        Failed,    // the port could not be tried: trouble says why
    };
    Status status = Status::Silent;
    QString port;                    // device path, tcp://HOST:PORT, or the HID device's path
    Cable cable = Cable::Serial;
    QString bridge;                  // a USB cable's chip; empty on a serial port
    QString usbId;                   // "10c4:ea80"; empty on a serial port
    std::optional<MeterProtocol> protocol;   // none: a cable recognised, no meter read through it
    QString line;                    // "2400 8N1" the meter answered at; empty when none
    std::vector<const MeterModel*> candidates;
    QString reading;                 // the live reading: "DC 1.234 V"; empty when none
    QString trouble;

    // The model when one row fits; else null.
    const MeterModel* model() const { return candidates.size() == 1 ? candidates.front() : nullptr; }
    bool usb() const { return !usbId.isEmpty(); }
};

// "MAKER MODEL, MAKER MODEL, ..."
QString candidateNames(const FoundMeter& found);
// One line: "/dev/ttyUSB0: FS9721 at 2400 8N1, reading DC 1.234 V, one of UNI-T UT60A, ...".
// maxNames: past that many candidates only their number and the first few are named.
QString foundMeterText(const FoundMeter& found, std::size_t maxNames = SIZE_MAX);
QJsonObject foundMeterJson(const FoundMeter& found);

}  // namespace meterlink
