#pragma once
// The process's resident memory, for the benchmarks' bytes-per-row figures.

#include <QFile>
#include <QList>

inline long residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4096L : 0;
}
