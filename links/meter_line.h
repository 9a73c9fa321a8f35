#pragma once
// Sets the serial driver up for a meter of the table: speed, data bits,
// parity, stop bits, the DTR and RTS lines and, for meters that speak only
// when asked, the poll command and its period. Line changes made while the
// port is open are applied at once; the poll command at the next Connect.

#include "links/serial_port_driver.h"
#include "protocol/meter_table.h"

// The driver's level for a table row's DTR or RTS.
TSerialPortDriver::TLineLevel lineLevel(meterlink::LineLevel level);
void applyMeterLine(TSerialPortDriver& driver, const meterlink::LineSettings& line);
