// The logging rules as a table of scripts: readings arrive frame by frame or
// through sampling ticks, and each case names the rows the log must hold.

#include "recording/record_logger.h"

#include <QLocale>
#include <QStringList>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using meterlink::MeterReading;
using meterlink::RecordLogger;
using meterlink::RecordTable;
using meterlink::TChartControl;
using meterlink::TimeTexts;

namespace {

// "5.999/DC/V/AUTO/pass": value, function, unit, range mode, verdict.
MeterReading readingOf(const std::string& spec) {
    QStringList parts = QString::fromStdString(spec).split(QLatin1Char('/'));
    while (parts.size() < 5) parts << QString();
    MeterReading r;
    r.ValueText = parts[0].toStdString();
    r.FunctionText = parts[1].toStdString();
    r.UnitText = parts[2].toStdString();
    r.AutoText = parts[3].toStdString();
    r.JudgeText = parts[4].toStdString();
    r.ChartValue = parts[0].toDouble();
    return r;
}

struct Log {
    RecordTable table;
    TChartControl pager{100};
    RecordLogger logger{table, pager, TimeTexts(QLocale::c()), [] { return QTime(14, 3, 22); }};
    MeterReading current;

    // "frame SPEC" (decoded frame: sets the new-reading flag, then logs unless
    // sampling), "tick" (sampling timer), "norepeat", "sampling", "limit N",
    // "close"; "frameN SPEC" repeats a frame N times.
    void run(const std::string& script) {
        std::istringstream in(script);
        std::string op;
        while (in >> op) {
            if (op.rfind("frame", 0) == 0) {
                const int times = op.size() > 5 ? std::stoi(op.substr(5)) : 1;
                std::string spec;
                in >> spec;
                for (int i = 0; i < times; ++i) frame(readingOf(spec));
            } else if (op == "tick") {
                logger.Timer3Timer(current);
            } else if (op == "norepeat") {
                logger.repeat = false;
            } else if (op == "sampling") {
                logger.sampling = true;
            } else if (op == "limit") {
                int n = 0;
                in >> n;
                logger.setRecordLimit(n);
            } else if (op == "confirm") {
                int n = 0;
                in >> n;
                logger.setConfirmFrames(n);
            } else if (op == "close") {
                logger.closeData();
            } else {
                FAIL() << "unknown op " << op;
            }
        }
    }

    // As the window: while sampling a frame only starts the timer (and is
    // offered for confirmation).
    void frame(const MeterReading& r) {
        current = r;
        current.NewReadingFlag = true;
        if (logger.sampling)
            logger.frameWhileSampling(current);
        else
            logger.INDataToTable(current);
    }

    std::vector<std::string> values() const {
        std::vector<std::string> out;
        for (int row = 0; row < table.rowCount(); ++row)
            out.push_back(table.text(row, RecordTable::Value).toStdString());
        return out;
    }

    std::vector<int> numbers() const {
        std::vector<int> out;
        for (int row = 0; row < table.rowCount(); ++row) out.push_back(*table.integer(row, RecordTable::No));
        return out;
    }
};

struct LoggingCase {
    const char* name;
    const char* script;
    std::vector<int> rows;   // the No of each row, in order
    int nextRecordNo;
};

class LoggingScript : public ::testing::TestWithParam<LoggingCase> {};

TEST_P(LoggingScript, LogsTheNamedRows) {
    const LoggingCase& c = GetParam();
    Log log;
    log.run(c.script);
    EXPECT_EQ(log.numbers(), c.rows);
    EXPECT_EQ(log.logger.NextRecordNo(), c.nextRecordNo);
    EXPECT_EQ(log.logger.LoggedCount(), static_cast<int>(c.rows.size()));
    EXPECT_EQ(log.pager.pointCount(), c.rows.size());
}

const LoggingCase kCases[] = {
    {"RepeatLogsEqualReadings", "frame3 5.999/DC/V/AUTO/pass", {1, 2, 3}, 4},
    {"NoRepeatSkipsEqualReadingsButCountsThem", "norepeat frame5 5.999/DC/V/AUTO/pass frame 6.000/DC/V/AUTO/pass", {1, 6}, 7},
    {"AVerdictAloneIsARepeat", "norepeat frame 5.999/DC/V/AUTO/pass frame 5.999/DC/V/AUTO/Fail", {1}, 3},
    {"TheRangeModeIsPartOfTheKey", "norepeat frame 5.999/DC/V/AUTO/pass frame 5.999/DC/V/MANU/pass", {1, 2}, 3},
    {"CloseDataRestartsTheNumbers", "frame2 1/DC/V/AUTO/pass close frame 2/DC/V/AUTO/pass", {1}, 2},
    // The last key survives Close Data: a steady reading is not logged again.
    {"CloseDataKeepsTheLastKey", "norepeat frame 1/DC/V/AUTO/pass close frame3 1/DC/V/AUTO/pass", {}, 4},
    {"FullLogStandsStill", "limit 2 frame5 1/DC/V/AUTO/pass", {1, 2}, 3},
    {"ARaisedLimitResumesTheNumbering", "limit 2 frame5 1/DC/V/AUTO/pass limit 3 frame 1/DC/V/AUTO/pass", {1, 2, 3}, 4},
    {"ALowerLimitStopsAtOnce", "frame3 1/DC/V/AUTO/pass limit 1 frame 1/DC/V/AUTO/pass", {1, 2, 3}, 4},
    // Sampling: frames only set the flag; each tick logs the latest reading once.
    {"SamplingLogsOnTicks", "sampling frame3 1/DC/V/AUTO/pass tick frame 2/DC/V/AUTO/pass tick", {1, 2}, 3},
    {"ATickWithoutANewFrameLogsNothing", "sampling frame 1/DC/V/AUTO/pass tick tick tick", {1}, 2},
    {"SamplingNoRepeatSkipsButCounts", "sampling norepeat frame 1/DC/V/AUTO/pass tick frame 1/DC/V/AUTO/pass tick "
                                        "frame 2/DC/V/AUTO/pass tick", {1, 3}, 4},
    {"TicksWithoutSamplingLogNothing", "frame 1/DC/V/AUTO/pass tick tick", {1}, 2},
    {"FullLogIgnoresTicks", "sampling limit 1 frame 1/DC/V/AUTO/pass tick frame 2/DC/V/AUTO/pass tick", {1}, 2},
};

INSTANTIATE_TEST_SUITE_P(Logging, LoggingScript, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LoggingCase>& p) { return std::string(p.param.name); });

// What the paged chart gets: a point per logged row that shows a number, and
// none for a row that is a word (the logic probe's "READY", "Hi", "Lo").
struct ChartCase {
    const char* name;
    const char* script;
    std::vector<double> points;   // the pager's points, in order
    int rows;
};

class ChartPoints : public ::testing::TestWithParam<ChartCase> {};

TEST_P(ChartPoints, AreTheRowsThatShowANumber) {
    const ChartCase& c = GetParam();
    Log log;
    log.run(c.script);
    EXPECT_EQ(log.table.rowCount(), c.rows);
    std::vector<double> points;
    for (std::size_t x = 0; x < log.pager.pointCount(); ++x) points.push_back(log.pager.value(x));
    EXPECT_EQ(points, c.points);
}

const ChartCase kChartCases[] = {
    {"numbers_are_plotted", "frame 1.5/DC/V/MANU frame 2.5/DC/V/MANU", {1.5, 2.5}, 2},
    {"logic_words_are_logged_not_plotted",
     "frame 1.5/DC/V/MANU frame READY/Logic//MANU frame FLOAT/Logic//MANU frame Hi/Logic//MANU "
     "frame Lo/Logic//MANU frame 2.5/DC/V/MANU",
     {1.5, 2.5}, 6},
    {"sampled_word_is_not_plotted", "sampling frame Hi/Logic//MANU tick frame 3/DC/V/MANU tick", {3}, 2},
    // Overload and underflow keep their marks (at the edge and at the foot).
    {"overload_and_underflow_keep_their_marks", "frame 0L/OHM/M*/AUTO frame UL/Freq/Hz/AUTO", {0, 0}, 2},
};

INSTANTIATE_TEST_SUITE_P(Logging, ChartPoints, ::testing::ValuesIn(kChartCases),
                         [](const ::testing::TestParamInfo<ChartCase>& p) { return std::string(p.param.name); });

// "Confirm readings": a reading is logged only once N frames in a row agree.
struct ConfirmCase {
    const char* name;
    const char* script;
    std::vector<std::string> values;   // the Value of each row, in order
    int nextRecordNo;
};

class ConfirmScript : public ::testing::TestWithParam<ConfirmCase> {};

TEST_P(ConfirmScript, LogsOnlyConfirmedReadings) {
    const ConfirmCase& c = GetParam();
    Log log;
    log.run(c.script);
    EXPECT_EQ(log.values(), c.values);
    EXPECT_EQ(log.logger.NextRecordNo(), c.nextRecordNo);
}

const ConfirmCase kConfirmCases[] = {
    {"OffLogsADamagedFrame", "frame2 1/DC/V/AUTO frame 7/DC/V/AUTO frame 1/DC/V/AUTO", {"1", "1", "7", "1"}, 5},
    // The damaged frame and the first frame after it agree with nothing.
    {"TwoDropsALoneDamagedFrame", "confirm 2 frame2 1/DC/V/AUTO frame 7/DC/V/AUTO frame2 1/DC/V/AUTO",
     {"1", "1"}, 3},
    {"TwoLogsANewReadingOneFrameLate", "confirm 2 frame 1/DC/V/AUTO frame 2/DC/V/AUTO frame 2/DC/V/AUTO", {"2"}, 2},
    {"ThreeNeedsThreeFrames", "confirm 3 frame2 5/DC/V/AUTO frame 6/DC/V/AUTO frame3 5/DC/V/AUTO", {"5"}, 2},
    {"AnotherUnitDisagrees", "confirm 2 frame 1/DC/V/AUTO frame 1/DC/mV/AUTO frame 1/DC/V/AUTO", {}, 1},
    {"AnotherRangeModeDisagrees", "confirm 2 frame 1/DC/V/AUTO frame 1/DC/V/MANU frame 1/DC/V/AUTO", {}, 1},
    // A changed verdict is no other reading.
    {"AVerdictAloneAgrees", "confirm 2 frame 1/DC/V/AUTO/pass frame 1/DC/V/AUTO/Fail", {"1"}, 2},
    {"OneIsOff", "confirm 2 confirm 1 frame 1/DC/V/AUTO frame 2/DC/V/AUTO", {"1", "2"}, 3},
    // Sampling: the tick logs the latest confirmed reading, not the latest frame.
    {"TheTickLogsTheLatestConfirmedReading",
     "sampling confirm 2 frame2 1/DC/V/AUTO frame 9/DC/V/AUTO tick", {"1"}, 2},
    {"ATickBeforeAnyConfirmationLogsNothing", "sampling confirm 2 frame 1/DC/V/AUTO tick frame 1/DC/V/AUTO tick",
     {"1"}, 2},
    {"AConfirmedReadingIsLoggedByOneTickOnly", "sampling confirm 2 frame2 1/DC/V/AUTO tick tick", {"1"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Logging, ConfirmScript, ::testing::ValuesIn(kConfirmCases),
                         [](const ::testing::TestParamInfo<ConfirmCase>& p) { return std::string(p.param.name); });

struct LimitCase {
    const char* name;
    const char* script;
    std::vector<std::int32_t> told;   // the limit named each time the user is told
};

class LimitReached : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitReached, IsToldOnceEachTimeLoggingStops) {
    const LimitCase& c = GetParam();
    Log log;
    std::vector<std::int32_t> told;
    log.logger.setLimitReachedHandler([&](std::int32_t limit) { told.push_back(limit); });
    log.run(c.script);
    EXPECT_EQ(told, c.told);
}

const LimitCase kLimitCases[] = {
    {"BelowTheLimitSaysNothing", "limit 3 frame2 1/DC/V", {}},
    {"TheRowThatFillsTheLogTells", "limit 3 frame3 1/DC/V", {3}},
    {"LaterReadingsDoNotTellAgain", "limit 3 frame9 1/DC/V", {3}},
    {"AgainAfterCloseData", "limit 3 frame5 1/DC/V close frame5 1/DC/V", {3, 3}},
    {"ALimitBelowTheRowsTellsAtTheNextReading", "frame4 1/DC/V limit 2 frame 1/DC/V frame 1/DC/V", {2}},
    {"SamplingTellsToo", "limit 2 sampling frame 1/DC/V tick frame 2/DC/V tick frame 3/DC/V tick", {2}},
};

INSTANTIATE_TEST_SUITE_P(Logging, LimitReached, ::testing::ValuesIn(kLimitCases),
                         [](const ::testing::TestParamInfo<LimitCase>& p) { return std::string(p.param.name); });

TEST(LoggedRow, HoldsTheReadingAsDecodedWithTheVerdictInAuto) {
    Log log;
    log.run("frame -01.23/DC/k*/MANU/Fail");
    ASSERT_EQ(log.table.rowCount(), 1);
    EXPECT_EQ(log.table.text(0, RecordTable::No), QStringLiteral("1"));
    EXPECT_EQ(log.table.text(0, RecordTable::Time), QStringLiteral("14:03:22"));
    EXPECT_EQ(log.table.text(0, RecordTable::DCAC), QStringLiteral("DC"));
    EXPECT_EQ(log.table.text(0, RecordTable::Value), QStringLiteral("-01.23"));
    EXPECT_EQ(log.table.text(0, RecordTable::Unit), QStringLiteral("k*"));
    EXPECT_EQ(log.table.text(0, RecordTable::Auto), QStringLiteral("Fail"));
    EXPECT_TRUE(log.table.isEmpty(0, RecordTable::NVal));
    EXPECT_EQ(log.pager.value(0), -1.23);
}

// Rows keep the limits that judged them; when the limits change, the rows
// before keep theirs.
TEST(LoggedRow, KeepsTheLimitsThatJudgedIt) {
    RecordTable table;
    RecordLogger logger(table, nullptr);
    MeterReading r;
    r.ValueText = "5.000";
    r.UnitText = "V";
    r.JudgeText = "pass";
    logger.INDataToTable(r);
    r.HighLimitSi = 6.0;
    r.LowLimitSi = -6.0;
    logger.INDataToTable(r);
    logger.INDataToTable(r);
    r.HighLimitSi = 4.5;
    logger.INDataToTable(r);
    const RecordTable::Limits expected[] = {{}, {6.0, -6.0}, {6.0, -6.0}, {4.5, -6.0}};
    ASSERT_EQ(table.rowCount(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(table.limits(i), expected[i]) << "row " << i;
}

TEST(LoggedRow, TheSamplingTimerFlagIsClearedByEveryTick) {
    Log log;
    log.run("frame 1/DC/V/AUTO/pass");
    EXPECT_TRUE(log.current.NewReadingFlag);
    log.run("tick");
    EXPECT_FALSE(log.current.NewReadingFlag);
}

struct TimeCase {
    const char* locale;
    const char* frameTime;
    const char* timedTime;
};

class RowTimes : public ::testing::TestWithParam<TimeCase> {};

TEST_P(RowTimes, FollowTheLocale) {
    const TimeCase& c = GetParam();
    const TimeTexts times{QLocale(QString::fromLatin1(c.locale))};
    const QTime afternoon(14, 3, 22);
    EXPECT_EQ(times.frameTime(afternoon), QString::fromUtf8(c.frameTime));
    EXPECT_EQ(times.timedTime(afternoon), QString::fromUtf8(c.timedTime));
}

INSTANTIATE_TEST_SUITE_P(Locales, RowTimes,
                         ::testing::Values(TimeCase{"C", "14:03:22", "14:03:22"},
                                           TimeCase{"en_US", "14:03:22", "2:03:22 PM"},
                                           TimeCase{"de_DE", "14:03:22", "14:03:22"},
                                           TimeCase{"fi_FI", "14.03.22", "14.03.22"},
                                           TimeCase{"fr_CA", "14:03:22", "14 h 03 min 22 s"}),
                         [](const ::testing::TestParamInfo<TimeCase>& p) {
                             return std::string(p.param.locale);
                         });

}  // namespace
