#include "frame_helpers.h"
#include "protocol/frame_assembler.h"

#include <gtest/gtest.h>

#include <random>

namespace meterlink {
namespace {

using test::raw;
using test::streamOf;

struct Collector {
    std::vector<std::string> texts;
    FrameAssembler assembler{[this](const MeterFrame& f) { texts.push_back(frameText(f)); }};
    void feed(const std::vector<std::uint8_t>& bytes, std::size_t chunk) {
        for (std::size_t i = 0; i < bytes.size(); i += chunk)
            assembler.feed(bytes.data() + i, std::min(chunk, bytes.size() - i));
    }
};

const FrameFields kFrame = raw('+', "0123", '2', 0x30, 0x00, 0x00, 0x80);

TEST(FrameAssembler, SameFramesWhateverTheChunkSize) {
    const auto bytes = streamOf({kFrame, raw('-', "5999", '1', 0x30, 0, 0x40, 0x80), kFrame});
    for (std::size_t chunk : {1u, 2u, 5u, 13u, 14u, 24u, 100u}) {
        Collector c;
        c.feed(bytes, chunk);
        ASSERT_EQ(c.texts.size(), 3u) << "chunk " << chunk;
        EXPECT_EQ(c.texts[0].size(), 26u);
        EXPECT_EQ(c.texts[0].substr(0, 10), "2B30313233");
        EXPECT_EQ(c.texts[1].substr(0, 2), "2D");
        EXPECT_EQ(c.assembler.rejectedCount(), 0u);
    }
}

TEST(FrameAssembler, FrameWithoutLeadingLfIsRejected) {
    const WireFrame w = encodeFrame(kFrame);
    Collector c;
    c.assembler.feed(w.data(), w.size());
    EXPECT_TRUE(c.texts.empty());
    EXPECT_EQ(c.assembler.rejectedCount(), 1u);
    // The LF it ends with aligns the next one.
    c.assembler.feed(w.data(), w.size());
    EXPECT_EQ(c.texts.size(), 1u);
}

TEST(FrameAssembler, TwelveByteFrameAcceptedByItsEarlierCr) {
    // LF, sign, ten bytes, CR: the byte-12 test accepts it.
    const std::vector<std::uint8_t> bytes{kLF, '+', '1', '2', '3', '4', ' ', '0', 0x30, 0, 0, 0x80, kCR};
    Collector c;
    c.feed(bytes, bytes.size());
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].size(), 24u);
}

TEST(FrameAssembler, RejectsWrongShapes) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    const std::vector<Case> cases{
        {"wrong sign byte", {kLF, '*', '1', '2', '3', '4', ' ', '0', 0x30, 0, 0, 0x80, 0, kCR}},
        {"one byte missing", {kLF, '+', '1', '2', '3', ' ', '0', 0x30, 0, 0, 0x80, kCR}},
        {"one byte extra", {kLF, '+', '1', '2', '3', '4', ' ', '0', 0x30, 0, 0, 0x80, 0, 0, kCR}},
        // A status byte equal to CR cuts the frame in two; neither half passes.
        {"status byte 0x0D", {kLF, '+', '1', '2', '3', '4', ' ', '0', 0x30, kCR, 0, 0x80, 0, kCR}},
    };
    for (const Case& k : cases) {
        Collector c;
        c.feed(k.bytes, 1);
        EXPECT_TRUE(c.texts.empty()) << k.name;
    }
}

TEST(FrameAssembler, GarbageNeitherGrowsMemoryNorHidesTheNextFrame) {
    // Megabytes without a CR, then a real frame: the bounded accumulation
    // must still reject the garbage and accept what follows.
    std::mt19937 rng(7);
    std::vector<std::uint8_t> garbage(1 << 20);
    for (auto& b : garbage) {
        b = static_cast<std::uint8_t>(rng());
        if (b == kCR) b = 0;
    }
    Collector c;
    c.feed(garbage, 4096);
    auto tail = streamOf({kFrame});
    tail.insert(tail.begin(), kCR);   // ends the garbage accumulation
    c.feed(tail, 3);
    ASSERT_EQ(c.texts.size(), 1u);
    EXPECT_EQ(c.texts[0].substr(0, 2), "2B");
    EXPECT_EQ(c.assembler.rejectedCount(), 1u);
}

TEST(NibbleFrameAssembler, HighNibbleEEndsTheFrame) {
    NibbleFrameAssembler a;
    const std::uint8_t bytes[] = {0x17, 0x25, 0xE3, 0x41};
    a.feed(bytes, 3);
    EXPECT_EQ(a.frameText(), "753");
    EXPECT_EQ(a.pending(), "");
    a.feed(bytes + 3, 1);
    EXPECT_EQ(a.pending(), "1");
    EXPECT_EQ(a.frameText(), "753");
}

}  // namespace
}  // namespace meterlink
