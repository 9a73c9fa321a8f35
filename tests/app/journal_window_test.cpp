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
        EXPECT_EQ(c.droppedLines, 0) << s.what;
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

TEST_F(JournalTest, NoKeepsTheRowsAsADatedTextDataFile) {
    const QStringList before = leaveUnsavedLog();
    TFCOMM w;
    std::optional<MessageBoxAnswerer> second;
    MessageBoxAnswerer no(QMessageBox::No, [&second](QMessageBox*) { second.emplace(QMessageBox::Ok); });
    EXPECT_EQ(w.offerRecovery(), 0);
    EXPECT_EQ(w.recordTable().rowCount(), 0);
    const QStringList kept = QDir(folder).entryList({QStringLiteral("unsaved log *.txt")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    ASSERT_TRUE(second && second->seen());
    EXPECT_EQ(second->seen()->text, JournalRecovery::keptMessage(QDir(folder).filePath(kept.front())));
    RecordTable loaded;
    ASSERT_TRUE(meterlink::LoadTableFromFile(QDir(folder).filePath(kept.front()), loaded, false));
    ASSERT_EQ(loaded.rowCount(), 5);
    EXPECT_EQ(loaded.text(2, RecordTable::Value), QStringLiteral("0.L"));
    EXPECT_EQ(journals(), QStringList{QFileInfo(w.journal().path()).fileName()});
}

TEST_F(JournalTest, ADamagedJournalRestoresTheRowsBeforeTheDamage) {
    leaveUnsavedLog();
    const QString path = QDir(folder).filePath(journals().front());
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("row\tgarbage\nrow\t7\t2026-12-10T16:08:55.1");   // a bad line and a torn one
    }
    TFCOMM w;
    MessageBoxAnswerer yes(QMessageBox::Yes);
    EXPECT_EQ(w.offerRecovery(), 5);
    ASSERT_TRUE(yes.seen().has_value());
    EXPECT_TRUE(yes.seen()->text.contains(QStringLiteral("last 2 lines are damaged"))) << qPrintable(yes.seen()->text);
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
