#pragma once
// On a noisy line one flipped bit can turn a frame into another plausible
// reading; no family's frame carries a checksum to catch it. A reading can
// therefore be made to count only once `frames` consecutive frames agree on
// what is logged of it (value, function, unit and range mode). With frames = 1
// every frame counts at once, as without the rule.
//
// The cost is delay: a new reading counts frames - 1 frame times after its
// first frame, and a frame that disagrees with its neighbours (the damaged
// one, or the first of a real change) counts not at all.

#include "meter_reading.h"

#include <string>

namespace meterlink {

class ReadingConfirmation {
public:
    static constexpr int kMostFrames = 10;

    explicit ReadingConfirmation(int frames = 1) { setFrames(frames); }

    // 1 to kMostFrames; others are clamped. Starts counting afresh.
    void setFrames(int frames);
    int frames() const { return frames_; }
    bool enabled() const { return frames_ > 1; }

    // Offers one decoded frame's reading; true when it and the frames - 1
    // frames before it agree.
    bool offer(const MeterReading& reading);
    // Frames that came before no longer count (a new link, a gap).
    void reset();

    // What two frames must share to agree.
    static void appendKey(std::string& out, const MeterReading& reading);

private:
    int frames_ = 1;
    int run_ = 0;
    std::string lastKey_;
    std::string key_;
};

}  // namespace meterlink
