// A frequency is logged, exported and judged in the unit the LCD shows with
// its prefix: "1.234 kHz" is 1234 Hz in every meter family.
#include "protocol/meters/family_frame_builder.h"
#include "protocol/reading_pipeline.h"
#include "protocol/si_value.h"

#include <gtest/gtest.h>

#include <string>

namespace meterlink {
namespace {

struct FrequencyCase {
    const char* name;
    const char* meter;
    const char* line;
    const char* value;
    const char* unit;
    double hertz;        // the SI value of the shown reading
    const char* high;    // limits the reading lies between
    const char* low;
};

void PrintTo(const FrequencyCase& c, std::ostream* os) { *os << c.meter << " '" << c.line << "'"; }

class FrequencyUnit : public testing::TestWithParam<FrequencyCase> {};

TEST_P(FrequencyUnit, prefix_is_in_the_unit_and_the_judge_compares_hertz) {
    const FrequencyCase& c = GetParam();
    const MeterModel* m = findMeter(c.meter);
    ASSERT_NE(m, nullptr);
    DisplaySpec spec;
    std::string error;
    ASSERT_TRUE(parseDisplaySpec(c.line, spec, error)) << error;
    const FamilyFrame f = encodeFamilyFrame(*m, spec);
    ASSERT_GT(f.size, 0u);

    ReadingPipeline::Settings s;
    s.meter = m;
    s.highLimit = c.high;
    s.lowLimit = c.low;
    ReadingPipeline p(s);
    // Twice, so the shipped meter's first frame (which needs the LF before it) is read too.
    p.feed(f.bytes.data(), f.size);
    p.feed(f.bytes.data(), f.size);
    ASSERT_GE(p.decodedCount(), 1u);
    const MeterReading& r = p.reading();
    EXPECT_EQ(r.ValueText, c.value);
    EXPECT_EQ(r.FunctionText, "Freq");
    EXPECT_EQ(r.UnitText, c.unit);
    const SiValue si = toSiValue(r.ValueText, r.UnitText, ".");
    ASSERT_TRUE(si.hasValue);
    EXPECT_EQ(si.unit, "Hz");
    EXPECT_DOUBLE_EQ(si.value, c.hertz);
    EXPECT_EQ(p.lastVerdict(), Verdict::Pass) << "limits " << c.low << " .. " << c.high;
}

const FrequencyCase kFrequencies[] = {
    {"shipped_kilohertz", "KR20C", "FREQ k 1.234", "1.234", "kHz", 1234, "2 kHz", "1 kHz"},
    {"shipped_kilohertz_against_hertz_limits", "KR20C", "FREQ k 50.00", "50.00", "kHz", 50000, "60000 Hz", "40000 Hz"},
    {"shipped_megahertz", "KR20C", "FREQ M 1.234", "1.234", "MHz", 1234000, "1.3 MHz", "1200 kHz"},
    {"shipped_hertz", "KR20C", "FREQ 50.00", "50.00", "Hz", 50, "51 Hz", "49 Hz"},
    {"sparkfun_kilohertz", "70C", "FREQ k 1.234", "1.234", "kHz", 1234, "2 kHz", "1 kHz"},
    {"ut61d_megahertz", "UT61D", "FREQ M 9.999", "9.999", "MHz", 9999000, "10 MHz", "9 MHz"},
    {"fs9721_kilohertz", "VC-820", "FREQ k 1.234", "1.234", "kHz", 1234, "2 kHz", "1 kHz"},
    {"es51922_megahertz", "UT61E", "FREQ M 1.234", "1.2340", "MHz", 1234000, "2 MHz", "1 MHz"},
    {"es51986_megahertz", "UT60G", "FREQ M 1.234", "1.234", "MHz", 1234000, "2 MHz", "1 MHz"},
    {"metex_kilohertz", "M-3640D", "FREQ k 1.234", "1.234", "kHz", 1234, "2 kHz", "1 kHz"},
};
INSTANTIATE_TEST_SUITE_P(AllFamilies, FrequencyUnit, testing::ValuesIn(kFrequencies),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace meterlink
