#pragma once
// Logs made up for the analysis window's tests: rows one interval apart
// from a fixed moment, each with the value text, unit and verdict asked for.

#include "recording/record_table.h"

#include <QByteArray>

#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>

namespace synthetic {

// 2026-12-10 09:00:00 UTC, an hour ahead of UTC locally.
constexpr std::int64_t kStartMs = 1'796'893'200'000;
constexpr std::int16_t kOffsetMinutes = 60;

struct Reading {
    QByteArray value = "5.000";    // as shown, "." as the separator; "OL" an overload
    QByteArray unit = "V";
    QByteArray verdict = "pass";
    std::optional<std::int64_t> utcMs;   // none: a row of an older file, without its moment
};

inline void append(meterlink::RecordTable& table, int no, const Reading& r) {
    meterlink::RecordTable::Row row;
    row.no = no;
    row.text[meterlink::RecordTable::Time] = "10:00:00";
    row.text[meterlink::RecordTable::DCAC] = "DC";
    row.text[meterlink::RecordTable::Value] = r.value;
    row.text[meterlink::RecordTable::Unit] = r.unit;
    row.text[meterlink::RecordTable::Auto] = r.verdict;
    if (r.utcMs) row.fullTime = meterlink::FullTime{*r.utcMs, kOffsetMinutes};
    table.append(row);
}

// n rows, intervalMs apart from `start`; reading(i) gives row i's value.
inline void fill(meterlink::RecordTable& table, int n, std::int64_t intervalMs,
                 const std::function<Reading(int)>& reading, std::int64_t start = kStartMs) {
    meterlink::RecordTable::Batch batch(table);
    const int first = table.rowCount();
    for (int i = 0; i < n; ++i) {
        Reading r = reading(i);
        if (!r.utcMs) r.utcMs = start + i * intervalMs;
        append(table, first + i + 1, r);
    }
}

// A value text with three decimals.
inline QByteArray volts(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return QByteArray(text);
}

// A slow wave around 5 V.
inline Reading wave(int i) { return {volts(5.0 + 0.4 * std::sin(i * 0.002)), "V", "pass", std::nullopt}; }

}  // namespace synthetic
