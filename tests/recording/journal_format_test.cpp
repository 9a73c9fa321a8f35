#include "recording/journal_format.h"

#include "table_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace meterlink {
namespace {

TEST(JournalFormat, EveryFieldComesBackAsWritten) {
    RecordTable table;
    RecordTable::Row logged = test::tableRow(7, "16:08:55", "DC", "-034.6", "mV", "pass", std::nullopt, true);
    logged.fullTime = FullTime{1'796'915'335'123, -210};
    logged.range = RecordTable::Range::Manual;
    logged.limits = {0.0125, -6.0};
    table.append(logged);
    // A loaded row: no number, no full time, texts with what a line cannot hold.
    table.append(test::tableRow(std::nullopt, "2:03 PM", "a\tb", "1\\n", "x\ny\r", "", 42));
    std::string bytes = journalHeader();
    appendJournalRow(bytes, table, 0, -346.0);
    appendJournalRow(bytes, table, 1, std::nullopt);

    JournalContents c;
    readJournal(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), c);
    ASSERT_EQ(c.header, JournalContents::Header::Ok);
    EXPECT_EQ(c.skippedLines, 0);
    EXPECT_TRUE(c.unsaved());
    EXPECT_EQ(test::tableRows(c.rows), test::tableRows(table));
    EXPECT_EQ(c.rows.fullTime(0), logged.fullTime);
    EXPECT_FALSE(c.rows.fullTime(1).has_value());
    EXPECT_EQ(c.rows.range(0), RecordTable::Range::Manual);
    EXPECT_EQ(c.rows.limits(0), logged.limits);
    EXPECT_EQ(c.rows.limits(1), RecordTable::Limits{});
    EXPECT_TRUE(c.rows.sharedTime(0));
    ASSERT_EQ(c.chartValues.size(), 2u);
    EXPECT_EQ(c.chartValues[0], -346.0);
    EXPECT_TRUE(std::isnan(c.chartValues[1]));
    EXPECT_EQ(c.lastLogged, logged.fullTime);
}

// Numbered rows 1..n as journal lines.
std::string journalRows(int first, int last) {
    RecordTable table;
    for (int no = first; no <= last; ++no) table.append(test::tableRow(no, "16:08:55", "DC", "1.000", "V", "pass"));
    std::string lines;
    for (int r = 0; r < table.rowCount(); ++r) appendJournalRow(lines, table, r, std::nullopt);
    return lines;
}

std::vector<int> numbers(const RecordTable& t) {
    std::vector<int> v;
    for (int r = 0; r < t.rowCount(); ++r) v.push_back(t.integer(r, RecordTable::No).value_or(-1));
    return v;
}

std::vector<int> range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
}

void read(const std::string& bytes, JournalContents& j) {
    readJournal(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), j);
}

// Damage anywhere costs only the damaged lines: every intact row before and
// after it comes back, and the skipped lines are counted.
TEST(JournalFormat, DamageSkipsOnlyTheDamagedLines) {
    const std::string row1 = journalRows(1, 1);
    const std::string nul(4096, '\0');
    const std::string huge(100 << 20, 'x');
    struct Case {
        const char* name;
        std::string tail;   // after the header
        std::vector<int> rows;
        bool saved;
        int skipped;
    };
    const Case cases[] = {
        {"saved_after_the_row", row1 + "saved\n", {1}, true, 0},
        {"row_after_saved_is_unsaved", row1 + "saved\n" + row1, {1, 1}, false, 0},
        {"garbage_at_the_start", "garbage\n" + journalRows(1, 3), range(1, 3), false, 1},
        {"garbage_in_the_middle", journalRows(1, 1000) + "garbage\n" + journalRows(1001, 2000), range(1, 2000), false, 1},
        {"nul_block_in_the_middle", journalRows(1, 1000) + nul + journalRows(1001, 2000), range(1, 2000), false, 1},
        {"nul_line_in_the_middle", journalRows(1, 1000) + nul + "\n" + journalRows(1001, 2000), range(1, 2000), false, 1},
        {"huge_line_in_the_middle", journalRows(1, 1000) + huge + "\n" + journalRows(1001, 2000), range(1, 2000), false, 1},
        {"torn_last_line", journalRows(1, 3) + row1.substr(0, row1.size() - 3), range(1, 3), false, 1},
        {"garbage_at_the_end", journalRows(1, 3) + "garbage\n", range(1, 3), false, 1},
        {"a_row_with_a_field_too_many", row1.substr(0, row1.size() - 1) + "\textra\n" + journalRows(2, 2), {2}, false, 1},
        {"two_damaged_places", "x\n" + journalRows(1, 2) + "y\n" + journalRows(3, 4) + "\tz\n", range(1, 4), false, 3},
    };
    for (const Case& c : cases) {
        JournalContents j;
        read(journalHeader() + c.tail, j);
        EXPECT_EQ(numbers(j.rows), c.rows) << c.name;
        EXPECT_EQ(j.saved, c.saved) << c.name;
        EXPECT_EQ(j.skippedLines, c.skipped) << c.name;
    }
    for (const char* header : {"MeterLink journal 3\n", "something else\n", ""}) {
        JournalContents j;
        read(header, j);
        EXPECT_NE(j.header, JournalContents::Header::Ok) << header;
        EXPECT_FALSE(j.unsaved());
    }
}

// A hand-over that a crash cut short leaves its rows to the journal they
// came from; a finished one names that journal as spent.
TEST(JournalFormat, RowsOfAnUnfinishedHandOverAreLeftOut) {
    std::string takes, took;
    appendJournalTakes(takes, "log-a.journal");
    appendJournalTook(took, "log-a.journal");
    struct Case {
        const char* name;
        std::string tail;
        std::vector<int> rows;
        std::vector<std::string> took;
        bool unsaved;
    };
    const Case cases[] = {
        {"finished", journalRows(1, 2) + takes + journalRows(3, 5) + took + journalRows(6, 6), range(1, 6),
         {"log-a.journal"}, true},
        {"cut_mid_rows", journalRows(1, 2) + takes + journalRows(3, 4), range(1, 2), {}, true},
        {"cut_mid_a_row", takes + journalRows(3, 4) + "row\t5\t", {}, {}, false},
        {"cut_before_any_row", journalRows(1, 1) + "saved\n" + takes, {1}, {}, false},
        {"took_of_another", takes + journalRows(3, 4) + "took\tlog-b.journal\n", {}, {}, false},
        {"cut_then_another_finished", takes + journalRows(1, 2) + "takes\tlog-b.journal\n" + journalRows(3, 3) +
                                          "took\tlog-b.journal\n", {3}, {"log-b.journal"}, true},
    };
    for (const Case& c : cases) {
        JournalContents j;
        read(journalHeader() + c.tail, j);
        EXPECT_EQ(numbers(j.rows), c.rows) << c.name;
        EXPECT_EQ(j.chartValues.size(), c.rows.size()) << c.name;
        EXPECT_EQ(j.took, c.took) << c.name;
        EXPECT_EQ(j.unsaved(), c.unsaved) << c.name;
    }
    JournalContents j;
    std::string damaged;
    appendJournalDamaged(damaged, "log-c.journal.damaged");
    read(journalHeader() + damaged, j);
    EXPECT_EQ(j.damagedCopies, std::vector<std::string>{"log-c.journal.damaged"});
}

// Journals written before the rows carried their limits still load.
TEST(JournalFormat, AVersionOneJournalLoads) {
    const std::string v1 = "MeterLink journal 1\n"
                           "row\t7\t2026-12-10T16:08:55.123+01:00\t16:08:55\tDC\t5.999\tV\tauto\tpass\t\t5999\t1\n"
                           "row\t8\t\t16:08:56\tDC\t5.999\tV\tauto\tpass\t\t5999\t1\t6\t-6\n";
    JournalContents j;
    read(v1, j);
    ASSERT_EQ(j.header, JournalContents::Header::Ok);
    EXPECT_EQ(numbers(j.rows), std::vector<int>{7});
    EXPECT_EQ(j.skippedLines, 1) << "a version 1 row has no limits";
    EXPECT_EQ(j.rows.limits(0), RecordTable::Limits{});
}

}  // namespace
}  // namespace meterlink
