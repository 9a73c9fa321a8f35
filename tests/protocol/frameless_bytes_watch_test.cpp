#include "protocol/frameless_bytes_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace meterlink {
namespace {

// One step: bytes at a time (ms), or a decoded frame (bytes 0).
struct Step {
    std::size_t bytes;
    std::int64_t ms;
};
constexpr std::size_t kFrame = 0;

struct WatchCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<bool> told;   // what bytesArrived said at each byte step
    bool bytesButNoFrame;
};

void PrintTo(const WatchCase& c, std::ostream* os) { *os << c.name; }

class Watch : public testing::TestWithParam<WatchCase> {};

TEST_P(Watch, tells_once_when_bytes_come_for_five_seconds_without_a_frame) {
    const WatchCase& c = GetParam();
    FramelessBytesWatch w;
    std::vector<bool> told;
    for (const Step& s : c.steps) {
        if (s.bytes == kFrame) w.frameDecoded();
        else told.push_back(w.bytesArrived(s.bytes, s.ms));
    }
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(w.bytesButNoFrame(), c.bytesButNoFrame);
}

const WatchCase kCases[] = {
    {"under_five_seconds_says_nothing", {{14, 0}, {14, 4999}}, {false, false}, true},
    {"five_seconds_of_bytes_are_told", {{14, 0}, {14, 2500}, {14, 5000}}, {false, false, true}, true},
    {"told_once", {{14, 0}, {14, 5000}, {14, 9000}, {14, 20000}}, {false, true, false, false}, true},
    {"frames_keep_it_quiet", {{14, 0}, {kFrame, 100}, {14, 4000}, {kFrame, 4100}, {14, 8000}}, {false, false, false}, false},
    {"told_again_after_frames_stopped_forming", {{14, 0}, {14, 5000}, {kFrame, 5100}, {14, 6000}, {14, 11000}},
     {false, true, false, true}, false},
    {"no_bytes_no_notice", {}, {}, false},
};
INSTANTIATE_TEST_SUITE_P(FramelessBytes, Watch, testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(FramelessBytes, notice_names_the_model) {
    EXPECT_EQ(framelessBytesNotice("UNI-T UT61E"), "bytes arrive but none form a frame of UNI-T UT61E: check the meter model");
}

}  // namespace
}  // namespace meterlink
