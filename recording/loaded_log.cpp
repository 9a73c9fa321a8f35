#include "loaded_log.h"

#include "data_files.h"
#include "export_reader.h"
#include "record_table.h"
#include "row_formats.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace meterlink {

namespace {

constexpr double kRowStepMs = 1000;

LogPoint pointOfRow(const ExportRow& row) {
    LogPoint p;
    if (row.fullTime) {
        p.utcMs = row.fullTime->utcMs;
        p.offsetMinutes = row.fullTime->offsetMinutes;
    } else {
        p.timePlaced = true;
    }
    p.hasValue = row.value.has_value();
    p.value = row.value.value_or(0);
    p.overload = row.overload;
    p.unit = baseUnitOf(row.unit);
    p.verdict = row.verdict == "pass" ? RowVerdict::Pass : row.verdict == "fail" ? RowVerdict::Fail : RowVerdict::None;
    return p;
}

bool fail(QString* reason, const QString& why) {
    if (reason) *reason = why;
    return false;
}

}  // namespace

void placeMissingTimes(std::vector<LogPoint>& points) {
    const std::size_t n = points.size();
    std::size_t row = 0;
    const LogPoint* before = nullptr;
    std::size_t beforeRow = 0;
    while (row < n) {
        if (!points[row].timePlaced) {
            before = &points[row];
            beforeRow = row;
            ++row;
            continue;
        }
        std::size_t end = row;
        while (end < n && points[end].timePlaced) ++end;
        const LogPoint* after = end < n ? &points[end] : nullptr;
        double step = kRowStepMs;
        std::int64_t start = 0;
        std::int16_t offset = 0;
        if (before) {
            if (after) step = std::max(0.0, double(after->utcMs - before->utcMs) / double(end - beforeRow));
            start = before->utcMs + std::llround(step * double(row - beforeRow));
            offset = before->offsetMinutes;
        } else if (after) {
            start = after->utcMs - std::llround(kRowStepMs * double(end - row));
            offset = after->offsetMinutes;
        } else {
            start = std::llround(kRowStepMs * double(row));
        }
        for (std::size_t r = row; r < end; ++r) {
            points[r].utcMs = start + std::llround(step * double(r - row));
            points[r].offsetMinutes = offset;
        }
        row = end;
    }
}

bool loadLogPoints(const QString& fileName, PointVector& out, std::string_view decimalSep, QString* reason) {
    out.clear();
    if (hasRowFormatExtension(fileName)) {
        const QFileInfo info(fileName);
        if (!info.exists()) return fail(reason, QStringLiteral("no such file"));
        if (info.isDir()) return fail(reason, QStringLiteral("a folder, not a data file"));
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) return fail(reason, file.errorString());
        const ExportFormat format =
            rowFormatForFile(fileName).name == "csv" ? ExportFormat::Csv : ExportFormat::JsonLines;
        std::vector<LogPoint>& points = out.points();
        const bool read = readExportRows(
            format, file,
            [&points](const ExportRow& row) {
                points.push_back(pointOfRow(row));
                return true;
            },
            reason);
        placeMissingTimes(points);
        return read;
    }
    RecordTable table;
    const bool read = LoadTableFromFile(fileName, table, false, reason);
    RecordTablePoints tablePoints(table, decimalSep);
    tablePoints.sync();
    out.points().reserve(tablePoints.size());
    for (std::size_t r = 0; r < tablePoints.size(); ++r) out.push_back(tablePoints.point(r));
    return read;
}

}  // namespace meterlink
