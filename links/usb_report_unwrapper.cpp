#include "links/usb_report_unwrapper.h"

#include <algorithm>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

UsbReportUnwrapper::Report UsbReportUnwrapper::USBReadKR20C(const std::uint8_t* data, std::size_t size) {
    return unwrap(data, size, Flush::KR20C);
}

UsbReportUnwrapper::Report UsbReportUnwrapper::USBReadKR10A(const std::uint8_t* data, std::size_t size) {
    return unwrap(data, size, Flush::KR10A);
}

UsbReportUnwrapper::Report UsbReportUnwrapper::USBReadKR30B(const std::uint8_t* data, std::size_t size) {
    return unwrap(data, size, Flush::KR30B);
}

bool UsbReportUnwrapper::isQuietReport(const std::uint8_t* data, std::uint16_t size) {
    if (size == 0) return true;
    const std::size_t n = data[0] & 0x0F;
    return n < 1 || n > 9;
}

UsbReportUnwrapper::Report UsbReportUnwrapper::unwrap(const std::uint8_t* data, std::size_t size, Flush rule) {
    if (size >= 1) {
        const std::size_t n = data[0] & 0x0F;
        ++idleCount_;
        if (n >= 1 && n <= 9) {
            idleCount_ = 0;
            pending_ = true;
            // Only the meter bytes the report really holds.
            const std::size_t present = std::min(n, size - 1);
            const std::size_t room = kMaxAccumBytes - kept_;
            const std::size_t taken = std::min(present, room);
            std::copy_n(data + 1, taken, accum_.begin() + static_cast<std::ptrdiff_t>(kept_));
            kept_ += taken;
            dropped_ += present - taken;
            return Report::Data;
        }
    }
    if (pending_) {
        pending_ = false;
        flush(rule);
    }
    return size >= 1 ? Report::Idle : Report::Empty;
}

void UsbReportUnwrapper::flush(Flush rule) {
    switch (rule) {
    case Flush::KR20C: {
        frameText_ = UsbHexAccum();
        // Sign first and CR at byte 13; nothing before the sign is skipped.
        const bool shaped = kept_ >= meterlink::kFrameBytes && (accum_[0] == '+' || accum_[0] == '-') &&
                            accum_[meterlink::kFrameBytes - 1] == meterlink::kCR;
        if (shaped && onFrame_) {
            meterlink::MeterFrame frame;
            std::copy_n(accum_.begin(), meterlink::kFrameBytes, frame.bytes.begin());
            frame.size = meterlink::kFrameBytes;
            kept_ = dropped_ = 0;   // emptied before the decoder runs, as after a rejection
            onFrame_(frame);
            return;
        }
        if (!shaped) ++rejected_;
        break;
    }
    case Flush::KR10A:
        frameText_ = lowDigits(14);
        break;
    case Flush::KR30B: {
        const std::string digits = lowDigits(11);
        frameText_ = digits.size() == 11 ? digits.substr(10) + digits.substr(0, 10) : digits;
        break;
    }
    }
    kept_ = dropped_ = 0;
}

std::string UsbReportUnwrapper::UsbHexAccum() const {
    std::string text;
    text.reserve(kept_ * 2);
    for (std::size_t i = 0; i < kept_; ++i) {
        text += kHex[accum_[i] >> 4];
        text += kHex[accum_[i] & 0x0F];
    }
    return text;
}

std::string UsbReportUnwrapper::lowDigits(std::size_t count) const {
    std::string digits;
    for (std::size_t i = 0; i < std::min(count, kept_); ++i) digits += kHex[accum_[i] & 0x0F];
    return digits;
}

std::array<std::uint8_t, 10> adapterFeatureReport(std::uint32_t baud) {
    return {0x00,
            static_cast<std::uint8_t>(baud & 0xFF),
            static_cast<std::uint8_t>((baud >> 8) & 0xFF),
            static_cast<std::uint8_t>((baud >> 16) & 0xFF),
            static_cast<std::uint8_t>((baud >> 24) & 0xFF),
            0x03,
            0x00,
            0x00,
            0x00,
            0x00};
}
