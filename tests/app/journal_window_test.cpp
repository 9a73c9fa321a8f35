// The window's journal: it follows the log through logging, saves, Close
// Data and loads; a later window restores what an ended one left unsaved,
// also after the window was killed.

#include "app/data_file_commands.h"
#include "app/journal_recovery.h"
#include "app/tfcomm.h"
#include "recording/chart_pager.h"
#include "recording/data_files.h"
#include "recording/journal.h"
#include "recording/journal_format.h"
#include "recording/export_fields.h"
#include "../small_disk.h"
#include "window_test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using meterlink::JournalContents;
using meterlink::RecordTable;

namespace {

meterlink::MeterReading reading(const char* value, const char* unit, const char* autoText, const char* verdict,
                                double chart) {
    meterlink::MeterReading r;
    r.ValueText = value;
    r.FunctionText = "DC";
    r.UnitText = unit;
    r.AutoText = autoText;
    r.JudgeText = verdict;
    r.ChartValue = chart;
    return r;
}

// Every field of every row, the full time and range mode included.
QStringList rowsOf(const RecordTable& t) {
    QStringList rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        QStringList f;
        for (int i = 0; i < RecordTable::kFieldCount; ++i) f << t.text(r, static_cast<RecordTable::Field>(i));
        const auto full = t.fullTime(r);
        f << (full ? QString::number(full->utcMs) + QLatin1Char('@') + QString::number(full->offsetMinutes) : QString());
        f << QString::number(static_cast<int>(t.range(r)));
        rows << f.join(QLatin1Char('|'));
    }
    return rows;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(data.isValid());
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        folder = meterlink::Journal::folder();
    }
    QStringList journals() const {
        return QDir(folder).entryList({QStringLiteral("*.journal")}, QDir::Files);
    }
    static void read(const QString& path, JournalContents& c) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(path);
        meterlink::readJournal(f.readAll(), c);
    }
    // A window that logs the five readings and is closed unsaved.
    QStringList leaveUnsavedLog() {
        TFCOMM w;
        const meterlink::MeterReading readings[] = {
            reading("5.999", "V", "AUTO", "pass", 5999), reading("-034.6", "mV", "MANU", "pass", -346),
            reading("0.L", "M*", "AUTO", "Fail", 6001), reading("0.015", "k*", "AUTO", "pass", 15),
            reading("1.000", "uA", "MANU", "", 1000)};
        for (const auto& r : readings) w.logger().INDataToTable(r);
        return rowsOf(w.recordTable());
    }
    QTemporaryDir data;
    QString folder;
};

TEST_F(JournalTest, FollowsLoggingSavesCloseDataAndLoads) {
    auto w = std::make_unique<TFCOMM>();
    const QString path = w->journal().path();
    ASSERT_TRUE(w->journal().working()) << qPrintable(w->journal().failure());
    struct Step {
        const char* what;
        std::function<void()> act;
        int rows;
        bool saved;
    };
    QTemporaryDir files;
    const QString txt = files.filePath(QStringLiteral("two.txt"));
    const Step steps[] = {
        {"two rows logged", [&] { for (int i = 0; i < 2; ++i) w->logger().INDataToTable(reading("1.234", "V", "AUTO", "pass", 1234)); }, 2, false},
        {"saved", [&] { ASSERT_TRUE(meterlink::saveTableToFile(w->recordTable(), txt)); emit w->dataFiles().saved(); }, 2, true},
        {"a row after the save", [&] { w->logger().INDataToTable(reading("2.000", "V", "MANU", "Fail", 2000)); }, 3, false},
        {"Close Data", [&] { w->logger().closeData(); }, 0, false},
        {"a file loaded into the empty log", [&] { ASSERT_TRUE(meterlink::LoadTableFromFile(txt, w->recordTable(), false)); emit w->dataFiles().loaded(true); }, 2, true},
        {"the file loaded again, after the rows", [&] { ASSERT_TRUE(meterlink::LoadTableFromFile(txt, w->recordTable(), false)); emit w->dataFiles().loaded(false); }, 4, false},
    };
    for (const Step& s : steps) {
        s.act();
        JournalContents c;
        read(path, c);
        ASSERT_EQ(c.header, JournalContents::Header::Ok) << s.what;
        EXPECT_EQ(c.rows.rowCount(), s.rows) << s.what;
        EXPECT_EQ(c.saved, s.saved) << s.what;
        EXPECT_EQ(c.skippedLines, 0) << s.what;
        EXPECT_EQ(rowsOf(c.rows), rowsOf(w->recordTable())) << s.what;
    }
    // Unsaved rows: the ended window leaves its journal; saved ones: none.
    w.reset();
    EXPECT_TRUE(QFile::exists(path));
    QFile::remove(path);
    {
        TFCOMM saved;
        saved.logger().INDataToTable(reading("1.234", "V", "AUTO", "pass", 1234));
        emit saved.dataFiles().saved();
    }
    EXPECT_TRUE(journals().isEmpty()) << qPrintable(journals().join(u' '));
}

TEST_F(JournalTest, YesRestoresTheRowsAsTheyWereAndNumberingGoesOn) {
    const QStringList before = leaveUnsavedLog();
    ASSERT_EQ(journals().size(), 1);

    TFCOMM w;
    w.show();
    const std::size_t points = w.ChartPager().pointCount();
    MessageBoxAnswerer yes(QMessageBox::Yes, [&w](QMessageBox* box) { saveScreenshot(withBox(w, box), "recovery-question.png"); });
    EXPECT_EQ(w.offerRecovery(), 5);
    ASSERT_TRUE(yes.seen().has_value());
    EXPECT_EQ(yes.seen()->title, QStringLiteral("Information"));
    EXPECT_TRUE(yes.seen()->text.startsWith(QStringLiteral("The log of an earlier session was not saved: 5 rows, the last logged at ")))
        << qPrintable(yes.seen()->text);
    EXPECT_TRUE(yes.seen()->text.endsWith(QStringLiteral(". Restore it?")));
    EXPECT_EQ(yes.seen()->buttons, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));

    EXPECT_EQ(rowsOf(w.recordTable()), before);
    EXPECT_EQ(w.ChartPager().pointCount(), points + 5);
    EXPECT_EQ(w.logger().NextRecordNo(), 6);
    w.logger().INDataToTable(reading("3.300", "V", "AUTO", "pass", 3300));
    EXPECT_EQ(w.recordTable().text(5, RecordTable::No), QStringLiteral("6"));
    QTest::qWait(100);
    saveScreenshot(w.grab(), "window-after-recovery.png");
    // Only this window's own journal is left, and it holds the restored rows.
    ASSERT_EQ(journals(), QStringList{QFileInfo(w.journal().path()).fileName()});
    JournalContents c;
    read(w.journal().path(), c);
    EXPECT_EQ(rowsOf(c.rows), rowsOf(w.recordTable()));
    EXPECT_EQ(c.chartValues[1], -346);
}

TEST_F(JournalTest, NoKeepsTheRowsAsADatedCsvFileWithTheirFullTimes) {
    leaveUnsavedLog();
    const QString journal = QDir(folder).filePath(journals().front());
    JournalContents left;
    read(journal, left);
    TFCOMM w;
    std::optional<MessageBoxAnswerer> second;
    MessageBoxAnswerer no(QMessageBox::No, [&second](QMessageBox*) { second.emplace(QMessageBox::Ok); });
    EXPECT_EQ(w.offerRecovery(), 0);
    EXPECT_EQ(w.recordTable().rowCount(), 0);
    const QStringList kept = QDir(folder).entryList({QStringLiteral("unsaved log *.csv")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    ASSERT_TRUE(second && second->seen());
    EXPECT_EQ(second->seen()->text, JournalRecovery::keptMessage(QDir(folder).filePath(kept.front())));
    EXPECT_TRUE(second->seen()->text.contains(kept.front())) << "the message names the file";
    QFile csv(QDir(folder).filePath(kept.front()));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_TRUE(lines[0].startsWith("timestamp,no,function,value,unit,")) << lines[0].constData();
    // Full times as the journal had them, and SI values: -034.6 mV is -0.0346 V.
    std::string time;
    meterlink::appendIsoTime(time, *left.rows.fullTime(1));
    EXPECT_TRUE(lines[2].startsWith(QByteArray::fromStdString(time) + ",2,DC,-0.0346,V,")) << lines[2].constData();
    EXPECT_EQ(journals(), QStringList{QFileInfo(w.journal().path()).fileName()});
}

// Damage at the start, in the middle or at the end costs only the damaged
// lines; the damaged journal stays beside the journals until the log is saved.
TEST_F(JournalTest, ADamagedJournalRestoresEveryIntactRow) {
    struct Case {
        const char* name;
        int at;   // the damage goes after this many rows
        QByteArray damage;
    };
    const Case cases[] = {
        {"garbage_at_the_start", 0, "row\tgarbage\n"},
        {"nul_block_in_the_middle", 2, QByteArray(4096, '\0')},
        {"torn_line_at_the_end", 5, "row\t7\t2026-12-10T16:08:55.1"},
    };
    for (const Case& c : cases) {
        const QStringList before = leaveUnsavedLog();
        const QString path = QDir(folder).filePath(journals().front());
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            QByteArray bytes = f.readAll();
            // After the header and `at` rows.
            qsizetype at = 0;
            for (int i = 0; i <= c.at; ++i) at = bytes.indexOf('\n', at) + 1;
            bytes.insert(at, c.damage);
            f.resize(0);
            f.seek(0);
            f.write(bytes);
        }
        auto w = std::make_unique<TFCOMM>();
        MessageBoxAnswerer yes(QMessageBox::Yes);
        EXPECT_EQ(w->offerRecovery(), 5) << c.name;
        ASSERT_TRUE(yes.seen().has_value()) << c.name;
        EXPECT_TRUE(yes.seen()->text.contains(QStringLiteral("1 damaged line of it was skipped. The damaged journal is "
                                                             "kept in the folder")))
            << c.name << qPrintable(yes.seen()->text);
        EXPECT_EQ(rowsOf(w->recordTable()), before) << c.name;
        const QString copy = path + QStringLiteral(".damaged");
        EXPECT_TRUE(QFile::exists(copy)) << c.name;
        EXPECT_EQ(journals(), QStringList{QFileInfo(w->journal().path()).fileName()}) << c.name;
        if (c.at == 2) {
            // Not saved: the next window restores the rows again and keeps the copy.
            w.reset();
            auto next = std::make_unique<TFCOMM>();
            MessageBoxAnswerer again(QMessageBox::Yes);
            EXPECT_EQ(next->offerRecovery(), 5) << c.name;
            EXPECT_TRUE(QFile::exists(copy)) << c.name;
            w = std::move(next);
        }
        emit w->dataFiles().saved();
        EXPECT_FALSE(QFile::exists(copy)) << c.name << ": removed once the log is saved";
        w.reset();
        EXPECT_TRUE(journals().isEmpty()) << c.name;
    }
}

// A nearly full disk: the rows come back, but the journal they were in is
// kept until they are saved, so that a kill cannot lose them.
TEST_F(JournalTest, ARestoreTheDiskCannotHoldKeepsTheOldJournal) {
    SmallDisk disk("size=2m");
    if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    qputenv("XDG_DATA_HOME", disk.path().toLocal8Bit());
    folder = meterlink::Journal::folder();
    QStringList before;
    {
        TFCOMM w;
        for (int i = 0; i < 6137; ++i) w.logger().INDataToTable(reading("5.999", "V", "AUTO", "pass", 5999));
        before = rowsOf(w.recordTable());
    }
    ASSERT_EQ(journals().size(), 1);
    const QString old = QDir(folder).filePath(journals().front());
    QByteArray oldBytes;
    {
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        oldBytes = f.readAll();
    }
    disk.fill(64 * 1024);
    {
        auto w = std::make_unique<TFCOMM>();
        // Yes, then Ok to each Error: this one, and the journal's own.
        QStringList errors;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) return yes->click();
            errors << box->windowTitle() + QLatin1Char(':') + box->text();
            box->button(QMessageBox::Ok)->click();
        });
        answer.start(20);
        EXPECT_EQ(w->offerRecovery(), 6137);
        EXPECT_EQ(rowsOf(w->recordTable()), before);
        ASSERT_TRUE(waitFor([&] { return errors.size() == 2; }));
        EXPECT_TRUE(errors.contains(QStringLiteral("Error:") + JournalRecovery::notHandedOverMessage(old)))
            << qPrintable(errors.join(u'\n'));
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), oldBytes) << "the old journal is as it was";
        EXPECT_TRUE(meterlink::findOrphanJournals(folder).empty()) << "held by the window while it has the rows";
    }
    // As after a kill: the next start offers every row once.
    QFile::remove(disk.filePath(QStringLiteral("filler")));
    {
        TFCOMM w;
        MessageBoxAnswerer yes(QMessageBox::Yes);
        EXPECT_EQ(w.offerRecovery(), 6137);
        EXPECT_EQ(rowsOf(w.recordTable()), before);
        EXPECT_FALSE(QFile::exists(old)) << "handed over once the disk holds the rows";
        emit w.dataFiles().saved();
    }
    EXPECT_TRUE(journals().isEmpty()) << qPrintable(journals().join(u' '));
}

// Killed at any moment of a restore, the next start offers each row once:
// the hand-over from the old journal to the new one is all or nothing.
TEST_F(JournalTest, AKillDuringARestoreOffersEachRowOnce) {
    constexpr int kRows = 1'000'000;
    std::string bytes = meterlink::journalHeader();
    {
        RecordTable t;
        for (int i = 1; i <= kRows; ++i) {
            RecordTable::Row row;
            row.no = i;
            const std::string value = std::to_string(i % 6000);
            row.text[RecordTable::Value] = QByteArrayView(value.data(), static_cast<qsizetype>(value.size()));
            row.text[RecordTable::Unit] = "mV";
            t.append(row);
        }
        for (int r = 0; r < kRows; ++r) meterlink::appendJournalRow(bytes, t, r, std::nullopt);
    }
    QDir().mkpath(folder);
    for (const int killAfterMs : {0, 40, 80, 120, 160, 200, 300, -1}) {
        {
            QFile f(QDir(folder).filePath(QStringLiteral("log-old.journal")));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
        QProcess child;
        child.start(QStringLiteral(METERLINK_JOURNAL_CHILD),
                    {QStringLiteral("restore"), QCoreApplication::applicationName(), QCoreApplication::organizationName()});
        ASSERT_TRUE(child.waitForStarted());
        QByteArray out;
        ASSERT_TRUE(waitFor([&] {
            out += child.readAllStandardOutput();
            return out.contains("yes") || child.state() == QProcess::NotRunning;
        }, 20000));
        if (killAfterMs >= 0) {
            QTest::qWait(killAfterMs);
            if (child.processId() > 0) ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        }
        child.waitForFinished(60000);
        out += child.readAllStandardOutput();

        auto w = std::make_unique<TFCOMM>();
        int questions = 0;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            ++questions;
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
            else box->reject();
        });
        answer.start(20);
        EXPECT_EQ(w->offerRecovery(), kRows) << "killed " << killAfterMs << " ms after Yes; child: " << out.constData();
        EXPECT_EQ(questions, 1) << "killed " << killAfterMs << " ms after Yes";
        // Each row once, in order.
        const RecordTable& t = w->recordTable();
        bool inOrder = t.rowCount() == kRows;
        for (int r = 0; inOrder && r < kRows; ++r) inOrder = t.integer(r, RecordTable::No) == r + 1;
        EXPECT_TRUE(inOrder) << "killed " << killAfterMs << " ms after Yes";
        emit w->dataFiles().saved();
        w.reset();
        EXPECT_TRUE(journals().isEmpty()) << killAfterMs << ": " << qPrintable(journals().join(u' '));
        for (const QString& j : journals()) QFile::remove(QDir(folder).filePath(j));
    }
}

TEST_F(JournalTest, AJournalARunningWindowHoldsOrANewerProgramWroteIsLeftAlone) {
    TFCOMM running;
    running.logger().INDataToTable(reading("1.234", "V", "AUTO", "pass", 1234));
    const QString newer = QDir(folder).filePath(QStringLiteral("log-newer.journal"));
    {
        QFile f(newer);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("MeterLink journal 99\nrow\tsomething new\n");
    }
    TFCOMM w;
    MessageBoxAnswerer ok(QMessageBox::Ok);
    EXPECT_EQ(w.offerRecovery(), 0);
    ASSERT_TRUE(ok.seen().has_value());
    EXPECT_TRUE(ok.seen()->text.contains(QStringLiteral("newer version"))) << qPrintable(ok.seen()->text);
    EXPECT_TRUE(QFile::exists(newer));
    EXPECT_TRUE(QFile::exists(running.journal().path()));
}

// Windows that start at the same instant each keep a journal of their own,
// and a journal left unsaved is offered to one of them only.
TEST_F(JournalTest, WindowsStartingAtOnceEachKeepTheirOwn) {
    for (int i = 0; i < 20; ++i) {
        RecordTable table;
        meterlink::Journal a(table, {}), b(table, {});
        ASSERT_TRUE(a.start(folder) && b.start(folder)) << qPrintable(a.failure() + b.failure());
        EXPECT_NE(a.path(), b.path());
    }
    EXPECT_TRUE(journals().isEmpty()) << "journals without unsaved rows are removed";
    leaveUnsavedLog();
    leaveUnsavedLog();
    ASSERT_EQ(journals().size(), 2);
    std::vector<meterlink::OrphanJournal> first = meterlink::findOrphanJournals(folder);
    EXPECT_EQ(first.size(), 2u);
    EXPECT_TRUE(meterlink::findOrphanJournals(folder).empty()) << "each is being offered by the first window";
    first.clear();
    EXPECT_EQ(meterlink::findOrphanJournals(folder).size(), 2u) << "a window that did not take them lets them go";
}

TEST_F(JournalTest, AJournalFolderThatIsAFileIsToldOnceAndLoggingGoesOn) {
    QDir().mkpath(QFileInfo(folder).absolutePath());
    {
        QFile f(folder);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    MessageBoxAnswerer error(QMessageBox::Ok);
    TFCOMM w;
    w.logger().INDataToTable(reading("1.234", "V", "AUTO", "pass", 1234));
    ASSERT_TRUE(waitFor([&] { return error.seen().has_value(); }));
    EXPECT_EQ(error.seen()->title, QStringLiteral("Error"));
    EXPECT_TRUE(error.seen()->text.contains(QStringLiteral("would be lost in a crash"))) << qPrintable(error.seen()->text);
    EXPECT_EQ(w.recordTable().rowCount(), 1);
    EXPECT_TRUE(QFileInfo(folder).isFile()) << "the user's file is left as it was";
}

TEST_F(JournalTest, AKilledWindowLosesNoLoggedRow) {
    for (int trial = 0; trial < 3; ++trial) {
        const int rows = QRandomGenerator::global()->bounded(5, 60);
        QProcess child;
        child.start(QStringLiteral(METERLINK_JOURNAL_CHILD), {QString::number(rows), QStringLiteral("1"),
                                                              QCoreApplication::applicationName(),
                                                              QCoreApplication::organizationName()});
        ASSERT_TRUE(child.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return child.readAllStandardOutput().contains("done") ||
                                         child.state() == QProcess::NotRunning; }, 20000));
        // A random moment after the last row, the syncer perhaps mid-way.
        QTest::qWait(QRandomGenerator::global()->bounded(0, 300));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        child.waitForFinished();

        TFCOMM w;
        const std::size_t points = w.ChartPager().pointCount();
        MessageBoxAnswerer yes(QMessageBox::Yes);
        EXPECT_EQ(w.offerRecovery(), rows) << "trial " << trial;
        ASSERT_EQ(w.recordTable().rowCount(), rows);
        // Field for field as the child logged them.
        for (int i = 0; i < rows; ++i) {
            const long count = (i * 7919L) % 6000;
            const QString value = QStringLiteral("%1.%2").arg(count / 1000).arg(count % 1000, 3, 10, QLatin1Char('0'));
            EXPECT_EQ(w.recordTable().text(i, RecordTable::No), QString::number(i + 1));
            EXPECT_EQ(w.recordTable().text(i, RecordTable::Value), value);
            EXPECT_EQ(w.recordTable().text(i, RecordTable::Unit), QLatin1String(i % 5 ? "V" : "mV"));
            EXPECT_EQ(w.recordTable().range(i), i % 7 ? RecordTable::Range::Auto : RecordTable::Range::Manual);
            EXPECT_TRUE(w.recordTable().fullTime(i).has_value());
        }
        EXPECT_EQ(w.ChartPager().pointCount(), points + static_cast<std::size_t>(rows));
        w.logger().closeData();
    }
}

}  // namespace
