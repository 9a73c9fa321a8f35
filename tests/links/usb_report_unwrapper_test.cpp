// Unwrapping the cable's input reports into frames, and the feature report.

#include "links/usb_report_unwrapper.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The meter's 14 bytes: sign, four digits, blank, point code, four status
// bytes, one more byte, CR, LF.
const Bytes kFrame{'+', '0', '1', '2', '3', ' ', '2', 0x31, 0x32, 0x33, 0x34, 0x30, 0x0D, 0x0A};
const std::string kFrameText = "2B30313233203231323334300D0A";

Bytes slice(const Bytes& b, std::size_t from, std::size_t n) { return Bytes(b.begin() + from, b.begin() + from + n); }

// A data report of the cable (Size 8): count byte, then the bytes, zero-padded.
Bytes data(std::uint8_t count, const Bytes& bytes) {
    Bytes r(std::max<std::size_t>(8, bytes.size() + 1), 0);
    r[0] = count;
    std::copy(bytes.begin(), bytes.end(), r.begin() + 1);
    return r;
}
const Bytes kIdle = data(0xF0, {});

struct Unwrapping {
    std::vector<meterlink::MeterFrame> frames;
    UsbReportUnwrapper unwrapper{[this](const meterlink::MeterFrame& f) { frames.push_back(f); }};

    void feed(const std::vector<Bytes>& reports) {
        for (const Bytes& r : reports) unwrapper.USBReadKR20C(r.data(), r.size());
    }
};

TEST(UsbReportUnwrapperTest, BurstsBetweenIdleReportsBecomeFrames) {
    const Bytes frame13 = slice(kFrame, 0, 13);
    Bytes digitFirst = kFrame;
    digitFirst[0] = '5';
    Bytes crAt12 = kFrame;   // the serial line's short form: not taken over USB
    crAt12.erase(crAt12.begin() + 11);
    const struct {
        const char* name;
        std::vector<Bytes> reports;
        std::size_t decoded;
        std::string frameText;   // prefix of FrameText
        std::size_t frameTextLength;
        int idleCount;
    } cases[] = {
        {"a frame in two reports, then idle",
         {data(0xF7, slice(kFrame, 0, 7)), data(0xF7, slice(kFrame, 7, 7)), kIdle}, 1, kFrameText, 28, 1},
        {"high bits of the count byte do not matter",
         {data(0x07, slice(kFrame, 0, 7)), data(0x07, slice(kFrame, 7, 7)), kIdle}, 1, kFrameText, 28, 1},
        {"count 10 is idle", {data(0xF7, slice(kFrame, 0, 7)), data(0xF7, slice(kFrame, 7, 7)), data(0xFA, {1, 2})},
         1, kFrameText, 28, 1},
        {"count 9 in a report of Size 8 takes the seven bytes there",
         {data(0xF9, slice(kFrame, 0, 7)), data(0xF7, slice(kFrame, 7, 7)), kIdle}, 1, kFrameText, 28, 1},
        {"sign to CR without LF", {data(0xF7, slice(frame13, 0, 7)), data(0xF6, slice(frame13, 7, 6)), kIdle}, 1,
         "2B30313233203231323334300D", 26, 1},
        {"a burst starting with a digit", {data(0xF7, slice(digitFirst, 0, 7)), data(0xF7, slice(digitFirst, 7, 7)), kIdle},
         0, "3530", 28, 1},
        {"CR at byte 12", {data(0xF7, slice(crAt12, 0, 7)), data(0xF6, slice(crAt12, 7, 6)), kIdle}, 0, "2B", 26, 1},
        {"two frames without an idle report between",
         {data(0xF7, slice(kFrame, 0, 7)), data(0xF7, slice(kFrame, 7, 7)), data(0xF7, slice(kFrame, 0, 7)),
          data(0xF7, slice(kFrame, 7, 7)), kIdle, kIdle},
         1, kFrameText + kFrameText, 56, 2},
        {"a report of Size 0 flushes and is not idle",
         {data(0xF7, slice(kFrame, 0, 7)), data(0xF7, slice(kFrame, 7, 7)), {}}, 1, kFrameText, 28, 0},
        {"idle reports alone", {kIdle, kIdle, kIdle}, 0, "", 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Unwrapping run;
        run.feed(c.reports);
        EXPECT_EQ(run.frames.size(), c.decoded);
        const std::string& text = run.unwrapper.FrameText();
        EXPECT_EQ(text.substr(0, c.frameText.size()), c.frameText);
        EXPECT_EQ(text.size(), c.frameTextLength);
        EXPECT_EQ(run.unwrapper.UsbHexAccum(), "");
        EXPECT_FALSE(run.unwrapper.UsbBytesPending());
        EXPECT_EQ(run.unwrapper.UsbIdleCount(), c.idleCount);
        if (!run.frames.empty()) {
            EXPECT_EQ(run.frames[0].size, 13u);
            EXPECT_EQ(Bytes(run.frames[0].bytes.begin(), run.frames[0].bytes.end()), slice(kFrame, 0, 13));
        }
    }
}

TEST(UsbReportUnwrapperTest, DataReportsAreReportedAsSuchAndKeepTheBurstOpen) {
    Unwrapping run;
    const Bytes first = data(0xF7, slice(kFrame, 0, 7));
    EXPECT_EQ(run.unwrapper.USBReadKR20C(first.data(), first.size()), UsbReportUnwrapper::Report::Data);
    EXPECT_TRUE(run.unwrapper.UsbBytesPending());
    EXPECT_EQ(run.unwrapper.UsbHexAccum(), kFrameText.substr(0, 14));
    EXPECT_EQ(run.unwrapper.USBReadKR20C(kIdle.data(), kIdle.size()), UsbReportUnwrapper::Report::Idle);
    EXPECT_EQ(run.unwrapper.USBReadKR20C(nullptr, 0), UsbReportUnwrapper::Report::Empty);
}

TEST(UsbReportUnwrapperTest, AnEndlessBurstKeepsOnlyItsFirst64Bytes) {
    Unwrapping run;
    std::vector<Bytes> reports;
    for (int i = 0; i < 20; ++i) reports.push_back(data(0xF7, slice(kFrame, (i % 2) * 7, 7)));
    run.feed(reports);
    EXPECT_EQ(run.unwrapper.UsbHexAccum().size(), 128u);
    EXPECT_EQ(run.unwrapper.droppedBytes(), 140u - 64u);
    run.feed({kIdle});
    EXPECT_EQ(run.frames.size(), 1u) << "the first frame of the burst is still taken";
    EXPECT_EQ(run.unwrapper.droppedBytes(), 0u);
}

TEST(UsbReportUnwrapperTest, TheWatchdogIsDueAfter1900IdleReportsInARow) {
    Unwrapping run;
    run.feed(std::vector<Bytes>(1899, kIdle));
    EXPECT_FALSE(run.unwrapper.watchdogDue());
    run.feed({data(0xF1, {'+'}), kIdle});
    EXPECT_EQ(run.unwrapper.UsbIdleCount(), 1) << "a data report starts the count again";
    run.feed(std::vector<Bytes>(1899, kIdle));
    EXPECT_TRUE(run.unwrapper.watchdogDue());
    run.unwrapper.resetIdleCount();
    EXPECT_FALSE(run.unwrapper.watchdogDue());
}

TEST(UsbReportUnwrapperTest, TheOtherModelsLeaveOnlyTheirFrameText) {
    // Each byte carries one digit in its low four bits.
    const Bytes digits{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18, 0x29, 0x3A, 0x4B, 0x5C, 0x6D, 0x7E, 0x8F};
    UsbReportUnwrapper kr10a, kr30b;
    for (std::size_t at = 0; at < digits.size(); at += 5) {
        const Bytes r = data(0xF5, slice(digits, at, 5));
        kr10a.USBReadKR10A(r.data(), r.size());
        kr30b.USBReadKR30B(r.data(), r.size());
    }
    kr10a.USBReadKR10A(kIdle.data(), kIdle.size());
    kr30b.USBReadKR30B(kIdle.data(), kIdle.size());
    EXPECT_EQ(kr10a.FrameText(), "123456789ABCDE");
    EXPECT_EQ(kr30b.FrameText(), "B123456789A");
    EXPECT_EQ(kr10a.UsbHexAccum(), "");
    EXPECT_EQ(kr30b.UsbHexAccum(), "");
}

TEST(UsbReportUnwrapperTest, TheFeatureReportCarriesTheAdapterSpeed) {
    using R = std::array<std::uint8_t, 10>;
    EXPECT_EQ(adapterFeatureReport(2400), (R{0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(adapterFeatureReport(19200), (R{0x00, 0x00, 0x4B, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
}

}  // namespace
