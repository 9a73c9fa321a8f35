// Logging in the window: the grid, the chart pager and their controls, alone
// and end to end with the meter simulator streaming into COM 1.

#include "app/chart_toolbar.h"
#include "app/connection_control.h"
#include "app/meter_chart.h"
#include "app/record_bar.h"
#include "app/record_grid.h"
#include "app/record_menu.h"
#include "app/record_table_model.h"
#include "app/tfcomm.h"
#include "recording/chart_pager.h"
#include "recording/unit_text.h"
#include "window_test_support.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using meterlink::RecordTable;

namespace {

RecordTable::Row rowOf(int no, const char* unit) {
    RecordTable::Row r;
    r.no = no;
    r.text[RecordTable::Time] = "14:03:22";
    r.sharedTime = true;
    r.text[RecordTable::DCAC] = "OHM";
    r.text[RecordTable::Value] = "4.702";
    r.text[RecordTable::Unit] = unit;
    r.text[RecordTable::Auto] = "pass";
    return r;
}

TEST(RecordGridModel, ShowsSixColumnsWithTheLcdsUnitSigns) {
    RecordTable table;
    RecordTableModel model(table);
    const struct {
        const char* stored;
        const char* shown;
    } units[] = {{"k*", "k\u03A9"}, {"#", "\u00B0C"}, {"?", "\u00B0F"}, {"uF", "\u00B5F"}, {"mV", "mV"}, {"", ""}};
    for (const auto& u : units) table.append(rowOf(1, u.stored));
    ASSERT_EQ(model.rowCount(), static_cast<int>(std::size(units)));
    for (int row = 0; row < model.rowCount(); ++row)
        EXPECT_EQ(model.data(model.index(row, 4), Qt::DisplayRole).toString(), QString::fromUtf8(units[row].shown));
    EXPECT_EQ(table.text(0, RecordTable::Unit), QStringLiteral("k*"));   // stored as decoded

    const char* titles[] = {"No.", "Time", "Function", "Value", "Unit", "Judge"};
    const int widths[] = {59, 52, 60, 47, 30, 34};
    const Qt::Alignment horizontal[] = {Qt::AlignRight, Qt::AlignHCenter, Qt::AlignHCenter,
                                        Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft};
    ASSERT_EQ(model.columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), QLatin1String(titles[c]));
        EXPECT_EQ(RecordTableModel::columnWidth(c), widths[c]);
        const auto align = model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(align & Qt::AlignHorizontal_Mask, horizontal[c]) << titles[c];
    }
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

// Every text a cell can hold fits its column, without an ellipsis, and the
// columns fit the window's fixed grid.
TEST(RecordGridView, TheWidestTextOfEachColumnFitsWithinTheWindow) {
    TFCOMM window;
    window.show();
    QTableView* view = window.DBGrid1()->view();
    const QFontMetrics cell(view->font());
    const QFontMetrics title(view->horizontalHeader()->font());
    const std::vector<QString> widest[] = {
        {"10000000"},
        {"23:59:59", "18:50:12", "00:00:00"},
        {"DC", "AC", "OHM", "CTN", "Diode", "CAP", "TMP", "Freq", "DutyCycle", "hFE"},
        // Four places, and the five of the 22,000-count meters.
        {"-5.999", "-59.99", "-599.9", "-6000", ".0L", "0.L", "-2.1999", "-21.999", "-219.99", "-2199.9", "-21999"},
        {unitDisplayText("k*"), unitDisplayText("M*"), unitDisplayText("uF"), unitDisplayText("#"),
         unitDisplayText("?"), "mV", "nF", "Hz", "%", "kHz", "MHz"},
        {"pass", "Fail"},
    };
    int right = 0;
    for (int c = 0; c < RecordTableModel::kColumnCount; ++c) {
        const int width = view->columnWidth(c);
        // As the grid's cells draw: the grid line, 2 px each side, then elided if it does not fit.
        const int room = width - (view->showGrid() ? 1 : 0) - 4;
        for (const QString& text : widest[c])
            EXPECT_EQ(cell.elidedText(text, Qt::ElideRight, room), text) << text.toStdString() << " in " << width;
        const QString heading = view->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_LE(title.horizontalAdvance(heading) + 2, width) << heading.toStdString();
        right += width;
    }
    EXPECT_LE(right, view->viewport()->width());
}

TEST(RecordGridView, ShowsAWindowThatFollowsEachNewRow) {
    RecordTable table;
    RecordTableModel model(table);
    RecordGrid grid(model);
    grid.resize(303, 241);
    grid.show();
    {
        RecordTable::Batch batch(table);
        for (int i = 1; i <= 100000; ++i) table.append(rowOf(i, "V"));
    }
    table.append(rowOf(100001, "V"));
    // The view holds the rows that fit, not the log.
    EXPECT_LE(grid.view()->model()->rowCount(), grid.pageRows() + 1);
    EXPECT_EQ(grid.currentRow(), 100000);
    EXPECT_EQ(grid.firstShownRow(), 100001 - grid.pageRows());
    const QModelIndexList selected = grid.view()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected[0].data().toString(), QStringLiteral("100001"));

    QTest::keyClick(grid.view(), Qt::Key_Home);
    EXPECT_EQ(grid.currentRow(), 0);
    EXPECT_EQ(grid.firstShownRow(), 0);
    EXPECT_EQ(grid.scrollBar()->value(), 0);
    grid.scrollBar()->setValue(500);
    EXPECT_EQ(grid.firstShownRow(), 500);
    EXPECT_EQ(grid.view()->model()->index(0, 0).data().toString(), QStringLiteral("501"));

    table.clear();
    EXPECT_EQ(grid.currentRow(), -1);
    EXPECT_EQ(grid.view()->model()->rowCount(), 0);
}

TEST(RecordBarInterval, SetsTheSamplingTimerFromWholeSeconds) {
    RecordBar bar;
    const struct {
        const char* typed;
        const char* shown;
        int interval;
    } cases[] = {{"2", "2", 2000}, {"0", "1", 1000}, {"", "", 1000}, {"15", "15", 15000}, {"-3", "-3", 15000},
                 {"99999999", "99999999", 15000}};
    for (const auto& c : cases) {
        bar.RecordSITime()->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(bar.RecordSITime()->text(), QLatin1String(c.shown)) << c.typed;
        EXPECT_EQ(bar.Timer3()->interval(), c.interval) << c.typed;
    }
    for (QChar key : {QChar(u'0'), QChar(u'9'), QChar(8)}) EXPECT_TRUE(RecordBar::RecordSITimeKeyPress(key));
    for (QChar key : {QChar(u'a'), QChar(u'-'), QChar(u'.'), QChar(u' ')}) EXPECT_FALSE(RecordBar::RecordSITimeKeyPress(key));
    bar.RecordSITime()->clear();
    QTest::keyClicks(bar.RecordSITime(), QStringLiteral("1a-2"));
    EXPECT_EQ(bar.RecordSITime()->text(), QStringLiteral("12"));
}

TEST(RecordBarInterval, TheSamplingTimerRunsOnlyWhileSamplingIsTicked) {
    RecordBar bar;
    EXPECT_TRUE(bar.frameDecoded());
    bar.RecordSI()->setChecked(true);
    EXPECT_FALSE(bar.frameDecoded());
    EXPECT_TRUE(bar.Timer3()->isActive());
    EXPECT_FALSE(bar.frameDecoded());   // a running timer keeps its period
    bar.RecordSI()->setChecked(false);
    EXPECT_TRUE(bar.frameDecoded());
    EXPECT_FALSE(bar.Timer3()->isActive());
}

TEST(RecordLimitMenu, MovesTheCheckMarkAndSetsTheLimit) {
    QMenuBar bar;
    RecordMenu menu(&bar);
    std::int32_t chosen = 0;
    QObject::connect(&menu, &RecordMenu::limitChosen, [&](std::int32_t limit) { chosen = limit; });
    const std::int32_t limits[] = {1000, 5000, 10000, 50000, 100000, 10000000};
    for (int i = 0; i < RecordMenu::limitItemCount(); ++i) {
        menu.limitItem(i)->trigger();
        EXPECT_EQ(chosen, limits[i]);
        for (int j = 0; j < RecordMenu::limitItemCount(); ++j) EXPECT_EQ(menu.limitItem(j)->isChecked(), i == j);
    }
}

// The window, logging what the meter simulator streams into COM 1.
class LoggingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        simulator.start(QStringLiteral(METERLINK_CLI), {QStringLiteral("simulate"), QStringLiteral("--rate"),
                                                        QStringLiteral("100")});
        ASSERT_TRUE(simulator.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return simulator.canReadLine(); }));
        const QByteArray port = simulator.readLine().trimmed();
        qputenv("METERLINK_COM1", port);
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

    int rows() { return window->recordTable().rowCount(); }
    ChartToolbar& toolbar() { return *window->chartToolbar(); }
    QString pageShown() { return toolbar().Bt10()->text(); }
    void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void clickPicture(QLabel* l) { QTest::mouseClick(l, Qt::LeftButton); }

    QProcess simulator;
    std::unique_ptr<TFCOMM> window;
};

TEST_F(LoggingWindowTest, RowsAndChartFollowTheMeterAndCloseDataEmptiesBoth) {
    meterlink::TChartControl& pager = window->ChartPager();
    click(window->connection().COMCon());
    ASSERT_TRUE(waitFor([&] { return rows() >= 150; }, 20000));

    // Following: the newest page is shown and numbered.
    EXPECT_EQ(pageShown(), QString::number(pager.FPageCount()));
    EXPECT_GE(pager.windowMaximum(), rows() - 1);
    EXPECT_EQ(window->DBGrid1()->currentRow(), rows() - 1);

    // Browsing holds page 1 while rows keep arriving.
    click(toolbar().BtFirst());
    EXPECT_EQ(pageShown(), QStringLiteral("1"));
    const int atFirst = rows();
    ASSERT_TRUE(waitFor([&] { return rows() >= atFirst + 30; }, 20000));
    EXPECT_EQ(pageShown(), QStringLiteral("1"));
    EXPECT_EQ(window->Chtshow()->recordAxis()->min(), 1);
    EXPECT_EQ(window->Chtshow()->recordAxis()->max(), 100);
    EXPECT_EQ(window->Chtshow()->shownPointCount(), 102);   // X 0 to 101: the page and one beyond each end
    EXPECT_TRUE(pager.FBrowsing());
    saveScreenshot(window->grab(), "logging_chart_page1.png");

    click(toolbar().BTlast());
    EXPECT_FALSE(pager.FBrowsing());
    ASSERT_TRUE(waitFor([&] { return rows() >= 300; }, 20000));
    click(window->connection().COMCon());   // the link closes before the simulator goes
    const int logged = rows();
    EXPECT_EQ(pageShown(), QString::number(pager.FPageCount()));
    EXPECT_GE(pager.windowMaximum(), logged);
    EXPECT_LE(pager.windowMinimum(), logged);
    // The chart draws the page once the event loop is free.
    EXPECT_TRUE(waitFor([&] { return window->Chtshow()->recordAxis()->max() == pager.windowMaximum(); }));

    // Rows are numbered on from 1, one per frame, with frame-driven times.
    RecordTable& table = window->recordTable();
    for (int row = 0; row < logged; ++row) ASSERT_EQ(table.integer(row, RecordTable::No), row + 1);
    EXPECT_TRUE(QTime::fromString(table.text(logged - 1, RecordTable::Time), QStringLiteral("hh:mm:ss")).isValid());
    EXPECT_EQ(window->DBGrid1()->currentRow(), logged - 1);
    saveScreenshot(window->grab(), "logging_window.png");

    // A full page shows the two drawings best.
    click(toolbar().BtFirst());
    click(toolbar().BtFill());
    EXPECT_EQ(window->Chtshow()->shownSeries(), 1);
    EXPECT_TRUE(waitFor([&] { return window->Chtshow()->shownPointCount() == 102; }));
    EXPECT_FALSE(toolbar().FillItem()->isChecked());
    saveScreenshot(window->Chtshow()->grab(), "logging_chart_line.png");
    click(toolbar().BtFill());
    EXPECT_EQ(window->Chtshow()->shownSeries(), 0);

    clickPicture(toolbar().TbFd());
    EXPECT_FALSE(window->recordBar()->isVisible());
    EXPECT_TRUE(toolbar().TbSx()->isVisible());
    saveScreenshot(window->grab(), "logging_chart_enlarged.png");
    clickPicture(toolbar().TbSx());
    EXPECT_EQ(window->Chtshow()->geometry(), QRect(309, 189, 350, 316));
    EXPECT_EQ(toolbar().pos(), QPoint(312, 141));
    EXPECT_TRUE(window->recordBar()->isVisible());
    click(toolbar().BTlast());

    // "Close Data": No keeps everything, Yes empties table and chart.
    {
        MessageBoxAnswerer no(QMessageBox::No);
        click(window->recordBar()->RecordNew());
        ASSERT_TRUE(no.seen());
        EXPECT_EQ(no.seen()->text, QStringLiteral("Are you sure that you want to clear all recorded data?"));
        EXPECT_EQ(no.seen()->title, QStringLiteral("Information"));
        EXPECT_EQ(no.seen()->buttons, (QStringList{"&Yes", "&No"}));
    }
    EXPECT_EQ(rows(), logged);
    {
        MessageBoxAnswerer yes(QMessageBox::Yes);
        click(window->recordBar()->RecordNew());
        ASSERT_TRUE(yes.seen());
    }
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(pager.pointCount(), 0u);
    EXPECT_TRUE(waitFor([&] { return window->Chtshow()->shownPointCount() == 0; }));
    EXPECT_EQ(pageShown(), QStringLiteral("1"));
    EXPECT_EQ(window->logger().NextRecordNo(), 1);
    EXPECT_EQ(window->DBGrid1()->view()->model()->rowCount(), 0);
}

TEST_F(LoggingWindowTest, ReachingTheRecordLimitIsToldOnceWhileTheLcdGoesOn) {
    window->logger().setRecordLimit(30);
    MessageBoxAnswerer ok(QMessageBox::Ok, [this](QMessageBox* box) {
        saveScreenshot(withBox(*window, box), "record_limit_reached.png");
    });
    click(window->connection().COMCon());
    ASSERT_TRUE(waitFor([&] { return ok.seen().has_value(); }, 20000));
    EXPECT_EQ(ok.seen()->title, QStringLiteral("Information"));
    EXPECT_EQ(ok.seen()->icon, QMessageBox::Information);
    EXPECT_EQ(ok.seen()->text, QStringLiteral("The record limit of 30 rows is reached: logging has stopped."));
    EXPECT_EQ(rows(), 30);
    MessageBoxAnswerer none(QMessageBox::Ok);
    const std::string value = window->reading().ValueText;
    ASSERT_TRUE(waitFor([&] { return window->reading().ValueText != value; }, 20000)) << "the LCD goes on";
    EXPECT_EQ(rows(), 30);
    EXPECT_FALSE(none.seen().has_value());
    click(window->connection().COMCon());
}

TEST_F(LoggingWindowTest, PageSizeIsAppliedASecondAfterTypingAndRefusedBeyondWhatTheChartCanDraw) {
    meterlink::TChartControl& pager = window->ChartPager();
    QLineEdit* size = toolbar().Maxrecord();
    size->clear();
    QTest::keyClicks(size, QStringLiteral("5x0"));
    EXPECT_EQ(size->text(), QStringLiteral("50"));
    EXPECT_EQ(pager.FPageSize(), 100);   // not yet
    ASSERT_TRUE(waitFor([&] { return pager.FPageSize() == 50; }));
    EXPECT_TRUE(waitFor([&] { return window->Chtshow()->recordAxis()->max() == 50; }));

    // A page of a million rows would squeeze a stretch of readings under the
    // axis at its left edge: sizes the chart cannot draw legibly are refused.
    const struct {
        const char* typed;
        int applied;   // 0: refused, the size in force stays
    } cases[] = {{"", 0}, {"0", 0}, {"1", 1}, {"10000", 10000}, {"10001", 0}, {"1000000", 0}, {"99999999999", 0},
                 {"100", 100}};
    int inForce = 50;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        MessageBoxAnswerer ok(QMessageBox::Ok);
        size->setText(QString::fromLatin1(c.typed));
        if (c.applied == 0) {
            ASSERT_TRUE(waitFor([&] { return ok.seen().has_value(); }));
            EXPECT_EQ(ok.seen()->title, QStringLiteral("Error"));
            EXPECT_EQ(ok.seen()->icon, QMessageBox::Critical);
            EXPECT_EQ(ok.seen()->text, QStringLiteral("The page size must be a whole number from 1 to 10000."));
            EXPECT_EQ(size->text(), QString::number(inForce)) << "the edit shows the size that stays";
        } else {
            ASSERT_TRUE(waitFor([&] { return pager.FPageSize() == c.applied; }));
            inForce = c.applied;
            EXPECT_TRUE(waitFor([&] { return window->Chtshow()->recordAxis()->max() == pager.windowMaximum(); }));
            EXPECT_FALSE(ok.seen().has_value());
        }
        EXPECT_EQ(pager.FPageSize(), inForce);
    }
}

TEST_F(LoggingWindowTest, TheChartIsSavedAsABitmap) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.bmp"));
    auto lookAtDialog = [](QFileDialog* dialog) {
        EXPECT_EQ(dialog->nameFilters(), QStringList{QStringLiteral("Bitmaps (*.bmp)")});
        EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("bmp"));
        saveScreenshot(dialog->grab(), "logging_save_picture_dialog.png");
    };
    {
        FileDialogAnswerer dialog(path, lookAtDialog);
        MessageBoxAnswerer ok(QMessageBox::Ok);
        click(toolbar().BtSave());
        ASSERT_TRUE(dialog.shown());
        ASSERT_TRUE(ok.seen());
        EXPECT_EQ(ok.seen()->text, QStringLiteral("Graphic has saved on ") + path);
    }
    const QImage saved(path, "BMP");
    EXPECT_EQ(saved.size(), window->Chtshow()->size());
    {
        // A folder nobody may create files in, not even root.
        const QString unwritable = QStringLiteral("/proc/chart.bmp");
        FileDialogAnswerer dialog(unwritable);
        MessageBoxAnswerer ok(QMessageBox::Ok);
        click(toolbar().BtSave());
        ASSERT_TRUE(ok.seen());
        EXPECT_EQ(ok.seen()->title, QStringLiteral("Error"));
        EXPECT_EQ(ok.seen()->text, QStringLiteral("Could not save graphic to specified file: ") + unwritable);
    }
}

}  // namespace

namespace {

TEST(MeterChartView, AReadingIsDrawnInTheSamePaintAsTheRestOfTheWindow) {
    QWidget window;
    window.resize(420, 360);
    auto* label = new QLabel(QStringLiteral("0.000"), &window);
    label->setGeometry(5, 5, 100, 20);
    auto* chart = new MeterChart(&window);
    chart->setGeometry(5, 30, 400, 320);
    meterlink::TChartControl pager(100);
    chart->setPager(&pager);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    pager.AddValue(1.0);
    QTest::qWait(50);

    int windowPaints = 0, chartPaints = 0;
    EventCounter windowCounter(window, QEvent::UpdateRequest, windowPaints);
    EventCounter chartCounter(*chart->viewport(), QEvent::Paint, chartPaints);
    // A reading changes the display and adds a point, in one handler.
    for (int i = 2; i <= 4; ++i) {
        label->setText(QString::number(i));
        pager.AddValue(i);
        QTest::qWait(50);
    }
    EXPECT_EQ(chart->shownPointCount(), 4);
    EXPECT_EQ(chartPaints, 3);
    EXPECT_EQ(windowPaints, 3) << "the chart took a paint of its own after the rest of the window";
}

TEST(MeterChartView, AFrameThatChangesTheRangeIsPaintedOnceWithItsPoint) {
    QWidget window;
    window.resize(420, 360);
    auto* chart = new MeterChart(&window);
    chart->setGeometry(5, 5, 400, 340);
    meterlink::TChartControl pager(100);
    chart->setPager(&pager);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    pager.AddValue(1.0);
    QTest::qWait(50);

    int chartPaints = 0;
    EventCounter chartCounter(*chart->viewport(), QEvent::Paint, chartPaints);
    // A meter stepping through its ranges: each frame a new range and a point.
    const double ranges[] = {6, 60, 600, 6, 60, 600};
    for (double range : ranges) {
        chart->setValueRange(-range, range);
        pager.AddValue(range / 5);
        QTest::qWait(50);
    }
    EXPECT_EQ(chartPaints, 6);
    EXPECT_EQ(chart->valueAxis()->max(), 600);
    EXPECT_EQ(chart->shownPointCount(), 7);   // the first value and the six
}

TEST(RecordGridView, WhatFollowingLeavesOnScreenIsWhatAFullPaintDraws) {
    RecordTable table;
    RecordTableModel model(table);
    RecordGrid grid(model);
    grid.resize(303, 241);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    // Rows come one at a time and each is painted, as from the meter, until
    // the scroll bar's handle is at its smallest.
    const auto appendPainted = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            table.append(rowOf(i, i % 3 ? "V" : "k*"));
            QCoreApplication::processEvents();
        }
    };
    int framePaints = 0;
    {
        // The scroll bar lays its own background: its changes do not repaint
        // the grid's frame behind it.
        EventCounter frameCounter(grid, QEvent::Paint, framePaints);
        appendPainted(1, 300);
    }
    EXPECT_EQ(framePaints, 0);
    // From here on each row leaves the scroll bar looking the same: it is
    // not drawn again.
    int barPaints = 0;
    EventCounter counter(*grid.scrollBar(), QEvent::Paint, barPaints);
    appendPainted(301, 320);
    EXPECT_EQ(barPaints, 0);
    QScreen* screen = grid.screen();
    const QImage onScreen = screen->grabWindow(grid.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage fresh = grid.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(onScreen.size(), fresh.size());
    EXPECT_TRUE(onScreen == fresh) << "rows moved up as pixels differ from a full paint";
    saveScreenshot(QPixmap::fromImage(onScreen), "logging_grid_following.png");
}

}  // namespace
