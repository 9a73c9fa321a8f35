#pragma once
// Readings for the benchmarks that need a log already full of rows: they
// drift as a real reading does, the value moving every time, the range and
// the verdict now and then.

#include "protocol/meter_reading.h"
#include "recording/record_logger.h"
#include "recording/record_table.h"

#include <string>

namespace meterlink::bench {

inline MeterReading readingFor(long i) {
    static const char* const kUnits[] = {"V", "mV", "k*", "A"};
    MeterReading r;
    const long count = 1000 + (i * 7919) % 5000;
    r.ValueText = std::to_string(count / 1000) + "." + std::to_string(1000 + count % 1000).substr(1);
    r.FunctionText = (i / 5000) % 3 == 0 ? "AC" : "DC";
    r.UnitText = kUnits[(i / 20000) % 4];
    r.AutoText = "AUTO";
    r.JudgeText = count > 5900 ? "Fail" : "pass";
    r.ChartValue = static_cast<double>(count) / 1000.0;
    r.NewReadingFlag = true;
    return r;
}

// Logs n readings, from reading number from on, as frames would.
inline void logReadings(RecordLogger& logger, RecordTable& table, long from, long n) {
    const RecordTable::Batch quiet(table);
    for (long i = from; i < from + n; ++i) logger.INDataToTable(readingFor(i));
}

}  // namespace meterlink::bench
