#pragma once
// Notices a meter whose bytes arrive but never form a frame: most often
// another model than the one chosen (other speed, other protocol). Told once
// per stretch of such bytes, after five seconds of them; a decoded frame
// starts the watch afresh. Plain C++: the caller gives the time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace meterlink {

class FramelessBytesWatch {
public:
    static constexpr std::int64_t kQuietMs = 5000;

    // n meter bytes came at nowMs (milliseconds of a monotonic clock).
    // True, once, when bytes have come for kQuietMs without a frame and are
    // still coming.
    bool bytesArrived(std::size_t n, std::int64_t nowMs);
    // A frame was decoded from the bytes.
    void frameDecoded();
    // A new link: nothing seen yet.
    void reset();

    // Bytes came since the start (or reset) and not one formed a frame.
    bool bytesButNoFrame() const { return bytes_ > 0 && frames_ == 0; }
    std::uint64_t bytes() const { return bytes_; }

private:
    std::uint64_t bytes_ = 0;
    std::uint64_t frames_ = 0;
    std::int64_t since_ = -1;   // first byte after the last frame; -1 none yet
    bool told_ = false;
};

// "bytes arrive but none form a frame of MODEL: check the meter model"
std::string framelessBytesNotice(std::string_view model);

}  // namespace meterlink
