// "Record to File…": the window appends each logged row to the chosen CSV or
// JSON-lines file as it goes, and the status line names the file. File
// dialogs open in the folder last used.

#include "app/connection_control.h"
#include "app/data_file_commands.h"
#include "app/last_folder.h"
#include "app/record_menu.h"
#include "app/record_to_file.h"
#include "app/tfcomm.h"
#include "window_test_support.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using meterlink::RecordTable;

namespace {

QList<QByteArray> lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> out = f.readAll().split('\n');
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

// The window, logging what the meter simulator streams into COM 1.
class RecordToFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator.start(QStringLiteral(METERLINK_CLI), {QStringLiteral("simulate"), QStringLiteral("--rate"),
                                                        QStringLiteral("50")});
        ASSERT_TRUE(simulator.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return simulator.canReadLine(); }));
        qputenv("METERLINK_COM1", simulator.readLine().trimmed());
        window = std::make_unique<TFCOMM>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        simulator.kill();
        simulator.waitForFinished();
        qunsetenv("METERLINK_COM1");
    }

    RecordToFile& recorder() { return window->recordToFile(); }
    QString status() { return recorder().statusLabel()->toolTip(); }
    void toggleLink() { QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton); }

    QProcess simulator;
    std::unique_ptr<TFCOMM> window;
    QTemporaryDir dir;
};

TEST_F(RecordToFileTest, EveryLoggedRowIsInTheFileAndTheStatusLineNamesIt) {
    RecordMenu& menu = *window->recordMenu();
    EXPECT_EQ(menu.RecordToFile1()->text(), QStringLiteral("Record to File…"));
    EXPECT_FALSE(menu.StopRecording1()->isEnabled());
    EXPECT_TRUE(status().isEmpty());

    // Rows logged before the recording starts are not in it.
    toggleLink();
    ASSERT_TRUE(waitFor([&] { return window->recordTable().rowCount() >= 5; }, 20000));
    const QString path = dir.filePath(QStringLiteral("bench.csv"));
    {
        FileDialogAnswerer answer(path, [](QFileDialog* d) {
            EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
            EXPECT_EQ(d->nameFilters(), (QStringList{"CSV (*.csv)", "JSON lines (*.jsonl)"}));
        });
        menu.RecordToFile1()->trigger();
        ASSERT_TRUE(answer.shown());
    }
    ASSERT_TRUE(recorder().file().active());
    EXPECT_EQ(status(), QStringLiteral("Recording to ") + path);
    EXPECT_TRUE(menu.StopRecording1()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return lines(path).size() >= 20; }, 20000)) << "rows reach the file as they come";
    saveScreenshot(window->grab(), "record_to_file.png");
    toggleLink();
    const RecordTable& table = window->recordTable();
    const QList<QByteArray> written = lines(path);
    ASSERT_GE(written.size(), 2);
    EXPECT_TRUE(written[0].startsWith("timestamp,no,"));
    // The rows of the file are the table's last rows, in order.
    const int first = table.rowCount() - static_cast<int>(written.size() - 1);
    EXPECT_GE(first, 5) << "rows logged before the recording started are not in it";
    for (int i = 1; i < written.size(); ++i)
        ASSERT_EQ(written[i].split(',').value(1).toInt(), *table.integer(first + i - 1, RecordTable::No)) << i;

    menu.StopRecording1()->trigger();
    EXPECT_FALSE(recorder().file().active());
    EXPECT_TRUE(status().isEmpty());
    EXPECT_FALSE(menu.StopRecording1()->isEnabled());
    const qsizetype kept = lines(path).size();
    toggleLink();
    const int rows = table.rowCount();
    ASSERT_TRUE(waitFor([&] { return table.rowCount() >= rows + 5; }, 20000));
    toggleLink();
    EXPECT_EQ(lines(path).size(), kept) << "nothing is written once stopped";
}

TEST_F(RecordToFileTest, AFileThatCannotBeMadeIsToldAndNothingIsRecorded) {
    const QString path = dir.filePath(QStringLiteral("no/such/folder/run.jsonl"));
    MessageBoxAnswerer ok(QMessageBox::Ok);
    EXPECT_FALSE(recorder().startRecording(path));
    ASSERT_TRUE(ok.seen());
    EXPECT_EQ(ok.seen()->title, QStringLiteral("Error"));
    EXPECT_EQ(ok.seen()->icon, QMessageBox::Critical);
    EXPECT_EQ(ok.seen()->text, RecordToFile::startFailedText(path));
    EXPECT_FALSE(recorder().file().active());
    EXPECT_TRUE(status().isEmpty());
}

TEST_F(RecordToFileTest, FileDialogsOpenInTheFolderLastUsed) {
    // Never where the program was started from.
    QString firstFolder;
    {
        FileDialogAnswerer cancel(QString(), [&](QFileDialog* d) { firstFolder = d->directory().absolutePath(); });
        window->dataFiles().saveasClick();
        ASSERT_TRUE(cancel.shown());
    }
    EXPECT_EQ(firstFolder, QDir(last_folder::folder()).absolutePath());
    EXPECT_NE(firstFolder, QDir::currentPath());

    const QString path = dir.filePath(QStringLiteral("run.jsonl"));
    {
        FileDialogAnswerer answer(path);
        window->recordMenu()->RecordToFile1()->trigger();
        ASSERT_TRUE(answer.shown());
    }
    window->recordMenu()->StopRecording1()->trigger();
    // The next dialog, of any command, and the next run's, open there.
    for (int run = 0; run < 2; ++run) {
        QString folder;
        FileDialogAnswerer cancel(QString(), [&](QFileDialog* d) { folder = d->directory().absolutePath(); });
        window->dataFiles().SpeedButton2Click();
        ASSERT_TRUE(cancel.shown());
        EXPECT_EQ(folder, QDir(dir.path()).absolutePath());
        window = std::make_unique<TFCOMM>();
    }
}

}  // namespace
