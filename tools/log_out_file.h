#pragma once
// The --out file of meterlink-cli log written as it goes: text, CSV and JSON
// lines get each row appended as it is logged (the header first), synced at
// most a second later. An existing non-empty file is continued only when
// asked (--append), never replaced.

#include "recording/durable_append_file.h"
#include "recording/record_table.h"
#include "recording/row_formats.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

class LogOutFile {
public:
    // Whether the file's format can be appended to (not the XML packet).
    static bool appendable(const QString& path);
    // Whether the file could be written in its place, found without touching it.
    static bool canCreate(const QString& path, QString& why);

    // Checks the file without changing it. lastNo: the number of the last row
    // already in it, when --append continues one. False with why set when the
    // run must not start.
    bool check(const QString& path, bool append, std::string decimalSep, std::optional<std::int32_t>& lastNo,
               QString& why);
    // Opens the checked file, writing the header into a new one.
    bool open(QString& why);
    // False when the row could not be written (error() says why).
    bool appendRow(const meterlink::RecordTable& table, int row);
    bool close();
    QString error() const { return file_.error(); }

private:
    const meterlink::RowFormat* format_ = nullptr;
    QString path_;
    bool hasRows_ = false;
    std::string sep_;
    std::string line_;
    meterlink::DurableAppendFile file_;
};
