// The window reading a meter whose port is served over the network: "COM 1"
// mapped to tcp://HOST:PORT of a real ser2net that serves a pty.

#include "app/connection_control.h"
#include "app/lcd_panel.h"
#include "app/limit_panel.h"
#include "app/port_panel.h"
#include "app/tfcomm.h"
#include "protocol/frame_builder.h"
#include "pty_pair.h"
#include "window_test_support.h"
#include "../tools/network_servers.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using meterlink::DisplaySpec;

QByteArray volts(int count) {
    DisplaySpec s;
    s.count = count;
    s.pointAfter = 1;
    const meterlink::WireFrame f = meterlink::encodeFrame(meterlink::fieldsFor(s));
    return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
}

TEST(NetworkPortWindow, ComOneMappedToATcpPortFollowsTheMeterAndReportsTheLoss) {
    if (!netserve::have("ser2net")) GTEST_SKIP() << "ser2net is not installed (scripts/install-deps installs it)";
    QTemporaryDir dir;
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const quint16 port = netserve::freePort();
    auto server = std::make_unique<netserve::Ser2net>(dir.path(), QString::fromStdString(pty.path()), port);
    ASSERT_TRUE(server->ready()) << server->output().constData();
    const QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
    qputenv("METERLINK_COM1", url.toUtf8());

    TFCOMM window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.connection().BtCOM(1)->toolTip(), url);
    QTest::mouseClick(window.connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(window.COMM2().Connected()) << window.COMM2().lastError().toStdString();

    const auto shown = [&] { return window.limits().T1VALUE()->text(); };
    const auto send = [&](const QByteArray& bytes) { return pty.write(bytes.constData(), static_cast<std::size_t>(bytes.size())); };
    // Repeated until it arrives: ser2net opens the pty only once the client is there.
    ASSERT_TRUE(waitFor([&] { send(QByteArray("\n") + volts(1234)); return shown() == QLatin1String("1.234"); }, 10000));
    ASSERT_TRUE(send(volts(4321)));
    ASSERT_TRUE(waitFor([&] { return shown() == QLatin1String("4.321"); }));
    EXPECT_EQ(window.lcd()->state().digits, (std::array<char, 4>{'4', '3', '2', '1'}));
    saveScreenshot(window.grab(), "window_network_port.png");

    auto answerer = std::make_unique<MessageBoxAnswerer>(QMessageBox::Ok);
    server.reset();
    ASSERT_TRUE(waitFor([&] { return answerer->seen().has_value(); }));
    EXPECT_EQ(answerer->seen()->title, QStringLiteral("Error"));
    EXPECT_EQ(answerer->seen()->text,
              QStringLiteral("Lost COM 1 (%1): the server closed the connection").arg(url));
    EXPECT_EQ(shown(), QStringLiteral("4.321"));

    // Nothing serves the port now: opening it again says so.
    QTest::mouseClick(window.connection().COMCon(), Qt::LeftButton);
    answerer = std::make_unique<MessageBoxAnswerer>(QMessageBox::Ok);
    QTest::mouseClick(window.connection().COMCon(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return answerer->seen().has_value(); }));
    EXPECT_TRUE(answerer->seen()->text.startsWith(QStringLiteral("Could not open COM 1 (%1): connection refused").arg(url)))
        << answerer->seen()->text.toStdString();
    qunsetenv("METERLINK_COM1");
}

}  // namespace
