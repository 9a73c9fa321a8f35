#pragma once
// Reading the CSV and JSON-lines exports back: into the record table (Open,
// `convert`) or as rows with their SI values (statistics of saved logs).
// Columns and keys are found by name, so columns added later are passed
// over. A row whose timestamp is missing or unreadable is kept without a
// full time (its neighbours place it); a line that is no row at all stops
// the load with its line number.

#include "record_table.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QIODevice;

namespace meterlink {

struct ExportRow {
    std::optional<std::int32_t> no;
    std::optional<FullTime> fullTime;
    std::string function;
    std::string display;                 // "0.015 kΩ"
    std::optional<double> value;         // SI base unit
    std::string unit;                    // SI symbol
    std::string verdict;                 // "pass", "fail" or ""
    bool overload = false;
    RecordTable::Range range = RecordTable::Range::Unknown;
};

enum class ExportFormat { Csv, JsonLines };

// Calls onRow for each row in file order; false with the reason when the
// input is no such file or a line cannot be read (rows before it were
// given). onRow returns false to stop (the read then fails with
// stopReason, if any).
bool readExportRows(ExportFormat format, QIODevice& in, const std::function<bool(const ExportRow&)>& onRow,
                    QString* reason);

// The row as the record table holds it: the value text and the decoder's
// unit text from the display ("0.015", "k*"), the time of day from the
// timestamp, "pass"/"Fail".
void appendExportRow(RecordTable& table, const ExportRow& row);

// Appends the file's rows to the table, as the text loader does: a file
// that is no export is refused whole; a failing line stops the load and the
// rows before it stay.
bool loadTableCsv(QIODevice& in, RecordTable& table, QString* reason);
bool loadTableJsonLines(QIODevice& in, RecordTable& table, QString* reason);

}  // namespace meterlink
