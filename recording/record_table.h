#pragma once
// The log: an in-memory table of readings in the order they were appended,
// read by the grid, the chart, the data files and the report. Seven fields in
// a fixed order; texts are cut to 20 characters; the two integer fields may be
// empty. Beside the fields, a logged row keeps the moment it was logged and
// the meter's range mode and the limits that judged it; rows loaded from
// text files have none of these. A row costs a
// fixed 40 bytes plus its value text: texts that repeat are kept once (see
// text_store.h), and rows live in blocks that never move.

#include "chunked_vector.h"
#include "full_time.h"
#include "text_store.h"

#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace meterlink {

class RecordTable : public QObject {
    Q_OBJECT
public:
    // In field order: data files address fields by position.
    enum Field { No, Time, DCAC, Value, Unit, Auto, NVal };
    static constexpr int kFieldCount = 7;
    static constexpr int kTextLimit = 20;
    // Beyond this a load stops with an error instead of exhausting memory.
    static constexpr int kMaxRows = 100'000'000;

    static QString fieldName(Field field);
    static bool isInteger(Field field) { return field == No || field == NVal; }
    // Case-insensitive, as the log's readers address fields ("value", "AUTO").
    static std::optional<Field> fieldByName(QStringView name);

    // The meter's range mode when the row was logged.
    enum class Range : std::uint8_t { Unknown, Auto, Manual };
    // The high and low limits that judged a row, in SI units; none where a
    // limit was not set or not a number.
    struct Limits {
        std::optional<double> high;
        std::optional<double> low;
        bool operator==(const Limits& o) const { return high == o.high && low == o.low; }
        bool operator!=(const Limits& o) const { return !(*this == o); }
    };

    // One row to append. Texts are UTF-8; they are cut to kTextLimit
    // characters when stored.
    struct Row {
        std::optional<std::int32_t> no;
        std::optional<std::int32_t> nval;
        std::array<QByteArrayView, kFieldCount> text{};   // used at Time..Auto
        // A frame-driven time repeats from row to row: keep it once.
        bool sharedTime = false;
        std::optional<FullTime> fullTime;
        Range range = Range::Unknown;
        Limits limits;
    };

    explicit RecordTable(QObject* parent = nullptr);

    int rowCount() const { return static_cast<int>(rows_.size()); }
    bool full() const { return rowCount() >= kMaxRows; }

    // Appends one row; false (nothing appended) when the table is full.
    bool append(const Row& row);
    void clear();
    // Takes back the rows from `first` on, appended inside the Batch that is
    // still open and so never announced: a load that turns out not to be one
    // leaves the table as it found it. Their texts stay held until clear(),
    // unless the table is left empty.
    void dropUnannounced(int first);
    // Replaces this table's rows by other's, leaving other empty.
    void takeRowsFrom(RecordTable& other);

    // While a Batch lives, appends are announced once, when it ends: a load
    // of a million rows must not tell the grid a million times.
    class Batch {
    public:
        explicit Batch(RecordTable& table);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        RecordTable& table_;
        int first_;
    };

    std::optional<std::int32_t> integer(int row, Field field) const;
    QByteArrayView utf8(int row, Field field) const;
    // Any field as text: integers in decimal, empty fields as "".
    QString text(int row, Field field) const;
    bool isEmpty(int row, Field field) const;
    std::optional<FullTime> fullTime(int row) const;
    Range range(int row) const;
    Limits limits(int row) const;
    bool sharedTime(int row) const { return rows_[static_cast<std::size_t>(row)].flags & SharedTime; }

    // Bytes held by rows and texts, for the memory figures of the benchmarks.
    std::size_t bytesUsed() const;

    // Cuts UTF-8 text to at most kTextLimit characters (UTF-16 units, never
    // splitting a character).
    static QByteArrayView cut(QByteArrayView utf8);

signals:
    // Emitted after rows [first, last] were appended (once per append, or
    // once per Batch).
    void rowsAppended(int first, int last);
    // Emitted after the table was emptied (also before takeRowsFrom announces
    // the rows it took).
    void cleared();

private:
    struct StoredRow {
        std::int32_t no;
        std::int32_t nval;
        TextRef time;
        TextRef dcac;
        TextRef value;
        TextRef unit;
        TextRef judge;
        // The logged moment in two halves: 64-bit alignment would cost every row 8 bytes.
        std::uint32_t utcMsLow;
        std::int32_t utcMsHigh;
        std::int16_t offsetMinutes;
        std::uint8_t flags;
    };
    enum : std::uint8_t { HasNo = 1, HasNVal = 2, SharedTime = 4, HasFullTime = 8, RangeAuto = 16, RangeManual = 32 };

    ChunkedVector<StoredRow> rows_;
    // Limits change seldom: kept once per run of rows that share them, not
    // in every row.
    struct LimitRun {
        int first;
        Limits limits;
    };
    std::vector<LimitRun> limitRuns_;
    int batchDepth_ = 0;
    SharedTexts shared_;
    PackedTexts packed_;
};

}  // namespace meterlink
