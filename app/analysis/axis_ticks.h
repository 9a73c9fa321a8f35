#pragma once
// Where the analysis chart puts its grid lines and what it writes beside
// them: values in their SI unit with one prefix for the whole visible span
// (4.9 .. 5.1 V stays in V, 1.2 .. 3.4 mV is written in mV), times of day
// on round seconds, minutes or hours, with the date where days change.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace meterlink::analysis {

// An SI prefix: its symbol ("", "m", "µ", "k", ...) and its factor.
struct SiPrefix {
    QString symbol;
    double factor = 1;
};

// The prefix that writes the larger end of [low, high] with one to three
// digits before the point; none for a span at zero.
SiPrefix prefixForSpan(double low, double high);

struct ValueTicks {
    SiPrefix prefix;
    double step = 0;             // in the SI unit
    std::vector<double> values;  // in the SI unit, inside [low, high]
    int decimals = 0;            // of the labels, after scaling by the prefix
    QString label(double value) const;
};

// Round steps (1, 2 or 5 times a power of ten) of at most maxTicks lines.
ValueTicks valueTicks(double low, double high, int maxTicks);

struct TimeTicks {
    std::int64_t stepMs = 0;
    std::vector<double> times;   // UTC milliseconds, inside [first, last]
    QStringList labels;          // local time, one a tick
};

// Ticks on round local times; offsetMinutes: the local time's offset from UTC.
TimeTicks timeTicks(double firstMs, double lastMs, int maxTicks, int offsetMinutes);

// A moment as the readout writes it: date, time and milliseconds in local time.
QString readoutTime(double utcMs, int offsetMinutes);
// A duration: "850 ms", "12.5 s", "3 min 20 s", "2 h 05 min", "1 d 03 h".
QString durationText(double ms);

}  // namespace meterlink::analysis
