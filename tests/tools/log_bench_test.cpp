// meterlink-cli log with a bench's extras, as a child process against the
// meter simulator: the SCPI server answering from the live readings, a
// calculated channel, alarms that run a command and stop the run, and the
// option texts it refuses.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 20000;   // generous: only reached when something hangs

QString cli() { return QStringLiteral(METERLINK_CLI); }

class Child {
public:
    Child(const QStringList& args) { process_.start(cli(), args); }
    ~Child() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }
    QString err() {
        err_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(err_);
    }
    QString firstLine() {
        return process_.waitForReadyRead(kWaitMs) ? QString::fromLocal8Bit(process_.readLine().trimmed()) : QString();
    }
    bool waitForErr(const QString& text) { return QTest::qWaitFor([&] { return err().contains(text); }, kWaitMs); }
    int waitForExit() {
        if (!process_.waitForFinished(kWaitMs) || process_.exitStatus() != QProcess::NormalExit) return -1;
        err();
        return process_.exitCode();
    }
    void terminate() { process_.terminate(); }

private:
    QProcess process_;
    QByteArray err_;
};

QString ask(QTcpSocket& socket, const QByteArray& query) {
    socket.write(query + "\n");
    if (!socket.waitForBytesWritten(kWaitMs)) return "<not sent>";
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kWaitMs)) return "<no reply>";
    }
    return QString::fromLatin1(socket.readLine().trimmed());
}

TEST(LogBench, serves_scpi_with_a_calculated_channel_from_live_readings) {
    Child meter({"simulate", "--rate", "20"});
    const QString pty = meter.firstLine();
    ASSERT_FALSE(pty.isEmpty());
    Child log({"log", "--port", pty, "--scpi", "127.0.0.1:0", "--calc", "MV = CH1 * 1000 [mV]", "--calc",
               "TWICE = MV * 2", "--format", "csv"});
    ASSERT_TRUE(log.waitForErr("answering SCPI on 127.0.0.1:")) << log.err().toStdString();
    const auto match = QRegularExpression("answering SCPI on 127.0.0.1:(\\d+)").match(log.err());
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", quint16(match.captured(1).toUInt()));
    ASSERT_TRUE(socket.waitForConnected(kWaitMs));
    EXPECT_TRUE(ask(socket, "*IDN?").startsWith("MeterLink,")) << ask(socket, "*IDN?").toStdString();
    // The simulator's meter reads a DC voltage; wait for its first reading.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ask(socket, "READ?") != "+9.91E+37"; }, kWaitMs));
    // The waiting queued "stale" errors.
    EXPECT_EQ(ask(socket, "*CLS;*OPC?"), "1");
    const double volts = ask(socket, "READ?").toDouble();
    const QStringList three = ask(socket, "FETC? (@1:3)").split(',');
    ASSERT_EQ(three.size(), 3);
    EXPECT_NEAR(three[1].toDouble(), three[0].toDouble() * 1000, 1e-6 * std::abs(three[0].toDouble() * 1000) + 1e-9);
    EXPECT_NEAR(three[2].toDouble(), three[1].toDouble() * 2, 1e-6 * std::abs(three[1].toDouble() * 2) + 1e-9);
    EXPECT_NE(volts, 0.0);
    EXPECT_EQ(ask(socket, "SENS:FUNC?").toStdString(), "\"VOLT\"");
    EXPECT_EQ(ask(socket, "UNIT? (@2)").toStdString(), "mV");
    EXPECT_GT(ask(socket, "DATA:POIN?").toInt(), 0);
    EXPECT_EQ(ask(socket, "SYST:ERR?").toStdString(), "+0,\"No error\"");
    log.terminate();
    EXPECT_EQ(log.waitForExit(), 0) << log.err().toStdString();
}

TEST(LogBench, an_alarm_runs_its_command_without_a_shell_and_stops_the_run) {
    QTemporaryDir dir;
    const QString mark = dir.filePath("alarm $HOME.txt");
    Child meter({"simulate", "--rate", "20"});
    const QString pty = meter.firstLine();
    ASSERT_FALSE(pty.isEmpty());
    // Any reading is above -1e9: the alarm is raised at the first one.
    Child log({"log", "--port", pty, "--alarm",
               QStringLiteral("CH1 > -1e9: message Over it, run /bin/sh -c 'echo \"$METERLINK_CHANNEL $METERLINK_UNIT\" > \"$0\"' '%1'")
                   .arg(mark),
               "--alarm", "CH1 > -1e9 for 1s: stop"});
    EXPECT_EQ(log.waitForExit(), 0) << log.err().toStdString();
    const QString err = log.err();
    EXPECT_TRUE(err.contains("alarm: CH1 > -1e9: message")) << err.toStdString();
    EXPECT_TRUE(err.contains("Over it")) << err.toStdString();
    EXPECT_TRUE(err.contains("stopped by alarm CH1 > -1e9 for 1s: stop")) << err.toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mark); }, kWaitMs));
    QFile file(mark);
    ASSERT_TRUE(QTest::qWaitFor([&] { return file.open(QIODevice::ReadOnly) && file.size() > 0; }, kWaitMs));
    EXPECT_EQ(file.readAll().trimmed(), "CH1 V");
}

struct Refused {
    const char* name;
    QStringList args;
    const char* message;
};

class LogBenchRefuses : public ::testing::TestWithParam<Refused> {};

TEST_P(LogBenchRefuses, bad_texts_before_opening_anything) {
    const auto& c = GetParam();
    Child log(QStringList{"log", "--port", "/dev/null-no-such-port"} + c.args);
    EXPECT_EQ(log.waitForExit(), 2);
    EXPECT_TRUE(log.err().contains(c.message)) << log.err().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, LogBenchRefuses,
    ::testing::Values(
        Refused{"unknown_channel", {"--calc", "P = CH1 * CH9"}, "--calc 'P = CH1 * CH9': Unknown channel \"CH9\" at position 11"},
        Refused{"calc_syntax", {"--calc", "P = (CH1"}, "Missing \")\" at position 9"},
        Refused{"alarm_unknown_channel", {"--alarm", "CH2 > 1: sound"}, "Unknown channel \"CH2\" at position 1"},
        Refused{"alarm_on_a_later_calc_is_fine_but_bad_action", {"--alarm", "P > 1: mark", "--calc", "P = CH1"},
                "mark: log has no chart"},
        Refused{"scpi_port", {"--scpi", "70000"}, "--scpi 70000: the port must be a number"},
        Refused{"scpi_host", {"--scpi", "example:5025"}, "is not an IP address"}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
