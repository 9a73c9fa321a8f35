// The headless log's own part of the rules: the sampling timer as the
// window's record bar runs it, the end at the record limit, and a closed
// session taking nothing more.

#include "log_session.h"
#include "protocol/frame_builder.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>

using meterlink::LogSession;
using meterlink::RecordTable;

namespace {

std::string frameBytes(const char* line) {
    meterlink::DisplaySpec spec;
    std::string error;
    EXPECT_TRUE(meterlink::parseDisplaySpec(line, spec, error)) << error;
    const meterlink::WireFrame frame = meterlink::encodeFrame(meterlink::fieldsFor(spec));
    return std::string(reinterpret_cast<const char*>(frame.data()), frame.size());
}

struct Fed {
    explicit Fed(LogSession::Rules rules)
        : session(rules, 6000, QLocale(QStringLiteral("en_US")), [] { return QTime(14, 3, 22); }) {
        feed("\n");
    }
    void feed(const std::string& bytes) {
        session.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    void frame(const char* line) { feed(frameBytes(line)); }
    std::vector<std::string> values() const {
        std::vector<std::string> out;
        for (int row = 0; row < session.table().rowCount(); ++row)
            out.push_back(session.table().text(row, RecordTable::No).toStdString() + " " +
                          session.table().text(row, RecordTable::Value).toStdString());
        return out;
    }
    LogSession session;
};

TEST(HeadlessLogSampling, TheFirstFrameStartsTheTimerAndEachTickLogsTheLatestReadingOnce) {
    LogSession::Rules rules;
    rules.intervalSeconds = 3600;   // ticks come from the test only
    rules.repeat = false;
    Fed log(rules);
    EXPECT_FALSE(log.session.samplingTimer().isActive());
    log.frame("DCV 1.000");
    ASSERT_TRUE(log.session.samplingTimer().isActive());
    EXPECT_EQ(log.session.samplingTimer().interval(), 3600 * 1000);
    const int started = log.session.samplingTimer().timerId();
    log.frame("DCV 1.001");
    EXPECT_EQ(log.session.samplingTimer().timerId(), started) << "a running timer keeps its period";
    EXPECT_EQ(log.session.table().rowCount(), 0) << "frames alone log nothing while sampling";

    log.session.Timer3Timer();   // the latest reading
    log.session.Timer3Timer();   // no frame since: nothing
    log.frame("DCV 1.001");
    log.session.Timer3Timer();   // equal to the last logged one: skipped, but numbered
    log.frame("DCV 2.000");
    log.session.Timer3Timer();
    EXPECT_EQ(log.values(), (std::vector<std::string>{"1 1.001", "3 2.000"}));
    // Timed rows carry the locale's long time format.
    EXPECT_EQ(log.session.table().text(0, RecordTable::Time), QStringLiteral("2:03:22 PM"));
}

// --confirm 2: a frame that disagrees with the frames around it is no row,
// on both roads.
TEST(HeadlessLogConfirm, ALoneDamagedFrameIsNotLogged) {
    LogSession::Rules rules;
    rules.confirmFrames = 2;
    Fed log(rules);
    for (const char* line : {"DCV 1.000", "DCV 1.000", "DCV 2.000", "DCV 1.000", "DCV 1.000"}) log.frame(line);
    EXPECT_EQ(log.values(), (std::vector<std::string>{"1 1.000", "2 1.000"}));

    rules.intervalSeconds = 3600;
    Fed sampled(rules);
    for (const char* line : {"DCV 1.000", "DCV 1.000", "DCV 3.000"}) sampled.frame(line);
    sampled.session.Timer3Timer();
    EXPECT_EQ(sampled.values(), (std::vector<std::string>{"1 1.000"}));
}

TEST(HeadlessLogLimit, TheRowThatReachesTheLimitEndsTheLogAndAClosedLogTakesNothing) {
    LogSession::Rules rules;
    rules.recordLimit = 2;
    Fed log(rules);
    QSignalSpy full(&log.session, &LogSession::full);
    QSignalSpy logged(&log.session, &LogSession::rowLogged);
    log.frame("DCV 1.000");
    EXPECT_EQ(full.count(), 0);
    log.frame("DCV 1.000");
    EXPECT_EQ(full.count(), 1);
    log.frame("DCV 1.000");
    EXPECT_EQ(logged.count(), 2);
    EXPECT_EQ(logged.at(1).at(0).toInt(), 1);

    LogSession::Rules open;
    Fed closed(open);
    closed.frame("DCV 1.000");
    closed.session.close();
    closed.frame("DCV 2.000");
    EXPECT_EQ(closed.values(), (std::vector<std::string>{"1 1.000"}));
    EXPECT_EQ(closed.session.framesDecoded(), 1u);
}

}  // namespace
