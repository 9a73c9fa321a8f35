// The Victor cable's hiding of each reading, undone and redone.
#include "links/victor_report_descrambler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace meterlink {
namespace {

// A report as the cable sends it, worked out by hand from the published
// notes: wire byte i is plain byte place[i] plus key letter i. Wire byte 11
// (0xc8 = 0x50 + 'x') lands in plain byte 0, which always holds 0x50; wire
// byte 13 (0x11 = 0xb0 + 'a', carried past 0xff) in plain byte 1, always 0xb0.
constexpr VictorReport kWire{0x6a, 0x09, 0x64, 0xbb, 0x6f, 0x78, 0x87, 0x72, 0x6a, 0x97, 0xe3, 0xc8, 0x69, 0x11};
constexpr VictorReport kPlain{0x50, 0xb0, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x04, 0x12, 0x34, 0x56, 0x78, 0x9a};

TEST(VictorReport, wire_bytes_descramble_to_the_plain_reading) {
    EXPECT_EQ(descrambleVictorReport(kWire), kPlain);
}

TEST(VictorReport, the_simulated_cable_scrambles_as_the_cable_does) {
    EXPECT_EQ(scrambleVictorReport(kPlain), kWire);
    // Every byte value in every place survives the round trip.
    for (int v = 0; v < 256; ++v) {
        VictorReport plain;
        for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(v + 17 * i);
        ASSERT_EQ(descrambleVictorReport(scrambleVictorReport(plain)), plain) << v;
    }
}

TEST(VictorReportDescrambler, readings_split_anywhere_come_out_whole_and_in_order) {
    VictorReportDescrambler d;
    std::vector<std::uint8_t> stream(kWire.begin(), kWire.end());
    VictorReport second = kPlain;
    second[2] = 0x00;   // the minus flag off
    const VictorReport wire2 = scrambleVictorReport(second);
    stream.insert(stream.end(), wire2.begin(), wire2.end());
    std::vector<VictorReport> out;
    // Three bytes a read, as a cable with small reports hands them.
    for (std::size_t at = 0; at < stream.size(); at += 3) {
        const std::size_t n = std::min<std::size_t>(3, stream.size() - at);
        std::size_t done = 0;
        while (done < n) {
            std::size_t used = 0;
            if (d.feed(stream.data() + at + done, n - done, used)) out.push_back(d.plain());
            done += used;
        }
    }
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], kPlain);
    EXPECT_EQ(out[1], second);
}

TEST(VictorReportDescrambler, a_reset_drops_a_half_report) {
    VictorReportDescrambler d;
    std::size_t used = 0;
    EXPECT_FALSE(d.feed(kWire.data(), 5, used));
    d.reset();
    EXPECT_TRUE(d.feed(kWire.data(), kWire.size(), used));
    EXPECT_EQ(used, kWire.size());
    EXPECT_EQ(d.plain(), kPlain);
}

}  // namespace
}  // namespace meterlink
