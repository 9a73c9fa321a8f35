// The log's table: field order and names, the 20-character cut, empty
// integers, and that rows come back exactly as appended.

#include "recording/record_table.h"
#include "table_rows.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using meterlink::RecordTable;
using meterlink::test::tableRow;

namespace {

// A row whose time is kept once, as a frame-driven one is.
RecordTable::Row sharedTimeRow(std::optional<int> no, const char* time, const char* dcac, const char* value,
                               const char* unit, const char* judge) {
    return tableRow(no, time, dcac, value, unit, judge, std::nullopt, true);
}

TEST(RecordTableFields, HaveTheirOrderAndAreFoundWhateverTheCase) {
    const char* names[] = {"No", "Time", "DC/AC", "Value", "Unit", "Auto", "NVal"};
    for (int f = 0; f < RecordTable::kFieldCount; ++f)
        EXPECT_EQ(RecordTable::fieldName(static_cast<RecordTable::Field>(f)), QLatin1String(names[f]));
    EXPECT_EQ(RecordTable::fieldByName(u"value"), RecordTable::Value);
    EXPECT_EQ(RecordTable::fieldByName(u"AUTO"), RecordTable::Auto);
    EXPECT_EQ(RecordTable::fieldByName(u"dc/ac"), RecordTable::DCAC);
    EXPECT_EQ(RecordTable::fieldByName(u"nval"), RecordTable::NVal);
    EXPECT_FALSE(RecordTable::fieldByName(u"Judge").has_value());
}

TEST(RecordTableRows, ComeBackAsAppendedInOrderWithDuplicateNumbers) {
    RecordTable table;
    QSignalSpy appended(&table, &RecordTable::rowsAppended);
    table.append(sharedTimeRow(7, "14:03:22", "DC", "5.999", "V", "pass"));
    table.append(tableRow(7, "2:03:22 PM", "", "-01.23", "k*", "Fail"));
    table.append(tableRow(std::nullopt, "", "OHM", "", "", ""));
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(appended.count(), 3);

    EXPECT_EQ(table.text(0, RecordTable::Time), QStringLiteral("14:03:22"));
    EXPECT_EQ(table.text(1, RecordTable::Time), QStringLiteral("2:03:22 PM"));
    EXPECT_EQ(table.text(1, RecordTable::No), QStringLiteral("7"));
    EXPECT_EQ(table.text(1, RecordTable::Value), QStringLiteral("-01.23"));
    EXPECT_EQ(table.text(1, RecordTable::Unit), QStringLiteral("k*"));
    EXPECT_TRUE(table.isEmpty(1, RecordTable::DCAC));
    EXPECT_TRUE(table.isEmpty(2, RecordTable::No));
    EXPECT_EQ(table.text(2, RecordTable::No), QString());
    EXPECT_EQ(table.text(2, RecordTable::DCAC), QStringLiteral("OHM"));
    for (int r = 0; r < 3; ++r) EXPECT_FALSE(table.integer(r, RecordTable::NVal).has_value());

    RecordTable::Row withNVal;
    withNVal.nval = -5;
    table.append(withNVal);
    EXPECT_EQ(table.integer(3, RecordTable::NVal), -5);
}

TEST(RecordTableRows, TextsAreCutToTwentyCharactersNeverInsideOne) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"12345678901234567890", "12345678901234567890"},
        {"123456789012345678901", "12345678901234567890"},
        {"\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5"
         "\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5",
         "\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5"
         "\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5\xC2\xB5"},
        // 19 characters and one outside the BMP (two UTF-16 units): it does not fit.
        {"1234567890123456789\xF0\x9F\x98\x80", "1234567890123456789"},
    };
    for (const Case& c : cases) {
        RecordTable table;
        for (int f = RecordTable::Time; f <= RecordTable::Auto; ++f) {
            RecordTable::Row r;
            r.text[f] = c.in;
            table.append(r);
            EXPECT_EQ(table.utf8(table.rowCount() - 1, static_cast<RecordTable::Field>(f)), QByteArrayView(c.out))
                << c.in << " in field " << f;
        }
    }
}

TEST(RecordTableRows, ClearEmptiesAndTheTableStaysUsable) {
    RecordTable table;
    QSignalSpy cleared(&table, &RecordTable::cleared);
    for (int i = 0; i < 70000; ++i) table.append(sharedTimeRow(i, "00:00:01", "DC", "1.000", "V", "pass"));
    EXPECT_EQ(table.text(69999, RecordTable::No), QStringLiteral("69999"));
    table.clear();
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_EQ(cleared.count(), 1);
    table.append(sharedTimeRow(1, "00:00:02", "AC", "2.000", "mV", "Fail"));
    EXPECT_EQ(table.text(0, RecordTable::Unit), QStringLiteral("mV"));
    EXPECT_EQ(table.text(0, RecordTable::Time), QStringLiteral("00:00:02"));
}

}  // namespace

namespace {

TEST(RecordTableRows, ABatchIsAnnouncedOnceAndTakenRowsReplaceTheOld) {
    RecordTable table;
    table.append(tableRow(1, "a", "DC", "1", "V", "pass"));
    QSignalSpy appended(&table, &RecordTable::rowsAppended);
    {
        RecordTable::Batch batch(table);
        for (int i = 0; i < 5; ++i) table.append(tableRow(i, "b", "AC", "2", "V", "pass"));
        EXPECT_EQ(appended.count(), 0);
    }
    ASSERT_EQ(appended.count(), 1);
    EXPECT_EQ(appended[0][0].toInt(), 1);
    EXPECT_EQ(appended[0][1].toInt(), 5);

    RecordTable loaded;
    loaded.append(tableRow(42, "c", "OHM", "3", "k*", "Fail"));
    QSignalSpy cleared(&table, &RecordTable::cleared);
    table.takeRowsFrom(loaded);
    EXPECT_EQ(cleared.count(), 1);
    ASSERT_EQ(table.rowCount(), 1);
    EXPECT_EQ(table.text(0, RecordTable::Unit), QStringLiteral("k*"));
    EXPECT_EQ(loaded.rowCount(), 0);
    loaded.append(tableRow(1, "d", "DC", "4", "V", "pass"));   // still usable
    EXPECT_EQ(loaded.text(0, RecordTable::Value), QStringLiteral("4"));
}

}  // namespace
