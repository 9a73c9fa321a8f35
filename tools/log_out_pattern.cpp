#include "log_out_pattern.h"

#include <QTimeZone>

#include <ctime>
#include <string>

bool isOutPattern(const QString& name) { return name.contains(QLatin1Char('%')); }

QString expandOutPattern(const QString& pattern, const QDateTime& when) {
    const std::time_t t = static_cast<std::time_t>(when.toSecsSinceEpoch());
    std::tm local{};
    localtime_r(&t, &local);
    const QByteArray format = pattern.toLocal8Bit();
    // A name is at most a few thousand bytes; strftime says 0 when it does not fit.
    std::string out(static_cast<std::size_t>(format.size()) * 8 + 256, '\0');
    const std::size_t n = std::strftime(out.data(), out.size(), format.constData(), &local);
    out.resize(n);
    return QString::fromLocal8Bit(out.data(), static_cast<qsizetype>(out.size()));
}

QDateTime nextLocalMidnight(const QDateTime& when) {
    const QDateTime local = when.toLocalTime();
    return QDateTime(local.date().addDays(1), QTime(0, 0));
}
