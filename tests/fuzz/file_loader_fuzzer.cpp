// Arbitrary bytes as a whole data file on disk, through the loader's own file
// path: reading a piece at a time, line ends across pieces, byte-order marks
// and encodings, cut-off last lines. The first byte picks the format and how
// many times the rest repeats, so inputs grow beyond a single read.
#include "recording/data_files.h"
#include "table_round_trip.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const QString base = QStringLiteral("/tmp/meterlink-file-fuzz-%1").arg(getpid());
    const bool xml = data[0] & 1;
    const int copies = 1 + (data[0] >> 1) % 64;
    const QByteArray body(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const QString name = base + (xml ? QStringLiteral(".xml") : QStringLiteral(".txt"));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly)) std::abort();
        for (int i = 0; i < copies; ++i) file.write(body);
    }
    // A row the log held before: what is refused whole must leave it alone.
    meterlink::RecordTable table;
    meterlink::RecordTable::Row held;
    held.no = 0;
    held.text[meterlink::RecordTable::Time] = "held";
    table.append(held);
    QString reason;
    if (meterlink::LoadTableFromFile(name, table, false, &reason)) {
        meterlink::fuzz::checkRoundTrips(table);
        return 0;
    }
    meterlink::fuzz::require(!reason.isEmpty());   // every refusal says why
    const bool refusedWhole = xml || reason.startsWith(QLatin1String("not a data file")) ||
                              reason.contains(QLatin1String("most it can hold"));
    if (refusedWhole)
        meterlink::fuzz::require(table.rowCount() == 1 && table.utf8(0, meterlink::RecordTable::Time) == "held");
    return 0;
}
