#include "frameless_bytes_watch.h"

namespace meterlink {

bool FramelessBytesWatch::bytesArrived(std::size_t n, std::int64_t nowMs) {
    if (n == 0) return false;
    bytes_ += n;
    if (since_ < 0) since_ = nowMs;
    if (told_ || nowMs - since_ < kQuietMs) return false;
    told_ = true;
    return true;
}

void FramelessBytesWatch::frameDecoded() {
    ++frames_;
    since_ = -1;
    told_ = false;
}

void FramelessBytesWatch::reset() { *this = FramelessBytesWatch(); }

std::string framelessBytesNotice(std::string_view model) {
    std::string text = "bytes arrive but none form a frame of ";
    text.append(model);
    text += ": check the meter model";
    return text;
}

}  // namespace meterlink
