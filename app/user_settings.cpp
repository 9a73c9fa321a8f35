#include "app/user_settings.h"

#include "app/chart_toolbar.h"

#include <QSettings>

namespace {

const QString kHigh = QStringLiteral("limits/high");
const QString kLow = QStringLiteral("limits/low");
const QString kRecordLimit = QStringLiteral("log/recordLimit");
const QString kPageSize = QStringLiteral("chart/pageSize");
const QString kSamplingSeconds = QStringLiteral("log/samplingSeconds");
const QString kSampling = QStringLiteral("log/sampling");
const QString kRepeat = QStringLiteral("log/repeat");
const QString kComPort = QStringLiteral("link/comPort");
const QString kConfirmFrames = QStringLiteral("log/confirmFrames");

// A stored number within [low, high], else the fallback: a hand-edited or
// damaged file must not start the program in a state it cannot be in.
long long number(const QSettings& s, const QString& key, long long low, long long high, long long fallback) {
    bool ok = false;
    const long long v = s.value(key).toLongLong(&ok);
    return ok && v >= low && v <= high ? v : fallback;
}

void store(const QString& key, const QVariant& value) {
    QSettings s;
    s.setValue(key, value);
}

}  // namespace

UserSettings::Values UserSettings::load() {
    const QSettings s;
    Values v;
    v.highLimit = s.value(kHigh, v.highLimit).toString();
    v.lowLimit = s.value(kLow, v.lowLimit).toString();
    v.recordLimit = static_cast<std::int32_t>(number(s, kRecordLimit, 1, 10'000'000, v.recordLimit));
    v.pageSize = static_cast<int>(number(s, kPageSize, 1, ChartToolbar::kMostPageSize, v.pageSize));
    v.samplingSeconds = static_cast<int>(number(s, kSamplingSeconds, 1, 2'000'000, v.samplingSeconds));
    v.sampling = s.value(kSampling, v.sampling).toBool();
    v.repeat = s.value(kRepeat, v.repeat).toBool();
    v.comPort = static_cast<int>(number(s, kComPort, 1, 4, v.comPort));
    v.confirmFrames = static_cast<int>(number(s, kConfirmFrames, 1, 10, v.confirmFrames));
    return v;
}

void UserSettings::reset() {
    QSettings s;
    s.clear();
    s.sync();
}

void UserSettings::setHighLimit(const QString& text) { store(kHigh, text); }
void UserSettings::setLowLimit(const QString& text) { store(kLow, text); }
void UserSettings::setRecordLimit(std::int32_t limit) { store(kRecordLimit, limit); }
void UserSettings::setPageSize(int size) { store(kPageSize, size); }
void UserSettings::setSamplingSeconds(int seconds) { store(kSamplingSeconds, seconds); }
void UserSettings::setSampling(bool on) { store(kSampling, on); }
void UserSettings::setRepeat(bool on) { store(kRepeat, on); }
void UserSettings::setComPort(int n) { store(kComPort, n); }
void UserSettings::setConfirmFrames(int frames) { store(kConfirmFrames, frames); }
