#pragma once
// An --out name with strftime conversions (run-%Y%m%d.csv): the run writes
// the file the pattern names for the local time, and from each local
// midnight on the file it names for the new day, so a service that runs for
// days gets a file a day.

#include <QDateTime>
#include <QString>

// Whether name holds a '%' conversion.
bool isOutPattern(const QString& name);
// The name for the local time `when` ('%%' is a '%').
QString expandOutPattern(const QString& pattern, const QDateTime& when);
// The next local midnight after `when`.
QDateTime nextLocalMidnight(const QDateTime& when);
