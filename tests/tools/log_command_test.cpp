// meterlink-cli log run as a child process against the meter simulators: the
// rows it prints and saves, how it ends, its checkpoints, a port or cable
// that goes and comes back, and the starts it refuses.

#include "recording/data_files.h"
#include "../app/pty_pair.h"
#include "../small_disk.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <string>
#include <memory>

using meterlink::RecordTable;

namespace {

constexpr int kWaitMs = 20000;   // generous: only reached when something hangs

QString cli() { return QStringLiteral(METERLINK_CLI); }

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A meter simulator: a pty (its path is the first line it prints), or the
// USB cable on a socket.
class Simulator {
public:
    explicit Simulator(const QStringList& args) {
        process_.start(cli(), QStringList{QStringLiteral("simulate")} + args);
        if (process_.waitForReadyRead(kWaitMs)) where_ = QString::fromLocal8Bit(process_.readLine().trimmed());
    }
    ~Simulator() { stop(); }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        process_.waitForFinished(kWaitMs);
    }
    const QString& where() const { return where_; }

private:
    QProcess process_;
    QString where_;
};

// meterlink-cli log, with what it printed so far.
class LogRun {
public:
    explicit LogRun(const QStringList& args, const QStringList& extraEnv = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& e : extraEnv) env.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
        process_.setProcessEnvironment(env);
        process_.start(cli(), QStringList{QStringLiteral("log")} + args);
    }
    ~LogRun() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWaitMs);
        }
    }

    // The row lines printed so far, without the header and the LF.
    QStringList rows() {
        out_ += process_.readAllStandardOutput();
        QStringList lines = QString::fromLatin1(out_).split(QLatin1Char('\n'));
        lines.removeLast();   // after the last CR LF, or the whole unfinished text
        if (!lines.isEmpty()) lines.removeFirst();
        return lines;
    }
    const QByteArray& out() {
        rows();
        return out_;
    }
    QString err() {
        err_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(err_);
    }
    bool waitForRows(qsizetype n) {
        return QTest::qWaitFor([&] { return rows().size() >= n || process_.state() == QProcess::NotRunning; },
                               kWaitMs) &&
               rows().size() >= n;
    }
    bool waitForErr(const QString& text) {
        return QTest::qWaitFor([&] { return err().contains(text); }, kWaitMs);
    }
    bool running() const { return process_.state() == QProcess::Running; }
    // The exit code, or -1 when it did not end in time (or was killed).
    int waitForExit() {
        if (!process_.waitForFinished(kWaitMs) || process_.exitStatus() != QProcess::NormalExit) return -1;
        rows();
        err();
        return process_.exitCode();
    }
    int stop(int signalNumber) {
        ::kill(static_cast<pid_t>(process_.processId()), signalNumber);
        return waitForExit();
    }

private:
    QProcess process_;
    QByteArray out_;
    QByteArray err_;
};

// The fields of a printed row.
QStringList fields(const QString& row) { return row.split(QLatin1Char('\t')); }
int numberOf(const QString& row) { return fields(row).value(0).toInt(); }

// Numbers one apart: every frame logged, none lost.
void expectConsecutive(const QStringList& rows) {
    for (int i = 1; i < rows.size(); ++i) ASSERT_EQ(numberOf(rows[i]), numberOf(rows[i - 1]) + 1) << qPrintable(rows[i]);
}

class LogCommand : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString at(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString scenario(const QByteArray& lines) {
        const QString path = at("scenario.txt");
        writeFile(path, lines);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(LogCommand, RowsFromAPortFollowTheRulesAndTheFileHoldsWhatWasPrinted) {
    // Three equal readings, then another, in a loop.
    Simulator meter({"--rate", "50", "--scenario", scenario("DCV 1.000\nDCV 1.000\nDCV 1.000\nDCV 2.000\n")});
    ASSERT_FALSE(meter.where().isEmpty());

    LogRun every({"--port", meter.where(), "--high", "1.5", "--low", "0", "--limit", "12", "--out", at("every.txt")});
    ASSERT_EQ(every.waitForExit(), 0) << qPrintable(every.err());
    const QStringList rows = every.rows();
    ASSERT_EQ(rows.size(), 12);
    EXPECT_EQ(numberOf(rows.first()), 1);
    expectConsecutive(rows);
    for (const QString& row : rows) {
        const QStringList f = fields(row);
        ASSERT_EQ(f.size(), 6) << qPrintable(row);
        EXPECT_TRUE(QTime::fromString(f[1], QStringLiteral("hh:mm:ss")).isValid()) << qPrintable(row);
        EXPECT_EQ(f[2], QStringLiteral("DC"));
        EXPECT_EQ(f[5], f[3] == QStringLiteral("1.000") ? QStringLiteral("pass") : QStringLiteral("Fail"))
            << qPrintable(row);
    }
    // The file keeps its CR LF line ends; standard output ends lines in LF.
    EXPECT_EQ(readFile(at("every.txt")).replace("\r\n", "\n"), every.out()) << "the file is what was printed";
    EXPECT_TRUE(every.err().contains(QStringLiteral("record limit of 12 rows reached")));

    // Repeats skipped but counted, in a locale with a decimal comma.
    LogRun changes({"--port", meter.where(), "--no-repeat", "--limit", "7"}, {"LC_ALL=de_DE.UTF-8"});
    ASSERT_EQ(changes.waitForExit(), 0) << qPrintable(changes.err());
    const QStringList changed = changes.rows();
    ASSERT_EQ(changed.size(), 7);
    for (int i = 1; i < changed.size(); ++i) {
        const QString before = fields(changed[i - 1])[3];
        EXPECT_NE(fields(changed[i])[3], before);
        // The first row may have come in the middle of a run of equal readings.
        if (i > 1) {
            EXPECT_EQ(numberOf(changed[i]) - numberOf(changed[i - 1]), before == QStringLiteral("1,000") ? 3 : 1);
        }
    }
}

// Text rows are Latin-1: a locale whose decimal separator Latin-1 lacks
// (Arabic and Persian: U+066B) gets a full stop, never a question mark.
TEST_F(LogCommand, TextRowsKeepADecimalSeparatorTheirEncodingHolds) {
    Simulator meter({"--rate", "50"});
    const struct {
        const char* locale;
        QChar separator;
        const char* out;
    } cases[] = {{"C", '.', "sep-c.txt"},
                 {"de_DE.UTF-8", ',', "sep-de.txt"},
                 {"ar_EG.UTF-8", '.', "sep-ar.txt"},
                 {"fa_IR.UTF-8", '.', "sep-fa.txt"}};
    for (const auto& c : cases) {
        const QString out = at(c.out);
        LogRun run({"--port", meter.where(), "--limit", "3", "--out", out},
                   {QStringLiteral("LC_ALL=%1").arg(QLatin1String(c.locale))});
        ASSERT_EQ(run.waitForExit(), 0) << c.locale << '\n' << qPrintable(run.err());
        const QStringList rows = run.rows();
        ASSERT_EQ(rows.size(), 3) << c.locale;
        for (const QString& row : rows) {
            const QString value = fields(row)[3];
            EXPECT_FALSE(value.contains(QLatin1Char('?'))) << c.locale << ": " << qPrintable(row);
            // An overload ("0L") has no decimal mark to show.
            if (!value.contains(QLatin1Char('L'))) {
                EXPECT_TRUE(value.contains(c.separator)) << c.locale << ": " << qPrintable(row);
            }
        }
        EXPECT_FALSE(readFile(out).contains('?')) << c.locale;
    }
}

TEST_F(LogCommand, SigintAndSigtermSaveAFileThatLoadsBack) {
    Simulator meter({"--rate", "50"});
    const struct {
        int signalNumber;
        const char* out;
    } cases[] = {{SIGINT, "stopped.xml"}, {SIGTERM, "stopped.xls"}};
    for (const auto& c : cases) {
        LogRun run({"--port", meter.where(), "--out", at(c.out)});
        ASSERT_TRUE(run.waitForRows(5)) << qPrintable(run.err());
        ASSERT_EQ(run.stop(c.signalNumber), 0) << c.out << ": " << qPrintable(run.err());
        const QStringList rows = run.rows();
        RecordTable loaded;
        ASSERT_TRUE(meterlink::LoadTableFromFile(at(c.out), loaded, false)) << c.out;
        ASSERT_EQ(loaded.rowCount(), rows.size()) << c.out;
        EXPECT_EQ(loaded.text(loaded.rowCount() - 1, RecordTable::No), fields(rows.last())[0]);
        EXPECT_EQ(loaded.text(0, RecordTable::Value), fields(rows.first())[3]);
    }
}

TEST_F(LogCommand, CheckpointsKeepTheFileCurrentAndAFailedOneIsRetried) {
    Simulator meter({"--rate", "20"});
    QDir(dir.path()).mkdir(QStringLiteral("logs"));
    // An XML packet cannot be appended to: it is rewritten at checkpoints.
    const QString out = at("logs/run.xml");
    LogRun run({"--port", meter.where(), "--out", out, "--checkpoint", "1"});
    RecordTable midRun;
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, kWaitMs)) << qPrintable(run.err());
    ASSERT_TRUE(meterlink::LoadTableFromFile(out, midRun, true));
    EXPECT_TRUE(run.running());

    // The folder goes away: the save fails, says so, and is tried again.
    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("logs"), QStringLiteral("away")));
    ASSERT_TRUE(run.waitForErr(QStringLiteral("Could not save table to specified file: ") + out)) << qPrintable(run.err());
    ASSERT_TRUE(QDir(dir.path()).rename(QStringLiteral("away"), QStringLiteral("logs")));
    const int before = midRun.rowCount();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return meterlink::LoadTableFromFile(out, midRun, true) && midRun.rowCount() > before + 20; }, kWaitMs));
    EXPECT_EQ(run.stop(SIGTERM), 0);
}

TEST_F(LogCommand, APortThatComesBackBehindTheSameLinkResumesWithTheNextNumber) {
    const QString link = at("meter-port");
    auto first = std::make_unique<Simulator>(QStringList{"--rate", "20"});
    ASSERT_TRUE(QFile::link(first->where(), link));
    LogRun run({"--port", link, "--out", at("resumed.txt")});
    ASSERT_TRUE(run.waitForRows(5)) << qPrintable(run.err());

    first.reset();   // the port goes away
    ASSERT_TRUE(run.waitForErr(link + QStringLiteral(" lost"))) << qPrintable(run.err());
    const qsizetype beforeReturn = run.rows().size();
    Simulator second({"--rate", "20"});
    // Re-pointed in one step, as udev does.
    ASSERT_TRUE(QFile::link(second.where(), link + QStringLiteral(".new")));
    ASSERT_EQ(::rename(qPrintable(link + QStringLiteral(".new")), qPrintable(link)), 0);
    ASSERT_TRUE(run.waitForErr(link + QStringLiteral(" is back"))) << qPrintable(run.err());
    ASSERT_TRUE(run.waitForRows(beforeReturn + 5));
    ASSERT_EQ(run.stop(SIGTERM), 0);

    const QStringList rows = run.rows();
    EXPECT_EQ(numberOf(rows.first()), 1);
    expectConsecutive(rows);
    EXPECT_EQ(run.err().count(QStringLiteral(" lost")), 1);
    EXPECT_EQ(run.err().count(QStringLiteral(" is back")), 1);
}

TEST_F(LogCommand, TheUsbCableThroughItsSimulatorIsLoggedAndFoundAgain) {
    const QString socket = at("cable.sock");
    const QStringList cableArgs{"--usb", socket, "--rate", "20", "--report-ms", "5"};
    auto first = std::make_unique<Simulator>(cableArgs);
    ASSERT_EQ(first->where(), socket);
    LogRun run({"--usb", "sim:" + socket, "--no-repeat", "--out", at("cable.xml")});
    ASSERT_TRUE(run.waitForRows(3)) << qPrintable(run.err());

    first.reset();
    ASSERT_TRUE(run.waitForErr(QStringLiteral("USB cable lost"))) << qPrintable(run.err());
    const qsizetype beforeReturn = run.rows().size();
    Simulator second(cableArgs);
    ASSERT_TRUE(run.waitForErr(QStringLiteral("USB cable is back"))) << qPrintable(run.err());
    ASSERT_TRUE(run.waitForRows(beforeReturn + 3));
    ASSERT_EQ(run.stop(SIGINT), 0);

    const QStringList rows = run.rows();
    for (int i = 1; i < rows.size(); ++i) EXPECT_GT(numberOf(rows[i]), numberOf(rows[i - 1]));
    RecordTable loaded;
    ASSERT_TRUE(meterlink::LoadTableFromFile(at("cable.xml"), loaded, false));
    EXPECT_EQ(loaded.rowCount(), rows.size());
}

TEST_F(LogCommand, ARunThatHeardNoFrameExitsThreeAndSaysSo) {
    PtyPair silent;   // a port where no meter talks
    ASSERT_TRUE(silent.ok());
    const QString port = QString::fromStdString(silent.path());
    LogRun run({"--port", port, "--duration", "1"});
    EXPECT_EQ(run.waitForExit(), 3);
    EXPECT_TRUE(run.err().contains("no frame was received from " + port)) << qPrintable(run.err());
}

TEST_F(LogCommand, BytesThatFormNoFrameAreToldAsAWrongModel) {
    // A UT61E talks; the shipped meter is read.
    Simulator meter({"--meter", "UT61E", "--rate", "20", "--scenario", scenario("DCV 1.234\n")});
    ASSERT_FALSE(meter.where().isEmpty());
    LogRun run({"--port", meter.where(), "--duration", "7"});
    EXPECT_EQ(run.waitForExit(), 3);
    EXPECT_TRUE(run.err().contains("bytes arrive but none form a frame of KR20C: check the meter model"))
        << qPrintable(run.err());
    EXPECT_TRUE(run.err().contains("no frame was received from " + meter.where() +
                                   ": bytes came but none formed a frame of KR20C; check the meter model"))
        << qPrintable(run.err());
}

// Each family's meter on a port at its own line settings, logged by --meter.
class LogCommandMeters : public LogCommand, public ::testing::WithParamInterface<const char*> {};

TEST_P(LogCommandMeters, FamiliesAreLoggedWithTheirMeter) {
    Simulator meter({"--meter", GetParam(), "--rate", "20", "--scenario", scenario("DCV 1.234\nACV 0.456 hold\n")});
    ASSERT_FALSE(meter.where().isEmpty());
    LogRun run({"--port", meter.where(), "--meter", GetParam(), "--limit", "4", "--low", "0", "--high", "1"});
    ASSERT_EQ(run.waitForExit(), 0) << qPrintable(run.err());
    const QStringList rows = run.rows();
    ASSERT_EQ(rows.size(), 4);
    expectConsecutive(rows);
    for (const QString& row : rows) {
        const QStringList f = fields(row);
        ASSERT_EQ(f.size(), 6) << qPrintable(row);
        const bool dc = f[2] == QStringLiteral("DC");
        EXPECT_TRUE(dc || f[2] == QStringLiteral("AC")) << qPrintable(row);
        EXPECT_DOUBLE_EQ(f[3].toDouble(), dc ? 1.234 : 0.456) << qPrintable(row);
        EXPECT_EQ(f[4], QStringLiteral("V")) << qPrintable(row);
        EXPECT_EQ(f[5], dc ? QStringLiteral("Fail") : QStringLiteral("pass")) << qPrintable(row);
    }
}

INSTANTIATE_TEST_SUITE_P(Families, LogCommandMeters,
                         ::testing::Values("KR20C", "UT60E", "M-3640D", "UT61E", "UT60G", "187", "289"),
                         [](const auto& param) {
                             std::string name = param.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST_F(LogCommand, BadStartsExitTwoAndOverwriteNothing) {
    const QString out = at("previous.txt");
    writeFile(out, "previous");
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"--out", out}, "give a source"},
        {{"--port", "/dev/null", "--usb", "--out", out}, "one source"},
        {{"--port", "/dev/null", "--bogus", "--out", out}, "unknown argument '--bogus'"},
        {{"--port", "/dev/null", "--limit", "0", "--out", out}, "--limit wants"},
        {{"--port", "/dev/null", "--high", "six", "--out", out}, "--high wants a number"},
        {{"--port", "/dev/null", "--low", "-999999", "--out", out}, "--low wants a number"},
        {{"--port", "/dev/null", "--interval", "0", "--out", out}, "--interval wants"},
        {{"--port", "/dev/null", "--confirm", "0", "--out", out}, "--confirm wants"},
        {{"--port", "/dev/null", "--confirm", "11", "--out", out}, "--confirm wants"},
        {{"--port", "/dev/null", "--duration", "1w", "--out", out}, "--duration wants"},
        {{"--port", "/dev/null", "--checkpoint"}, "--checkpoint needs a value"},
        {{"--port", "/dev/null", "--meter", "no-such-meter", "--out", out}, "no meter named 'no-such-meter'"},
        // A new --out: an existing one is refused before the source is tried.
        {{"--port", "/dev/meterlink-no-such-port", "--out", at("new.txt")}, "cannot open /dev/meterlink-no-such-port"},
        {{"--usb", "sim:" + at("no-cable.sock"), "--out", at("new.csv")}, "no USB cable"},
        {{"--port", "/dev/null", "--out", out}, "give --append"},
        {{"--port", "/dev/null", "--out", QStringLiteral("/proc/meterlink.txt")}, "cannot write /proc/meterlink.txt"},
        {{"--port", "/dev/null", "--out", at("folder")}, "cannot write"},
    };
    for (const auto& c : cases) {
        LogRun run(c.args);
        EXPECT_EQ(run.waitForExit(), 2) << qPrintable(c.args.join(' '));
        EXPECT_TRUE(run.err().contains(QString::fromLatin1(c.says))) << qPrintable(run.err());
        EXPECT_TRUE(run.out().isEmpty()) << qPrintable(c.args.join(' '));
        EXPECT_EQ(readFile(out), "previous");
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"previous.txt"})
        << "no file left behind";
}

}  // namespace

// A disk that fills during the run: what reached the file stays whole and
// loads, every row is still printed, and the run says so and exits 1.
TEST_F(LogCommand, ADiskThatFillsKeepsTheFileWholeAndEveryRowPrinted) {
    SmallDisk disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    disk.fill(4096);   // room for some of the rows
    Simulator meter({"--rate", "100"});
    const QString out = disk.filePath(QStringLiteral("run.txt"));
    LogRun run({"--port", meter.where(), "--limit", "400", "--out", out});
    EXPECT_EQ(run.waitForExit(), 1);
    EXPECT_TRUE(run.err().contains(QStringLiteral("cannot write ") + out)) << qPrintable(run.err());
    EXPECT_TRUE(run.err().contains(QLatin1String("No space left on device"))) << qPrintable(run.err());
    const QStringList printed = run.rows();
    ASSERT_EQ(printed.size(), 400);
    expectConsecutive(printed);
    RecordTable kept;
    QString reason;
    ASSERT_TRUE(meterlink::LoadTableFromFile(out, kept, false, &reason)) << qPrintable(reason);
    ASSERT_GT(kept.rowCount(), 0);
    ASSERT_LT(kept.rowCount(), 400);
    for (int r = 0; r < kept.rowCount(); ++r) {
        EXPECT_EQ(kept.integer(r, RecordTable::No), numberOf(printed[r]));
        EXPECT_EQ(kept.text(r, RecordTable::Value), fields(printed[r]).value(3));
    }
}

TEST_F(LogCommand, OutIsWrittenAsItGoesAppendedOnRequestAndNeverSilentlyReplaced) {
    Simulator meter({"--rate", "50"});
    const QString csv = at("run.csv");
    LogRun first({"--port", meter.where(), "--limit", "3", "--out", csv, "--format", "jsonl"});
    ASSERT_EQ(first.waitForExit(), 0) << qPrintable(first.err());
    // JSON lines on standard output, each ended by LF alone.
    const QList<QByteArray> printed = first.out().split('\n');
    ASSERT_EQ(printed.size(), 4);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(printed[i].startsWith("{\"timestamp\":\"") && printed[i].endsWith("}")) << printed[i].constData();
    }
    const QByteArray after3 = readFile(csv);
    ASSERT_TRUE(after3.startsWith("timestamp,no,function,value,unit,display,range,verdict,high_limit,low_limit\r\n"));
    ASSERT_EQ(after3.count("\r\n"), 4);

    struct Refusal {
        QStringList args;
        const char* says;
    };
    const Refusal refusals[] = {
        {{"--out", csv}, "give --append"},
        {{"--out", at("x.xml"), "--append"}, "cannot append to"},
        {{"--append"}, "--append continues an --out file"},
    };
    writeFile(at("x.xml"), "<x/>");
    for (const Refusal& r : refusals) {
        LogRun refused(QStringList{"--port", meter.where(), "--limit", "2"} + r.args);
        EXPECT_EQ(refused.waitForExit(), 2) << r.says;
        EXPECT_TRUE(refused.err().contains(QLatin1String(r.says))) << qPrintable(refused.err());
    }
    EXPECT_EQ(readFile(csv), after3) << "a refused run leaves the file as it was";

    LogRun more({"--port", meter.where(), "--limit", "2", "--out", csv, "--append"});
    ASSERT_EQ(more.waitForExit(), 0) << qPrintable(more.err());
    const QList<QByteArray> lines = readFile(csv).split('\n');
    ASSERT_EQ(lines.size(), 7);   // header, five rows, nothing after the last line end
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(lines[i].split(',').value(1), QByteArray::number(i)) << lines[i].constData();

    // Read as an analyst reads it: times with their zone, values as floats.
    const char* pandas = "/usr/bin/python3";
    QProcess python;
    python.start(QString::fromLatin1(pandas),
                 {QStringLiteral("-c"), QStringLiteral("import pandas, sys\n"
                                                       "d = pandas.read_csv(sys.argv[1], parse_dates=['timestamp'])\n"
                                                       "assert str(d['timestamp'].dtype).startswith('datetime64[ns, ')\n"
                                                       "assert d['value'].dtype == 'float64'\n"
                                                       "print(len(d))\n"),
                  csv});
    ASSERT_TRUE(python.waitForFinished(60000));
    if (python.exitCode() != 0 && python.readAllStandardError().contains("No module named 'pandas'"))
        GTEST_SKIP() << "python3-pandas is not installed";
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().constData();
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "5");
}

// A disk full for a while: rows logged meanwhile are held and written, in
// order, once it has room again; the run says when writing stops and when it
// goes on, and loses nothing.
TEST_F(LogCommand, RowsHeldWhileTheDiskIsFullAreWrittenWhenItHasRoomAgain) {
    SmallDisk disk("size=1m");
    if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    disk.fill(8192);   // room for the header and some rows
    Simulator meter({"--rate", "100"});
    const QString out = disk.filePath(QStringLiteral("run.csv"));
    LogRun run({"--port", meter.where(), "--out", out});
    ASSERT_TRUE(run.waitForErr(QStringLiteral("cannot write ") + out)) << qPrintable(run.err());
    EXPECT_TRUE(run.err().contains(QLatin1String("No space left on device"))) << qPrintable(run.err());
    const qsizetype printedWhileFull = run.rows().size();
    ASSERT_TRUE(run.waitForRows(printedWhileFull + 100));   // a second of rows with the disk full
    ASSERT_TRUE(QFile::remove(disk.filePath(QStringLiteral("filler"))));
    ASSERT_TRUE(run.waitForErr(QStringLiteral("writing %1 again").arg(out))) << qPrintable(run.err());
    ASSERT_TRUE(run.waitForRows(run.rows().size() + 50));
    ASSERT_EQ(run.stop(SIGTERM), 0) << qPrintable(run.err());
    EXPECT_EQ(run.err().count(QStringLiteral("cannot write")), 1) << qPrintable(run.err());
    EXPECT_EQ(run.err().count(QStringLiteral("again:")), 1) << qPrintable(run.err());

    const QStringList printed = run.rows();
    const QList<QByteArray> lines = readFile(out).split('\n');
    ASSERT_EQ(lines.size(), printed.size() + 2);   // the header, every row, nothing after the last line end
    for (int i = 0; i < printed.size(); ++i)
        ASSERT_EQ(lines[i + 1].split(',').value(1).toInt(), numberOf(printed[i])) << lines[i + 1].constData();
    expectConsecutive(printed);
}

// What is not a regular file is refused at once: a FIFO would block the open
// (and with it SIGTERM) until a reader came.
TEST_F(LogCommand, AnOutThatIsNoRegularFileIsRefusedAtOnce) {
    Simulator meter({"--rate", "50"});
    const QString fifo = at("rows.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QStringList& extra : {QStringList{}, QStringList{"--append"}}) {
        LogRun run(QStringList{"--port", meter.where(), "--out", fifo} + extra);
        EXPECT_EQ(run.waitForExit(), 2) << qPrintable(run.err());
        EXPECT_TRUE(run.err().contains(QLatin1String("not a regular file"))) << qPrintable(run.err());
    }
}

// A record limit that ends the run long before --duration is said at the
// start; without --limit the run is not cut at the window's 10000 rows.
TEST_F(LogCommand, ALimitThatComesBeforeTheDurationIsToldAtTheStart) {
    Simulator meter({"--rate", "50"});
    const struct {
        QStringList args;
        bool told;
    } cases[] = {
        {{"--duration", "3d", "--limit", "5"}, true},
        {{"--duration", "3d", "--limit", "5", "--interval", "1"}, true},
        {{"--duration", "2", "--limit", "100"}, false},
        {{"--duration", "20", "--limit", "3", "--interval", "10"}, false},
    };
    for (const auto& c : cases) {
        LogRun run(QStringList{"--port", meter.where()} + c.args);
        ASSERT_TRUE(run.waitForErr(QStringLiteral("logging "))) << qPrintable(run.err());
        if (!c.told) run.stop(SIGTERM);
        else EXPECT_EQ(run.waitForExit(), 0);
        EXPECT_EQ(run.err().contains(QLatin1String("comes before --duration")), c.told)
            << qPrintable(c.args.join(' ')) << '\n' << qPrintable(run.err());
    }
}

// --append continues only a log of the same format whose last row is whole,
// numbering on from its last number; anything else is refused and left as it was.
TEST_F(LogCommand, AppendContinuesOnlyALogOfItsFormat) {
    Simulator meter({"--rate", "50"});
    QFile passwd(QStringLiteral("/etc/passwd"));
    ASSERT_TRUE(passwd.open(QIODevice::ReadOnly));
    const QByteArray system = passwd.readAll();
    QByteArray noise(3000, '\0');
    for (int i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    noise += '\n';
    const QByteArray csvLog = "timestamp,no,function,value,unit,display,range,verdict,high_limit,low_limit\r\n"
                              "2026-01-01T00:00:00.000+00:00,4,DC,1.000,V,1.000,auto,pass,6,-6\r\n";
    const struct {
        const char* name;
        QByteArray content;
        const char* says;   // nullptr: continued
        int nextNo;
    } cases[] = {
        {"csv-in.jsonl", csvLog, "no JSON-lines log", 0},
        {"passwd.jsonl", system, "no JSON-lines log", 0},
        {"passwd.txt", system, "no text log", 0},
        {"passwd.csv", system, "no CSV log", 0},
        {"noise.jsonl", noise, "no JSON-lines log", 0},
        {"noise.csv", noise, "no CSV log", 0},
        {"cut.jsonl", "{\"no\": 7}\n{\"no\": 8, \"val", "cut short", 0},
        {"tail.jsonl", "{\"no\": 7}\nnot a row\n", "its last line", 0},
        {"header-only-tail.csv", csvLog + "garbage\r\n", "its last line", 0},
        {"spaced.jsonl", "{\"no\": 7}\n", nullptr, 8},
        {"log.csv", csvLog, nullptr, 5},
    };
    for (const auto& c : cases) {
        const QString out = at(c.name);
        writeFile(out, c.content);
        LogRun run({"--port", meter.where(), "--limit", "2", "--out", out, "--append"});
        if (c.says) {
            EXPECT_EQ(run.waitForExit(), 2) << c.name << '\n' << qPrintable(run.err());
            EXPECT_TRUE(run.err().contains(QLatin1String(c.says))) << c.name << '\n' << qPrintable(run.err());
            EXPECT_EQ(readFile(out), c.content) << c.name;
            continue;
        }
        ASSERT_EQ(run.waitForExit(), 0) << c.name << '\n' << qPrintable(run.err());
        EXPECT_EQ(numberOf(run.rows().value(0)), c.nextNo) << c.name;
        EXPECT_TRUE(readFile(out).startsWith(c.content)) << c.name;
    }
}

// MQTT topic prefixes that would run with nothing reaching a subscriber are
// refused before anything starts.
TEST_F(LogCommand, MqttPrefixesNoSubscriberCouldReadAreRefused) {
    const struct {
        QString prefix;
        const char* says;
    } cases[] = {
        {QStringLiteral("$SYS/x"), "may not start with '$'"},
        {QString(70000, QLatin1Char('a')), "too long (70000 bytes)"},
        {QStringLiteral("%FF%FE"), "not valid UTF-8"},
        {QStringLiteral("lab/%C3"), "not valid UTF-8"},
    };
    for (const auto& c : cases) {
        LogRun run({"--port", "/dev/null", "--mqtt", QStringLiteral("mqtt://127.0.0.1:1/") + c.prefix});
        EXPECT_EQ(run.waitForExit(), 2) << qPrintable(c.prefix.left(40));
        EXPECT_TRUE(run.err().contains(QLatin1String(c.says))) << qPrintable(run.err().left(300));
    }
}

// The README's service recipe survives a restart: started twice, as
// Restart= would, the second run continues the day's file.
TEST_F(LogCommand, TheDocumentedServiceCommandStartsAgainAndContinuesTheDaysFile) {
    QFile readme(QStringLiteral(METERLINK_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QRegularExpression optionsLine(QStringLiteral("^\\s*METERLINK_LOG_OPTIONS=(.*)$"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch documented = optionsLine.match(QString::fromUtf8(readme.readAll()));
    ASSERT_TRUE(documented.hasMatch());
    Simulator meter({"--rate", "20"});
    // The same options with the simulator's port, this test's folder and no broker.
    QStringList args = documented.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype mqtt = args.indexOf(QStringLiteral("--mqtt"));
    if (mqtt >= 0) args.remove(mqtt, 2);
    args[args.indexOf(QStringLiteral("--port")) + 1] = meter.where();
    QString& out = args[args.indexOf(QStringLiteral("--out")) + 1];
    ASSERT_TRUE(out.startsWith(QLatin1String("/var/lib/meterlink/"))) << qPrintable(out);
    out.replace(QLatin1String("/var/lib/meterlink"), dir.path());

    QStringList printed;
    for (int start = 0; start < 2; ++start) {
        LogRun run(args);
        ASSERT_TRUE(run.waitForRows(5)) << qPrintable(run.err());
        ASSERT_EQ(run.stop(SIGTERM), 0) << qPrintable(run.err());
        printed += run.rows();
    }
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.csv")}, QDir::Files);
    ASSERT_EQ(files.size(), 1) << qPrintable(files.join(' '));
    EXPECT_EQ(files[0], QDate::currentDate().toString(QStringLiteral("'bench1-'yyyyMMdd'.csv'")));
    const QList<QByteArray> lines = readFile(dir.filePath(files[0])).split('\n');
    ASSERT_EQ(lines.size(), printed.size() + 2);   // one header, every row of both runs
    for (int i = 0; i < printed.size(); ++i)
        EXPECT_EQ(lines[i + 1].split(',').value(1).toInt(), i + 1) << lines[i + 1].constData();
}

// A run over midnight goes on in the file the pattern names for the new day.
// The child's time zone puts its midnight three seconds ahead.
TEST_F(LogCommand, ADatePatternStartsANewFileAtMidnight) {
    const qint64 nowUtc = QDateTime::currentSecsSinceEpoch() % 86400;
    qint64 east = (86400 - 3 - nowUtc) % 86400;   // seconds to add to UTC for 23:59:57
    if (east > 12 * 3600) east -= 86400;
    const qint64 a = std::abs(east);
    const QString tz = QStringLiteral("ZZZ%1%2:%3:%4")
                           .arg(east >= 0 ? QLatin1Char('-') : QLatin1Char('+'))   // POSIX: '-' is east of UTC
                           .arg(a / 3600, 2, 10, QLatin1Char('0'))
                           .arg(a / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(a % 60, 2, 10, QLatin1Char('0'));
    Simulator meter({"--rate", "20"});
    LogRun run({"--port", meter.where(), "--out", at("day-%Y%m%d.csv"), "--duration", "6"},
               {QStringLiteral("TZ=") + tz});
    ASSERT_EQ(run.waitForExit(), 0) << qPrintable(run.err());
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("day-*.csv")}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << qPrintable(run.err());
    EXPECT_TRUE(run.err().contains(QStringLiteral("go into ") + at(files[1].toLatin1()))) << qPrintable(run.err());
    QList<QByteArray> rows;
    for (const QString& f : files) {
        QList<QByteArray> lines = readFile(dir.filePath(f)).split('\n');
        ASSERT_TRUE(lines.first().startsWith("timestamp,no,")) << qPrintable(f);
        rows += lines.mid(1, lines.size() - 2);
    }
    ASSERT_EQ(rows.size(), run.rows().size());
    for (int i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].split(',').value(1).toInt(), i + 1);
}

// A port served over the network that goes away says how: closed by the
// server, or reset.
TEST_F(LogCommand, ALostNetworkPortSaysWhetherItWasClosedOrReset) {
    const struct {
        bool reset;
        const char* says;
    } cases[] = {{false, "lost (the server closed the connection)"}, {true, "lost (the server reset the connection)"}};
    for (const auto& c : cases) {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        LogRun run({"--port", url});
        ASSERT_TRUE(server.waitForNewConnection(kWaitMs));
        QTcpSocket* peer = server.nextPendingConnection();
        ASSERT_TRUE(run.waitForErr(QStringLiteral("logging ")));
        if (c.reset) {
            const linger hardClose{1, 0};   // closing then sends RST
            ::setsockopt(static_cast<int>(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hardClose,
                         sizeof hardClose);
            peer->abort();
        } else {
            peer->disconnectFromHost();
        }
        server.close();
        EXPECT_TRUE(run.waitForErr(url + QLatin1Char(' ') + QLatin1String(c.says))) << qPrintable(run.err());
        run.stop(SIGTERM);
    }
}

// SIGTERM and SIGINT end a run within a second, also one still waiting for
// an MQTT broker that took the connection but does not answer.
TEST_F(LogCommand, AStopEndsARunWaitingForABrokerAtOnce) {
    Simulator meter({"--rate", "20"});
    for (int signalNumber : {SIGTERM, SIGINT}) {
        QTcpServer silent;
        ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
        LogRun run({"--port", meter.where(), "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/b").arg(silent.serverPort())});
        ASSERT_TRUE(silent.waitForNewConnection(kWaitMs));
        QTest::qWait(200);
        QElapsedTimer took;
        took.start();
        EXPECT_EQ(run.stop(signalNumber), 0) << qPrintable(run.err());
        EXPECT_LT(took.elapsed(), 5000) << qPrintable(run.err());   // not the 10 s the broker is given
        EXPECT_TRUE(run.err().contains(QLatin1String("before the MQTT broker answered"))) << qPrintable(run.err());
    }
}
