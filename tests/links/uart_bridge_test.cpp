// The UT-D09 cable's two bridges: their report framing both ways, typed from
// the CP2110 application note and published wire notes of the UT61E+ (the
// set-up reports and the request as "06 AB CD 03 5E 01 D9"), and the polled
// link over the simulated cable with a UT61E+ behind it.
#include "hid_test_support.h"

#include "links/bridge_meter_link.h"
#include "links/bridge_meter_twin.h"
#include "links/uart_bridge.h"
#include "protocol/meters/meter_decoder.h"
#include "protocol/meters/unit_abcd_decoder.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using meterlink::UartBridge;
using Bytes = std::vector<std::uint8_t>;

const Bytes kRequest{0xAB, 0xCD, 0x03, 0x5E, 0x01, 0xD9};

struct WrapCase {
    const char* name;
    UartBridge bridge;
    std::size_t bytes;          // meter bytes to send: the request repeated
    std::vector<Bytes> reports; // what goes out, each cut to its first 10 bytes
    std::vector<std::size_t> sizes;
};
void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

Bytes repeated(std::size_t n) {
    Bytes out;
    while (out.size() < n) out.push_back(kRequest[out.size() % kRequest.size()]);
    return out;
}

const WrapCase kWraps[] = {
    {"cp2110_request_report_id_is_the_count", UartBridge::Cp2110, 6,
     {{0x06, 0xAB, 0xCD, 0x03, 0x5E, 0x01, 0xD9}}, {7}},
    {"ch9329_request_in_a_65_byte_report", UartBridge::Ch9329, 6,
     {{0x00, 0x06, 0xAB, 0xCD, 0x03, 0x5E, 0x01, 0xD9, 0x00, 0x00}}, {65}},
    {"cp2110_70_bytes_in_63_and_7", UartBridge::Cp2110, 70,
     {{0x3F, 0xAB, 0xCD, 0x03, 0x5E, 0x01, 0xD9, 0xAB, 0xCD, 0x03}, {0x07, 0x5E, 0x01, 0xD9, 0xAB, 0xCD, 0x03, 0x5E}},
     {64, 8}},
    {"ch9329_70_bytes_in_63_and_7", UartBridge::Ch9329, 70,
     {{0x00, 0x3F, 0xAB, 0xCD, 0x03, 0x5E, 0x01, 0xD9, 0xAB, 0xCD}, {0x00, 0x07, 0x5E, 0x01, 0xD9, 0xAB, 0xCD, 0x03, 0x5E, 0x00}},
     {65, 65}},
};

class BridgeWrap : public testing::TestWithParam<WrapCase> {};

TEST_P(BridgeWrap, output_reports_carry_the_bytes_and_unwrap_back) {
    const WrapCase& c = GetParam();
    const Bytes data = repeated(c.bytes);
    std::vector<Bytes> out;
    meterlink::wrapBridgeBytes(c.bridge, data.data(), data.size(),
                               [&](const std::uint8_t* r, std::size_t n) { out.emplace_back(r, r + n); });
    ASSERT_EQ(out.size(), c.reports.size());
    Bytes back;
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].size(), c.sizes[i]);
        const std::size_t shown = std::min<std::size_t>(c.reports[i].size(), out[i].size());
        EXPECT_EQ(Bytes(out[i].begin(), out[i].begin() + static_cast<std::ptrdiff_t>(shown)), c.reports[i]);
        // Input reports have the same shape: the read thread hands on the ID apart.
        const meterlink::BridgeBytes b =
            meterlink::unwrapBridgeReport(c.bridge, out[i][0], out[i].data() + 1, out[i].size() - 1);
        ASSERT_TRUE(b.valid);
        back.insert(back.end(), b.data, b.data + b.size);
    }
    EXPECT_EQ(back, data);
}

INSTANTIATE_TEST_SUITE_P(UartBridge, BridgeWrap, testing::ValuesIn(kWraps),
                         [](const auto& p) { return std::string(p.param.name); });

struct BadReport {
    const char* name;
    UartBridge bridge;
    std::uint8_t id;
    Bytes data;
};
void PrintTo(const BadReport& c, std::ostream* os) { *os << c.name; }

const BadReport kBadReports[] = {
    {"cp2110_id_0_carries_nothing", UartBridge::Cp2110, 0x00, {0xAB}},
    {"cp2110_feature_report_id", UartBridge::Cp2110, 0x41, Bytes(64, 0x01)},
    {"cp2110_count_beyond_the_report", UartBridge::Cp2110, 0x05, {0xAB, 0xCD}},
    {"ch9329_count_zero", UartBridge::Ch9329, 0x00, Bytes(64, 0x00)},
    {"ch9329_count_beyond_63", UartBridge::Ch9329, 0x00, Bytes(64, 0x40)},
    {"ch9329_numbered_report", UartBridge::Ch9329, 0x02, Bytes(64, 0x01)},
};

class BridgeUnwrap : public testing::TestWithParam<BadReport> {};

TEST_P(BridgeUnwrap, reports_that_are_no_data_give_no_bytes) {
    const BadReport& c = GetParam();
    EXPECT_FALSE(meterlink::unwrapBridgeReport(c.bridge, c.id, c.data.data(), c.data.size()).valid);
}

INSTANTIATE_TEST_SUITE_P(UartBridge, BridgeUnwrap, testing::ValuesIn(kBadReports),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(UartBridgeSetup, cp2110_enables_sets_9600_8n1_and_purges_ch9329_needs_nothing) {
    const meterlink::MeterModel& m = *meterlink::findMeter("UT61E+");
    std::vector<Bytes> steps;
    for (const auto& s : meterlink::bridgeSetup(UartBridge::Cp2110, m.line))
        steps.emplace_back(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(s.size));
    const std::vector<Bytes> expected{
        {0x41, 0x01}, {0x50, 0x00, 0x00, 0x25, 0x80, 0x00, 0x00, 0x03, 0x00}, {0x43, 0x03}};
    EXPECT_EQ(steps, expected);
    EXPECT_TRUE(meterlink::bridgeSetup(UartBridge::Ch9329, m.line).empty());
    UartBridge b;
    ASSERT_TRUE(meterlink::uartBridgeOf(0x10c4, 0xea80, b));
    EXPECT_EQ(b, UartBridge::Cp2110);
    ASSERT_TRUE(meterlink::uartBridgeOf(0x1a86, 0xe429, b));
    EXPECT_EQ(b, UartBridge::Ch9329);
    EXPECT_FALSE(meterlink::uartBridgeOf(0x1a86, 0xe008, b));   // the UT-D04's chip
}

// The link, a decoder and a simulated UT61E+ behind its cable.
struct LinkedMeter {
    std::shared_ptr<SimulatedHidPlatform> sim = std::make_shared<SimulatedHidPlatform>();
    const meterlink::MeterModel& model = *meterlink::findMeter("UT61E+");
    BridgeMeterTwin twin;
    BridgeMeterLink link{sim, model};
    meterlink::UnitAbCdDecoder decoder{model, "."};

    explicit LinkedMeter(UartBridge bridge = UartBridge::Cp2110, std::string id = "cable-1")
        : twin(*sim, std::move(id), model, bridge) {
        twin.plug();
        link.setBytesHandler([this](const std::uint8_t* d, std::size_t n) { decoder.feed(d, n); });
        decoder.setHandler([this](const meterlink::MeterDecoder&) { link.noteReading(); });
    }
    bool readingsGrow(std::size_t by = 2) {
        const std::size_t target = decoder.decodedCount() + by;
        return waitFor([&] { return decoder.decodedCount() >= target; });
    }
};

class BridgeLink : public testing::TestWithParam<UartBridge> {};

TEST_P(BridgeLink, polls_and_reads_the_meter) {
    LinkedMeter m(GetParam());
    QString error;
    ASSERT_TRUE(m.link.open(error)) << error.toStdString();
    ASSERT_TRUE(m.readingsGrow());
    EXPECT_TRUE(m.twin.uartReady());
    EXPECT_EQ(m.decoder.reading().ValueText, "01.234");
    EXPECT_EQ(m.decoder.reading().FunctionText, "DC");
    EXPECT_EQ(m.decoder.rejectedCount(), 0u);
    EXPECT_TRUE(m.link.linked());
}

INSTANTIATE_TEST_SUITE_P(UartBridge, BridgeLink, testing::Values(UartBridge::Cp2110, UartBridge::Ch9329),
                         [](const auto& p) { return std::string(meterlink::uartBridgeName(p.param)); });

TEST(BridgeLinkButtons, change_the_meters_state_and_its_answers) {
    LinkedMeter m;
    QString error;
    ASSERT_TRUE(m.link.open(error)) << error.toStdString();
    ASSERT_TRUE(m.readingsGrow(1));
    using C = meterlink::AbCdCommand;
    auto press = [&](C c) {
        EXPECT_TRUE(m.link.send(c));
        EXPECT_TRUE(m.readingsGrow());
    };
    press(C::Hold);
    EXPECT_TRUE(m.twin.meterState().hold);
    EXPECT_TRUE(m.decoder.lcd().shown(meterlink::Lcd::Hold));
    press(C::Hold);
    EXPECT_FALSE(m.decoder.lcd().shown(meterlink::Lcd::Hold));
    press(C::Rel);
    EXPECT_TRUE(m.decoder.lcd().shown(meterlink::Lcd::REL));
    EXPECT_EQ(m.decoder.reading().ValueText, "00.000");
    press(C::Range);
    EXPECT_EQ(m.decoder.reading().AutoText, "MANU");
    press(C::Auto);
    EXPECT_EQ(m.decoder.reading().AutoText, "AUTO");
    press(C::MinMax);
    EXPECT_TRUE(m.decoder.lcd().shown(meterlink::Lcd::Max));
    press(C::Select);
    EXPECT_EQ(m.decoder.reading().FunctionText, "AC");
    press(C::Light);
    EXPECT_TRUE(m.twin.meterState().light);
    EXPECT_EQ(m.twin.withMeter([](auto& t) { return t.refused(); }), 0u);
}

TEST(BridgeLinkBadInput, silent_meter_is_lost_without_a_reading_and_back_when_it_answers) {
    LinkedMeter m;
    QSignalSpy lost(&m.link, &BridgeMeterLink::lost);
    QSignalSpy returned(&m.link, &BridgeMeterLink::returned);
    m.twin.setSilent(true);
    QString error;
    ASSERT_TRUE(m.link.open(error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return lost.count() == 1; }));
    EXPECT_NE(lost.at(0).at(0).toString().indexOf("does not answer"), -1);
    EXPECT_EQ(m.decoder.decodedCount(), 0u);
    EXPECT_FALSE(m.link.linked());
    m.twin.setSilent(false);
    ASSERT_TRUE(waitFor([&] { return returned.count() == 1; }));
    EXPECT_TRUE(m.link.linked());
    EXPECT_EQ(lost.count(), 1);
}

TEST(BridgeLinkBadInput, wrong_sum_and_other_answers_give_no_reading) {
    LinkedMeter m;
    m.twin.setSilent(true);
    QString error;
    ASSERT_TRUE(m.link.open(error)) << error.toStdString();
    ASSERT_TRUE(waitFor([&] { return m.sim->readers("cable-1") == 1; }));   // reports sent before are lost
    // A good answer spoilt in its sum; the answer to another request.
    m.twin.sendMeterBytes({0xAB, 0xCD, 0x10, 0x02, 0x31, 0x20, 0x31, 0x32, 0x2E, 0x33,
                           0x34, 0x35, 0x00, 0x00, 0x30, 0x30, 0x30, 0x03, 0x99});
    m.twin.sendMeterBytes({0xAB, 0xCD, 0x05, 0x5F, 0x55, 0x54, 0x02, 0x85});
    ASSERT_TRUE(waitFor([&] { return m.decoder.otherAnswers() == 1; }));
    EXPECT_EQ(m.decoder.rejectedCount(), 1u);
    EXPECT_EQ(m.decoder.decodedCount(), 0u);
    m.twin.setSilent(false);
    ASSERT_TRUE(m.readingsGrow(1));
    EXPECT_EQ(m.decoder.reading().ValueText, "01.234");
}

TEST(BridgeLinkBadInput, unplugged_mid_answer_is_lost_and_recovers_on_replug) {
    LinkedMeter m;
    QSignalSpy lost(&m.link, &BridgeMeterLink::lost);
    QSignalSpy returned(&m.link, &BridgeMeterLink::returned);
    QString error;
    ASSERT_TRUE(m.link.open(error)) << error.toStdString();
    ASSERT_TRUE(m.readingsGrow(1));
    m.twin.setSilent(true);
    QTest::qWait(300);
    const std::size_t before = m.decoder.decodedCount();
    ASSERT_EQ(m.sim->readers("cable-1"), 1);
    m.twin.sendMeterBytes({0xAB, 0xCD, 0x10, 0x02, 0x31, 0x20, 0x31});   // the first bytes of an answer
    m.twin.unplug();
    ASSERT_TRUE(waitFor([&] { return lost.count() == 1; }));
    EXPECT_NE(lost.at(0).at(0).toString().indexOf("gone"), -1);
    EXPECT_EQ(m.decoder.decodedCount(), before);
    m.twin.setSilent(false);
    m.twin.plug();
    ASSERT_TRUE(waitFor([&] { return returned.count() == 1; }, 8000));
    ASSERT_TRUE(m.readingsGrow(1));
    EXPECT_EQ(m.decoder.reading().ValueText, "01.234");
}

TEST(BridgeLinkBadInput, refused_feature_report_is_named_in_the_message) {
    LinkedMeter m;
    m.twin.setRefusedFeature(meterlink::kCp2110UartConfig);
    QString error;
    EXPECT_FALSE(m.link.open(error));
    EXPECT_NE(error.indexOf("CP2110 refused to set the line"), -1) << error.toStdString();
    EXPECT_FALSE(m.link.isOpen());
}

TEST(BridgeLinkBadInput, two_cables_need_a_path_and_the_named_one_is_read) {
    LinkedMeter m;
    BridgeMeterTwin other(*m.sim, "cable-2", m.model, UartBridge::Ch9329);
    other.plug();
    QString error;
    EXPECT_FALSE(m.link.open(error));
    EXPECT_NE(error.indexOf("2 UT-D09 cables are plugged in"), -1) << error.toStdString();
    EXPECT_NE(error.indexOf("sim/cable-2"), -1);
    ASSERT_TRUE(m.link.open(error, "sim/cable-2")) << error.toStdString();
    ASSERT_TRUE(m.readingsGrow());
    EXPECT_TRUE(other.uartReady());
    EXPECT_GT(other.withMeter([](auto& t) { return t.requests(); }), 0u);
    EXPECT_EQ(m.twin.withMeter([](auto& t) { return t.requests(); }), 0u);
}

}  // namespace
