#pragma once
// The journal's text: a header line, then one line per event, fields
// separated by TABs, so a person can read it and nothing of a row is lost:
//
//   MeterLink journal 2
//   row <No> <full time> <time> <function> <value> <unit> <range> <verdict> <NVal> <chart point> <shared time>
//       <high limit> <low limit>
//   saved
//   takes <journal file name>
//   took <journal file name>
//   damaged <file name>
//
// A full time is ISO 8601 local time with offset; limits are SI values; an
// empty field is empty. TAB, CR, LF and backslash inside a text are written
// \t \r \n \\. Version 1 rows end after the shared time.
// "saved" says the rows above were saved; a row after it is not.
// Rows brought back from another journal stand between "takes" and "took":
// that journal is removed only once "took" is on the disk, so after a crash
// either the block is whole (and the other journal is spent) or it is not
// (and the rows are still the other journal's): each row is offered once.
// "damaged" names a damaged journal whose intact rows are here, kept beside
// the journals until the log is saved.

#include "full_time.h"
#include "record_table.h"

#include <QByteArrayView>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meterlink {

constexpr int kJournalVersion = 2;
// "MeterLink journal 2\n"
std::string journalHeader();

void appendJournalRow(std::string& out, const RecordTable& table, int row, std::optional<double> chartValue);
void appendJournalSaved(std::string& out);
void appendJournalTakes(std::string& out, std::string_view journalName);
void appendJournalTook(std::string& out, std::string_view journalName);
void appendJournalDamaged(std::string& out, std::string_view fileName);

struct JournalContents {
    enum class Header { Ok, Missing, Newer };
    Header header = Header::Missing;
    int version = 0;
    RecordTable rows;
    std::vector<double> chartValues;   // one per row; NaN: the row had no chart point
    bool saved = false;                // the rows were saved since they last changed
    int skippedLines = 0;              // damaged lines, not restored
    std::optional<FullTime> lastLogged;
    std::vector<std::string> took;            // journals whose rows were all taken over here
    std::vector<std::string> damagedCopies;   // damaged journals kept until these rows are saved

    bool unsaved() const { return header == Header::Ok && rows.rowCount() > 0 && !saved; }
};

// Reads every intact line; a damaged one (garbage, a torn last line without
// its line end, a row that does not read) is skipped and counted, and the
// lines after it are read as usual. NUL bytes before a line, as a crash may
// leave where a block was never written, are skipped with it. Rows of a
// hand-over that did not finish are left out: they are still the other
// journal's.
void readJournal(QByteArrayView bytes, JournalContents& out);

}  // namespace meterlink
