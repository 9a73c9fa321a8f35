#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <optional>

#include "channels/alarm_command_runner.h"

namespace meterlink {
namespace {

using namespace std::chrono_literals;

CommandReading reading() {
    CommandReading r;
    r.channel = QStringLiteral("CH2");
    r.hasValue = true;
    r.value = 5.25;
    r.unit = QStringLiteral("V");
    r.time = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 89), Qt::UTC);
    r.alarm = QStringLiteral("CH2 > 5: run ...");
    return r;
}

// Runs one command and waits (in the event loop) for its outcome.
CommandOutcome runOne(AlarmCommandRunner& runner, const std::vector<std::string>& argv, QElapsedTimer* returned = nullptr) {
    std::optional<CommandOutcome> outcome;
    QElapsedTimer clock;
    clock.start();
    runner.run(argv, reading(), [&](const CommandOutcome& o) { outcome = o; });
    if (returned) *returned = clock;
    EXPECT_LT(clock.elapsed(), 500) << "run() must not wait for the command";
    while (!outcome && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(outcome) << "no outcome";
    return outcome.value_or(CommandOutcome{});
}

TEST(AlarmCommandRunner, passes_the_reading_in_the_environment_and_no_shell) {
    AlarmCommandRunner runner;
    // The "$" and ";" reach the program as they are: no shell read them.
    CommandOutcome o = runOne(runner, {"/bin/sh", "-c",
                                       "printf '%s|%s|%s|%s|%s' \"$METERLINK_CHANNEL\" \"$METERLINK_VALUE\" "
                                       "\"$METERLINK_UNIT\" \"$METERLINK_TIME\" \"$1\"",
                                       "x", "a;$HOME"});
    EXPECT_TRUE(o.started);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.output.toStdString(), "CH2|5.25|V|2026-03-04T05:06:07.089Z|a;$HOME");
}

TEST(AlarmCommandRunner, a_missing_program_is_reported) {
    AlarmCommandRunner runner;
    CommandOutcome o = runOne(runner, {"/nonexistent/alarm-command"});
    EXPECT_FALSE(o.started);
    EXPECT_TRUE(o.error.startsWith("Could not start /nonexistent/alarm-command")) << o.error.toStdString();
}

TEST(AlarmCommandRunner, a_hanging_command_is_killed_after_the_timeout) {
    AlarmCommandRunner runner(300ms);
    QElapsedTimer clock;
    clock.start();
    CommandOutcome o = runOne(runner, {"/bin/sleep", "30"});
    EXPECT_TRUE(o.timedOut);
    EXPECT_EQ(o.error, QStringLiteral("Killed after the timeout"));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(runner.running(), 0);
}

TEST(AlarmCommandRunner, a_flood_of_output_is_bounded) {
    AlarmCommandRunner runner(10s, 1000);
    CommandOutcome o = runOne(runner, {"/usr/bin/head", "-c", "5000000", "/dev/zero"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.output.size(), 1000);
    EXPECT_EQ(o.outputBytes, 5000000);
}

TEST(AlarmCommandRunner, refuses_more_than_its_limit_at_once) {
    AlarmCommandRunner runner(5s, 100, 1);
    std::optional<CommandOutcome> first;
    runner.run({"/bin/sleep", "1"}, reading(), [&](const CommandOutcome& o) { first = o; });
    CommandOutcome second = runOne(runner, {"/bin/true"});
    EXPECT_FALSE(second.started);
    EXPECT_TRUE(second.error.contains("still running")) << second.error.toStdString();
    while (!first) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(first->exitCode, 0);
}

}  // namespace
}  // namespace meterlink
