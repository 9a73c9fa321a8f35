// Arbitrary bytes as a CSV or JSON-lines log (the first byte picks): the
// reader must not crash, and the statistics of what it loaded must hold
// together.
#include "recording/export_reader.h"
#include "recording/log_statistics.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto format = data[0] & 1 ? meterlink::ExportFormat::JsonLines : meterlink::ExportFormat::Csv;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    meterlink::RecordTable table;
    if (format == meterlink::ExportFormat::Csv) meterlink::loadTableCsv(in, table, nullptr);
    else meterlink::loadTableJsonLines(in, table, nullptr);
    meterlink::RecordTablePoints points(table, ".");
    points.sync();
    meterlink::LogStatistics stats(points);
    stats.catchUp();
    std::uint64_t rows = 0;
    for (const meterlink::UnitStatistics& u : stats.all()) {
        rows += u.count;
        if (u.numbers + u.overloads + u.noNumber != u.count || u.pass + u.fail > u.count) std::abort();
        if (u.min && !(u.min->value <= u.max->value)) std::abort();
    }
    if (rows != static_cast<std::uint64_t>(table.rowCount())) std::abort();
    return 0;
}
