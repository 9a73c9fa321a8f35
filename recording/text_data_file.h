#pragma once
// The log as tab-separated text, for spreadsheets: a header line, then one
// line per row with No, Time, DC/AC, Value, Unit and the verdict, each line
// ended by CR LF. Bytes are Latin-1; the program's own texts are ASCII.
// Texts are trimmed of bytes 0x01-0x20 at both ends and written as "NULL"
// when nothing remains. NVal is not written.

#include "record_table.h"

#include <QByteArrayView>

class QIODevice;

namespace meterlink {

// Writes the table; false when the device refused a write.
bool writeTableText(const RecordTable& table, QIODevice& out);

// The header line, CR LF included.
QByteArrayView tableTextHeader();
// The most bytes one row's line takes.
constexpr qsizetype kTableTextLineMaxBytes = 128;
// Writes the line of one row, CR LF included, at `at`, which has room for
// kTableTextLineMaxBytes; returns where the line ends.
char* putTableTextLine(const RecordTable& table, int row, char* at);

// Appends the rows of a text file's bytes (the first line is a header and is
// dropped). Stops at the first line it cannot load and returns false; the
// rows before that line stay, and no part of the failing line is kept.
// Fails on a text without any line.
bool loadTableText(QByteArrayView bytes, RecordTable& table);

}  // namespace meterlink
