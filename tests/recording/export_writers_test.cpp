#include "recording/csv_writer.h"
#include "recording/full_time.h"
#include "recording/json_lines_writer.h"
#include "recording/row_formats.h"

#include "table_rows.h"

#include <gtest/gtest.h>

#include <QBuffer>

namespace meterlink {
namespace {

// 2026-12-10T16:08:55.123+01:00
constexpr FullTime kWinterNoon{1'796'915'335'123, 60};

struct ExportCase {
    const char* name;
    RowView row;
    const char* sep;
    const char* csv;
    const char* json;
};

class ExportTable : public ::testing::TestWithParam<ExportCase> {};

TEST_P(ExportTable, CsvAndJsonCarryTheSameFields) {
    const ExportCase& c = GetParam();
    std::string csv, json;
    appendCsvRecord(csv, c.row, c.sep, "\n");
    appendJsonObject(json, c.row, c.sep);
    EXPECT_EQ(csv, std::string(c.csv) + "\n");
    EXPECT_EQ(json, c.json);
}

RowView row(std::optional<FullTime> t, std::optional<int> no, const char* function, const char* value,
            const char* unit, const char* verdict, RecordTable::Range range, RecordTable::Limits limits = {}) {
    RowView v;
    v.limits = limits;
    v.fullTime = t;
    v.no = no;
    v.function = function;
    v.value = value;
    v.unit = unit;
    v.verdict = verdict;
    v.range = range;
    return v;
}

const ExportCase kCases[] = {
    {"logged_row_in_base_units",
     row(kWinterNoon, 12, "DC", "-034.6", "mV", "pass", RecordTable::Range::Auto, {6.0, -6.0}), ".",
     "2026-12-10T16:08:55.123+01:00,12,DC,-0.0346,V,-034.6 mV,auto,pass,6,-6",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":12,"function":"DC","value":-0.0346,"unit":"V",)"
     R"("display":"-034.6 mV","range":"auto","verdict":"pass","overload":false,"high_limit":6,"low_limit":-6})"},
    {"kilo_ohm_exact_and_comma_display_quoted",
     row(FullTime{0, -330}, 3, "OHM", "0,015", "k*", "Fail", RecordTable::Range::Manual, {0.0125, std::nullopt}), ",",
     "1969-12-31T18:30:00.000-05:30,3,OHM,15,\u03A9,\"0,015 k\u03A9\",manual,fail,0.0125,",
     R"({"timestamp":"1969-12-31T18:30:00.000-05:30","no":3,"function":"OHM","value":15,"unit":"Ω",)"
     R"("display":"0,015 kΩ","range":"manual","verdict":"fail","overload":false,"high_limit":0.0125,"low_limit":null})"},
    {"kilohertz_in_hertz",
     row(kWinterNoon, 5, "Freq", "1.234", "kHz", "pass", RecordTable::Range::Auto), ".",
     "2026-12-10T16:08:55.123+01:00,5,Freq,1234,Hz,1.234 kHz,auto,pass,,",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":5,"function":"Freq","value":1234,"unit":"Hz",)"
     R"("display":"1.234 kHz","range":"auto","verdict":"pass","overload":false,"high_limit":null,"low_limit":null})"},
    {"overload_has_no_value",
     row(kWinterNoon, 4, "OHM", "0.L", "M*", "Fail", RecordTable::Range::Auto), ".",
     "2026-12-10T16:08:55.123+01:00,4,OHM,,\u03A9,0.L M\u03A9,auto,fail,,",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":4,"function":"OHM","value":null,"unit":"Ω",)"
     R"("display":"0.L MΩ","range":"auto","verdict":"fail","overload":true,"high_limit":null,"low_limit":null})"},
    {"loaded_row_without_full_time",
     row(std::nullopt, std::nullopt, "TMP", "23.5", "#", "", RecordTable::Range::Unknown), ".",
     ",,TMP,23.5,\u00B0C,23.5 \u00B0C,,,,",
     R"({"timestamp":null,"no":null,"function":"TMP","value":23.5,"unit":"°C","display":"23.5 °C",)"
     R"("range":null,"verdict":null,"overload":false,"high_limit":null,"low_limit":null})"},
    {"watts_in_watts",
     row(kWinterNoon, 6, "Power", "12.34", "W", "pass", RecordTable::Range::Manual, {20.0, 1.0}), ".",
     "2026-12-10T16:08:55.123+01:00,6,Power,12.34,W,12.34 W,manual,pass,20,1",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":6,"function":"Power","value":12.34,"unit":"W",)"
     R"("display":"12.34 W","range":"manual","verdict":"pass","overload":false,"high_limit":20,"low_limit":1})"},
    {"dBm_as_shown",
     row(kWinterNoon, 7, "dB", "-12.5", "dBm", "pass", RecordTable::Range::Manual), ".",
     "2026-12-10T16:08:55.123+01:00,7,dB,-12.5,dBm,-12.5 dBm,manual,pass,,",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":7,"function":"dB","value":-12.5,"unit":"dBm",)"
     R"("display":"-12.5 dBm","range":"manual","verdict":"pass","overload":false,"high_limit":null,"low_limit":null})"},
    {"logic_word_has_no_value",
     row(kWinterNoon, 8, "Logic", "READY", "", "", RecordTable::Range::Manual), ".",
     "2026-12-10T16:08:55.123+01:00,8,Logic,,,READY,manual,,,",
     R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":8,"function":"Logic","value":null,"unit":null,)"
     R"("display":"READY","range":"manual","verdict":null,"overload":false,"high_limit":null,"low_limit":null})"},
    {"quotes_and_line_breaks_stay_in_their_field",
     row(std::nullopt, 1, "a\"b\nc", "1", "uA", "pass", RecordTable::Range::Unknown), ".",
     ",1,\"a\"\"b\nc\",1e-06,A,1 \u00B5A,,pass,,",
     R"({"timestamp":null,"no":1,"function":"a\"b\nc","value":1e-06,"unit":"A","display":"1 µA",)"
     R"("range":null,"verdict":"pass","overload":false,"high_limit":null,"low_limit":null})"},
};

INSTANTIATE_TEST_SUITE_P(Rows, ExportTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ExportCase>& i) { return std::string(i.param.name); });

TEST(FullTime, IsoTextReadsBackToTheSameMoment) {
    const FullTime cases[] = {kWinterNoon, {0, 0}, {-1, 0}, {1'711'846'799'999, 60}, {1'711'846'800'000, 120},
                              {951'782'400'000, -600}, {253'402'300'799'999, 0}, {1'796'915'335'123, 840}};
    for (const FullTime& t : cases) {
        char text[kIsoTimeMaxBytes];
        const std::string iso(text, formatIsoTime(t, text));
        const auto back = parseIsoTime(iso);
        ASSERT_TRUE(back.has_value()) << iso;
        EXPECT_EQ(*back, t) << iso;
    }
    for (const char* bad : {"2026-02-30T00:00:00.000+00:00", "2026-12-10T16:08:55+01:00", "2026-12-10T16:08:55.123",
                            "2026-12-10T24:00:00.000Z", "x026-12-10T16:08:55.123Z"})
        EXPECT_FALSE(parseIsoTime(bad).has_value()) << bad;
}

TEST(RowFormats, FilesKeepTheirLineEndsAndTheExtensionPicksTheFormat) {
    RecordTable table;
    RecordTable::Row r = test::tableRow(1, "16:08:55", "DC", "5.000", "V", "pass");
    r.fullTime = kWinterNoon;
    r.range = RecordTable::Range::Auto;
    r.limits = {5.5, 4.5};
    table.append(r);
    struct Case {
        const char* file;
        const char* bytes;
    };
    const Case cases[] = {
        {"log.txt", "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n1\t16:08:55\tDC\t5.000\tV\tpass\r\n"},
        {"log.CSV", "timestamp,no,function,value,unit,display,range,verdict,high_limit,low_limit\r\n"
                    "2026-12-10T16:08:55.123+01:00,1,DC,5,V,5.000 V,auto,pass,5.5,4.5\r\n"},
        {"log.jsonl", R"({"timestamp":"2026-12-10T16:08:55.123+01:00","no":1,"function":"DC","value":5,"unit":"V",)"
                      R"("display":"5.000 V","range":"auto","verdict":"pass","overload":false,"high_limit":5.5,"low_limit":4.5})"
                      "\n"},
    };
    for (const Case& c : cases) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        ASSERT_TRUE(writeRows(rowFormatForFile(QString::fromLatin1(c.file)), table, out, "."));
        EXPECT_EQ(out.data().toStdString(), c.bytes) << c.file;
    }
}

}  // namespace
}  // namespace meterlink
