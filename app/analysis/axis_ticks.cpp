#include "axis_ticks.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace meterlink::analysis {

namespace {

struct PrefixEntry {
    int exponent;
    const char* symbol;   // UTF-8
};

constexpr std::array<PrefixEntry, 11> kPrefixes{{{-15, "f"},
                                                  {-12, "p"},
                                                  {-9, "n"},
                                                  {-6, "µ"},
                                                  {-3, "m"},
                                                  {0, ""},
                                                  {3, "k"},
                                                  {6, "M"},
                                                  {9, "G"},
                                                  {12, "T"},
                                                  {15, "P"}}};

QDateTime localDateTime(double utcMs, int offsetMinutes) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(utcMs)), Qt::OffsetFromUTC,
                                          offsetMinutes * 60);
}

}  // namespace

SiPrefix prefixForSpan(double low, double high) {
    const double largest = std::max(std::fabs(low), std::fabs(high));
    if (!(largest > 0) || !std::isfinite(largest)) return {};
    const int exponent = static_cast<int>(std::floor((std::log10(largest) + 1e-6) / 3.0)) * 3;   // 0.000999999 is 1 m
    const PrefixEntry* chosen = &kPrefixes.front();
    for (const PrefixEntry& p : kPrefixes)
        if (p.exponent <= exponent) chosen = &p;
    return {QString::fromUtf8(chosen->symbol), std::pow(10.0, chosen->exponent)};
}

QString ValueTicks::label(double value) const {
    double shown = value / prefix.factor;
    if (std::fabs(shown) < 0.5 * step / prefix.factor) shown = 0;   // no "-0.000"
    return QString::number(shown, 'f', decimals);
}

ValueTicks valueTicks(double low, double high, int maxTicks) {
    ValueTicks t;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) return t;
    t.prefix = prefixForSpan(low, high);
    maxTicks = std::max(maxTicks, 2);
    const double rough = (high - low) / maxTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    double step = magnitude * 10;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (magnitude * m >= rough) {
            step = magnitude * m;
            break;
        }
    t.step = step;
    const double first = std::ceil(low / step);
    for (double k = first; k * step <= high + step * 1e-9 && t.values.size() < 1000; k += 1)
        t.values.push_back(k * step);
    const double shownStep = step / t.prefix.factor;
    t.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(shownStep) + 1e-9)), 0, 12);
    return t;
}

TimeTicks timeTicks(double firstMs, double lastMs, int maxTicks, int offsetMinutes) {
    static constexpr std::int64_t kSteps[] = {1,       2,       5,        10,       20,       50,       100,
                                              200,     500,     1000,     2000,     5000,     10000,    15000,
                                              30000,   60000,   120000,   300000,   600000,   900000,   1800000,
                                              3600000, 7200000, 10800000, 21600000, 43200000, 86400000, 172800000,
                                              604800000};
    TimeTicks t;
    if (!(lastMs > firstMs) || !std::isfinite(firstMs) || !std::isfinite(lastMs)) return t;
    maxTicks = std::max(maxTicks, 2);
    const double rough = (lastMs - firstMs) / maxTicks;
    t.stepMs = kSteps[std::size(kSteps) - 1];
    for (std::int64_t s : kSteps)
        if (static_cast<double>(s) >= rough) {
            t.stepMs = s;
            break;
        }
    if (static_cast<double>(t.stepMs) < rough)   // longer than weeks: whole multiples of a week
        t.stepMs = static_cast<std::int64_t>(std::ceil(rough / 604800000.0)) * 604800000;
    // Round in local time, so that hour ticks fall on whole local hours.
    const double offsetMs = offsetMinutes * 60000.0;
    const double step = static_cast<double>(t.stepMs);
    const double firstTick = std::ceil((firstMs + offsetMs) / step) * step - offsetMs;
    QDateTime previous;
    for (double at = firstTick; at <= lastMs && t.times.size() < 1000; at += step) {
        t.times.push_back(at);
        const QDateTime local = localDateTime(at, offsetMinutes);
        QString text;
        if (t.stepMs >= 86400000)
            text = local.toString(QStringLiteral("yyyy-MM-dd"));
        else if (t.stepMs >= 60000)
            text = local.toString(QStringLiteral("HH:mm"));
        else if (t.stepMs >= 1000)
            text = local.toString(QStringLiteral("HH:mm:ss"));
        else
            text = local.toString(QStringLiteral("HH:mm:ss.zzz"));
        // The date beside the first tick and wherever a new day starts.
        if (t.stepMs < 86400000 && (!previous.isValid() || previous.date() != local.date()))
            text += QLatin1Char('\n') + local.toString(QStringLiteral("yyyy-MM-dd"));
        previous = local;
        t.labels << text;
    }
    return t;
}

QString readoutTime(double utcMs, int offsetMinutes) {
    return localDateTime(utcMs, offsetMinutes).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString durationText(double ms) {
    const double a = std::fabs(ms);
    if (a == 0) return QStringLiteral("0 s");
    const QString sign = ms < 0 ? QStringLiteral("−") : QString();
    if (a < 1000) return sign + QString::number(a, 'f', a < 10 ? 1 : 0) + QStringLiteral(" ms");
    if (a < 60000) return sign + QString::number(a / 1000, 'f', a < 10000 ? 3 : 1) + QStringLiteral(" s");
    const auto total = static_cast<std::int64_t>(std::llround(a / 1000));
    const auto two = [](std::int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (total < 3600) return sign + QStringLiteral("%1 min %2 s").arg(total / 60).arg(two(total % 60));
    if (total < 86400) return sign + QStringLiteral("%1 h %2 min").arg(total / 3600).arg(two(total / 60 % 60));
    return sign + QStringLiteral("%1 d %2 h").arg(total / 86400).arg(two(total / 3600 % 24));
}

}  // namespace meterlink::analysis
