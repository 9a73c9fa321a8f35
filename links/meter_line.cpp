#include "links/meter_line.h"

#include <QByteArray>

#include <algorithm>

TSerialPortDriver::TLineLevel lineLevel(meterlink::LineLevel level) {
    switch (level) {
    case meterlink::LineLevel::Low: return TSerialPortDriver::llLow;
    case meterlink::LineLevel::High: return TSerialPortDriver::llHigh;
    case meterlink::LineLevel::AsIs: break;
    }
    return TSerialPortDriver::llAsIs;
}

void applyMeterLine(TSerialPortDriver& driver, const meterlink::LineSettings& line) {
    using D = TSerialPortDriver;
    D::TComPortBaudRate rate = D::br2400;
    // Every rate of the table is one the driver knows; an unknown one keeps 2400.
    D::baudRateOf(line.baud, rate);
    driver.setComPortSpeed(rate);
    driver.setComPortDataBits(static_cast<D::TComPortDataBits>(std::clamp(line.dataBits, 5, 8) - 5));
    switch (line.parity) {
    case meterlink::Parity::None: driver.setComPortParity(D::ptNONE); break;
    case meterlink::Parity::Even: driver.setComPortParity(D::ptEVEN); break;
    case meterlink::Parity::Odd: driver.setComPortParity(D::ptODD); break;
    }
    driver.setComPortStopBits(line.stopBits == 2 ? D::sb2BITS : D::sb1BITS);
    driver.setDtrOnOpen(lineLevel(line.dtr));
    driver.setRtsOnOpen(lineLevel(line.rts));
    driver.setPollCommand(QByteArray(line.pollCommand.data(), static_cast<qsizetype>(line.pollCommand.size())),
                          line.pollIntervalMs);
}
