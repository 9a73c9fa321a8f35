#include "record_logger.h"

#include <cmath>

namespace meterlink {

namespace {

QByteArrayView view(const std::string& s) { return {s.data(), static_cast<qsizetype>(s.size())}; }

// A reading that is a word ("READY", "Hi") carries no number: it gets no
// chart point, where a 0 would draw a value the meter never showed. Overload
// ("0L") and underflow ("UL") keep their marks at the range's edge and foot.
bool hasChartPoint(const MeterReading& reading) {
    const std::string& v = reading.ValueText;
    if (v == "UL") return true;
    for (char c : v)
        if (c >= '0' && c <= '9') return true;
    return false;
}

}  // namespace

RecordLogger::RecordLogger(RecordTable& table, TChartControl* pager, TimeTexts times, Clock clock)
    : table_(table), pager_(pager), times_(std::move(times)), clock_(std::move(clock)) {}

std::string RecordLogger::RepeatKey(const MeterReading& reading) {
    return reading.ValueText + reading.FunctionText + reading.UnitText + reading.AutoText;
}

bool RecordLogger::shouldLog(const MeterReading& reading) const {
    return repeat || RepeatKey(reading) != lastRecordKey_;
}

void RecordLogger::INDataToTable(const MeterReading& reading) {
    if (sampling || stoppedAtLimit()) return;
    // A frame not yet confirmed is no reading: it neither logs nor counts.
    if (!confirmation_.offer(reading)) return;
    if (shouldLog(reading))
        AppendReading(reading, true);
    ++nextRecordNo_;
}

void RecordLogger::frameWhileSampling(const MeterReading& reading) {
    if (!confirmation_.enabled() || !confirmation_.offer(reading)) return;
    confirmed_ = reading;
    confirmed_.NewReadingFlag = true;
}

void RecordLogger::Timer3Timer(MeterReading& reading) {
    // Confirming, the tick logs the latest confirmed reading, if one came
    // since the last tick.
    MeterReading& logged = confirmation_.enabled() ? confirmed_ : reading;
    if (!logged.NewReadingFlag || !livedata || stoppedAtLimit()) return;
    if (sampling) {
        if (shouldLog(logged))
            AppendReading(logged, false);
        ++nextRecordNo_;
    }
    logged.NewReadingFlag = false;
    reading.NewReadingFlag = false;
}

void RecordLogger::setConfirmFrames(int frames) {
    confirmation_.setFrames(frames);
    confirmed_.NewReadingFlag = false;
}

void RecordLogger::AppendReading(const MeterReading& reading, bool sharedTime) {
    lastRecordKey_ = RepeatKey(reading);
    ++loggedCount_;
    // The time text and the full time are one moment.
    const FullTime now = fullClock_();
    const QTime time = clock_ ? clock_() : QTime::fromMSecsSinceStartOfDay(now.localMsOfDay());
    const QByteArray timeUtf8 = (sharedTime ? times_.frameTime(time) : times_.timedTime(time)).toUtf8();
    RecordTable::Row row;
    row.no = nextRecordNo_;
    row.text[RecordTable::Time] = timeUtf8;
    row.sharedTime = sharedTime;
    row.text[RecordTable::DCAC] = view(reading.FunctionText);
    row.text[RecordTable::Value] = view(reading.ValueText);
    row.text[RecordTable::Unit] = view(reading.UnitText);
    row.text[RecordTable::Auto] = view(reading.JudgeText);
    row.fullTime = now;
    row.limits = {reading.HighLimitSi, reading.LowLimitSi};
    row.range = reading.AutoText == "AUTO"   ? RecordTable::Range::Auto
                : reading.AutoText == "MANU" ? RecordTable::Range::Manual
                                             : RecordTable::Range::Unknown;
    appendingFrom_ = table_.rowCount();
    const bool plotted = hasChartPoint(reading);
    appendingChart_ = plotted ? reading.ChartValue : std::nan("");
    table_.append(row);
    appendingFrom_ = -1;
    if (pager_ && plotted) pager_->AddValue(reading.ChartValue);
    if (onAppended_) onAppended_(reading);
    // Told with the row that fills the log, not with the next reading.
    stoppedAtLimit();
}

bool RecordLogger::stoppedAtLimit() {
    if (!full()) return false;
    if (!limitTold_) {
        limitTold_ = true;
        if (onLimitReached_) onLimitReached_(recordLimit_);
    }
    return true;
}

std::optional<double> RecordLogger::chartValueBeingAppended(int row) const {
    if (appendingFrom_ < 0 || row < appendingFrom_) return std::nullopt;
    if (!restoring_)
        return row == appendingFrom_ && !std::isnan(appendingChart_) ? std::optional<double>(appendingChart_)
                                                                      : std::nullopt;
    const auto at = static_cast<std::size_t>(row - appendingFrom_);
    if (at >= restoring_->size() || std::isnan((*restoring_)[at])) return std::nullopt;
    return (*restoring_)[at];
}

void RecordLogger::restore(RecordTable& rows, const std::vector<double>& chartValues) {
    appendingFrom_ = table_.rowCount();
    restoring_ = &chartValues;
    if (table_.rowCount() == 0 && rows.rowCount() > 0) {
        // Into an empty log the rows move whole, without a copy.
        const int count = rows.rowCount();
        for (int i = count - 1; i >= 0; --i)
            if (const auto no = rows.integer(i, RecordTable::No)) {
                nextRecordNo_ = *no + 1;
                break;
            }
        table_.takeRowsFrom(rows);
        if (pager_)
            for (std::size_t i = 0; i < chartValues.size() && i < static_cast<std::size_t>(count); ++i)
                if (!std::isnan(chartValues[i])) pager_->AddValue(chartValues[i]);
    } else {
        const RecordTable::Batch batch(table_);
        for (int i = 0; i < rows.rowCount(); ++i) {
            RecordTable::Row row;
            row.no = rows.integer(i, RecordTable::No);
            row.nval = rows.integer(i, RecordTable::NVal);
            for (RecordTable::Field f :
                 {RecordTable::Time, RecordTable::DCAC, RecordTable::Value, RecordTable::Unit, RecordTable::Auto})
                row.text[f] = rows.utf8(i, f);
            row.sharedTime = rows.sharedTime(i);
            row.fullTime = rows.fullTime(i);
            row.range = rows.range(i);
            row.limits = rows.limits(i);
            if (!table_.append(row)) break;
            const auto at = static_cast<std::size_t>(i);
            if (pager_ && at < chartValues.size() && !std::isnan(chartValues[at])) pager_->AddValue(chartValues[at]);
            if (row.no) nextRecordNo_ = *row.no + 1;
        }
    }
    rows.clear();
    restoring_ = nullptr;
    appendingFrom_ = -1;
}

void RecordLogger::closeData() {
    if (pager_) pager_->Clear();
    if (table_.rowCount() > 0) table_.clear();
    nextRecordNo_ = 1;
    loggedCount_ = 0;
    limitTold_ = false;
}

}  // namespace meterlink
