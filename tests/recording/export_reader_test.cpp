// CSV and JSON lines load back into the log: what the writers wrote, files
// written by other tools, and files that are no log.
#include "recording/data_files.h"
#include "recording/export_reader.h"
#include "recording/log_points.h"
#include "table_rows.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace meterlink {
namespace {

using test::tableRow;
using test::tableRows;

FullTime iso(const char* text) { return parseIsoTime(text).value(); }

RecordTable::Row timed(RecordTable::Row r, const char* isoTime, RecordTable::Range range) {
    r.fullTime = iso(isoTime);
    r.range = range;
    return r;
}

class ExportRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(ExportRoundTrip, loads_back_what_was_written) {
    RecordTable logged;
    logged.append(timed(tableRow(1, "16:08:55", "DC", "5.999", "V", "pass"), "2026-12-10T16:08:55.123+01:00",
                        RecordTable::Range::Auto));
    logged.append(timed(tableRow(2, "16:08:56", "OHM", "-01.23", "k*", "Fail"), "2026-12-10T16:08:56.000+01:00",
                        RecordTable::Range::Manual));
    logged.append(timed(tableRow(3, "16:08:57", "OHM", "OL", "M*", "Fail"), "2026-12-10T16:08:57.000+01:00",
                        RecordTable::Range::Auto));
    logged.append(timed(tableRow(4, "23:59:59", "TEMP", "21.5", "#", ""), "2026-12-10T23:59:59.999-05:30",
                        RecordTable::Range::Unknown));
    logged.append(timed(tableRow(5, "00:00:01", "DC", "12.0", "uA", "pass"), "2026-12-11T00:00:01.000+00:00",
                        RecordTable::Range::Auto));
    // No full time: it comes back without one, and without a time of day.
    logged.append(tableRow(std::nullopt, "", "AC", "1.000", "V", "pass"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(GetParam()));
    ASSERT_TRUE(saveTableToFile(logged, path, nullptr));

    RecordTable back;
    back.append(tableRow(0, "held", "", "", "", ""));
    QString reason;
    ASSERT_TRUE(LoadTableFromFile(path, back, false, &reason)) << reason.toStdString();
    QStringList want = tableRows(logged);
    want.prepend(QStringLiteral("0|held|||||"));
    EXPECT_EQ(tableRows(back), want);
    for (int r = 0; r < logged.rowCount(); ++r) {
        EXPECT_EQ(back.fullTime(r + 1), logged.fullTime(r)) << r;
        EXPECT_EQ(back.range(r + 1), logged.range(r)) << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportRoundTrip, ::testing::Values("log.csv", "log.jsonl", "LOG.CSV"),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             for (char& c : n)
                                 if (c == '.') c = '_';
                             return n;
                         });

struct ForeignCase {
    const char* name;
    ExportFormat format;
    const char* bytes;
    bool loads;
    const char* reasonOrRows;   // the reason's words, or the rows "|"-joined by ";"
};

class ForeignFiles : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignFiles, load_or_say_why) {
    const ForeignCase& c = GetParam();
    QByteArray bytes(c.bytes);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    RecordTable table;
    QString reason;
    const bool loaded = c.format == ExportFormat::Csv ? loadTableCsv(in, table, &reason)
                                                      : loadTableJsonLines(in, table, &reason);
    EXPECT_EQ(loaded, c.loads) << reason.toStdString();
    if (c.loads) EXPECT_EQ(tableRows(table).join(QLatin1Char(';')), QString::fromUtf8(c.reasonOrRows));
    else EXPECT_TRUE(reason.contains(QString::fromUtf8(c.reasonOrRows))) << reason.toStdString();
}

const ForeignCase kForeign[] = {
    {"csv_columns_reordered_and_added", ExportFormat::Csv,
     "\xEF\xBB\xBFverdict,display,high_limit,timestamp,no\r\n"
     "fail,\"1,5 k\xCE\xA9\",2,2026-12-10T16:08:55.123+01:00,7\r\n",
     true, "7|16:08:55||1,5|k*|Fail|"},
    {"csv_without_display_uses_the_si_value", ExportFormat::Csv,
     "timestamp,value,unit\n2026-12-10T16:08:55.000Z,0.0125,\xCE\xA9\n", true, "|16:08:55||0.0125|*||"},
    {"csv_row_without_timestamp_is_kept", ExportFormat::Csv,
     "timestamp,no,display\n,1,5 V\nnot a time,2,6 V\n", true, "1|||5|V||;2|||6|V||"},
    {"csv_quoted_line_end", ExportFormat::Csv, "timestamp,function,display\n,\"a\nb\",1 V\n", true, "||a\nb|1|V||"},
    {"csv_without_header_is_refused", ExportFormat::Csv, "2026-12-10T16:08:55.000Z,1,DC\n", false,
     "the header names no timestamp"},
    {"csv_empty_is_refused", ExportFormat::Csv, "", false, "empty file"},
    {"csv_open_quote_stops_at_its_line", ExportFormat::Csv, "timestamp,display\n,1 V\n,\"2 V\n", false,
     "line 3: a quote is not closed"},
    {"json_lines_order_free_and_blank_lines", ExportFormat::JsonLines,
     "{\"display\":\"OL M\xCE\xA9\",\"overload\":true,\"verdict\":\"fail\",\"timestamp\":\"2026-12-10T16:08:55.000+01:00\"}\n"
     "\n{\"timestamp\":null,\"value\":-2.5e-3,\"unit\":\"A\",\"no\":3}\n",
     true, "|16:08:55||OL|M*|Fail|;3|||-0.0025|A||"},
    {"json_lines_not_json_is_refused", ExportFormat::JsonLines, "No\tTime\r\n", false, "not a log in JSON lines"},
    {"json_lines_bad_line_stops_there", ExportFormat::JsonLines,
     "{\"timestamp\":null,\"display\":\"1 V\"}\n{\"timestamp\":\n", false, "line 2: no JSON object"},
};

INSTANTIATE_TEST_SUITE_P(Files, ForeignFiles, ::testing::ValuesIn(kForeign),
                         [](const ::testing::TestParamInfo<ForeignCase>& i) { return std::string(i.param.name); });

TEST(ExportReader, a_failing_line_keeps_the_rows_before_it_and_a_refused_file_keeps_the_log) {
    QByteArray bytes("timestamp,display\n,1 V\n,\"2 V\n");
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    RecordTable table;
    table.append(tableRow(0, "held", "", "", "", ""));
    EXPECT_FALSE(loadTableCsv(in, table, nullptr));
    EXPECT_EQ(tableRows(table), (QStringList{"0|held|||||", "|||1|V||"}));

    QByteArray notALog("hello\n");
    QBuffer other(&notALog);
    other.open(QIODevice::ReadOnly);
    EXPECT_FALSE(loadTableJsonLines(other, table, nullptr));
    EXPECT_EQ(table.rowCount(), 2);
}

TEST(ExportReader, rows_give_their_si_values_and_overloads) {
    QByteArray bytes("timestamp,value,unit,display,verdict\n"
                     "2026-12-10T16:08:55.000+01:00,0.0015,\xCE\xA9,1.5 m\xCE\xA9,PASS\n"
                     "2026-12-10T16:08:56.000+01:00,,\xCE\xA9,0.L M\xCE\xA9,fail\n");
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    std::vector<ExportRow> rows;
    ASSERT_TRUE(readExportRows(ExportFormat::Csv, in, [&](const ExportRow& r) { rows.push_back(r); return true; }, nullptr));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].value, 0.0015);
    EXPECT_EQ(rows[0].verdict, "pass");
    EXPECT_FALSE(rows[0].overload);
    EXPECT_FALSE(rows[1].value);
    EXPECT_TRUE(rows[1].overload);
    EXPECT_EQ(rows[1].verdict, "fail");
    EXPECT_EQ(rows[1].fullTime->utcMs - rows[0].fullTime->utcMs, 1000);
}

}  // namespace
}  // namespace meterlink
