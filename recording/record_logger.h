#pragma once
// The rules by which a reading becomes a row of the log: the record limit,
// the repeat rule, and the two roads in (every decoded frame, or one reading
// per tick of the sampling timer). Each logged row also becomes the next
// point of the chart, where there is one: a log without a window has none.

#include "chart_pager.h"
#include "protocol/meter_reading.h"
#include "protocol/reading_confirmation.h"
#include "record_table.h"
#include "time_texts.h"

#include <QTime>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace meterlink {

class RecordLogger {
public:
    static constexpr std::int32_t kDefaultRecordLimit = 10000;
    // "limitless" on the Record menu.
    static constexpr std::int32_t kLimitless = 10'000'000;

    // The time of day written into a row; none: the local time of its full time.
    using Clock = std::function<QTime()>;
    // The moment a row is logged.
    using FullClock = std::function<FullTime()>;
    // After a row was appended and its point added to the chart.
    using AppendedHandler = std::function<void(const MeterReading& reading)>;

    RecordLogger(RecordTable& table, TChartControl& pager, TimeTexts times = TimeTexts(), Clock clock = Clock())
        : RecordLogger(table, &pager, std::move(times), std::move(clock)) {}
    // pager may be null: then no chart points are kept.
    RecordLogger(RecordTable& table, TChartControl* pager, TimeTexts times = TimeTexts(), Clock clock = Clock());

    void setAppendedHandler(AppendedHandler handler) { onAppended_ = std::move(handler); }
    // Once when logging stops at the record limit (again after Close Data or
    // a new limit); the argument is the limit.
    using LimitReachedHandler = std::function<void(std::int32_t limit)>;
    void setLimitReachedHandler(LimitReachedHandler handler) { onLimitReached_ = std::move(handler); }
    void setFullClock(FullClock clock) { fullClock_ = std::move(clock); }

    // Appends rows brought back from an earlier session as they were, each
    // with its chart point (NaN: none), and goes on numbering after the last
    // numbered one. The rows are taken from `rows`, which is left empty.
    void restore(RecordTable& rows, const std::vector<double>& chartValues);
    // The chart point of a row while it is being appended (logged or
    // restored): what a listener to the table's rowsAppended may ask.
    std::optional<double> chartValueBeingAppended(int row) const;
    // Numbering goes on after `last` (a log continued in an existing file).
    void continueNumberingAfter(std::int32_t last) { nextRecordNo_ = last + 1; }

    // The switches of the record bar, read when a reading arrives.
    bool repeat = true;     // "Repeat": log every reading, equal or not
    bool sampling = false;  // "Sampling Interval": log on the timer's ticks only
    bool livedata = true;   // timed logging happens only while this is set

    // Frame-driven logging of the current reading.
    void INDataToTable(const MeterReading& reading);
    // While sampling, each decoded frame's reading; only needed while
    // readings must be confirmed (the tick then logs the latest confirmed one).
    void frameWhileSampling(const MeterReading& reading);
    // A tick of the sampling timer: logs the latest reading if one arrived
    // since the last tick, and clears reading.NewReadingFlag.
    void Timer3Timer(MeterReading& reading);
    // "Confirm readings": a reading is logged only once this many consecutive
    // frames agree on it (1: every frame counts, the default).
    void setConfirmFrames(int frames);
    int confirmFrames() const { return confirmation_.frames(); }
    // "Close Data" once confirmed: chart and table emptied, numbering from 1.
    void closeData();

    std::int32_t NextRecordNo() const { return nextRecordNo_; }
    std::int32_t LoggedCount() const { return loggedCount_; }
    std::int32_t RecordLimit() const { return recordLimit_; }
    void setRecordLimit(std::int32_t limit) {
        recordLimit_ = limit;
        limitTold_ = false;
    }
    const std::string& LastRecordKey() const { return lastRecordKey_; }
    bool full() const { return loggedCount_ >= recordLimit_; }

    // ValueText + FunctionText + UnitText + AutoText: the verdict is not part
    // of it, the range mode is.
    static std::string RepeatKey(const MeterReading& reading);

private:
    bool shouldLog(const MeterReading& reading) const;
    // True when the log is full; tells it the first time.
    bool stoppedAtLimit();
    void AppendReading(const MeterReading& reading, bool sharedTime);

    RecordTable& table_;
    TChartControl* pager_;
    TimeTexts times_;
    Clock clock_;
    FullClock fullClock_ = [] { return FullTime::now(); };
    AppendedHandler onAppended_;
    LimitReachedHandler onLimitReached_;
    bool limitTold_ = false;
    // Rows being appended and their chart points, for chartValueBeingAppended.
    int appendingFrom_ = -1;
    const std::vector<double>* restoring_ = nullptr;
    double appendingChart_ = 0;   // NaN: the row has no chart point
    std::int32_t nextRecordNo_ = 1;
    std::int32_t loggedCount_ = 0;
    std::int32_t recordLimit_ = kDefaultRecordLimit;
    std::string lastRecordKey_;
    ReadingConfirmation confirmation_;
    // The latest confirmed reading, for the sampling road.
    MeterReading confirmed_;
};

}  // namespace meterlink
