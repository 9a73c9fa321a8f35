#include "app/connection_control.h"
#include "app/port_panel.h"
#include "pty_pair.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

using State = ConnectionControl::State;

namespace {

// Everything the state table fixes, in one comparable record.
struct Look {
    bool comSetupEnabled, start1Enabled, start1Checked, stop1Enabled, stop1Checked;
    bool btConVisible, btDisconVisible, panelsEnabled, usbVisible, comConDown;
    std::string comConCaption;

    bool operator==(const Look& o) const {
        return comSetupEnabled == o.comSetupEnabled && start1Enabled == o.start1Enabled &&
               start1Checked == o.start1Checked && stop1Enabled == o.stop1Enabled &&
               stop1Checked == o.stop1Checked && btConVisible == o.btConVisible &&
               btDisconVisible == o.btDisconVisible && panelsEnabled == o.panelsEnabled &&
               usbVisible == o.usbVisible && comConDown == o.comConDown &&
               comConCaption == o.comConCaption;
    }
};

std::ostream& operator<<(std::ostream& os, const Look& l) {
    return os << "{ComSetup " << l.comSetupEnabled << ", START1 " << l.start1Enabled << "/" << l.start1Checked
              << ", STOP1 " << l.stop1Enabled << "/" << l.stop1Checked << ", BTCon " << l.btConVisible
              << ", BtDiscon " << l.btDisconVisible << ", panels " << l.panelsEnabled << ", USBCon "
              << l.usbVisible << ", COMCon " << l.comConDown << " \"" << l.comConCaption << "\"}";
}

const Look kAtStart{true, true, false, false, false, true, false, true, true, false, "COM Connection"};
const Look kConnected{false, false, true, true, false, false, true, false, false, true, "COM Disconnect"};
const Look kClosed{true, true, false, false, true, true, false, true, true, false, "COM Connection"};

class ConnectionControlTest : public ::testing::Test {
protected:
    ConnectionControlTest() : control(driver, &bar) {
        driver.setComPort(TSerialPortDriver::pnCOM1);   // as the window sets it up
        bar.resize(663, 32);
        bar.show();
    }
    ~ConnectionControlTest() override { qunsetenv("METERLINK_COM1"); }

    Look look() {
        bool enabled = true;
        for (int n = 1; n <= 4; ++n) enabled = enabled && control.BtCOM(n)->isEnabled();
        return {control.ComSetup1()->menuAction()->isEnabled(),
                control.START1()->isEnabled(),
                control.START1()->isChecked(),
                control.STOP1()->isEnabled(),
                control.STOP1()->isChecked(),
                control.BTCon()->isVisible(),
                control.BtDiscon()->isVisible(),
                enabled,
                !control.USBCon()->isHidden(),
                control.COMCon()->isChecked(),
                control.COMCon()->text().toStdString()};
    }

    int checkedItem() const {
        int found = 0;
        for (int n = 1; n <= 4; ++n)
            if (control.COMItem(n)->isChecked()) found = found ? -1 : n;
        return found;
    }

    QWidget bar;
    TSerialPortDriver driver;
    ConnectionControl control;
};

TEST_F(ConnectionControlTest, PortPanelCyclesThroughTheFourPorts) {
    ASSERT_EQ(control.visiblePortPanel(), control.BtCOM(1));
    EXPECT_EQ(checkedItem(), 1);
    const struct {
        int panel;
        TSerialPortDriver::TComPortNumber port;
        const char* caption;
    } steps[] = {
        {2, TSerialPortDriver::pnCOM2, "COM 2"},
        {3, TSerialPortDriver::pnCOM3, "COM 3"},
        {4, TSerialPortDriver::pnCOM4, "COM 4"},
        {1, TSerialPortDriver::pnCOM1, "COM 1"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.caption);
        QTest::mouseClick(control.visiblePortPanel(), Qt::LeftButton);
        PortPanel* shown = control.visiblePortPanel();
        ASSERT_EQ(shown, control.BtCOM(s.panel));
        EXPECT_EQ(shown->text(), QString::fromLatin1(s.caption));
        EXPECT_EQ(shown->toolTip(), TSerialPortDriver::deviceName(s.port));
        EXPECT_EQ(driver.ComPort(), s.port);
        EXPECT_EQ(checkedItem(), s.panel);
        int visible = 0;
        for (int n = 1; n <= 4; ++n) visible += control.BtCOM(n)->isHidden() ? 0 : 1;
        EXPECT_EQ(visible, 1);
    }
    EXPECT_EQ(control.state(), State::Disconnected);
}

// However fast the clicks come, one click of the panel moves one port on: the
// second press of a double-click lands on the panel the first click brought
// up, and is not a click of its own. A later single click still is.
TEST_F(ConnectionControlTest, DoubleClickOnThePortPanelMovesOnePortOn) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    const QPoint at = control.BtCOM(1)->geometry().center();
    QTest::mouseDClick(bar.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(control.visiblePortPanel(), control.BtCOM(2));
    EXPECT_EQ(driver.ComPort(), TSerialPortDriver::pnCOM2);
    QTest::mouseClick(bar.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(control.visiblePortPanel(), control.BtCOM(3));
    EXPECT_EQ(driver.ComPort(), TSerialPortDriver::pnCOM3);
}

TEST_F(ConnectionControlTest, HiddenMenuItemsChooseTheirOwnPort) {
    for (int n : {3, 1, 4, 2}) {
        SCOPED_TRACE(n);
        control.COMItem(n)->trigger();
        EXPECT_EQ(control.visiblePortPanel(), control.BtCOM(n));
        EXPECT_EQ(static_cast<int>(driver.ComPort()), n - 1);
        EXPECT_EQ(checkedItem(), n);
    }
}

TEST_F(ConnectionControlTest, OpeningAndClosingFollowTheStateTable) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    qputenv("METERLINK_COM1", QByteArray::fromStdString(pty.path()));
    EXPECT_EQ(look(), kAtStart);

    QTest::mouseClick(control.COMCon(), Qt::LeftButton);
    EXPECT_EQ(control.state(), State::ComConnected);
    EXPECT_TRUE(driver.Connected());
    EXPECT_EQ(look(), kConnected);
    EXPECT_EQ(control.visiblePortPanel(), control.BtCOM(1));

    // The port cannot be changed while it is open.
    QTest::mouseClick(control.BtCOM(1), Qt::LeftButton);
    EXPECT_EQ(driver.ComPort(), TSerialPortDriver::pnCOM1);

    QTest::mouseClick(control.COMCon(), Qt::LeftButton);
    EXPECT_EQ(control.state(), State::Disconnected);
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(look(), kClosed);   // STOP1 now carries a check mark it had not at start
}

TEST_F(ConnectionControlTest, HiddenAlternatesMoveTheButtonWithoutItsCaption) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    qputenv("METERLINK_COM1", QByteArray::fromStdString(pty.path()));

    control.START1()->trigger();
    EXPECT_TRUE(driver.Connected());
    Look opened = kConnected;
    opened.usbVisible = true;   // the alternates leave the USB button alone
    opened.comConCaption = "COM Connection";
    EXPECT_EQ(look(), opened);

    control.BtDiscon()->trigger();
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(look(), kClosed);
}

TEST_F(ConnectionControlTest, APortThatCannotBeOpenedIsNotShownAsAConnection) {
    qputenv("METERLINK_COM1", "/nonexistent/meterlink-tty");
    QSignalSpy failures(&control, &ConnectionControl::openFailed);

    QTest::mouseClick(control.COMCon(), Qt::LeftButton);
    ASSERT_EQ(failures.count(), 1);
    const QString message = failures.at(0).at(0).toString();
    const QString prefix = QStringLiteral("Could not open COM 1 (/nonexistent/meterlink-tty): ");
    EXPECT_TRUE(message.startsWith(prefix)) << message.toStdString();
    EXPECT_GT(message.size(), prefix.size()) << "the system's reason is missing";
    EXPECT_EQ(control.state(), State::Disconnected);
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(look(), kAtStart);

    control.START1()->trigger();
    EXPECT_EQ(failures.count(), 2);
    EXPECT_EQ(look(), kAtStart);

    // A device given to this window by path is the one the message names.
    driver.setPortPath(QStringLiteral("/nonexistent/bench-meter-2"));
    QTest::mouseClick(control.COMCon(), Qt::LeftButton);
    ASSERT_EQ(failures.count(), 3);
    EXPECT_TRUE(failures.at(2).at(0).toString().startsWith(
        QStringLiteral("Could not open COM 1 (/nonexistent/bench-meter-2): ")))
        << failures.at(2).at(0).toString().toStdString();
    driver.setPortPath(QString());
}

}  // namespace
