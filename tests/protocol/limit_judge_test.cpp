#include "protocol/limit_judge.h"

#include <gtest/gtest.h>

namespace meterlink {
namespace {

TEST(ParseNumber, AcceptsSignedDecimalsWithTheGivenSeparatorOnly) {
    struct Case {
        const char* text;
        const char* sep;
        double want;
    };
    const Case cases[] = {
        {"6000", ".", 6000}, {"-6000", ".", -6000}, {"+1.5", ".", 1.5}, {" 2.25 ", ".", 2.25},
        {"5.", ".", 5}, {".5", ".", 0.5}, {"1e3", ".", 1000}, {"1,5", ",", 1.5}, {"0.L", ".", kNotANumber},
        {"1,5", ".", kNotANumber}, {"1.5", ",", kNotANumber}, {"", ".", kNotANumber}, {"-", ".", kNotANumber},
        {".", ".", kNotANumber}, {"1.2.3", ".", kNotANumber}, {"6'000", ".", kNotANumber},
        {"1e", ".", kNotANumber}, {"inf", ".", kNotANumber}, {"nan", ".", kNotANumber},
        {"0x10", ".", kNotANumber}, {"-999999", ".", kNotANumber}, {"1\u066B5", "\u066B", 1.5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseNumber(c.text, c.sep), c.want) << '"' << c.text << "\" sep " << c.sep;
    }
    EXPECT_FALSE(isNumber("-999999", "."));   // the sentinel itself is not a number
    EXPECT_FALSE(isNumber(std::string(500, '9'), "."));
}

TEST(Judge, VerdictAgainstInclusiveLimits) {
    struct Case {
        const char* value;
        const char* high;
        const char* low;
        Verdict want;
    };
    const Case cases[] = {
        {"5.999", "6000", "-6000", Verdict::Pass},
        {"6000", "6000", "-6000", Verdict::Pass},      // equal to high
        {"-6000", "6000", "-6000", Verdict::Pass},     // equal to low
        {"6000.1", "6000", "-6000", Verdict::Fail},
        {"-01.23", "0", "-2", Verdict::Pass},
        {"0.L", "6000", "-6000", Verdict::Fail},       // overload
        {".0L", "6000", "-6000", Verdict::Fail},
        {"1", "", "-6000", Verdict::Unchanged},        // high emptied: no judging
        {"1", "6000", "abc", Verdict::Unchanged},
        {"1", "-999999", "-6000", Verdict::Unchanged}, // the sentinel is not a number
        {"1", "-5", "5", Verdict::Fail},               // low above high: everything fails
        {"5", "-5", "5", Verdict::Fail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judge(c.value, c.high, c.low, "."), c.want) << c.value << " in [" << c.low << ", " << c.high << "]";
    EXPECT_EQ(judge("5,999", "6", "5,5", ","), Verdict::Pass);
    EXPECT_STREQ(judgeText(Verdict::Pass), "pass");
    EXPECT_STREQ(judgeText(Verdict::Fail), "Fail");
    EXPECT_STREQ(judgeCaption(Verdict::Pass), "Pass");
}

TEST(FixSeparator, RewritesOnlyTheFirstForeignSeparator) {
    struct Case {
        const char* text;
        const char* sep;
        const char* want;
    };
    const Case cases[] = {
        {"1.5", ",", "1,5"}, {"1,5", ".", "1.5"}, {"1.5.5", ",", "1,5.5"}, {"1,5", ",", "1,5"},
        {"15", ",", "15"},   {"1.5", "\u066B", "1\u066B5"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        fixSeparator(text, c.sep);
        EXPECT_EQ(text, c.want) << c.text << " sep " << c.sep;
    }
}

TEST(LimitKeyFilter, AdmitsOnlyCharactersOfANumber) {
    struct Case {
        const char* text;
        const char* key;
        const char* inserted;   // empty: refused
    };
    // System separator "," and user separator ",".
    const Case cases[] = {
        {"12", "3", "3"},  {"12", "-", "-"}, {"12", "+", "+"}, {"12", "\b", "\b"},
        {"12", "'", "'"},  {"12", "`", "`"}, {"12", ",", ","}, {"1,2", ",", ""},
        {"12", "a", ""},   {"12", "e", ""},  {"12", "x", ""},
        // The letters and signs of a unit.
        {"12", " ", " "},  {"12", "V", "V"}, {"12", "m", "m"}, {"12", "k", "k"},
        {"12", "\u03A9", "\u03A9"}, {"12", "\u00B0", "\u00B0"}, {"12", "C", "C"},
        {"12", "H", "H"},  {"12", "z", "z"}, {"12", "%", "%"}, {"12", "A", "A"},
        // A typed full stop is the user's mark too, and only once.
        {"12", ".", ","},  {"1,2", ".", ""}, {"1.2", ",", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(limitKeyText(c.text, c.key, " , ", ","), c.inserted) << c.text << " + " << c.key;
    // System and user separators differ: a second separator of either kind is
    // refused; a comma typed where the user writes a full stop becomes one.
    EXPECT_EQ(limitKeyText("1.2", ".", ".", ","), "");
    EXPECT_EQ(limitKeyText("1.2", ",", ".", ","), "");
    EXPECT_EQ(limitKeyText("12", ",", ",", "."), ".");
    EXPECT_EQ(limitKeyText("12", ".", ".", "\u066B"), "\u066B");
    // Empty separator texts do not crash and admit no separator.
    EXPECT_EQ(limitKeyText("1", ".", "", ""), "");
}

TEST(ValidateLimit, KeepsALimitWithAKnownUnitOnly) {
    std::string good = "6000";
    for (const char* kept : {"5.5 V", "220mV", "1.2 k", "25 \u00B0C", "50 Hz", "40 %"}) {
        std::string text = kept;
        EXPECT_FALSE(validateLimit(text, good, ".")) << kept;
        EXPECT_EQ(good, kept);
    }
    std::string text = "5.5 Q";
    EXPECT_TRUE(validateLimit(text, good, "."));
    EXPECT_EQ(text, "40 %");
}

TEST(ValidateLimit, RestoresTheLastValidText) {
    std::string good = "6000";
    std::string text = "";
    EXPECT_TRUE(validateLimit(text, good, "."));
    EXPECT_EQ(text, "6000");
    text = "12.5";
    EXPECT_FALSE(validateLimit(text, good, "."));
    EXPECT_EQ(good, "12.5");
    text = "-999999";
    EXPECT_TRUE(validateLimit(text, good, "."));
    EXPECT_EQ(text, "12.5");
}

}  // namespace
}  // namespace meterlink
