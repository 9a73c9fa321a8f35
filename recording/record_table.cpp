#include "record_table.h"

#include <algorithm>
#include <iterator>

namespace meterlink {

namespace {

constexpr const char* kFieldNames[RecordTable::kFieldCount] = {"No", "Time", "DC/AC", "Value", "Unit", "Auto", "NVal"};

}  // namespace

QString RecordTable::fieldName(Field field) { return QString::fromLatin1(kFieldNames[field]); }

std::optional<RecordTable::Field> RecordTable::fieldByName(QStringView name) {
    for (int f = 0; f < kFieldCount; ++f)
        if (name.compare(QLatin1String(kFieldNames[f]), Qt::CaseInsensitive) == 0)
            return static_cast<Field>(f);
    return std::nullopt;
}

RecordTable::RecordTable(QObject* parent) : QObject(parent) {}

QByteArrayView RecordTable::cut(QByteArrayView utf8) {
    // A character takes at least as many bytes as UTF-16 units.
    if (utf8.size() <= kTextLimit) return utf8;
    int units = 0;
    qsizetype i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const int width = bytes == 4 ? 2 : 1;   // outside the BMP: a surrogate pair
        if (units + width > kTextLimit) break;
        units += width;
        i += bytes;
    }
    return utf8.first(i < utf8.size() ? i : utf8.size());
}

bool RecordTable::append(const Row& row) {
    if (full()) return false;
    StoredRow r{};
    r.flags = 0;
    if (row.no) {
        r.no = *row.no;
        r.flags |= HasNo;
    }
    if (row.nval) {
        r.nval = *row.nval;
        r.flags |= HasNVal;
    }
    if (row.sharedTime) {
        r.time = shared_.intern(cut(row.text[Time]));
        r.flags |= SharedTime;
    } else {
        r.time = packed_.add(cut(row.text[Time]));
    }
    r.dcac = shared_.intern(cut(row.text[DCAC]));
    r.value = packed_.add(cut(row.text[Value]));
    r.unit = shared_.intern(cut(row.text[Unit]));
    r.judge = shared_.intern(cut(row.text[Auto]));
    if (row.fullTime) {
        const auto ms = static_cast<std::uint64_t>(row.fullTime->utcMs);
        r.utcMsLow = static_cast<std::uint32_t>(ms);
        r.utcMsHigh = static_cast<std::int32_t>(row.fullTime->utcMs >> 32);
        r.offsetMinutes = row.fullTime->offsetMinutes;
        r.flags |= HasFullTime;
    }
    if (row.range == Range::Auto) r.flags |= RangeAuto;
    if (row.range == Range::Manual) r.flags |= RangeManual;
    rows_.push_back(r);
    const Limits& before = limitRuns_.empty() ? Limits{} : limitRuns_.back().limits;
    if (row.limits != before) limitRuns_.push_back({rowCount() - 1, row.limits});
    if (batchDepth_ == 0) {
        const int at = rowCount() - 1;
        emit rowsAppended(at, at);
    }
    return true;
}

RecordTable::Batch::Batch(RecordTable& table) : table_(table), first_(table.rowCount()) { ++table_.batchDepth_; }

RecordTable::Batch::~Batch() {
    if (--table_.batchDepth_ == 0 && table_.rowCount() > first_)
        emit table_.rowsAppended(first_, table_.rowCount() - 1);
}

void RecordTable::dropUnannounced(int first) {
    Q_ASSERT(batchDepth_ > 0);
    if (first >= rowCount()) return;
    while (!limitRuns_.empty() && limitRuns_.back().first >= first) limitRuns_.pop_back();
    if (first <= 0) {
        rows_.clear();
        shared_.clear();
        packed_.clear();
        return;
    }
    rows_.truncate(static_cast<std::size_t>(first));
}

void RecordTable::takeRowsFrom(RecordTable& other) {
    rows_ = std::move(other.rows_);
    shared_ = std::move(other.shared_);
    packed_ = std::move(other.packed_);
    limitRuns_ = std::move(other.limitRuns_);
    other.clear();
    emit cleared();
    if (rowCount() > 0) emit rowsAppended(0, rowCount() - 1);
}

void RecordTable::clear() {
    rows_.clear();
    limitRuns_.clear();
    shared_.clear();
    packed_.clear();
    emit cleared();
}

std::optional<std::int32_t> RecordTable::integer(int row, Field field) const {
    const StoredRow& r = rows_[static_cast<std::size_t>(row)];
    if (field == No) return r.flags & HasNo ? std::optional<std::int32_t>(r.no) : std::nullopt;
    if (field == NVal) return r.flags & HasNVal ? std::optional<std::int32_t>(r.nval) : std::nullopt;
    return std::nullopt;
}

QByteArrayView RecordTable::utf8(int row, Field field) const {
    const StoredRow& r = rows_[static_cast<std::size_t>(row)];
    switch (field) {
    case Time: return r.flags & SharedTime ? shared_.utf8(r.time) : packed_.utf8(r.time);
    case DCAC: return shared_.utf8(r.dcac);
    case Value: return packed_.utf8(r.value);
    case Unit: return shared_.utf8(r.unit);
    case Auto: return shared_.utf8(r.judge);
    case No:
    case NVal: break;
    }
    return {};
}

QString RecordTable::text(int row, Field field) const {
    if (isInteger(field)) {
        const auto v = integer(row, field);
        return v ? QString::number(*v) : QString();
    }
    return QString::fromUtf8(utf8(row, field));
}

bool RecordTable::isEmpty(int row, Field field) const {
    return isInteger(field) ? !integer(row, field).has_value() : utf8(row, field).isEmpty();
}

std::optional<FullTime> RecordTable::fullTime(int row) const {
    const StoredRow& r = rows_[static_cast<std::size_t>(row)];
    if (!(r.flags & HasFullTime)) return std::nullopt;
    return FullTime{static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.utcMsHigh)) << 32)
                                              | r.utcMsLow),
                    r.offsetMinutes};
}

RecordTable::Range RecordTable::range(int row) const {
    const std::uint8_t flags = rows_[static_cast<std::size_t>(row)].flags;
    return flags & RangeAuto ? Range::Auto : flags & RangeManual ? Range::Manual : Range::Unknown;
}

RecordTable::Limits RecordTable::limits(int row) const {
    const auto after = std::upper_bound(limitRuns_.begin(), limitRuns_.end(), row,
                                        [](int r, const LimitRun& run) { return r < run.first; });
    return after == limitRuns_.begin() ? Limits{} : std::prev(after)->limits;
}

std::size_t RecordTable::bytesUsed() const {
    return rows_.capacityBytes() + shared_.bytesUsed() + packed_.bytesUsed() +
           limitRuns_.capacity() * sizeof(LimitRun);
}

}  // namespace meterlink
