#include "time_texts.h"

#include <QRegularExpression>

namespace meterlink {

namespace {

// The first character after the hour in the locale's short time format.
QChar separatorOf(const QString& format) {
    const qsizetype hour = format.indexOf(QRegularExpression(QStringLiteral("[hH]")));
    if (hour >= 0) {
        qsizetype i = hour;
        while (i < format.size() && (format[i] == QLatin1Char('h') || format[i] == QLatin1Char('H'))) ++i;
        // A blank or quoted text after the hour is a word, not a separator.
        if (i < format.size() && format[i].isPunct() && format[i] != QLatin1Char('\'')) return format[i];
    }
    return QLatin1Char(':');
}

// The format without its time-zone fields ("t" runs outside quotes) and the
// blanks they leave.
QString withoutZone(const QString& format) {
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.simplified();
}

}  // namespace

TimeTexts::TimeTexts(const QLocale& locale)
    : locale_(locale),
      separator_(separatorOf(locale.timeFormat(QLocale::ShortFormat))),
      longFormat_(withoutZone(locale.timeFormat(QLocale::LongFormat))) {}

QString TimeTexts::frameTime(const QTime& time) const {
    const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(time.hour()) + separator_ + two(time.minute()) + separator_ + two(time.second());
}

QString TimeTexts::timedTime(const QTime& time) const { return locale_.toString(time, longFormat_); }

}  // namespace meterlink
