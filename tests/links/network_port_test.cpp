// Port names that stand for a serial port served over the network.

#include "links/network_port.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char* name;
    const char* port;
    const char* host;   // empty: refused
    int number;
};

class NetworkPortName : public ::testing::TestWithParam<NameCase> {};

TEST_P(NetworkPortName, GivesHostAndPortOrSaysWhatIsMissing) {
    const NameCase& c = GetParam();
    EXPECT_TRUE(isNetworkPortName(QString::fromLatin1(c.port)));
    QString why;
    const auto address = parseNetworkPortName(QString::fromLatin1(c.port), why);
    if (!*c.host) {
        EXPECT_FALSE(address.has_value());
        EXPECT_TRUE(why.contains(QStringLiteral("tcp://HOST:PORT"))) << why.toStdString();
        return;
    }
    ASSERT_TRUE(address.has_value()) << why.toStdString();
    EXPECT_EQ(address->host, QString::fromLatin1(c.host));
    EXPECT_EQ(address->port, c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NetworkPortName,
    ::testing::Values(NameCase{"host_and_port", "tcp://bench-board:3001", "bench-board", 3001},
                      NameCase{"trailing_slash", "tcp://10.0.0.7:2000/", "10.0.0.7", 2000},
                      NameCase{"ipv6", "tcp://[::1]:2000", "::1", 2000},
                      NameCase{"capital_scheme", "TCP://h:1", "h", 1},
                      NameCase{"no_port", "tcp://h", "", 0},
                      NameCase{"port_zero", "tcp://h:0", "", 0},
                      NameCase{"path", "tcp://h:1/dev/ttyUSB0", "", 0},
                      NameCase{"user", "tcp://me@h:1", "", 0},
                      NameCase{"no_host", "tcp://:2000", "", 0}),
    [](const ::testing::TestParamInfo<NameCase>& info) { return std::string(info.param.name); });

TEST(NetworkPortName, LocalDevicesAreNotNetworkPorts) {
    for (const char* name : {"/dev/ttyUSB0", "ttyS0", "COM3", "/tmp/tcp://x"})
        EXPECT_FALSE(isNetworkPortName(QString::fromLatin1(name))) << name;
}

}  // namespace
