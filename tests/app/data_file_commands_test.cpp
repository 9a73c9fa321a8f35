// The record bar's file commands, driven through their dialogs offscreen:
// save, open and print, what the user is asked and told, and the window's
// buttons and menu item that run them.

#include "app/data_file_commands.h"
#include "app/record_bar.h"
#include "app/record_grid.h"
#include "app/record_table_model.h"
#include "app/tfcomm.h"
#include "recording/data_files.h"
#include "recording/record_table.h"
#include "recording/report_layout.h"
#include "../recording/table_rows.h"
#include "window_test_support.h"
#include "../small_disk.h"
#include "../../bench/resident_bytes.h"

#include <QAbstractButton>
#include <QDir>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QCheckBox>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

using meterlink::RecordTable;
using meterlink::test::tableRow;
using meterlink::test::tableRows;

namespace {

// Plays the user at the modal windows that open next: each step gets the next
// one that shows and is expected to close it (at once or queued).
class ModalSteps {
public:
    using Step = std::function<void(QWidget*)>;
    ModalSteps(std::initializer_list<Step> steps) : steps_(steps) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { look(); });
        poll_.start(20);
    }
    ~ModalSteps() { EXPECT_TRUE(steps_.empty()) << steps_.size() << " windows did not open"; }

private:
    void look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || steps_.empty() || (modal == handled_ && modal->isVisible())) return;
        handled_ = modal;
        const Step step = steps_.front();
        steps_.pop_front();
        step(modal);
    }

    std::deque<Step> steps_;
    QPointer<QWidget> handled_;
    QTimer poll_;
};

// A file dialog step: check it, then choose `name` in `folder`, or cancel
// when name is empty.
ModalSteps::Step chooseFile(const QString& folder, const QString& name, std::function<void(QFileDialog*)> check = {}) {
    return [=](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        if (check) check(dialog);
        if (name.isEmpty()) {
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            return;
        }
        dialog->setDirectory(folder);
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
}

// A message box step: what it says, then its button `answer`.
ModalSteps::Step expectBox(QMessageBox::Icon icon, const QString& title, const QString& text,
                           QMessageBox::StandardButton answer = QMessageBox::Ok, const QString& detail = QString(),
                           const char* screenshot = nullptr) {
    return [=](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(box->icon(), icon);
        EXPECT_EQ(box->windowTitle(), title);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->detailedText(), detail);
        if (screenshot) {
            // Opened, so the picture shows the reason.
            for (QAbstractButton* b : box->buttons())
                if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
            saveScreenshot(box->grab(), screenshot);
        }
        box->button(answer)->click();
    };
}

// Any message box step: answers Yes (Qt's own overwrite question).
ModalSteps::Step answerYes() {
    return [](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << modal->metaObject()->className();
        box->button(QMessageBox::Yes)->click();
    };
}

QString fileNameShown(QFileDialog* dialog) {
    return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(DialogFilter, PairsBecomeQtNameFiltersAndSuffixes) {
    EXPECT_EQ(nameFilters(parseDialogFilter(QLatin1String(DataFileCommands::kSaveFilter))),
              (QStringList{"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)", "CSV (*.csv)",
                           "JSON lines (*.jsonl)"}));
    EXPECT_EQ(nameFilters(parseDialogFilter(QLatin1String(DataFileCommands::kOpenFilter))),
              (QStringList{"Excel File(*.xls)", "XML (*.xml)", "Txt File(*.txt)", "CSV (*.csv)",
                           "JSON lines (*.jsonl)"}));
    const QList<DialogFilter> other = parseDialogFilter(QStringLiteral("Logs|*.log;*.txt|Everything (*.*)|*.*"));
    EXPECT_EQ(nameFilters(other), (QStringList{"Logs (*.log *.txt)", "Everything (*.*)"}));
    EXPECT_EQ(other[0].suffix(), QStringLiteral("log"));
    EXPECT_EQ(other[1].suffix(), QString());
}

class DataFileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(400, 300);
        window.show();
        table.append(tableRow(1, "14:03:22", "DC", "5.999", "V", "pass"));
    }
    QString at(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    QWidget window;
    RecordTable table;
    DataFileCommands commands{table, &window};
};

TEST_F(DataFileCommandsTest, SaveAsksForANameEachTimeAndSaysHowItWent) {
    {
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("log"),
                                    [](QFileDialog* d) {
                                        EXPECT_EQ(d->nameFilters(),
                                                  (QStringList{"Excel File(*.xls)", "XML(*.xml)", "Txt File(*.txt)",
                                                               "CSV (*.csv)", "JSON lines (*.jsonl)"}));
                                        EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("Excel File(*.xls)"));
                                        EXPECT_EQ(d->defaultSuffix(), QStringLiteral("xls"));
                                        EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite));
                                        EXPECT_EQ(fileNameShown(d), QString());
                                        saveScreenshot(d->grab(), "save-dialog.png");
                                    }),
                         expectBox(QMessageBox::Information, QStringLiteral("Information"),
                                   "Save table to specified file: " + at("log.xls") + " Scuss!")};
        commands.saveasClick();
    }
    EXPECT_TRUE(readAll(at("log.xls")).startsWith("No\tTime"));

    {   // The name is gone; a name typed for XML becomes an XML file.
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("log"),
                                    [](QFileDialog* d) {
                                        EXPECT_EQ(fileNameShown(d), QString());
                                        d->selectNameFilter(QStringLiteral("XML(*.xml)"));
                                        emit d->filterSelected(QStringLiteral("XML(*.xml)"));
                                    }),
                         expectBox(QMessageBox::Information, QStringLiteral("Information"),
                                   "Save table to specified file: " + at("log.xml") + " Scuss!")};
        commands.saveasClick();
    }
    EXPECT_TRUE(readAll(at("log.xml")).startsWith("<?xml"));

    table.append(tableRow(2, "a\x01z", "DC", "1.000", "V", "pass"));   // a text XML cannot carry
    const QByteArray before = readAll(at("log.xml"));
    {
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("log.xml")), answerYes(),
                         expectBox(QMessageBox::Critical, QStringLiteral("Error"),
                                   "Could not save table to specified file: " + at("log.xml"), QMessageBox::Ok,
                                   QStringLiteral("row 2 holds a control character that XML cannot carry; save it as "
                                                  "text"),
                                   "save-failed.png")};
        commands.saveasClick();
    }
    EXPECT_EQ(readAll(at("log.xml")), before);

    {   // Cancelled: nothing written.
        ModalSteps steps{chooseFile(dir.path(), QString())};
        commands.saveasClick();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"log.xls", "log.xml"}));
}

// Save onto a full disk: the "Error" box with the reason, the old file kept,
// whatever the size of the log.
TEST_F(DataFileCommandsTest, SaveOntoAFullDiskSaysWhyAndKeepsTheOldFile) {
    SmallDisk small("size=128k");
    if (!small.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    const QString disk = small.path();
    const QDir folder(disk);
    for (const char* name : {"log.xls", "log.xml"}) {
        QFile old(folder.filePath(QLatin1String(name)));
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("previous") == 8);
    }
    small.fill();
    for (int rows : {1, 10, 100, 500, 5000}) {
        while (table.rowCount() < rows) table.append(tableRow(table.rowCount() + 1, "14:03:22", "DC", "5.999", "V", "pass"));
        for (const char* name : {"log.xls", "log.xml"}) {
            const QString path = folder.filePath(QLatin1String(name));
            ModalSteps steps{chooseFile(disk, QLatin1String(name)), answerYes(),
                             expectBox(QMessageBox::Critical, QStringLiteral("Error"),
                                       "Could not save table to specified file: " + path, QMessageBox::Ok,
                                       QStringLiteral("No space left on device"))};
            commands.saveasClick();
            EXPECT_EQ(readAll(path), QByteArray("previous")) << rows << name;
        }
    }
    EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "log.xls", "log.xml"}));
}

TEST_F(DataFileCommandsTest, OpenAddsTextRowsReplacesByXmlAndOffersTheLastFileAgain) {
    QFile text(at("old.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n7\t09:00:00\tAC\t1.5\tmV\tFail\r\n1 2 3 4 5 6 7 8\r\n");
    text.close();
    {   // Rows before the bad line join the log, then the user hears of it.
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("old.txt"),
                                    [](QFileDialog* d) {
                                        EXPECT_EQ(d->nameFilters(),
                                                  (QStringList{"Excel File(*.xls)", "XML (*.xml)", "Txt File(*.txt)",
                                                               "CSV (*.csv)", "JSON lines (*.jsonl)"}));
                                        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
                                    }),
                         expectBox(QMessageBox::Critical, QStringLiteral("Error"), QStringLiteral("Failed to Load File!"),
                                   QMessageBox::Ok, QStringLiteral("line 3 holds 8 values; a row has at most 7"),
                                   "load-failed.png")};
        commands.SpeedButton2Click();
    }
    EXPECT_EQ(tableRows(table), (QStringList{"1|14:03:22|DC|5.999|V|pass|", "7|09:00:00|AC|1.5|mV|Fail|"}));

    RecordTable packet;
    packet.append(tableRow(3, "10:00:00", "OHM", "0.5", "k*", "pass"));
    ASSERT_TRUE(meterlink::saveTableToFile(packet, at("old.xml")));
    {
        ModalSteps steps{chooseFile(dir.path(), QString(),
                                    [](QFileDialog* d) {
                                        EXPECT_EQ(fileNameShown(d), QStringLiteral("old.txt"));
                                        EXPECT_EQ(d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->selectedText(),
                                                  QStringLiteral("old.txt"))
                                            << "typing replaces it";
                                        saveScreenshot(d->grab(), "open-dialog.png");
                                    })};
        commands.SpeedButton2Click();
    }
    EXPECT_EQ(table.rowCount(), 2);   // cancelled
    {
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("old.xml"))};
        commands.SpeedButton2Click();
    }
    EXPECT_EQ(tableRows(table), QStringList{"3|10:00:00|OHM|0.5|k*|pass|"});
}

TEST_F(DataFileCommandsTest, PrintShowsTheReportInAPreviewAndNoPagesForAnEmptyLog) {
    for (int i = 2; i <= 40; ++i) table.append(tableRow(i, "14:03:23", i % 3 ? "DC" : "AC", "1.234", "k*", "pass"));
    auto previewWith = [](int pages, const char* screenshot) {
        return [=](QWidget* modal) {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(modal);
            ASSERT_NE(preview, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(preview->windowTitle(), QStringLiteral("Print Preview"));
            auto* pagesShown = preview->findChild<QPrintPreviewWidget*>();
            EXPECT_TRUE(waitFor([&] { return pagesShown->pageCount() == pages; }))
                << pagesShown->pageCount() << " pages";
            if (screenshot) {
                preview->resize(900, 700);
                pagesShown->setViewMode(QPrintPreviewWidget::AllPagesView);
                pagesShown->fitInView();
                QTest::qWait(100);
                saveScreenshot(preview->grab(), screenshot);
                // The first page's fields; "Plain table" prints the table pages alone.
                auto* operatorName = preview->findChild<QLineEdit*>(QStringLiteral("ReportOperator"));
                auto* plain = preview->findChild<QCheckBox*>(QStringLiteral("ReportPlain"));
                ASSERT_TRUE(operatorName && plain && preview->findChild<QLineEdit*>(QStringLiteral("ReportTitle")) &&
                            preview->findChild<QLineEdit*>(QStringLiteral("ReportComment")));
                operatorName->setText(QStringLiteral("Night shift"));
                emit operatorName->editingFinished();
                plain->setChecked(true);
                EXPECT_TRUE(waitFor([&] { return pagesShown->pageCount() == pages - 1; })) << pagesShown->pageCount();
                plain->setChecked(false);
                EXPECT_TRUE(waitFor([&] { return pagesShown->pageCount() == pages; })) << pagesShown->pageCount();
            }
            preview->reject();
        };
    };
    {
        ModalSteps steps{previewWith(3, "print-preview.png")};
        commands.BtPrintClick();
    }
    {   // What was typed stays for the next print.
        ModalSteps steps{[](QWidget* modal) {
            EXPECT_EQ(modal->findChild<QLineEdit*>(QStringLiteral("ReportOperator"))->text(), QStringLiteral("Night shift"));
            QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
        }};
        commands.BtPrintClick();
    }
    table.clear();
    {
        ModalSteps steps{previewWith(0, nullptr)};
        commands.BtPrintClick();
    }
}

TEST_F(DataFileCommandsTest, ThePreviewKeepsTheRowsItOpenedWithWhenItsFieldsLayItOutAgain) {
    // 40 rows: the first page and two table pages. The first page's figures
    // are worked out once, for the rows there were when the preview opened;
    // laying the pages out again after a field changed must not take in the
    // rows logged meanwhile (table pages that the first page does not count).
    for (int i = 2; i <= 41; ++i) table.append(tableRow(i, "14:03:23", "DC", "1.234", "V", "pass"));
    ModalSteps steps{[&](QWidget* modal) {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(modal);
        ASSERT_NE(preview, nullptr) << modal->metaObject()->className();
        auto* pagesShown = preview->findChild<QPrintPreviewWidget*>();
        EXPECT_TRUE(waitFor([&] { return pagesShown->pageCount() == 3; })) << pagesShown->pageCount();
        for (int i = 42; i <= 121; ++i) table.append(tableRow(i, "14:03:24", "DC", "9.876", "V", "Fail"));
        auto* title = preview->findChild<QLineEdit*>(QStringLiteral("ReportTitle"));
        ASSERT_NE(title, nullptr);
        title->setText(QStringLiteral("Bench 4"));
        emit title->editingFinished();
        QTest::qWait(200);
        EXPECT_EQ(pagesShown->pageCount(), 3);
        preview->reject();
    }};
    commands.BtPrintClick();
}

TEST_F(DataFileCommandsTest, AReportOfOverAThousandPagesAsksFirstLaysOutUnderProgressAndGivesItsMemoryBack) {
    const double height = meterlink::ReportLayout::pageLayout().paintRect(QPageLayout::Millimeter).height();
    const int perPage = meterlink::ReportLayout::rowsPerPage(height);
    for (int i = 2; i <= perPage * 1000 + 1; ++i)
        table.append(tableRow(i, "14:03:23", i % 3 ? "DC" : "AC", "1.234", "k*", "pass"));
    // 1001 pages of rows after the first page.
    const QString question = QStringLiteral("The report has 1002 pages. Preview all of them?");
    {   // No: no preview.
        ModalSteps steps{[&](QWidget* modal) {
            saveScreenshot(withBox(window, qobject_cast<QMessageBox*>(modal)), "print-preview-question.png");
            expectBox(QMessageBox::Information, QStringLiteral("Information"), question, QMessageBox::No)(modal);
        }};
        commands.BtPrintClick();
    }
    int pagesShown = 0;
    auto preview = [&](QWidget* modal) {
        auto* dialog = qobject_cast<QPrintPreviewDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        pagesShown = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
        dialog->reject();
    };
    {   // Yes, then Cancel while the pages are laid out: the pages so far.
        ModalSteps steps{expectBox(QMessageBox::Information, QStringLiteral("Information"), question, QMessageBox::Yes),
                         [](QWidget* modal) {
                             auto* progress = qobject_cast<QProgressDialog*>(modal);
                             ASSERT_NE(progress, nullptr) << modal->metaObject()->className();
                             EXPECT_EQ(progress->maximum(), 1002);
                             EXPECT_EQ(progress->labelText(), QStringLiteral("Laying out the report's pages..."));
                             saveScreenshot(progress->grab(), "print-preview-progress.png");
                             progress->cancel();
                         },
                         preview};
        commands.BtPrintClick();
    }
    EXPECT_GT(pagesShown, 0);
    EXPECT_LT(pagesShown, 1002);

    // Laid out whole, then closed: the pages' memory is given back.
    const long before = residentBytes();
    long open = 0;
    {
        // The progress dialog may or may not show, by the machine's speed: it is left to finish.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->button(QMessageBox::Yes)->click();
            if (qobject_cast<QPrintPreviewDialog*>(modal) && modal->isVisible()) {
                open = residentBytes();
                preview(modal);
            }
        });
        poll.start(20);
        commands.BtPrintClick();
    }
    EXPECT_EQ(pagesShown, 1002);
    const long after = residentBytes();
    EXPECT_LT(after - before, (open - before) / 4)
        << "before " << before / 1000000 << " MB, open " << open / 1000000 << " MB, after " << after / 1000000 << " MB";
}

TEST(DataFileCommandsInTheWindow, RecordBarButtonsAndTheSaveItemOpenTheirDialogs) {
    TFCOMM window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* bar = window.findChild<RecordBar*>();
    ASSERT_NE(bar, nullptr);
    auto* save1 = window.findChild<QAction*>(QStringLiteral("Save1"));
    ASSERT_NE(save1, nullptr);
    auto* print = window.findChild<QPushButton*>(QStringLiteral("Print"));
    ASSERT_NE(print, nullptr);
    EXPECT_FALSE(print->isVisible());

    auto closes = [](const char* objectName) {
        return [=](QWidget* modal) {
            EXPECT_EQ(modal->objectName(), QLatin1String(objectName));
            QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
        };
    };
    const std::pair<std::function<void()>, const char*> commands[] = {
        {[&] { bar->saveas()->click(); }, "SaveDialog2"},
        {[&] { save1->trigger(); }, "SaveDialog2"},
        {[&] { bar->OpenDataFiles()->click(); }, "OpenDialog1"},
        {[&] { bar->BtPrint()->click(); }, "PrintPreview"},
    };
    for (const auto& [run, dialog] : commands) {
        ModalSteps steps{closes(dialog)};
        run();
    }
    print->click();   // prints nothing and asks nothing

    // An opened packet shows in the grid.
    QTemporaryDir dir;
    RecordTable packet;
    for (int i = 1; i <= 40; ++i) packet.append(tableRow(i, "09:00:00", "DC", "1.234", "k*", "pass"));
    ASSERT_TRUE(meterlink::saveTableToFile(packet, dir.filePath("log.xml")));
    {
        ModalSteps steps{chooseFile(dir.path(), QStringLiteral("log.xml"))};
        bar->OpenDataFiles()->click();
    }
    EXPECT_EQ(window.recordTable().rowCount(), 40);
    EXPECT_EQ(window.DBGrid1()->model().rowCount(), 40);
    saveScreenshot(window.grab(), "window-opened-log.png");
}

}  // namespace
