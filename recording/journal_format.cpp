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
constexpr int kRowFieldsV1 = 12;
constexpr int kRowFields = 14;

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
bool readDouble(std::string_view text, std::optional<double>& out) {
    if (text.empty()) return true;
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    out = v;
    return true;
}

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
    const int wanted = out.version == 1 ? kRowFieldsV1 : kRowFields;
    if (n != wanted || more || f[0] != "row") return false;
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
    if (wanted == kRowFields && (!readDouble(f[12], row.limits.high) || !readDouble(f[13], row.limits.low)))
        return false;
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
    const RecordTable::Limits limits = table.limits(row);
    out += '\t';
    if (limits.high) appendShortestDouble(out, *limits.high);
    out += '\t';
    if (limits.low) appendShortestDouble(out, *limits.low);
    out += '\n';
}

void appendJournalSaved(std::string& out) { out += "saved\n"; }

namespace {

void appendNamed(std::string& out, std::string_view event, std::string_view name) {
    out += event;
    out += '\t';
    appendEscaped(out, name);
    out += '\n';
}

}  // namespace

void appendJournalTakes(std::string& out, std::string_view journalName) { appendNamed(out, "takes", journalName); }
void appendJournalTook(std::string& out, std::string_view journalName) { appendNamed(out, "took", journalName); }
void appendJournalDamaged(std::string& out, std::string_view fileName) { appendNamed(out, "damaged", fileName); }

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
    std::string name;
    // The hand-over being read: where its rows begin, and what was known before it.
    struct Takeover {
        std::string from;
        int firstRow;
        bool saved;
        std::optional<FullTime> lastLogged;
    };
    std::optional<Takeover> takeover;
    const auto named = [&](std::string_view line, std::string_view event) {
        if (line.size() <= event.size() || line.substr(0, event.size()) != event || line[event.size()] != '\t')
            return false;
        return unescape(line.substr(event.size() + 1), name) && !name.empty();
    };
    while (!rest.empty()) {
        end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        const bool whole = end != std::string_view::npos;
        rest.remove_prefix(whole ? end + 1 : rest.size());
        const std::size_t text = line.find_first_not_of('\0');
        const bool padded = text != 0;
        line.remove_prefix(text == std::string_view::npos ? line.size() : text);
        bool ok = whole && !line.empty();
        if (ok) {
            if (line == "saved") {
                out.saved = true;
            } else if (named(line, "takes")) {
                // One that never finished before this one began.
                if (takeover) {
                    out.rows.dropUnannounced(takeover->firstRow);
                    out.chartValues.resize(static_cast<std::size_t>(out.rows.rowCount()));
                }
                takeover = Takeover{name, out.rows.rowCount(), out.saved, out.lastLogged};
            } else if (named(line, "took")) {
                // Not the end of the hand-over being read: damage.
                ok = takeover && takeover->from == name;
                if (ok) out.took.push_back(name);
                if (ok) takeover.reset();
            } else if (named(line, "damaged")) {
                out.damagedCopies.push_back(name);
            } else {
                ok = readRow(line, out, texts);
            }
        }
        // A row after NUL padding is whole; the padding was the damage.
        if (!ok || padded) ++out.skippedLines;
    }
    if (takeover) {
        out.rows.dropUnannounced(takeover->firstRow);
        out.chartValues.resize(static_cast<std::size_t>(out.rows.rowCount()));
        out.saved = takeover->saved;
        out.lastLogged = takeover->lastLogged;
    }
}

}  // namespace meterlink
