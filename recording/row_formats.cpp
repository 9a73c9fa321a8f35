#include "row_formats.h"

#include "csv_writer.h"
#include "export_reader.h"
#include "json_lines_writer.h"
#include "row_view.h"
#include "text_data_file.h"

#include <QFileInfo>
#include <QIODevice>

namespace meterlink {

namespace {

void textHeader(std::string& out, std::string_view lineEnd) {
    const QByteArrayView header = tableTextHeader();
    out.append(header.data(), static_cast<std::size_t>(header.size() - 2));   // without its CR LF
    out += lineEnd;
}

void textRow(std::string& out, const RecordTable& table, int row, std::string_view, std::string_view lineEnd) {
    char line[kTableTextLineMaxBytes];
    const char* end = putTableTextLine(table, row, line);
    out.append(line, static_cast<std::size_t>(end - 2 - line));
    out += lineEnd;
}

void csvRow(std::string& out, const RecordTable& table, int row, std::string_view sep, std::string_view lineEnd) {
    appendCsvRecord(out, rowView(table, row), sep, lineEnd);
}

void jsonHeader(std::string&, std::string_view) {}

void jsonRow(std::string& out, const RecordTable& table, int row, std::string_view sep, std::string_view lineEnd) {
    appendJsonObject(out, rowView(table, row), sep);
    out += lineEnd;
}

constexpr RowFormat kFormats[] = {
    {"text", "", "\r\n", textHeader, textRow, nullptr},
    {"csv", ".csv", "\r\n", appendCsvHeader, csvRow, loadTableCsv},
    {"jsonl", ".jsonl", "\n", jsonHeader, jsonRow, loadTableJsonLines},
};

}  // namespace

const RowFormat& textRowFormat() { return kFormats[0]; }

const RowFormat& rowFormatForFile(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    for (const RowFormat& f : kFormats)
        if (!f.extension.empty()
            && name.endsWith(QLatin1String(f.extension.data(), static_cast<qsizetype>(f.extension.size())),
                             Qt::CaseInsensitive))
            return f;
    return kFormats[0];
}

bool hasRowFormatExtension(const QString& fileName) { return &rowFormatForFile(fileName) != &kFormats[0]; }

const RowFormat* rowFormatByName(std::string_view name) {
    for (const RowFormat& f : kFormats)
        if (f.name == name) return &f;
    return nullptr;
}

std::string rowFormatNames() {
    std::string names;
    for (const RowFormat& f : kFormats) {
        if (!names.empty()) names += '|';
        names += f.name;
    }
    return names;
}

bool writeRows(const RowFormat& format, const RecordTable& table, QIODevice& out, std::string_view decimalSep) {
    constexpr std::size_t kFlushBytes = std::size_t{1} << 20;
    std::string buffer;
    buffer.reserve(kFlushBytes + 1024);
    format.header(buffer, format.fileLineEnd);
    for (int r = 0; r < table.rowCount(); ++r) {
        format.row(buffer, table, r, decimalSep, format.fileLineEnd);
        if (buffer.size() >= kFlushBytes) {
            if (out.write(buffer.data(), static_cast<qint64>(buffer.size())) != static_cast<qint64>(buffer.size()))
                return false;
            buffer.clear();
        }
    }
    return out.write(buffer.data(), static_cast<qint64>(buffer.size())) == static_cast<qint64>(buffer.size());
}

}  // namespace meterlink
