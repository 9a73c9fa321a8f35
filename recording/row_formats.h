#pragma once
// The formats a log can be written in a row at a time: tab-separated text,
// CSV and JSON lines. One entry each in a table; a file's extension or a
// format's name picks one. Files keep each format's own line ends; a stream
// (standard output) ends every line in LF.

#include "record_table.h"

#include <QString>

#include <string>
#include <string_view>

class QIODevice;

namespace meterlink {

struct RowFormat {
    std::string_view name;        // as --format takes it
    std::string_view extension;   // ".csv"; empty for text, which any other name gets
    std::string_view fileLineEnd;
    void (*header)(std::string& out, std::string_view lineEnd);
    void (*row)(std::string& out, const RecordTable& table, int row, std::string_view decimalSep,
                std::string_view lineEnd);
    // Appends a file's rows to the table; nullptr for text, which the data
    // files load themselves.
    bool (*load)(QIODevice& in, RecordTable& table, QString* reason);
};

const RowFormat& textRowFormat();
// By the name's extension (either case), text when none matches. Not for
// XML names: the XML packet is written whole.
const RowFormat& rowFormatForFile(const QString& fileName);
// nullptr for an unknown name.
const RowFormat* rowFormatByName(std::string_view name);
// Whether the name's extension is one of the formats' own (.csv, .jsonl).
bool hasRowFormatExtension(const QString& fileName);
// "text|csv|jsonl"
std::string rowFormatNames();

// Writes the header and every row; false when the device refused a write.
bool writeRows(const RowFormat& format, const RecordTable& table, QIODevice& out, std::string_view decimalSep);

}  // namespace meterlink
