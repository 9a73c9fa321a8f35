// "Confirm readings": which frames of a sequence count, for N frames.

#include "protocol/reading_confirmation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using meterlink::MeterReading;
using meterlink::ReadingConfirmation;

namespace {

// One letter a frame: the same letter is the same reading.
MeterReading readingOf(char c) {
    MeterReading r;
    r.ValueText = std::string(1, c);
    r.FunctionText = "DC";
    r.UnitText = "V";
    r.AutoText = "AUTO";
    return r;
}

struct Case {
    const char* name;
    int frames;
    const char* sequence;
    const char* counted;   // '+' where the frame counts, '.' where not
};

class Confirmation : public testing::TestWithParam<Case> {};

TEST_P(Confirmation, CountsAFrameOnlyWhenTheFramesBeforeItAgree) {
    const Case& c = GetParam();
    ReadingConfirmation rule(c.frames);
    std::string counted;
    for (const char* p = c.sequence; *p; ++p) counted += rule.offer(readingOf(*p)) ? '+' : '.';
    EXPECT_EQ(counted, c.counted) << c.sequence;
}

const Case kCases[] = {
    {"one_counts_every_frame", 1, "AABAA", "+++++"},
    {"two_skips_the_first_frame", 2, "AAAA", ".+++"},
    {"two_drops_a_lone_damaged_frame", 2, "AAXAA", ".+..+"},
    {"two_drops_alternating_frames", 2, "ABABAB", "......"},
    {"two_follows_a_change_one_frame_late", 2, "AABBB", ".+.++"},
    {"three_needs_three", 3, "AAABBAAA", "..+....+"},
    {"below_one_is_one", 0, "AB", "++"},
    {"beyond_the_most_is_the_most", 99, "AAAAAAAAAAA", ".........++"},
};

INSTANTIATE_TEST_SUITE_P(Sequences, Confirmation, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(Confirmation, EveryLoggedFieldButTheVerdictMustAgree) {
    const MeterReading base = readingOf('1');
    MeterReading judged = base;
    judged.JudgeText = "Fail";
    judged.ChartValue = 3;
    MeterReading otherUnit = base, otherFunction = base, otherRange = base;
    otherUnit.UnitText = "mV";
    otherFunction.FunctionText = "AC";
    otherRange.AutoText = "MANU";
    // Texts that run together alike must not agree.
    MeterReading shifted = base;
    shifted.ValueText = "1D";
    shifted.FunctionText = "C";
    for (const MeterReading* other : {&otherUnit, &otherFunction, &otherRange, &shifted}) {
        ReadingConfirmation rule(2);
        rule.offer(base);
        EXPECT_FALSE(rule.offer(*other));
    }
    ReadingConfirmation rule(2);
    rule.offer(base);
    EXPECT_TRUE(rule.offer(judged));
}

TEST(Confirmation, ResetForgetsTheFramesBefore) {
    ReadingConfirmation rule(2);
    rule.offer(readingOf('A'));
    rule.reset();
    EXPECT_FALSE(rule.offer(readingOf('A')));
    EXPECT_TRUE(rule.offer(readingOf('A')));
}

}  // namespace
