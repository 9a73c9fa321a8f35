#pragma once
// The two ways a logged row's time is written, both in the user's locale:
// rows logged frame by frame carry "hh:mm:ss" with the locale's time
// separator; rows of the sampling timer carry the locale's long time format
// for a time of day, without a time zone (a time has no zone of its own).

#include <QLocale>
#include <QString>
#include <QTime>

namespace meterlink {

class TimeTexts {
public:
    explicit TimeTexts(const QLocale& locale = QLocale());

    QString frameTime(const QTime& time) const;   // 14:03:22
    QString timedTime(const QTime& time) const;   // 14:03:22, or 2:03:22 PM

    QChar timeSeparator() const { return separator_; }
    const QString& longFormat() const { return longFormat_; }

private:
    QLocale locale_;
    QChar separator_;
    QString longFormat_;
};

}  // namespace meterlink
