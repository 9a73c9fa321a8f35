#include "frame_builder.h"

#include <cstdlib>
#include <sstream>

namespace meterlink {

WireFrame encodeFrame(const FrameFields& f) {
    WireFrame w{};
    w[0] = static_cast<std::uint8_t>(f.sign);
    for (std::size_t i = 0; i < 4; ++i)
        w[1 + i] = static_cast<std::uint8_t>(f.digits[i]);
    w[5] = ' ';
    w[6] = static_cast<std::uint8_t>(f.point);
    for (std::size_t i = 0; i < 4; ++i)
        w[7 + i] = f.status[i];
    w[11] = 0x00;
    w[12] = 0x0D;
    w[13] = 0x0A;
    return w;
}

namespace {

struct FunctionBits {
    MeterFunction function;
    const char* name;
    std::uint8_t b8, b10, b11;
};

// Status bits a meter lights for each function (DC/AC in byte 8, the mode in
// byte 10, the unit in byte 11). In diode mode the meter lights the volt unit
// beside the diode mark.
constexpr FunctionBits kFunctions[] = {
    {MeterFunction::DCV, "DCV", 0x10, 0x00, 0x80},
    {MeterFunction::ACV, "ACV", 0x08, 0x00, 0x80},
    {MeterFunction::DCA, "DCA", 0x10, 0x00, 0x40},
    {MeterFunction::ACA, "ACA", 0x08, 0x00, 0x40},
    {MeterFunction::Ohm, "OHM", 0x00, 0x00, 0x20},
    {MeterFunction::Continuity, "CTN", 0x00, 0x08, 0x20},
    {MeterFunction::Diode, "DIODE", 0x00, 0x04, 0x80},
    {MeterFunction::Capacitance, "CAP", 0x00, 0x00, 0x04},
    {MeterFunction::TempC, "TEMPC", 0x00, 0x00, 0x02},
    {MeterFunction::TempF, "TEMPF", 0x00, 0x00, 0x01},
    {MeterFunction::Frequency, "FREQ", 0x00, 0x00, 0x08},
    {MeterFunction::DutyCycle, "DUTY", 0x00, 0x02, 0x00},
};

struct PrefixBits {
    UnitPrefix prefix;
    const char* name;
    std::uint8_t b9, b10;
};

constexpr PrefixBits kPrefixes[] = {
    {UnitPrefix::None, "-", 0x00, 0x00},   {UnitPrefix::Nano, "n", 0x02, 0x00},
    {UnitPrefix::Micro, "u", 0x00, 0x80},  {UnitPrefix::Milli, "m", 0x00, 0x40},
    {UnitPrefix::Kilo, "k", 0x00, 0x20},   {UnitPrefix::Mega, "M", 0x00, 0x10},
};

}  // namespace

FrameFields fieldsFor(const DisplaySpec& s) {
    FrameFields f;
    f.sign = s.count < 0 ? '-' : '+';
    int magnitude = std::abs(s.count) % 10000;
    for (int i = 3; i >= 0; --i) {
        f.digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (s.overload)
        f.digits = {'?', '0', ':', '?'};
    f.point = s.pointAfter == 1 ? '1' : s.pointAfter == 2 ? '2' : s.pointAfter == 3 ? '4' : '0';

    for (const FunctionBits& fb : kFunctions) {
        if (fb.function != s.function) continue;
        f.status[0] |= fb.b8;
        f.status[2] |= fb.b10;
        f.status[3] |= fb.b11;
    }
    for (const PrefixBits& pb : kPrefixes) {
        if (pb.prefix != s.prefix) continue;
        f.status[1] |= pb.b9;
        f.status[2] |= pb.b10;
    }
    if (s.autoRange) f.status[0] |= 0x20;
    if (s.relative) f.status[0] |= 0x04;
    if (s.hold) f.status[0] |= 0x02;
    if (s.maximum) f.status[1] |= 0x20;
    if (s.minimum) f.status[1] |= 0x10;
    if (s.lowBattery) f.status[1] |= 0x04;
    return f;
}

namespace {

// "5.999" -> count 5999, point after digit 1; "-0.123" -> -123, point 1.
bool parseDisplayedValue(const std::string& tok, DisplaySpec& spec) {
    std::string digits;
    int pointAfter = 0;
    bool negative = false;
    std::size_t i = 0;
    if (i < tok.size() && (tok[i] == '-' || tok[i] == '+')) negative = tok[i++] == '-';
    for (; i < tok.size(); ++i) {
        const char c = tok[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '.' && pointAfter == 0 && !digits.empty()) {
            pointAfter = static_cast<int>(digits.size());
        } else {
            return false;
        }
    }
    if (digits.empty() || digits.size() > 4 || pointAfter > 3) return false;
    // The meter shows four digits; a shorter value is padded with leading zeros.
    const int pad = 4 - static_cast<int>(digits.size());
    if (pointAfter) pointAfter += pad;
    if (pointAfter > 3) return false;
    spec.count = std::atoi(digits.c_str()) * (negative ? -1 : 1);
    spec.pointAfter = pointAfter;
    return true;
}

}  // namespace

bool parseDisplaySpec(const std::string& line, DisplaySpec& spec, std::string& error) {
    std::istringstream in(line);
    std::string tok;
    if (!(in >> tok)) {
        error = "empty line";
        return false;
    }
    spec = DisplaySpec{};
    bool known = false;
    for (const FunctionBits& fb : kFunctions)
        if (tok == fb.name) {
            spec.function = fb.function;
            known = true;
        }
    if (!known) {
        error = "unknown function '" + tok + "'";
        return false;
    }
    bool haveValue = false;
    while (in >> tok) {
        bool isPrefix = false;
        for (const PrefixBits& pb : kPrefixes)
            if (tok == pb.name) {
                spec.prefix = pb.prefix;
                isPrefix = true;
            }
        if (isPrefix) continue;
        if (tok == "OL" || tok == "-OL" || tok == ".OL" || tok == "-.OL") {
            spec.overload = true;
            spec.count = tok[0] == '-' ? -1 : 0;
            haveValue = true;
        } else if (tok.rfind("p=", 0) == 0 && tok.size() == 3 && tok[2] >= '0' && tok[2] <= '3') {
            spec.pointAfter = tok[2] - '0';
        } else if (tok == "manual") {
            spec.autoRange = false;
        } else if (tok == "hold") {
            spec.hold = true;
        } else if (tok == "rel") {
            spec.relative = true;
        } else if (tok == "max") {
            spec.maximum = true;
        } else if (tok == "min") {
            spec.minimum = true;
        } else if (tok == "bat") {
            spec.lowBattery = true;
        } else if (!haveValue && parseDisplayedValue(tok, spec)) {
            haveValue = true;
        } else {
            error = "unexpected '" + tok + "'";
            return false;
        }
    }
    if (!haveValue) {
        error = "no value";
        return false;
    }
    return true;
}

}  // namespace meterlink
