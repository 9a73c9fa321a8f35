#pragma once
// The journal's text: a header line, then one line per event, fields
// separated by TABs, so a person can read it and nothing of a row is lost:
//
//   MeterLink journal 1
//   row <No> <full time> <time> <function> <value> <unit> <range> <verdict> <NVal> <chart point> <shared time>
//   saved
//
// A full time is ISO 8601 local time with offset; an empty field is empty.
// TAB, CR, LF and backslash inside a text are written \t \r \n \\.
// "saved" says the rows above were saved; a row after it is not.

#include "full_time.h"
#include "record_table.h"

#include <QByteArrayView>

#include <optional>
#include <string>
#include <vector>

namespace meterlink {

constexpr int kJournalVersion = 1;
// "MeterLink journal 1\n"
std::string journalHeader();

void appendJournalRow(std::string& out, const RecordTable& table, int row, std::optional<double> chartValue);
void appendJournalSaved(std::string& out);

struct JournalContents {
    enum class Header { Ok, Missing, Newer };
    Header header = Header::Missing;
    int version = 0;
    RecordTable rows;
    std::vector<double> chartValues;   // one per row; NaN: the row had no chart point
    bool saved = false;                // the rows were saved since they last changed
    int droppedLines = 0;              // damaged lines at the end, not restored
    std::optional<FullTime> lastLogged;

    bool unsaved() const { return header == Header::Ok && rows.rowCount() > 0 && !saved; }
};

// Reads every line up to the first damaged one (a torn last line without its
// line end counts as damaged); the lines from there on are dropped.
void readJournal(QByteArrayView bytes, JournalContents& out);

}  // namespace meterlink
