#pragma once
// Saving the log to a file and loading one back, in the format the file's
// name selects: exactly ".xml" (lower case) is the XML data packet, ".csv"
// and ".jsonl" the exports for analysis tools, every other name
// tab-separated text. Shared by the window and meterlink-cli.
//
// A save replaces the file in one step, once the new one is complete and on
// the disk: when it fails, whatever the reason, the file that was there
// before is left as it was. Failing saves and loads give their reason.

#include "record_table.h"

#include <QString>

namespace meterlink {

enum class DataFileFormat { Text, Xml };

// The extension is the name's part from its last full stop on, if that stop
// comes after the last path separator.
DataFileFormat dataFileFormat(const QString& fileName);

// What the user is told, word for word.
QString saveSucceededMessage(const QString& fileName);
QString saveFailedMessage(const QString& fileName);
QString loadFailedMessage();

// The text format whatever the name.
bool SaveTableAsText(const RecordTable& table, const QString& fileName, QString* reason = nullptr);
// The format the name selects.
bool saveTableToFile(const RecordTable& table, const QString& fileName, QString* reason = nullptr);

// Loads a file in the format its name selects, after emptying the table
// when clearFirst is set. Text, CSV and JSON-lines rows are added after
// the table's rows; a
// failing line stops the load and the rows before it stay. An XML packet
// replaces the table's rows, and only when the whole packet could be read.
bool LoadTableFromFile(const QString& fileName, RecordTable& table, bool clearFirst, QString* reason = nullptr);

}  // namespace meterlink
