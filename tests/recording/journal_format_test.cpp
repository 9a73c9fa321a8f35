#include "recording/journal_format.h"

#include "table_rows.h"

#include <gtest/gtest.h>

#include <cmath>

namespace meterlink {
namespace {

TEST(JournalFormat, EveryFieldComesBackAsWritten) {
    RecordTable table;
    RecordTable::Row logged = test::tableRow(7, "16:08:55", "DC", "-034.6", "mV", "pass", std::nullopt, true);
    logged.fullTime = FullTime{1'796'915'335'123, -210};
    logged.range = RecordTable::Range::Manual;
    table.append(logged);
    // A loaded row: no number, no full time, texts with what a line cannot hold.
    table.append(test::tableRow(std::nullopt, "2:03 PM", "a\tb", "1\\n", "x\ny\r", "", 42));
    std::string bytes = journalHeader();
    appendJournalRow(bytes, table, 0, -346.0);
    appendJournalRow(bytes, table, 1, std::nullopt);

    JournalContents c;
    readJournal(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), c);
    ASSERT_EQ(c.header, JournalContents::Header::Ok);
    EXPECT_EQ(c.droppedLines, 0);
    EXPECT_TRUE(c.unsaved());
    EXPECT_EQ(test::tableRows(c.rows), test::tableRows(table));
    EXPECT_EQ(c.rows.fullTime(0), logged.fullTime);
    EXPECT_FALSE(c.rows.fullTime(1).has_value());
    EXPECT_EQ(c.rows.range(0), RecordTable::Range::Manual);
    EXPECT_TRUE(c.rows.sharedTime(0));
    ASSERT_EQ(c.chartValues.size(), 2u);
    EXPECT_EQ(c.chartValues[0], -346.0);
    EXPECT_TRUE(std::isnan(c.chartValues[1]));
    EXPECT_EQ(c.lastLogged, logged.fullTime);
}

TEST(JournalFormat, DamageEndsTheRowsAndSavedMarksWhatCameBefore) {
    RecordTable table;
    table.append(test::tableRow(1, "16:08:55", "DC", "1.000", "V", "pass"));
    std::string row;
    appendJournalRow(row, table, 0, std::nullopt);
    struct Case {
        const char* name;
        std::string tail;   // after the header
        int rows;
        bool saved;
        int dropped;
    };
    const Case cases[] = {
        {"saved_after_the_row", row + "saved\n", 1, true, 0},
        {"row_after_saved_is_unsaved", row + "saved\n" + row, 2, false, 0},
        {"torn_last_line", row + row.substr(0, row.size() - 3), 1, false, 1},
        {"garbage_then_rows", row + "garbage\n" + row + row, 1, false, 3},
        {"a_row_with_a_field_too_many", row + row.substr(0, row.size() - 1) + "\textra\n", 1, false, 1},
    };
    for (const Case& c : cases) {
        const std::string bytes = journalHeader() + c.tail;
        JournalContents j;
        readJournal(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), j);
        EXPECT_EQ(j.rows.rowCount(), c.rows) << c.name;
        EXPECT_EQ(j.saved, c.saved) << c.name;
        EXPECT_EQ(j.droppedLines, c.dropped) << c.name;
    }
    for (const char* header : {"MeterLink journal 2\n", "something else\n", ""}) {
        JournalContents j;
        readJournal(QByteArrayView(header), j);
        EXPECT_NE(j.header, JournalContents::Header::Ok) << header;
        EXPECT_FALSE(j.unsaved());
    }
}

}  // namespace
}  // namespace meterlink
