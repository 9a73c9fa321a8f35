#pragma once
// The --out file of meterlink-cli log written as it goes: text, CSV and JSON
// lines get each row appended as it is logged (the header first), synced at
// most a second later. An existing non-empty file is continued only when
// asked (--append), never replaced.

#include "recording/durable_append_file.h"
#include "recording/record_table.h"
#include "recording/row_formats.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
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
    // Writes the row after any rows still held; a row the file does not
    // take (a full disk) is held in memory, in order, and written by the next
    // appendRow() or retry(). False when rows are held (error() says why).
    bool appendRow(const meterlink::RecordTable& table, int row);
    // Writes the held rows, oldest first, as far as the file takes them;
    // true when none is left.
    bool retry();
    std::size_t heldRows() const { return held_.size(); }
    // Rows not kept because the held rows had reached kHeldBytesLimit.
    std::int64_t droppedRows() const { return dropped_; }
    // Retries once more, then syncs and closes; false when rows are still
    // held or the last sync failed.
    bool close();
    QString error() const { return file_.error(); }

    // Memory for rows the disk did not take: about 600,000 rows, two days at
    // 3 rows a second or ten minutes at 1,000. Beyond it the newest rows are
    // dropped (still printed and published), so the file keeps its order and
    // the gap shows in its numbers.
    static constexpr std::size_t kHeldBytesLimit = std::size_t{64} << 20;

private:
    const meterlink::RowFormat* format_ = nullptr;
    QString path_;
    bool hasRows_ = false;
    std::string sep_;
    std::string line_;
    std::deque<std::string> held_;
    std::size_t heldBytes_ = 0;
    std::int64_t dropped_ = 0;
    meterlink::DurableAppendFile file_;
};
