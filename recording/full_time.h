#pragma once
// The moment a row was logged: UTC milliseconds and the UTC offset in force
// then, so that its local time stays right across midnight and changes of
// daylight saving. Written as ISO 8601 local time with milliseconds and
// offset: 2026-12-10T16:08:55.123+01:00.

#include <cstdint>
#include <optional>
#include <string_view>

namespace meterlink {

struct FullTime {
    std::int64_t utcMs = 0;
    std::int16_t offsetMinutes = 0;   // local minus UTC

    bool operator==(const FullTime& o) const { return utcMs == o.utcMs && offsetMinutes == o.offsetMinutes; }
    bool operator!=(const FullTime& o) const { return !(*this == o); }

    // The system's clock and time zone now.
    static FullTime now();
    // The local time of day, in milliseconds since midnight.
    int localMsOfDay() const;
};

// Room for the longest text formatIsoTime writes (a year of up to 6 digits).
constexpr std::size_t kIsoTimeMaxBytes = 40;
// Writes the ISO 8601 text at `at`; returns where it ends. No terminator.
char* formatIsoTime(const FullTime& t, char* at);
// Reads exactly the form formatIsoTime writes ("Z" is accepted as +00:00).
std::optional<FullTime> parseIsoTime(std::string_view text);

}  // namespace meterlink
