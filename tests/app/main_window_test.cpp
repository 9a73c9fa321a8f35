// Drives the real window offscreen, with a pseudo-terminal as COM 1 and the
// test playing the meter on its far side.

#include "app/analysis/analysis_launcher.h"
#include "app/chart_toolbar.h"
#include "app/circle_shape.h"
#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/link_indicator.h"
#include "app/meter_chart.h"
#include "app/port_panel.h"
#include "app/record_grid.h"
#include "app/record_menu.h"
#include "app/record_table_model.h"
#include "app/tfcomm.h"
#include "protocol/frame_builder.h"
#include "pty_pair.h"
#include "window_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QChart>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <memory>
#include <optional>

using meterlink::DisplaySpec;
using meterlink::Lcd;
using meterlink::MeterFunction;
using State = ConnectionControl::State;

namespace {

QByteArray wireBytes(const DisplaySpec& spec) {
    const meterlink::WireFrame w = meterlink::encodeFrame(meterlink::fieldsFor(spec));
    return QByteArray(reinterpret_cast<const char*>(w.data()), static_cast<int>(w.size()));
}

DisplaySpec dcVolts(int count, int pointAfter) {
    DisplaySpec s;
    s.function = MeterFunction::DCV;
    s.count = count;
    s.pointAfter = pointAfter;
    return s;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        qputenv("METERLINK_COM1", QByteArray::fromStdString(pty.path()));
        // A message box nobody answers would block the test for good.
        QObject::connect(&strayBoxes, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal == lastModal) {
                ADD_FAILURE() << "unexpected message box: " << qobject_cast<QMessageBox*>(modal)->text().toStdString();
                modal->close();
            }
            lastModal = qobject_cast<QMessageBox*>(modal);
        });
        strayBoxes.start(1000);
    }
    void TearDown() override {
        window.reset();
        qunsetenv("METERLINK_COM1");
        QLocale::setDefault(QLocale::c());
    }

    void start() {
        window = std::make_unique<TFCOMM>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    template <class T>
    T* find(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QWidget* client() const { return window->centralWidget(); }
    QRect placeOf(const QWidget* w) const { return {w->mapTo(client(), QPoint(0, 0)), w->size()}; }

    void clickCOMCon() { QTest::mouseClick(window->connection().COMCon(), Qt::LeftButton); }
    void send(const QByteArray& bytes) { ASSERT_TRUE(pty.write(bytes.constData(), static_cast<std::size_t>(bytes.size()))); }
    void sendFrame(const DisplaySpec& spec) { send(wireBytes(spec)); }
    // The assembler drops what precedes the first LF it sees.
    void sendFirstFrame(const DisplaySpec& spec) { send(QByteArray("\n") + wireBytes(spec)); }

    QString valueText() const { return window->limits().T1VALUE()->text(); }

    void saveWithBox(QMessageBox* box, const char* name) const { saveScreenshot(withBox(*window, box), name); }

    PtyPair pty;
    std::unique_ptr<TFCOMM> window;
    QTimer strayBoxes;
    QMessageBox* lastModal = nullptr;
};

TEST_F(MainWindowTest, StartsWithTheDesignLayout) {
    start();
    const QString platform = TFCOMM::is64BitSystem() ? QStringLiteral("(x64)") : QStringLiteral("(x86)");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("48-20930 Interface Program Ver 3.03") + platform);
#if defined(__x86_64__)
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("(x64)")));
#endif
    EXPECT_EQ(client()->size(), QSize(663, 509));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window must not be resizable";
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    const struct {
        const char* name;
        QRect place;
        const char* caption;   // nullptr: not a captioned control
    } layout[] = {
        {"Panel5", {0, 0, 659, 32}, nullptr},   // its right edge is the panels'
        {"BtCOM1", {5, 3, 61, 24}, "COM 1"},
        {"COMCon", {76, 3, 125, 25}, "COM Connection"},
        {"USBCon", {203, 3, 158, 25}, "USB Connection"},
        {"BitBtn1", {563, 3, 86, 25}, "Quit"},
        {"Panel1", {5, 36, 302, 162}, nullptr},
        {"PBar2", {5, 197, 302, 17}, nullptr},
        {"Panel2", {4, 216, 305, 41}, nullptr},
        {"DBGrid1", {4, 264, 303, 241}, nullptr},
        {"Panel4", {308, 34, 351, 116}, nullptr},
        {"T1HI", {308 + 113, 34 + 12, 57, 22}, "6000"},
        {"T1VALUE", {308 + 112, 34 + 43, 81, 32}, "0"},
        {"T1LO", {308 + 112, 34 + 84, 57, 22}, "-6000"},
        {"Shape1", {308 + 192, 34 + 8, 113, 97}, nullptr},
        {"CONokN", {308 + 310, 34 + 13, 36, 29}, nullptr},
        {"ChartToolbar", {306, 149, 353, 41}, nullptr},
        {"Chtshow", {309, 189, 350, 316}, nullptr},
    };
    for (const auto& row : layout) {
        SCOPED_TRACE(row.name);
        QWidget* w = find<QWidget>(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_EQ(placeOf(w), row.place);
        if (!row.caption) continue;
        QString text;
        if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(w)) text = e->text();
        EXPECT_EQ(text, QString::fromLatin1(row.caption));
    }
    for (const char* hidden : {"BtCOM2", "BtCOM3", "BtCOM4", "CONok", "TbSx", "systeminfomation"}) {
        SCOPED_TRACE(hidden);
        QWidget* w = find<QWidget>(hidden);
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(find<QWidget>("BtCOM1")->toolTip(), QString::fromStdString(pty.path()));

    QStringList shownMenus;
    for (QAction* a : window->menuBar()->actions())
        if (a->isVisible()) shownMenus << a->text();
    // The meter menu comes after the window's own.
    EXPECT_EQ(shownMenus, (QStringList{QStringLiteral("Record"), QStringLiteral("Meter")}));
    QStringList items, checked;
    for (QAction* a : window->recordMenu()->Record1()->actions()) {
        if (!a->isVisible()) continue;
        items << a->text();
        if (a->isChecked()) checked << a->text();
    }
    // The record limits, then recording to a file, confirming readings and the analysis window, then the bench.
    EXPECT_EQ(items, (QStringList{"1000", "5000", "10000", "50000", "100000", "limitless", "", "Record to File…",
                                  "Stop Recording to File", "Confirm readings", "", "Analysis…", "",
                                  "New Meter Window", "Start Bench Recording", "Save Bench…", "Bench Channels…"}));
    EXPECT_EQ(checked, QStringList{QStringLiteral("10000")});
    // "Analysis…" and the chart toolbar's button open one analysis window on the log.
    window->recordMenu()->analysisItem()->trigger();
    QPointer<QWidget> analysis = window->analysis().window();
    ASSERT_TRUE(analysis);
    EXPECT_TRUE(analysis->isVisible());
    window->chartToolbar()->BtAnalysis()->click();
    EXPECT_EQ(window->analysis().window(), analysis);
    analysis->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(analysis);   // let go when closed

    RecordGrid* grid = window->DBGrid1();
    QStringList titles;
    for (int c = 0; c < grid->model().columnCount(); ++c)
        titles << grid->model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(titles, (QStringList{"No.", "Time", "Function", "Value", "Unit", "Judge"}));
    EXPECT_EQ(grid->model().rowCount(), 0);

    MeterChart* chart = window->Chtshow();
    EXPECT_EQ(chart->recordAxis()->titleText(), QStringLiteral("Record Number"));
    EXPECT_EQ(chart->recordAxis()->min(), 1);
    EXPECT_EQ(chart->recordAxis()->max(), 100);
    EXPECT_EQ(chart->valueAxis()->titleText(), QStringLiteral("Value"));
    EXPECT_EQ(chart->valueAxis()->min(), -6000);
    EXPECT_EQ(chart->valueAxis()->max(), 6000);
    EXPECT_EQ(chart->chart()->backgroundBrush().color(), QColor(192, 221, 248));

    EXPECT_EQ(window->PBar2()->maximum(), 60);
    EXPECT_EQ(window->PBar2()->value(), 30);
    EXPECT_EQ(window->lcd()->state().digits, (std::array<char, 4>{'5', '9', '9', '9'}));
    EXPECT_TRUE(window->lcd()->state().shown(Lcd::FH));
    EXPECT_EQ(find<QLineEdit>("systeminfomation")->text(), QLocale::system().decimalPoint());
    EXPECT_EQ(window->connection().state(), State::Disconnected);

    saveScreenshot(window->grab(), "window_start.png");
}

// Captions keep inside their design widths: clipped ("Fil") or running into
// the next control, they read wrong.
TEST_F(MainWindowTest, CaptionsFitTheirDesignWidths) {
    start();
    auto textEnd = [this](QCheckBox* box, const QString& text) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return box->mapTo(client(), contents.topLeft()).x() + box->fontMetrics().horizontalAdvance(text);
    };
    const struct {
        const char* box;
        const char* caption;   // the part that must fit
        int limit;             // the column its text may reach at most
    } cases[] = {
        {"BtFill", "Fill", 306 + 10 + 40 - 1},               // inside the bevel around it
        {"RepeatSet", "Repeat", 4 + 3 + 54},                  // its own box
        {"RecordSI", "Sampling Interval", 4 + 165 - 1},       // a pixel clear of the interval edit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        EXPECT_LE(textEnd(find<QCheckBox>(c.box), QString::fromLatin1(c.caption)), c.limit);
    }
}

TEST_F(MainWindowTest, LimitsAreValidatedWithTheUsersSeparatorBeforeTheFirstFrame) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    start();
    EXPECT_EQ(window->DecimalSepText(), QStringLiteral(","));
    LimitPanel& limits = window->limits();
    limits.T1HI()->setText(QStringLiteral("2,5"));
    ASSERT_TRUE(waitFor([&] { return !limits.Timer1()->isActive(); }));
    EXPECT_EQ(limits.T1HI()->text(), QStringLiteral("2,5"));
    EXPECT_EQ(limits.GoodHighText(), QStringLiteral("2,5"));
}

TEST_F(MainWindowTest, FramesFromTheMeterDriveTheWindow) {
    start();
    clickCOMCon();
    ASSERT_EQ(window->connection().state(), State::ComConnected);
    ASSERT_TRUE(window->COMM2().Connected());
    EXPECT_EQ(window->connection().COMCon()->text(), QStringLiteral("COM Disconnect"));
    EXPECT_FALSE(window->connection().USBCon()->isVisible());
    EXPECT_FALSE(window->connection().BtCOM(1)->isEnabled());

    sendFirstFrame(dcVolts(5999, 1));
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("5.999"); }));
    const meterlink::LcdState& lcd = window->lcd()->state();
    EXPECT_EQ(lcd.digits, (std::array<char, 4>{'5', '9', '9', '9'}));
    for (Lcd on : {Lcd::P1, Lcd::Dc1, Lcd::V, Lcd::Auto, Lcd::Send}) EXPECT_TRUE(lcd.shown(on));
    for (Lcd off : {Lcd::FH, Lcd::P2, Lcd::P3, Lcd::AC}) EXPECT_FALSE(lcd.shown(off));
    EXPECT_EQ(window->limits().judge()->text(), QStringLiteral("Pass"));
    EXPECT_EQ(window->limits().Shape1()->brushColor(), LimitPanel::passColor());
    EXPECT_EQ(window->reading().JudgeText, "pass");
    EXPECT_TRUE(window->linkIndicator().active());
    EXPECT_TRUE(find<QLabel>("CONok")->isVisible());
    // The value axis and the bar follow the 6 V range.
    EXPECT_EQ(window->Chtshow()->valueAxis()->max(), 6);
    EXPECT_EQ(window->Chtshow()->valueAxis()->min(), -6);
    EXPECT_EQ(window->PBar2()->maximum(), 6);
    EXPECT_EQ(window->PBar2()->value(), 5);
    saveScreenshot(window->grab(), "window_connected.png");

    // Frames stop: the indicator falls back to no data.
    ASSERT_TRUE(waitFor([&] { return find<QLabel>("CONokN")->isVisible(); }));
    EXPECT_FALSE(find<QLabel>("CONok")->isVisible());

    DisplaySpec overload = dcVolts(0, 2);
    overload.overload = true;
    sendFrame(overload);
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("0.L"); }));
    EXPECT_EQ(window->lcd()->state().digits, (std::array<char, 4>{'\0', '0', '@', '\0'}));
    EXPECT_EQ(window->limits().judge()->text(), QStringLiteral("Fail"));
    EXPECT_EQ(window->limits().Shape1()->brushColor(), LimitPanel::failColor());
    EXPECT_EQ(window->reading().JudgeText, "Fail");
    EXPECT_TRUE(window->linkIndicator().active());

    // Magnitudes beyond the bar's range show it full.
    sendFrame(dcVolts(-4321, 0));
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("-4321"); }));
    EXPECT_EQ(window->PBar2()->value(), window->PBar2()->maximum());

    clickCOMCon();
    EXPECT_EQ(window->connection().state(), State::Disconnected);
    EXPECT_FALSE(window->COMM2().Connected());
    EXPECT_TRUE(window->connection().STOP1()->isChecked());
    EXPECT_TRUE(window->connection().USBCon()->isVisible());
    EXPECT_TRUE(window->connection().BtCOM(1)->isEnabled());
}

// The link falls idle on the third tick after a frame, and the link timer
// sleeps until then. A tick at the same moment as a frame belongs to it, in
// either order: one just before the frame does not flip the pictures to idle
// and straight back, one just after it is not the first tick without data.
TEST_F(MainWindowTest, TicksAtTheMomentOfAFrameDoNotCountAsIdle) {
    start();
    qint64 now = 1000;
    window->linkIndicator().setClock([&now] { return now; });
    auto deliver = [this](const QByteArray& bytes) {
        window->RECEIVE_COM_Data(&window->COMM2(), reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 static_cast<int>(bytes.size()));
    };
    auto tickAt = [&](qint64 ms) {
        now = ms;
        window->ConTimerTimer();
        QCoreApplication::processEvents();
    };
    QLabel* idle = find<QLabel>("CONokN");
    int idleShown = 0;
    EventCounter counter(*idle, QEvent::Show, idleShown);

    deliver(QByteArray("\n") + wireBytes(dcVolts(1234, 1)));   // at 1000: idle at the tick of 1300
    EXPECT_GT(find<QTimer>("ConTimer")->remainingTime(), 150) << "the timer wakes for ticks that do nothing";
    tickAt(1200);
    EXPECT_TRUE(window->linkIndicator().active());
    now = 1300;
    window->ConTimerTimer();   // the third tick, and a frame at the same moment
    deliver(wireBytes(dcVolts(1235, 1)));
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->linkIndicator().active());
    EXPECT_EQ(idleShown, 0) << "the idle picture flashed";

    now = 1360;   // the tick of 1400 is this frame's own: 1500 is the first counted
    deliver(wireBytes(dcVolts(1236, 1)));
    tickAt(1600);
    EXPECT_TRUE(window->linkIndicator().active()) << "idle two ticks after the frame";
    tickAt(1700);
    EXPECT_FALSE(window->linkIndicator().active());
    EXPECT_TRUE(idle->isVisible());
}

TEST_F(MainWindowTest, TheUsersSeparatorIsReadAtEveryFrame) {
    start();
    LimitPanel& limits = window->limits();
    limits.T1HI()->setText(QStringLiteral("7.5"));
    ASSERT_TRUE(waitFor([&] { return limits.GoodHighText() == QLatin1String("7.5"); }));
    clickCOMCon();
    ASSERT_EQ(window->connection().state(), State::ComConnected);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    sendFirstFrame(dcVolts(5999, 1));
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("5,999"); }));
    EXPECT_EQ(window->DecimalSepText(), QStringLiteral(","));
    EXPECT_EQ(limits.T1HI()->text(), QStringLiteral("7,5"));
    EXPECT_EQ(limits.judge()->text(), QStringLiteral("Pass"));

    sendFrame(dcVolts(5001, 3));   // 500.1 V against 7,5
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("500,1"); }));
    EXPECT_EQ(limits.judge()->text(), QStringLiteral("Fail"));
}

TEST_F(MainWindowTest, APortThatCannotBeOpenedGivesAnErrorAndStaysDisconnected) {
    qputenv("METERLINK_COM1", "/nonexistent/meterlink-tty");
    start();
    MessageBoxAnswerer answerer(QMessageBox::Ok, [this](QMessageBox* box) { saveWithBox(box, "window_error.png"); });
    clickCOMCon();
    ASSERT_TRUE(answerer.seen().has_value());
    const auto& box = *answerer.seen();
    EXPECT_EQ(box.title, QStringLiteral("Error"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    const QString prefix = QStringLiteral("Could not open COM 1 (/nonexistent/meterlink-tty): ");
    EXPECT_TRUE(box.text.startsWith(prefix)) << box.text.toStdString();
    EXPECT_GT(box.text.size(), prefix.size());

    ConnectionControl& c = window->connection();
    EXPECT_EQ(c.state(), State::Disconnected);
    EXPECT_FALSE(c.COMCon()->isChecked());
    EXPECT_EQ(c.COMCon()->text(), QStringLiteral("COM Connection"));
    EXPECT_TRUE(c.BtCOM(1)->isVisible());
    EXPECT_TRUE(c.BtCOM(1)->isEnabled());
    EXPECT_TRUE(c.USBCon()->isVisible());
    EXPECT_FALSE(window->COMM2().Connected());
}

TEST_F(MainWindowTest, PullingThePortMidStreamIsSurvivedAndReportedOnce) {
    start();
    clickCOMCon();
    ASSERT_TRUE(window->COMM2().Connected());
    sendFirstFrame(dcVolts(1234, 2));
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("12.34"); }));

    // Half a frame, then the far side goes away: one error box says so, while
    // the last reading and its verdict stay on show.
    auto answerer = std::make_unique<MessageBoxAnswerer>(
        QMessageBox::Ok, [this](QMessageBox* box) { saveWithBox(box, "window_port_lost.png"); });
    send(wireBytes(dcVolts(4321, 2)).left(6));
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return window->COMM2().portLost(); }));
    ASSERT_TRUE(waitFor([&] { return answerer->seen().has_value(); }));
    const auto box = *answerer->seen();
    answerer.reset();
    EXPECT_EQ(box.title, QStringLiteral("Error"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    const QString prefix = QStringLiteral("Lost COM 1 (%1): ").arg(QString::fromStdString(pty.path()));
    EXPECT_TRUE(box.text.startsWith(prefix)) << box.text.toStdString();
    EXPECT_GT(box.text.size(), prefix.size());

    // A lost port must not keep the GUI thread busy, nor bring a second box
    // (the stray-box watch fails the test on one).
    const double cpuBefore = cpuSeconds();
    QTest::qWait(2500);
    EXPECT_LT(cpuSeconds() - cpuBefore, 1.25);

    EXPECT_EQ(valueText(), QStringLiteral("12.34"));
    EXPECT_TRUE(waitFor([&] { return find<QLabel>("CONokN")->isVisible(); }));
    EXPECT_EQ(window->connection().state(), State::ComConnected);
    clickCOMCon();
    EXPECT_EQ(window->connection().state(), State::Disconnected);
    EXPECT_FALSE(window->COMM2().Connected());
}

TEST_F(MainWindowTest, UsbButtonComesBackUpWithoutAnAdapter) {
    start();
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    QTest::mouseClick(window->connection().USBCon(), Qt::LeftButton);
    ASSERT_TRUE(answerer.seen().has_value());
    EXPECT_EQ(answerer.seen()->title, QStringLiteral("Information"));
    EXPECT_EQ(answerer.seen()->text, TFCOMM::usbNotConnectedText());
    EXPECT_EQ(window->connection().state(), State::Disconnected);
    EXPECT_TRUE(window->connection().COMCon()->isVisible());
    EXPECT_EQ(window->connection().USBCon()->text(), QStringLiteral("USB Connection"));
}

TEST_F(MainWindowTest, QuitAsksAndNoKeepsEverythingRunning) {
    start();
    clickCOMCon();
    ASSERT_TRUE(window->COMM2().Connected());
    MessageBoxAnswerer answerer(QMessageBox::No);
    QTest::mouseClick(find<QPushButton>("BitBtn1"), Qt::LeftButton);
    ASSERT_TRUE(answerer.seen().has_value());
    const auto& box = *answerer.seen();
    EXPECT_EQ(box.title, QStringLiteral("Information"));
    EXPECT_EQ(box.icon, QMessageBox::Information);
    EXPECT_EQ(box.text, QStringLiteral("Are you sure that you want to quit this application?"));
    QStringList buttons = box.buttons;
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"&No", "&Yes"}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->COMM2().Connected());
}

TEST_F(MainWindowTest, CloseBoxAsksNothingAndTheWindowReleasesThePort) {
    start();
    clickCOMCon();
    ASSERT_TRUE(window->COMM2().Connected());
    MessageBoxAnswerer answerer(QMessageBox::No);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(answerer.seen().has_value());
    EXPECT_FALSE(window->isVisible());

    window.reset();
    TSerialPortDriver other;
    other.setComPort(TSerialPortDriver::pnCOM1);
    EXPECT_TRUE(other.Connect()) << "the port is still held: " << other.lastError().toStdString();
    other.Disconnect();
}

}  // namespace
