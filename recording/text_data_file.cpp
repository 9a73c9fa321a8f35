#include "text_data_file.h"

#include "text_line_tokens.h"

#include <QIODevice>
#include <QString>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

namespace meterlink {

const char kTextHeader[] = "No\tTime\tDC/AC\tValue\tUnit\tAUTO";

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

// A TAB, CR or LF inside a text would split its row in the file; such a text
// can only come from another file, and a blank keeps the row whole.
void appendKeepingRowWhole(QByteArray& out, QByteArrayView latin1) {
    const qsizetype at = out.size();
    out.append(latin1);
    for (char* c = out.data() + at; c != out.data() + out.size(); ++c)
        if (*c == '\t' || *c == '\r' || *c == '\n') *c = ' ';
}

void appendText(QByteArray& out, QByteArrayView utf8) {
    const QByteArrayView text = trimmed(utf8);
    if (text.isEmpty())
        out.append("NULL");
    else if (isAscii(text))
        appendKeepingRowWhole(out, text);
    else
        appendKeepingRowWhole(out, QString::fromUtf8(text).toLatin1());   // '?' where Latin-1 has no character
}

void appendInteger(QByteArray& out, std::optional<std::int32_t> value) {
    if (!value) return;
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, *value);
    out.append(digits, result.ptr - digits);
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

bool writeTableText(const RecordTable& table, QIODevice& out) {
    QByteArray buffer;
    // Room for a small table at once, for a large one up to each flush.
    buffer.reserve(std::min<qsizetype>(kFlushBytes, qsizetype{64} * (table.rowCount() + 1)) + 256);
    buffer.append(kTextHeader).append("\r\n");
    for (int r = 0; r < table.rowCount(); ++r) {
        appendInteger(buffer, table.integer(r, RecordTable::No));
        for (RecordTable::Field f : kTextFields) {
            buffer.append('\t');
            appendText(buffer, table.utf8(r, f));
        }
        buffer.append("\r\n");
        if (buffer.size() >= kFlushBytes) {
            if (out.write(buffer) != buffer.size()) return false;
            buffer.resize(0);
        }
    }
    return out.write(buffer) == buffer.size();
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
