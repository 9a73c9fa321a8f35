#pragma once
// The log as tab-separated text, for spreadsheets: a header line, then one
// line per row with No, Time, DC/AC, Value, Unit and the verdict, each line
// ended by CR LF. Bytes are Latin-1 (the program's own texts are ASCII);
// a table with a text Latin-1 lacks is written as UTF-8 after its byte-order
// mark instead, so that nothing turns into question marks.
// Texts are trimmed of bytes 0x01-0x20 at both ends and written as "NULL"
// when nothing remains. NVal is not written.

#include "record_table.h"

#include <QByteArrayView>
#include <QString>

#include <string>

class QIODevice;

namespace meterlink {

// Writes the table; false when the device refused a write.
bool writeTableText(const RecordTable& table, QIODevice& out);

// The header line, CR LF included.
QByteArrayView tableTextHeader();

// The decimal separator for value texts bound for a text data file: the
// locale's own where Latin-1 holds it, else a full stop (Arabic and Persian
// locales use U+066B, which would turn into a question mark).
std::string textFileDecimalSeparator(const QString& localeSeparator);
// The most bytes one row's line takes.
constexpr qsizetype kTableTextLineMaxBytes = 128;
// Writes the Latin-1 line of one row, CR LF included, at `at`, which has room
// for kTableTextLineMaxBytes; returns where the line ends.
char* putTableTextLine(const RecordTable& table, int row, char* at);

// Appends the rows of a text file (the first line is a header naming the
// fields, and is dropped), reading it a line at a time. Stops at the first
// line it cannot load and returns false with the reason; the rows before
// that line stay, and no part of the failing line is kept. What is no data
// file (a zero byte, an overlong line, no header), or would make the log hold
// more rows than it can, is refused whole: the table is left as it was. A
// file large enough to overfill the log is counted before any row is added,
// when the device can be read twice.
bool loadTableText(QIODevice& in, RecordTable& table, QString* reason = nullptr);
bool loadTableText(QByteArrayView bytes, RecordTable& table, QString* reason = nullptr);

}  // namespace meterlink
