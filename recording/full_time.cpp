#include "full_time.h"

#include <QDateTime>

#include <charconv>

namespace meterlink {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 to a civil date and back (proleptic Gregorian).
void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = floorDiv(y, 400);
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

char* putDigits(char* at, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return at + width;
}

bool readDigits(std::string_view& s, int width, unsigned& value) {
    if (s.size() < static_cast<std::size_t>(width)) return false;
    value = 0;
    for (int i = 0; i < width; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(s[i] - '0');
    }
    s.remove_prefix(static_cast<std::size_t>(width));
    return true;
}

bool expect(std::string_view& s, char c) {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

}  // namespace

FullTime FullTime::now() {
    const QDateTime local = QDateTime::currentDateTime();
    return {local.toMSecsSinceEpoch(), static_cast<std::int16_t>(local.offsetFromUtc() / 60)};
}

int FullTime::localMsOfDay() const {
    const std::int64_t local = utcMs + std::int64_t{offsetMinutes} * 60'000;
    return static_cast<int>(local - floorDiv(local, kMsPerDay) * kMsPerDay);
}

char* formatIsoTime(const FullTime& t, char* at) {
    const std::int64_t local = t.utcMs + std::int64_t{t.offsetMinutes} * 60'000;
    const std::int64_t days = floorDiv(local, kMsPerDay);
    auto ms = static_cast<unsigned>(local - days * kMsPerDay);
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(days, y, m, d);
    if (y < 0 || y > 9999) {
        at = std::to_chars(at, at + 24, y).ptr;
    } else {
        at = putDigits(at, static_cast<unsigned>(y), 4);
    }
    *at++ = '-';
    at = putDigits(at, m, 2);
    *at++ = '-';
    at = putDigits(at, d, 2);
    *at++ = 'T';
    at = putDigits(at, ms / 3'600'000, 2);
    *at++ = ':';
    at = putDigits(at, ms / 60'000 % 60, 2);
    *at++ = ':';
    at = putDigits(at, ms / 1000 % 60, 2);
    *at++ = '.';
    at = putDigits(at, ms % 1000, 3);
    const int offset = t.offsetMinutes;
    *at++ = offset < 0 ? '-' : '+';
    const auto magnitude = static_cast<unsigned>(offset < 0 ? -offset : offset);
    at = putDigits(at, magnitude / 60, 2);
    *at++ = ':';
    return putDigits(at, magnitude % 60, 2);
}

std::optional<FullTime> parseIsoTime(std::string_view s) {
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0, oh = 0, om = 0;
    if (!readDigits(s, 4, y) || !expect(s, '-') || !readDigits(s, 2, mo) || !expect(s, '-') || !readDigits(s, 2, d)
        || !expect(s, 'T') || !readDigits(s, 2, h) || !expect(s, ':') || !readDigits(s, 2, mi) || !expect(s, ':')
        || !readDigits(s, 2, sec) || !expect(s, '.') || !readDigits(s, 3, ms) || s.empty())
        return std::nullopt;
    int sign = 1;
    if (s == "Z") {
        s.remove_prefix(1);
    } else {
        if (s.front() != '+' && s.front() != '-') return std::nullopt;
        sign = s.front() == '-' ? -1 : 1;
        s.remove_prefix(1);
        if (!readDigits(s, 2, oh) || !expect(s, ':') || !readDigits(s, 2, om) || !s.empty()) return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59 || oh > 18 || om > 59)
        return std::nullopt;
    // A day past its month's end (02-30) is no date.
    const std::int64_t days = daysFromCivil(y, mo, d);
    std::int64_t yy = 0;
    unsigned mm = 0, dd = 0;
    civilFromDays(days, yy, mm, dd);
    if (mm != mo || dd != d) return std::nullopt;
    const int offset = sign * static_cast<int>(oh * 60 + om);
    const std::int64_t local = days * kMsPerDay + (h * 3600 + mi * 60 + sec) * std::int64_t{1000} + ms;
    return FullTime{local - std::int64_t{offset} * 60'000, static_cast<std::int16_t>(offset)};
}

}  // namespace meterlink
