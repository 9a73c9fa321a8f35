#include <gtest/gtest.h>

#include <QProcess>
#include <QSignalSpy>

#include <thread>
#include <vector>

#include "scpi_clients.h"
#include "serve/scpi_board.h"
#include "serve/scpi_server.h"

namespace meterlink {
namespace {

using namespace std::chrono_literals;
using namespace meterlink::test;

class ScpiServerTest : public ::testing::Test {
protected:
    ScpiServerTest() : board_(2, 1000ms) {
        ScpiReading r;
        r.hasValue = true;
        r.value = 1.5;
        r.function = "DC";
        r.unit = "V";
        board_.setLatest(1, r, ScpiBoard::Clock::now() + 3600s);  // stays fresh through the test
        for (int i = 0; i < 1000; ++i) board_.appendRow(1, ScpiRow{true, false, false, double(i)});
    }

    void start(ScpiServerLimits limits = {}) {
        server_ = std::make_unique<ScpiServer>(board_, "MeterLink,Bench,0,test", limits);
        ASSERT_TRUE(server_->listen(QHostAddress::LocalHost, 0)) << server_->errorString().toStdString();
    }

    ScpiBoard board_;
    std::unique_ptr<ScpiServer> server_;
};

TEST_F(ScpiServerTest, garbage_slow_and_vanishing_clients_are_dropped_and_a_good_one_is_served) {
    ScpiServerLimits limits;
    limits.maxBacklogBytes = 256 * 1024;
    start(limits);
    QSignalSpy dropped(server_.get(), &ScpiServer::clientDropped);
    const quint16 port = server_->port();

    auto result = std::async(std::launch::async, [port]() {
        std::string failures;
        // A megabyte without a newline.
        int garbage = connectTo(port);
        sendAll(garbage, std::string(1 << 20, 'x'));
        if (!closedByServer(garbage)) failures += "garbage client kept; ";
        ::close(garbage);

        // Asks and asks and never reads.
        int slow = connectTo(port);
        std::string queries;
        for (int i = 0; i < 2000; ++i) queries += "TRAC:DATA? 1000\n";
        for (int i = 0; i < 20 && sendAll(slow, queries); ++i) {
        }
        // Gone in the middle of a long answer.
        int vanishing = connectTo(port);
        sendAll(vanishing, "TRAC:DATA? 1000;TRAC:DATA? 1000;TRAC:DATA? 1000\n");
        ::close(vanishing);

        int good = connectTo(port);
        for (int i = 0; i < 200; ++i) {
            std::string reply = query(good, "READ?");
            if (reply != "+1.500000000E+00") {
                failures += "good client got \"" + reply + "\"; ";
                break;
            }
        }
        if (query(good, "SYST:ERR?") != "+0,\"No error\"") failures += "good client has errors; ";
        if (!closedByServer(slow)) failures += "slow client kept; ";
        ::close(slow);
        ::close(good);
        return failures;
    });
    EXPECT_EQ(whileServing(result), "");

    QStringList reasons;
    for (const auto& args : dropped) reasons << args.at(1).toString();
    EXPECT_TRUE(reasons.join("|").contains("line longer than")) << reasons.join("|").toStdString();
    EXPECT_TRUE(reasons.join("|").contains("does not read its replies")) << reasons.join("|").toStdString();
    QElapsedTimer clock;
    clock.start();
    while (server_->clientCount() > 0 && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(server_->clientCount(), 0);
}

TEST_F(ScpiServerTest, a_thousand_clients_are_turned_away_beyond_the_limit_and_the_first_keeps_its_answers) {
    start();
    const quint16 port = server_->port();
    auto result = std::async(std::launch::async, [port]() {
        std::string failures;
        int first = connectTo(port);
        if (query(first, "*IDN?") != "MeterLink,Bench,0,test") failures += "first client not served; ";
        std::vector<int> crowd;
        for (int i = 0; i < 1000; ++i) crowd.push_back(connectTo(port));
        if (query(first, "FETC? (@1)") != "+1.500000000E+00") failures += "first client slowed out; ";
        int served = 0;
        for (int fd : crowd) {
            if (fd >= 0 && query(fd, "*OPC?") == "1") ++served;
        }
        if (served != 63) failures += "served " + std::to_string(served) + " of the crowd, not 63; ";
        for (int fd : crowd) ::close(fd);
        if (query(first, "READ?") != "+1.500000000E+00") failures += "first client lost; ";
        ::close(first);
        return failures;
    });
    EXPECT_EQ(whileServing(result), "");
}

TEST_F(ScpiServerTest, pyvisa_with_its_pure_python_backend_reads_the_instrument) {
    start();
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start("/usr/bin/python3", {METERLINK_PYVISA_CLIENT, QString::number(server_->port())});
    ASSERT_TRUE(python.waitForStarted(10000));
    QElapsedTimer clock;
    clock.start();
    while (python.state() != QProcess::NotRunning && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    python.waitForFinished(100);
    const QString output = QString::fromUtf8(python.readAll());
    ASSERT_EQ(python.exitCode(), 0) << output.toStdString();
    EXPECT_EQ(output.trimmed().split('\n'),
              QStringList({"MeterLink,Bench,0,test", "1.5", "+0,\"No error\"", "-113,\"Undefined header\""}))
        << output.toStdString();
}

TEST(ScpiAddress, parses_host_and_port) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        quint16 port;
    };
    const Case cases[] = {
        {"5025", true, "127.0.0.1", 5025},      {"0.0.0.0:5025", true, "0.0.0.0", 5025},
        {"localhost:7", true, "127.0.0.1", 7},  {"[::1]:5025", true, "::1", 5025},
        {"192.168.1.2:5025", true, "192.168.1.2", 5025},
        {"65536", false, "", 0},                {"x:5025", false, "", 0},
        {":5025", false, "", 0},                {"port", false, "", 0},
    };
    for (const auto& c : cases) {
        QHostAddress address;
        quint16 port = 0;
        QString error;
        bool ok = parseScpiAddress(c.text, &address, &port, &error);
        EXPECT_EQ(ok, c.ok) << c.text << " " << error.toStdString();
        if (ok) {
            EXPECT_EQ(address.toString().toStdString(), c.host) << c.text;
            EXPECT_EQ(port, c.port) << c.text;
        } else {
            EXPECT_TRUE(error.startsWith("--scpi")) << c.text;
        }
    }
}

}  // namespace
}  // namespace meterlink
