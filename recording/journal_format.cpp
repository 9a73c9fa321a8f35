#include "journal_format.h"

#include "export_fields.h"
#include "row_view.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace meterlink {

namespace {

constexpr std::string_view kMagic = "MeterLink journal ";
constexpr int kRowFields = 12;

std::string_view sv(QByteArrayView v) { return {v.data(), static_cast<std::size_t>(v.size())}; }

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
}

void appendInteger(std::string& out, std::optional<std::int32_t> v) {
    if (v) meterlink::appendInteger(out, *v);
}

bool unescape(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) return false;
        switch (in[i]) {
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

bool readInteger(std::string_view text, std::optional<std::int32_t>& out) {
    if (text.empty()) return true;
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = v;
    return true;
}

// One row line into the table; false when it is not one.
bool readRow(std::string_view line, JournalContents& out, std::string (&texts)[5]) {
    std::string_view f[kRowFields];
    int n = 0;
    bool more = true;
    while (more && n <= kRowFields) {
        const std::size_t tab = line.find('\t');
        if (n < kRowFields) f[n] = line.substr(0, tab);
        ++n;
        more = tab != std::string_view::npos;
        if (more) line.remove_prefix(tab + 1);
    }
    if (n != kRowFields || more || f[0] != "row") return false;
    RecordTable::Row row;
    if (!readInteger(f[1], row.no) || !readInteger(f[9], row.nval)) return false;
    if (!f[2].empty()) {
        row.fullTime = parseIsoTime(f[2]);
        if (!row.fullTime) return false;
    }
    constexpr RecordTable::Field kTexts[] = {RecordTable::Time, RecordTable::DCAC, RecordTable::Value,
                                             RecordTable::Unit, RecordTable::Auto};
    constexpr int kTextColumns[] = {3, 4, 5, 6, 8};
    for (int i = 0; i < 5; ++i) {
        if (!unescape(f[kTextColumns[i]], texts[i])) return false;
        row.text[kTexts[i]] = QByteArrayView(texts[i].data(), static_cast<qsizetype>(texts[i].size()));
    }
    if (f[7] == "auto") row.range = RecordTable::Range::Auto;
    else if (f[7] == "manual") row.range = RecordTable::Range::Manual;
    else if (!f[7].empty()) return false;
    double chart = std::nan("");
    if (!f[10].empty()) {
        const auto [end, ec] = std::from_chars(f[10].data(), f[10].data() + f[10].size(), chart);
        if (ec != std::errc() || end != f[10].data() + f[10].size()) return false;
    }
    if (f[11] != "0" && f[11] != "1") return false;
    row.sharedTime = f[11] == "1";
    if (!out.rows.append(row)) return false;
    out.chartValues.push_back(chart);
    if (row.fullTime) out.lastLogged = row.fullTime;
    out.saved = false;
    return true;
}

}  // namespace

std::string journalHeader() { return std::string(kMagic) + std::to_string(kJournalVersion) + "\n"; }

void appendJournalRow(std::string& out, const RecordTable& table, int row, std::optional<double> chartValue) {
    out += "row\t";
    appendInteger(out, table.integer(row, RecordTable::No));
    out += '\t';
    if (const auto t = table.fullTime(row)) appendIsoTime(out, *t);
    for (RecordTable::Field f : {RecordTable::Time, RecordTable::DCAC, RecordTable::Value, RecordTable::Unit}) {
        out += '\t';
        appendEscaped(out, sv(table.utf8(row, f)));
    }
    out += '\t';
    if (const char* range = rangeName(table.range(row))) out += range;
    out += '\t';
    appendEscaped(out, sv(table.utf8(row, RecordTable::Auto)));
    out += '\t';
    appendInteger(out, table.integer(row, RecordTable::NVal));
    out += '\t';
    if (chartValue) appendShortestDouble(out, *chartValue);
    out += '\t';
    out += table.sharedTime(row) ? '1' : '0';
    out += '\n';
}

void appendJournalSaved(std::string& out) { out += "saved\n"; }

void readJournal(QByteArrayView bytes, JournalContents& out) {
    std::string_view rest = sv(bytes);
    std::size_t end = rest.find('\n');
    const std::string_view header = rest.substr(0, end);
    out.header = JournalContents::Header::Missing;
    if (end == std::string_view::npos || header.substr(0, kMagic.size()) != kMagic) return;
    const std::string_view number = header.substr(kMagic.size());
    int version = 0;
    const auto [at, ec] = std::from_chars(number.data(), number.data() + number.size(), version);
    if (ec != std::errc() || at != number.data() + number.size() || version < 1) return;
    out.version = version;
    if (version > kJournalVersion) {
        out.header = JournalContents::Header::Newer;
        return;
    }
    out.header = JournalContents::Header::Ok;
    rest.remove_prefix(end + 1);
    const RecordTable::Batch batch(out.rows);
    std::string texts[5];
    while (!rest.empty()) {
        end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        const bool whole = end != std::string_view::npos;
        bool ok = whole;
        if (ok) {
            if (line == "saved") out.saved = true;
            else ok = readRow(line, out, texts);
        }
        if (!ok) {
            // This line and every one after it.
            for (std::size_t i = 0; i < rest.size();) {
                ++out.droppedLines;
                const std::size_t next = rest.find('\n', i);
                if (next == std::string_view::npos) break;
                i = next + 1;
            }
            return;
        }
        rest.remove_prefix(end + 1);
    }
}

}  // namespace meterlink
