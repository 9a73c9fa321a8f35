// The log kept without a window holds the rows the window logs for the same
// bytes from the meter: numbers, functions, values, units, verdicts, the
// frame-driven time format, and the repeat and limit rules.

#include "app/limit_panel.h"
#include "app/record_bar.h"
#include "app/tfcomm.h"
#include "log_session.h"
#include "protocol/frame_builder.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using meterlink::LogSession;
using meterlink::RecordTable;

namespace {

// The meter's bytes for scenario lines, after the LF a frame must follow.
std::string meterBytes(const std::vector<const char*>& lines) {
    std::string bytes = "\n";
    for (const char* line : lines) {
        meterlink::DisplaySpec spec;
        std::string error;
        EXPECT_TRUE(meterlink::parseDisplaySpec(line, spec, error)) << line << ": " << error;
        const meterlink::WireFrame frame = meterlink::encodeFrame(meterlink::fieldsFor(spec));
        bytes.append(reinterpret_cast<const char*>(frame.data()), frame.size());
    }
    return bytes;
}

struct SameRowsCase {
    const char* name;
    const char* locale;
    LogSession::Rules rules;
    std::vector<const char*> readings;
    int rows;   // how many the window logs
};

void PrintTo(const SameRowsCase& c, std::ostream* out) { *out << c.name; }

class HeadlessLogMatchesWindow : public ::testing::TestWithParam<SameRowsCase> {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QString::fromLatin1(GetParam().locale))); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_P(HeadlessLogMatchesWindow, ForTheSameBytes) {
    const SameRowsCase& c = GetParam();
    TFCOMM window;
    window.limits().T1HI()->setText(QString::fromStdString(c.rules.highLimit));
    window.limits().T1LO()->setText(QString::fromStdString(c.rules.lowLimit));
    window.recordBar()->RepeatSet()->setChecked(c.rules.repeat);
    window.logger().setRecordLimit(c.rules.recordLimit);
    LogSession session(c.rules, window.profile().fullCount);

    // Cut differently on each side: frames are whole only after assembly.
    const std::string bytes = meterBytes(c.readings);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size(); at += 5)
        window.RECEIVE_COM_Data(nullptr, data + at, static_cast<int>(std::min<std::size_t>(5, bytes.size() - at)));
    for (std::size_t at = 0; at < bytes.size(); at += 9) session.feed(data + at, std::min<std::size_t>(9, bytes.size() - at));

    const RecordTable& mine = session.table();
    const RecordTable& theirs = window.recordTable();
    ASSERT_EQ(theirs.rowCount(), c.rows);
    ASSERT_EQ(mine.rowCount(), theirs.rowCount());
    for (int row = 0; row < mine.rowCount(); ++row) {
        for (RecordTable::Field f : {RecordTable::No, RecordTable::DCAC, RecordTable::Value, RecordTable::Unit,
                                     RecordTable::Auto, RecordTable::NVal})
            EXPECT_EQ(mine.text(row, f), theirs.text(row, f)) << "row " << row << ", " << qPrintable(RecordTable::fieldName(f));
        // The same format; the clock may have passed a second between the two.
        const QChar sep = meterlink::TimeTexts().timeSeparator();
        const QString format = QStringLiteral("hh%1mm%1ss").arg(sep);
        const QTime at = QTime::fromString(mine.text(row, RecordTable::Time), format);
        ASSERT_TRUE(at.isValid()) << qPrintable(mine.text(row, RecordTable::Time));
        EXPECT_LE(std::abs(at.secsTo(QTime::fromString(theirs.text(row, RecordTable::Time), format))), 1);
    }
    EXPECT_EQ(session.logger().NextRecordNo(), window.logger().NextRecordNo());
    EXPECT_EQ(session.logger().LoggedCount(), window.logger().LoggedCount());
    EXPECT_EQ(session.reading().JudgeText, window.reading().JudgeText);
}

LogSession::Rules rules(const char* high, const char* low, bool repeat, std::int32_t limit = 10000) {
    LogSession::Rules r;
    r.highLimit = high;
    r.lowLimit = low;
    r.repeat = repeat;
    r.recordLimit = limit;
    return r;
}

const SameRowsCase kSameRows[] = {
    {"EveryFrameWithTheDefaultLimits", "C", LogSession::Rules(),
     {"DCV 5.999", "DCV 5.999", "DCV -0.512", "DCV OL", "ACV m 123.4", "OHM k 4.702 manual", "TEMPC 0023", "CAP u 1.234"},
     8},
    // Limits typed with a full stop in a comma locale, judged as the window
    // judges them once it has rewritten the separator; a verdict alone is no
    // new reading, a range mode alone is.
    {"NoRepeatInACommaLocale", "de_DE", rules("2.5", "-1", false),
     {"DCV 1.000", "DCV 1.000", "DCV 2.500", "DCV 2.501", "DCV 2.501", "DCV 2.501 manual", "DCV -1.000", "DCV -1.001",
      "DCV OL", "DCV OL", "DCV 1.000"},
     8},
    {"StopsAtTheRecordLimit", "en_US", rules("1", "0", true, 4),
     {"DCV 0.500", "DCV 0.500", "DCV 1.500", "DCV 0.900", "DCV 0.100", "DCV 0.200"}, 4},
};

INSTANTIATE_TEST_SUITE_P(Rules, HeadlessLogMatchesWindow, ::testing::ValuesIn(kSameRows),
                         [](const ::testing::TestParamInfo<SameRowsCase>& p) { return std::string(p.param.name); });

}  // namespace
