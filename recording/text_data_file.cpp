#include "text_data_file.h"

#include "text_line_tokens.h"

#include <QIODevice>
#include <QString>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

namespace meterlink {

namespace {

constexpr RecordTable::Field kTextFields[] = {RecordTable::Time, RecordTable::DCAC, RecordTable::Value,
                                              RecordTable::Unit, RecordTable::Auto};
constexpr qsizetype kFlushBytes = qsizetype{1} << 20;

bool isBlankOrControl(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x01 && b <= 0x20;
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlankOrControl(text[from])) ++from;
    while (to > from && isBlankOrControl(text[to - 1])) --to;
    return text.sliced(from, to - from);
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Copies a Latin-1 text. A TAB, CR or LF inside would split its row in the
// file; such a text can only come from another file, and a blank keeps the
// row whole.
char* putKeepingRowWhole(char* at, QByteArrayView latin1) {
    for (char c : latin1) *at++ = c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    return at;
}

// A text field: trimmed, "NULL" when nothing is left, Latin-1 with '?' for
// what Latin-1 lacks. At most 20 characters, so at most 20 bytes.
char* putText(char* at, QByteArrayView utf8) {
    const QByteArrayView text = trimmed(utf8);
    if (text.isEmpty()) return putKeepingRowWhole(at, "NULL");
    if (isAscii(text)) return putKeepingRowWhole(at, text);
    return putKeepingRowWhole(at, QString::fromUtf8(text).toLatin1());
}

char* putInteger(char* at, std::optional<std::int32_t> value) {
    return value ? std::to_chars(at, at + 11, *value).ptr : at;
}

bool parseInteger(QByteArrayView token, std::int32_t& value) {
    const char* begin = token.data();
    const char* end = begin + token.size();
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return begin != end && result.ec == std::errc() && result.ptr == end;
}

// An integer field: empty without a value, the value's number otherwise.
bool readInteger(const LineFields& fields, RecordTable::Field field, std::optional<std::int32_t>& out) {
    if (!fields.has(field)) return true;
    std::int32_t value = 0;
    if (!parseInteger(fields.value(field), value)) return false;
    out = value;
    return true;
}

// Latin-1 to UTF-8; only as much as the table keeps.
QByteArrayView utf8FromLatin1(QByteArrayView latin1, std::string& buffer) {
    const QByteArrayView kept = latin1.first(std::min<qsizetype>(latin1.size(), RecordTable::kTextLimit));
    if (isAscii(kept)) return kept;
    buffer.clear();
    for (char c : kept) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            buffer.push_back(c);
        } else {
            buffer.push_back(static_cast<char>(0xC0 | (b >> 6)));
            buffer.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return QByteArrayView(buffer.data(), static_cast<qsizetype>(buffer.size()));
}

}  // namespace

QByteArrayView tableTextHeader() { return "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"; }

// A line is at most 11 + 5 * 21 + 2 bytes.
static_assert(kTableTextLineMaxBytes >= 11 + 5 * 21 + 2);

char* putTableTextLine(const RecordTable& table, int row, char* at) {
    at = putInteger(at, table.integer(row, RecordTable::No));
    for (RecordTable::Field f : kTextFields) {
        *at++ = '\t';
        at = putText(at, table.utf8(row, f));
    }
    *at++ = '\r';
    *at++ = '\n';
    return at;
}

bool writeTableText(const RecordTable& table, QIODevice& out) {
    // Room for a small table at once, for a large one up to each flush.
    const qsizetype size = std::min<qsizetype>(kFlushBytes, qsizetype{64} * (table.rowCount() + 1)) + kTableTextLineMaxBytes;
    QByteArray buffer(size, Qt::Uninitialized);
    char* const begin = buffer.data();
    const QByteArrayView header = tableTextHeader();
    char* at = std::copy(header.begin(), header.end(), begin);
    for (int r = 0; r < table.rowCount(); ++r) {
        if (at - begin > size - kTableTextLineMaxBytes) {
            if (out.write(begin, at - begin) != at - begin) return false;
            at = begin;
        }
        at = putTableTextLine(table, r, at);
    }
    return out.write(begin, at - begin) == at - begin;
}

bool loadTableText(QByteArrayView bytes, RecordTable& table) {
    TextLines lines(bytes);
    QByteArrayView line;
    if (!lines.next(line)) return false;   // not even a header
    const RecordTable::Batch batch(table);
    LineFields fields;
    std::string buffers[RecordTable::kFieldCount];
    while (lines.next(line)) {
        const LineFields::Result split = fields.split(line);
        if (split == LineFields::Result::NoValue) continue;
        if (split == LineFields::Result::TooMany) return false;
        RecordTable::Row row;
        if (!readInteger(fields, RecordTable::No, row.no) || !readInteger(fields, RecordTable::NVal, row.nval))
            return false;
        for (RecordTable::Field f : kTextFields) row.text[f] = utf8FromLatin1(fields.value(f), buffers[f]);
        if (!table.append(row)) return false;
    }
    return true;
}

}  // namespace meterlink
