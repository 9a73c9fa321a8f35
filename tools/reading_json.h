#pragma once
// One logged row as the JSON object that is published: its time (ISO 8601,
// local time with milliseconds and offset), number, function, value in SI
// units (null for an overload), SI unit, the display as shown, range mode,
// verdict and overload.

#include "protocol/meter_reading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

// decimalSep: the separator ValueText was written with.
QByteArray readingJson(std::int32_t no, const QDateTime& when, const meterlink::MeterReading& reading,
                       const QString& decimalSep);
