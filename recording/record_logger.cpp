#include "record_logger.h"

namespace meterlink {

namespace {

QByteArrayView view(const std::string& s) { return {s.data(), static_cast<qsizetype>(s.size())}; }

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
    if (shouldLog(reading))
        AppendReading(reading, times_.frameTime(clock_()), true);
    ++nextRecordNo_;
}

void RecordLogger::Timer3Timer(MeterReading& reading) {
    if (!reading.NewReadingFlag || !livedata || stoppedAtLimit()) return;
    if (sampling) {
        if (shouldLog(reading))
            AppendReading(reading, times_.timedTime(clock_()), false);
        ++nextRecordNo_;
    }
    reading.NewReadingFlag = false;
}

void RecordLogger::AppendReading(const MeterReading& reading, const QString& time, bool sharedTime) {
    lastRecordKey_ = RepeatKey(reading);
    ++loggedCount_;
    const QByteArray timeUtf8 = time.toUtf8();
    RecordTable::Row row;
    row.no = nextRecordNo_;
    row.text[RecordTable::Time] = timeUtf8;
    row.sharedTime = sharedTime;
    row.text[RecordTable::DCAC] = view(reading.FunctionText);
    row.text[RecordTable::Value] = view(reading.ValueText);
    row.text[RecordTable::Unit] = view(reading.UnitText);
    row.text[RecordTable::Auto] = view(reading.JudgeText);
    table_.append(row);
    if (pager_) pager_->AddValue(reading.ChartValue);
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

void RecordLogger::closeData() {
    if (pager_) pager_->Clear();
    if (table_.rowCount() > 0) table_.clear();
    nextRecordNo_ = 1;
    loggedCount_ = 0;
    limitTold_ = false;
}

}  // namespace meterlink
