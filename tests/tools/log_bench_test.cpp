// meterlink-cli log with a bench's extras, as a child process against the
// meter simulator: the SCPI server answering from the live readings, a
// calculated channel, alarms that run a command and stop the run, two meters
// on two ptys logged on one clock behind a start condition, a start time
// with its pre-trigger rows, and the option texts and bench files it refuses.

#include <QDateTime>
#include <QDir>
#include <QMap>
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

// A scenario file for the simulator: its lines, played in a loop.
QString scenario(QTemporaryDir& dir, const QString& name, const QStringList& lines) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write((lines.join('\n') + '\n').toUtf8());
    return path;
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Long-form records grouped by their timestamp, in file order.
struct Instant {
    QString time;
    QMap<QString, QStringList> byChannel;   // channel -> its fields
};

std::vector<Instant> instants(const QStringList& records) {
    std::vector<Instant> out;
    for (const QString& record : records) {
        const QStringList f = record.split(',');
        if (out.empty() || out.back().time != f[0]) out.push_back({f[0], {}});
        out.back().byChannel[f[1]] = f;
    }
    return out;
}

TEST(LogBench, two_meters_on_two_ptys_share_one_clock_in_long_and_wide_form) {
    QTemporaryDir dir;
    Child volts({"simulate", "--scenario", scenario(dir, "v.txt", {"DCV 12.00"})});
    Child amps({"simulate", "--scenario", scenario(dir, "a.txt", {"DCA 0.500"})});
    const QString ptyV = volts.firstLine();
    const QString ptyA = amps.firstLine();
    ASSERT_FALSE(ptyV.isEmpty());
    ASSERT_FALSE(ptyA.isEmpty());
    const QString out = dir.filePath("bench.csv");
    const QString wide = dir.filePath("wide.csv");
    // Rows start once both meters have spoken, so every cell of them is filled.
    Child log({"log", "--port", ptyV, "--port", ptyA, "--calc", "P = CH1 * CH2", "--interval", "1", "--start-when",
               "P > 1", "--stop-rows", "3", "--out", out, "--wide", wide});
    ASSERT_EQ(log.waitForExit(), 0) << log.err().toStdString();
    QStringList records = fileLines(out);
    ASSERT_FALSE(records.isEmpty());
    EXPECT_EQ(records.takeFirst(), "timestamp,channel,function,value,unit,display,range,verdict");
    ASSERT_EQ(records.size(), 9) << records.join('\n').toStdString();
    const auto rows = instants(records);
    ASSERT_EQ(rows.size(), 3u) << "each instant's records share one timestamp";
    for (const auto& row : rows) {
        ASSERT_EQ(row.byChannel.keys(), (QStringList{"CH1", "CH2", "P"}));
        EXPECT_NEAR(row.byChannel["CH1"][3].toDouble(), 12.0, 0.1);
        EXPECT_EQ(row.byChannel["CH1"][4], "V");
        EXPECT_NEAR(row.byChannel["CH2"][3].toDouble(), 0.5, 0.01);
        EXPECT_EQ(row.byChannel["CH2"][4], "A");
        EXPECT_NEAR(row.byChannel["P"][3].toDouble(),
                    row.byChannel["CH1"][3].toDouble() * row.byChannel["CH2"][3].toDouble(), 1e-9);
        EXPECT_EQ(row.byChannel["P"][4], "W");
    }
    EXPECT_LT(rows[0].time, rows[1].time);
    EXPECT_LT(rows[1].time, rows[2].time);
    QStringList wideLines = fileLines(wide);
    ASSERT_EQ(wideLines.size(), 4) << wideLines.join('\n').toStdString();
    EXPECT_EQ(wideLines[0], "timestamp,CH1 [V],CH2 [A],P [W]");
    for (int i = 0; i < 3; ++i) {
        const QStringList cells = wideLines[i + 1].split(',');
        ASSERT_EQ(cells.size(), 4);
        EXPECT_EQ(cells[0], rows[i].time);
        EXPECT_EQ(cells[1], rows[i].byChannel["CH1"][3]);
        EXPECT_EQ(cells[3], rows[i].byChannel["P"][3]);
    }
}

TEST(LogBench, a_start_time_writes_the_rows_before_it_first) {
    QTemporaryDir dir;
    Child meterA({"simulate"});
    Child meterB({"simulate"});
    const QString ptyA = meterA.firstLine();
    const QString ptyB = meterB.firstLine();
    ASSERT_FALSE(ptyA.isEmpty());
    ASSERT_FALSE(ptyB.isEmpty());
    const QString out = dir.filePath("trigger.jsonl");
    // Whole seconds: the start is 4 to 5 s away, so at least three rows come before it.
    const QDateTime start = QDateTime::currentDateTime().addSecs(5);
    const QString at = start.toString("HH:mm:ss");
    Child log({"log", "--port", ptyA, "--port", ptyB, "--interval", "1", "--start-at", at, "--pre-trigger", "2",
               "--stop-rows", "4", "--out", out});
    ASSERT_EQ(log.waitForExit(), 0) << log.err().toStdString();
    const QStringList lines = fileLines(out);
    ASSERT_EQ(lines.size(), 8) << lines.join('\n').toStdString();
    QStringList times;
    for (const QString& line : lines)
        if (line.contains("\"channel\":\"CH1\""))
            times << QRegularExpression("\"timestamp\":\"([^\"]+)\"").match(line).captured(1);
    ASSERT_EQ(times.size(), 4);
    const QDateTime startSecond = QDateTime::fromString(start.toString("yyyy-MM-ddTHH:mm:ss"), Qt::ISODate);
    // The two rows kept from before the start, then the rows from it on.
    for (int i = 0; i < 4; ++i) {
        const QDateTime t = QDateTime::fromString(times[i], Qt::ISODateWithMs);
        ASSERT_TRUE(t.isValid()) << times[i].toStdString();
        if (i < 2)
            EXPECT_LT(t, startSecond) << times[i].toStdString();
        else
            EXPECT_GE(t, startSecond) << times[i].toStdString();
    }
    EXPECT_TRUE(log.err().contains("start trigger: writing rows")) << log.err().toStdString();
}

struct BenchRefused {
    const char* name;
    QStringList args;
    QStringList benchFile;   // written to bench.txt and given as --bench when not empty
    const char* message;
};

class LogBenchRefusesBench : public ::testing::TestWithParam<BenchRefused> {};

TEST_P(LogBenchRefusesBench, before_opening_a_port) {
    const auto& c = GetParam();
    QTemporaryDir dir;
    // A link and the device it points at are one port.
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("meter-link")));
    QStringList args{"log"};
    for (const QString& a : c.args) args << QString(a).replace("DIR", dir.path());
    if (!c.benchFile.isEmpty())
        args << "--bench" << scenario(dir, "bench.txt", QStringList(c.benchFile).replaceInStrings("DIR", dir.path()));
    Child log(args);
    EXPECT_EQ(log.waitForExit(), 2);
    EXPECT_TRUE(log.err().contains(QString(c.message).replace("DIR", dir.path()))) << log.err().toStdString();
}

const BenchRefused kBenchRefused[] = {
    BenchRefused{"a_port_twice_on_the_command_line", {"--port", "/dev/null", "--port", "DIR/meter-link"}, {},
                 "CH1 and CH2 both read DIR"},
    BenchRefused{"a_port_twice_in_a_bench_file", {}, {"# two meters", "/dev/null", "", "DIR/meter-link UT61E"},
                 "CH1 and CH2 both read"},
    BenchRefused{"an_unknown_model_in_a_bench_file", {}, {"/dev/null NO-SUCH-METER"},
                 "bench.txt:1: no meter named 'NO-SUCH-METER'"},
    BenchRefused{"a_calc_over_a_third_meter_of_two", {"--port", "/dev/null", "--port", "/dev/zero", "--calc",
                 "P = CH1 * CH3"}, {}, "Unknown channel \"CH3\""},
    BenchRefused{"an_xml_out", {"--port", "/dev/null", "--port", "/dev/zero", "--out", "DIR/x.xml"}, {},
                 "a bench writes its channels in long form"},
    BenchRefused{"pre_trigger_without_a_start", {"--port", "/dev/null", "--port", "/dev/zero", "--pre-trigger",
                 "5"}, {}, "--pre-trigger keeps the rows before a start"},
    BenchRefused{"mqtt_alarm_without_a_broker", {"--port", "/dev/null", "--alarm", "CH1 > 5: mqtt over"}, {},
                 "mqtt publishes to the broker of --mqtt URL"},
    BenchRefused{"no_repeat_on_a_bench", {"--port", "/dev/null", "--port", "/dev/zero", "--no-repeat"}, {},
                 "--no-repeat: a bench writes every channel at every instant"},
    BenchRefused{"a_fraction_of_a_second_without_a_bench", {"--port", "/dev/null", "--interval", "0.5"}, {},
                 "a bench of meters takes 0.1 to 1"},
    BenchRefused{"ports_and_a_bench_file", {"--port", "/dev/null"}, {"/dev/zero"},
                 "either as --port options or in --bench FILE"},
};

INSTANTIATE_TEST_SUITE_P(
    Table, LogBenchRefusesBench, ::testing::ValuesIn(kBenchRefused),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
