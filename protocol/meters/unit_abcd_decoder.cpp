#include "unit_abcd_decoder.h"

#include "unit_abcd_tables.h"

#include <cstring>

namespace meterlink {

UnitAbCdDecoder::UnitAbCdDecoder(const MeterModel& model, std::string_view sep)
    : DisplayDecoder(model, sep, model.fullCount > 9999 ? 5 : 4) {}

void UnitAbCdDecoder::feed(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) step(data[i]);
}

void UnitAbCdDecoder::step(std::uint8_t b) {
    if (have_ == 0) {
        if (b == kAbCdFirst) frame_[have_++] = b;
        return;
    }
    if (have_ == 1) {
        if (b == kAbCdSecond) frame_[have_++] = b;
        else if (b != kAbCdFirst) have_ = 0;
        return;
    }
    frame_[have_++] = b;
    if (have_ == kAbCdHeaderBytes) {
        // At least a one-byte payload and the sum; never more than a frame holds.
        want_ = kAbCdHeaderBytes + b;
        if (b < 3 || want_ > kAbCdMaxFrameBytes) {
            countRejected();
            resync();
        }
        return;
    }
    if (have_ == want_) frameDone();
}

void UnitAbCdDecoder::frameDone() {
    if (!abCdSumMatches(frame_, have_)) {
        countRejected();
        resync();
        return;
    }
    if (frame_[2] != kAbCdAnswerLength) ++otherAnswers_;
    else if (!decodeAnswer()) countRejected();
    have_ = 0;
}

void UnitAbCdDecoder::resync() {
    std::uint8_t rest[kAbCdMaxFrameBytes];
    const std::size_t n = have_ - 1;
    std::memcpy(rest, frame_ + 1, n);
    have_ = 0;
    for (std::size_t i = 0; i < n; ++i) step(rest[i]);
}

bool UnitAbCdDecoder::decodeAnswer() {
    const std::uint8_t* f = frame_;
    const AbCdMode* mode = abCdMode(f[kAbCdMode]);
    if (!mode) return false;
    const std::uint8_t rangeByte = f[kAbCdRange];
    if (rangeByte < '0' || static_cast<std::size_t>(rangeByte - '0') >= abCdRangeCount(*mode, model().fullCount))
        return false;
    const char* unit = mode->units[rangeByte - '0'];
    for (std::size_t i = kAbCdFlags1; i <= kAbCdFlags3; ++i)
        if ((f[i] & 0xF0) != kAbCdFlagBase) return false;

    // The display: blanks, an optional minus, digits with at most one mark,
    // or the overload letters.
    const char* text = reinterpret_cast<const char*>(f + kAbCdDisplay);
    char digits[kAbCdDisplayChars];
    std::size_t n = 0, pointAfter = 0;
    bool negative = false, overload = false, underflow = false, started = false;   // started: a sign or more
    long count = 0;
    for (std::size_t i = 0; i < kAbCdDisplayChars; ++i) {
        const char c = text[i];
        if (c == ' ') {
            if (n > 0 && !overload && !underflow) return false;   // a blank inside the number
            continue;
        }
        if (c == '-' && !started) {
            negative = true;
        } else if (c == '.' && n > 0 && pointAfter == 0 && !overload) {
            pointAfter = n;
        } else if (c == '.' && (overload || underflow)) {
            // "OL." keeps the range's mark; the reading shows none.
        } else if (c >= '0' && c <= '9' && !overload && !underflow) {
            if (n == sizeof digits) return false;
            digits[n++] = c;
            count = count * 10 + (c - '0');
        } else if ((c == 'O' || c == 'U') && n == 0 && !overload && !underflow && i + 1 < kAbCdDisplayChars &&
                   text[i + 1] == 'L') {
            (c == 'O' ? overload : underflow) = true;
            ++i;
        } else {
            return false;
        }
        started = true;
    }
    Display& d = startDisplay();
    const std::size_t places = d.lcd.places;
    if (overload) {
        d.overload = true;
        d.negative = negative;
    } else if (underflow) {
        d.underflow = true;
    } else {
        if (n == 0 || n > places || pointAfter == n) return false;
        // Nothing beyond the meter's count, but the frequency counter uses every place.
        const long placesFull = places == 5 ? 99999 : 9999;
        const bool hertz = mode->quantity == Lcd::Hz;
        if (count > (hertz ? placesFull : model().fullCount)) return false;
        const std::size_t lead = places - n;
        for (std::size_t p = 0; p < n; ++p) setPlace(d.lcd, lead + p + 1, digits[p]);
        d.pointAfter = pointAfter ? lead + pointAfter : 0;
        d.negative = negative;
    }

    const std::uint8_t f1 = f[kAbCdFlags1], f2 = f[kAbCdFlags2], f3 = f[kAbCdFlags3];
    LcdState& s = d.lcd.state;
    d.function = mode->function;
    d.unit = unit;
    d.autoRange = !(f2 & kAbCdManual);
    if (mode->quantity != Lcd::Count) s.set(mode->quantity);
    if (mode->kind != Lcd::Count) s.set(mode->kind);
    const Lcd prefix = abCdPrefix(unit);
    if (prefix != Lcd::Count) s.set(prefix);
    s.set(Lcd::Max, f1 & kAbCdMax);
    s.set(Lcd::Min, f1 & kAbCdMin);
    s.set(Lcd::Hold, f1 & kAbCdHold);
    s.set(Lcd::REL, f1 & kAbCdRel);
    s.set(Lcd::Batt, f2 & kAbCdLowBattery);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::PeakMax), f3 & kAbCdPeakMax);
    d.lcd.extra.set(static_cast<std::size_t>(LcdExtra::PeakMin), f3 & kAbCdPeakMin);
    highVoltage_ = f2 & kAbCdHighVoltage;
    const int bar = (f[kAbCdBarHigh] & 0x0F) * 10 + (f[kAbCdBarLow] & 0x0F);
    bar_ = (f3 & kAbCdBarNegative) ? -bar : bar;
    publish();
    return true;
}

}  // namespace meterlink
