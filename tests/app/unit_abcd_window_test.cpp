// The window on a UT61E+ over a simulated UT-D09 cable (a CP2110 with the
// meter behind it, in this process): it finds the cable by its USB id, asks
// the meter for each reading, shows the LCD and logs, and its row of remote
// buttons changes what the meter does.

#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/remote_buttons.h"
#include "app/tfcomm.h"
#include "links/bridge_meter_link.h"
#include "links/bridge_meter_twin.h"
#include "protocol/meter_table.h"
#include "window_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

class UtD09WindowTest : public ::testing::Test {
protected:
    void SetUp() override { twin.plug(); }
    void TearDown() override { window.reset(); }

    void start() {
        window = std::make_unique<TFCOMM>(nullptr, sim);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->chooseMeter(model, false));
    }
    void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    QString valueText() const { return window->limits().T1VALUE()->text(); }
    int rows() { return window->recordTable().rowCount(); }
    // Answers every message box with OK, keeping its text.
    void catchBoxes() {
        QObject::connect(&boxPoll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        });
        boxPoll.start(20);
    }

    std::shared_ptr<SimulatedHidPlatform> sim = std::make_shared<SimulatedHidPlatform>();
    const meterlink::MeterModel& model = *meterlink::findMeter("UT61E+");
    BridgeMeterTwin twin{*sim, "ut-d09", model};
    std::unique_ptr<TFCOMM> window;
    QTimer boxPoll;
    QStringList boxes;
};

TEST_F(UtD09WindowTest, ShowsAndLogsTheMeterAndItsButtonsWork) {
    start();
    RemoteButtons* remote = window->remoteButtons();
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(remote->isVisible());
    EXPECT_FALSE(remote->isEnabled());
    click(window->connection().USBCon());
    ASSERT_NE(window->bridgeLink(), nullptr);
    EXPECT_TRUE(remote->isEnabled());
    EXPECT_TRUE(twin.uartReady());
    ASSERT_TRUE(waitFor([&] { return valueText() == QLatin1String("01.234"); }));
    ASSERT_TRUE(waitFor([&] { return rows() >= 3; }));
    EXPECT_EQ(window->recordTable().text(0, meterlink::RecordTable::Value), QStringLiteral("01.234"));

    click(remote->button("hold"));
    ASSERT_TRUE(waitFor([&] { return window->lcd()->state().shown(meterlink::Lcd::Hold); }));
    EXPECT_TRUE(twin.meterState().hold);
    click(remote->button("hold"));
    click(remote->button("rel"));
    ASSERT_TRUE(waitFor([&] { return window->lcd()->state().shown(meterlink::Lcd::REL); }));
    click(remote->button("range"));
    ASSERT_TRUE(waitFor([&] { return !window->lcd()->state().shown(meterlink::Lcd::Auto); }));
    click(remote->button("select"));
    ASSERT_TRUE(waitFor([&] { return window->lcd()->state().shown(meterlink::Lcd::AC); }));
    click(remote->button("light"));
    ASSERT_TRUE(waitFor([&] { return twin.meterState().light; }));
    const auto s = twin.meterState();
    EXPECT_FALSE(s.hold);
    EXPECT_TRUE(s.rel);
    EXPECT_TRUE(s.manualRange);
    EXPECT_EQ(s.selects, 1);
    QTest::qWait(400);
    saveScreenshot(window->grab(), "ut61e_plus_over_ut_d09.png");

    click(window->connection().USBCon());
    EXPECT_EQ(window->bridgeLink(), nullptr);
    EXPECT_FALSE(remote->isEnabled());
}

TEST_F(UtD09WindowTest, ASilentMeterIsReportedAndLogsNothing) {
    catchBoxes();
    twin.setSilent(true);
    start();
    click(window->connection().USBCon());
    ASSERT_TRUE(waitFor([&] { return !boxes.isEmpty(); }));
    EXPECT_TRUE(boxes.first().startsWith(QStringLiteral("The meter does not answer"))) << boxes.first().toStdString();
    EXPECT_EQ(rows(), 0);
    twin.setSilent(false);
    ASSERT_TRUE(waitFor([&] { return rows() >= 1; }));
    EXPECT_EQ(boxes.size(), 1);
}

TEST_F(UtD09WindowTest, NoCableGivesAMessageAndTheLinkStaysClosed) {
    catchBoxes();
    twin.unplug();
    start();
    click(window->connection().USBCon());
    ASSERT_TRUE(waitFor([&] { return !boxes.isEmpty(); }));
    EXPECT_TRUE(boxes.first().startsWith(QStringLiteral("No UT-D09 cable"))) << boxes.first().toStdString();
    EXPECT_EQ(window->bridgeLink(), nullptr);
    EXPECT_FALSE(window->connection().USBCon()->isChecked());
}

TEST_F(UtD09WindowTest, ButtonsHideForMetersThatTakeNoCommands) {
    start();
    EXPECT_TRUE(window->remoteButtons()->isVisible());
    ASSERT_TRUE(window->chooseMeter(*meterlink::findMeter("UT61E"), false));
    EXPECT_FALSE(window->remoteButtons()->isVisible());
}

}  // namespace
