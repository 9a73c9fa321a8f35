#include "export_reader.h"

#include "protocol/si_value.h"

#include <QByteArray>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace meterlink {

namespace {

enum Column { Timestamp, No, Function, Value, Unit, Display, Range, VerdictColumn, kColumns };
constexpr std::array<std::string_view, kColumns> kColumnNames = {"timestamp", "no",    "function", "value",
                                                                 "unit",      "display", "range",  "verdict"};

// The display's unit as the decoder writes it: "kΩ" is "k*", "µA" "uA".
std::string decoderUnit(std::string_view unit) {
    static constexpr std::pair<std::string_view, std::string_view> kSymbols[] = {
        {"\u00B5", "u"}, {"\u03BC", "u"}, {"\u03A9", "*"}, {"\u2126", "*"}, {"\u00B0C", "#"}, {"\u00B0F", "?"}};
    std::string out;
    for (std::size_t i = 0; i < unit.size();) {
        bool replaced = false;
        for (const auto& [from, to] : kSymbols)
            if (unit.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                replaced = true;
                break;
            }
        if (!replaced) out += unit[i++];
    }
    return out;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<std::int32_t> integerOf(std::string_view s) {
    std::int32_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

std::optional<double> doubleOf(std::string_view s) {
    if (s.empty()) return std::nullopt;
    // strtod is locale-bound; the exports always write ".".
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

RecordTable::Range rangeOf(std::string_view s) {
    const std::string r = lower(s);
    if (r == "auto") return RecordTable::Range::Auto;
    if (r == "manual") return RecordTable::Range::Manual;
    return RecordTable::Range::Unknown;
}

// The display split into the value as shown and the decoder's unit.
std::pair<std::string, std::string> splitDisplay(std::string_view display) {
    const std::size_t space = display.rfind(' ');
    if (space == std::string_view::npos) return {std::string(display), {}};
    return {std::string(display.substr(0, space)), decoderUnit(display.substr(space + 1))};
}

bool overloadShown(std::string_view display) {
    const auto [value, unit] = splitDisplay(display);
    return toSiValue(value, unit, ".").overload;
}

void finish(ExportRow& row) {
    row.verdict = lower(row.verdict);
    if (row.verdict != "pass" && row.verdict != "fail") row.verdict.clear();
    if (!row.overload && !row.value && !row.display.empty()) row.overload = overloadShown(row.display);
    // Files that only show the reading still name its unit there.
    if (row.unit.empty() && !row.display.empty()) {
        const auto [value, unit] = splitDisplay(row.display);
        row.unit = std::string(toSiValue(value, unit, ".").unit);
    }
}

// One CSV record's fields (RFC 4180). False when a quote is left open.
bool splitCsv(std::string_view record, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (quoted) {
            if (c == '"' && i + 1 < record.size() && record[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else {
            field += c;
        }
    }
    fields.push_back(std::move(field));
    return !quoted;
}

bool openQuote(std::string_view text) {
    bool quoted = false;
    for (char c : text)
        if (c == '"') quoted = !quoted;
    return quoted;
}

bool fail(QString* reason, const QString& why) {
    if (reason) *reason = why;
    return false;
}

QString lineFailure(long line, const char* why) {
    return QStringLiteral("line %1: %2").arg(line).arg(QString::fromLatin1(why));
}

// A line without its line end.
bool nextLine(QIODevice& in, std::string& line) {
    if (in.atEnd()) return false;
    const QByteArray bytes = in.readLine();
    if (bytes.isEmpty() && in.atEnd()) return false;
    line.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return true;
}

void dropByteOrderMark(std::string& line) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
}

bool readCsv(QIODevice& in, const std::function<bool(const ExportRow&)>& onRow, QString* reason) {
    std::string line;
    if (!nextLine(in, line)) return fail(reason, QStringLiteral("empty file, no CSV header"));
    dropByteOrderMark(line);
    std::vector<std::string> fields;
    splitCsv(line, fields);
    std::array<int, kColumns> at;
    at.fill(-1);
    for (std::size_t i = 0; i < fields.size(); ++i)
        for (int c = 0; c < kColumns; ++c)
            if (lower(fields[i]) == kColumnNames[c]) at[c] = static_cast<int>(i);
    if (at[Timestamp] < 0 || (at[Value] < 0 && at[Display] < 0))
        return fail(reason, QStringLiteral("not a log in CSV: the header names no timestamp and value columns"));
    const auto field = [&](Column c) -> std::string_view {
        return at[c] >= 0 && at[c] < static_cast<int>(fields.size()) ? std::string_view(fields[at[c]])
                                                                      : std::string_view();
    };
    long lineNo = 1;
    std::string record;
    while (nextLine(in, line)) {
        ++lineNo;
        const long firstLine = lineNo;
        record = line;
        // A quoted field may hold a line end.
        while (openQuote(record) && nextLine(in, line)) {
            ++lineNo;
            record += '\n';
            record += line;
        }
        if (record.empty()) continue;
        if (!splitCsv(record, fields)) return fail(reason, lineFailure(firstLine, "a quote is not closed"));
        ExportRow row;
        row.no = integerOf(field(No));
        row.fullTime = parseIsoTime(field(Timestamp));
        row.function = std::string(field(Function));
        row.display = std::string(field(Display));
        row.value = doubleOf(field(Value));
        row.unit = std::string(field(Unit));
        row.range = rangeOf(field(Range));
        row.verdict = std::string(field(VerdictColumn));
        finish(row);
        if (!onRow(row)) return false;
    }
    return true;
}

std::string stringOf(const QJsonValue& v) { return v.isString() ? v.toString().toStdString() : std::string(); }

bool readJsonLines(QIODevice& in, const std::function<bool(const ExportRow&)>& onRow, QString* reason) {
    std::string line;
    long lineNo = 0;
    bool any = false;
    while (nextLine(in, line)) {
        ++lineNo;
        if (lineNo == 1) dropByteOrderMark(line);
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        QJsonParseError error{};
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            if (!any) return fail(reason, QStringLiteral("not a log in JSON lines: line %1 is no JSON object").arg(lineNo));
            return fail(reason, lineFailure(lineNo, "no JSON object"));
        }
        const QJsonObject o = doc.object();
        if (!any && !o.contains(QLatin1String("timestamp")) && !o.contains(QLatin1String("value")))
            return fail(reason, QStringLiteral("not a log in JSON lines: the first object has no timestamp or value"));
        any = true;
        ExportRow row;
        const QJsonValue no = o.value(QLatin1String("no"));
        if (no.isDouble() && no.toDouble() == std::floor(no.toDouble()) && std::fabs(no.toDouble()) < 2147483648.0)
            row.no = static_cast<std::int32_t>(no.toDouble());
        row.fullTime = parseIsoTime(stringOf(o.value(QLatin1String("timestamp"))));
        row.function = stringOf(o.value(QLatin1String("function")));
        row.display = stringOf(o.value(QLatin1String("display")));
        const QJsonValue value = o.value(QLatin1String("value"));
        if (value.isDouble() && std::isfinite(value.toDouble())) row.value = value.toDouble();
        row.unit = stringOf(o.value(QLatin1String("unit")));
        row.range = rangeOf(stringOf(o.value(QLatin1String("range"))));
        row.verdict = stringOf(o.value(QLatin1String("verdict")));
        row.overload = o.value(QLatin1String("overload")).toBool(false);
        finish(row);
        if (!onRow(row)) return false;
    }
    if (!any) return fail(reason, QStringLiteral("empty file, no rows in JSON lines"));
    return true;
}

void timeOfDay(const FullTime& t, char* out) {
    const std::int64_t localMs = t.utcMs + std::int64_t{t.offsetMinutes} * 60000;
    constexpr std::int64_t kDay = 86'400'000;
    const std::int64_t s = (((localMs % kDay) + kDay) % kDay) / 1000;
    std::snprintf(out, 9, "%02d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
}

bool loadInto(ExportFormat format, QIODevice& in, RecordTable& table, QString* reason) {
    const int first = table.rowCount();
    const RecordTable::Batch batch(table);
    bool full = false;
    const bool read = readExportRows(
        format, in,
        [&](const ExportRow& row) {
            if (table.full()) {
                full = true;
                return false;
            }
            appendExportRow(table, row);
            return true;
        },
        reason);
    if (full) {
        // As the text loader: a file that would overfill the log is refused whole.
        table.dropUnannounced(first);
        return fail(reason, QStringLiteral("more rows than the log can hold (%1)").arg(RecordTable::kMaxRows));
    }
    if (!read && table.rowCount() == first) return false;
    return read;
}

}  // namespace

bool readExportRows(ExportFormat format, QIODevice& in, const std::function<bool(const ExportRow&)>& onRow,
                    QString* reason) {
    return format == ExportFormat::Csv ? readCsv(in, onRow, reason) : readJsonLines(in, onRow, reason);
}

void appendExportRow(RecordTable& table, const ExportRow& row) {
    std::string value, unit;
    if (!row.display.empty()) {
        std::tie(value, unit) = splitDisplay(row.display);
    } else if (row.value) {
        char buffer[32];
        value.assign(buffer, static_cast<std::size_t>(std::to_chars(buffer, buffer + sizeof buffer, *row.value).ptr - buffer));
        unit = decoderUnit(row.unit);
    } else if (row.overload) {
        value = "OL";
        unit = decoderUnit(row.unit);
    }
    char time[9] = {};
    if (row.fullTime) timeOfDay(*row.fullTime, time);
    RecordTable::Row r;
    r.no = row.no;
    r.fullTime = row.fullTime;
    r.range = row.range;
    r.text[RecordTable::Time] = QByteArrayView(time, row.fullTime ? 8 : 0);
    r.text[RecordTable::DCAC] = QByteArrayView(row.function.data(), static_cast<qsizetype>(row.function.size()));
    r.text[RecordTable::Value] = QByteArrayView(value.data(), static_cast<qsizetype>(value.size()));
    r.text[RecordTable::Unit] = QByteArrayView(unit.data(), static_cast<qsizetype>(unit.size()));
    r.text[RecordTable::Auto] = row.verdict == "pass" ? "pass" : row.verdict == "fail" ? "Fail" : "";
    table.append(r);
}

bool loadTableCsv(QIODevice& in, RecordTable& table, QString* reason) {
    return loadInto(ExportFormat::Csv, in, table, reason);
}

bool loadTableJsonLines(QIODevice& in, RecordTable& table, QString* reason) {
    return loadInto(ExportFormat::JsonLines, in, table, reason);
}

}  // namespace meterlink
