#include "reading_confirmation.h"

#include <algorithm>

namespace meterlink {

void ReadingConfirmation::setFrames(int frames) {
    frames_ = std::clamp(frames, 1, kMostFrames);
    reset();
}

void ReadingConfirmation::reset() {
    run_ = 0;
    lastKey_.clear();
}

void ReadingConfirmation::appendKey(std::string& out, const MeterReading& reading) {
    // Separated, so that "1.2" + "34V" never equals "1.23" + "4V".
    for (const std::string* part : {&reading.ValueText, &reading.FunctionText, &reading.UnitText, &reading.AutoText}) {
        out += *part;
        out += '\x1f';
    }
}

bool ReadingConfirmation::offer(const MeterReading& reading) {
    if (frames_ <= 1) return true;
    key_.clear();
    appendKey(key_, reading);
    if (run_ > 0 && key_ == lastKey_) {
        if (run_ < frames_) ++run_;
    } else {
        lastKey_.swap(key_);
        run_ = 1;
    }
    return run_ >= frames_;
}

}  // namespace meterlink
