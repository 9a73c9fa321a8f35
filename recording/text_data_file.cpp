#include "text_data_file.h"

#include "record_logger.h"
#include "text_line_reader.h"
#include "text_line_tokens.h"

#include <QBuffer>
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

// The same field in UTF-8, for a file that carries a text Latin-1 lacks. At
// most 20 UTF-16 units: at most 60 bytes.
char* putTextUtf8(char* at, QByteArrayView utf8) {
    const QByteArrayView text = trimmed(utf8);
    return putKeepingRowWhole(at, text.isEmpty() ? QByteArrayView("NULL") : text);
}

bool fitsLatin1(QByteArrayView utf8) {
    if (isAscii(utf8)) return true;
    for (QChar c : QString::fromUtf8(utf8))
        if (c.unicode() > 0xFF) return false;
    return true;
}

// Whether every text of the table can be written as Latin-1.
bool tableFitsLatin1(const RecordTable& table) {
    for (int r = 0; r < table.rowCount(); ++r)
        for (RecordTable::Field f : kTextFields)
            if (!fitsLatin1(table.utf8(r, f))) return false;
    return true;
}

using PutText = char* (*)(char*, QByteArrayView);

char* putLine(const RecordTable& table, int row, char* at, PutText put);

char* putInteger(char* at, std::optional<std::int32_t> value) {
    return value ? std::to_chars(at, at + 11, *value).ptr : at;
}

enum class Parsed { Number, NotANumber, OutOfRange };

Parsed parseInteger(QByteArrayView token, std::int32_t& value) {
    const char* begin = token.data();
    const char* end = begin + token.size();
    if (begin != end && *begin == '+' && end - begin > 1 && begin[1] != '-') ++begin;
    const auto result = std::from_chars(begin, end, value);
    if (begin == end || result.ptr != end) return Parsed::NotANumber;
    return result.ec == std::errc::result_out_of_range ? Parsed::OutOfRange
           : result.ec == std::errc()                 ? Parsed::Number
                                                      : Parsed::NotANumber;
}

QString shown(QByteArrayView token) {
    return QString::fromLatin1(token.first(std::min<qsizetype>(token.size(), 24)));
}

// An integer field: empty without a value, the value's number otherwise.
bool readInteger(const LineFields& fields, RecordTable::Field field, std::optional<std::int32_t>& out,
                 qint64 lineNo, QString& reason) {
    if (!fields.has(field)) return true;
    std::int32_t value = 0;
    switch (parseInteger(fields.value(field), value)) {
    case Parsed::Number: out = value; return true;
    case Parsed::OutOfRange:
        reason = QStringLiteral("line %1: the number %2 for %3 is out of range")
                     .arg(lineNo)
                     .arg(shown(fields.value(field)), RecordTable::fieldName(field));
        return false;
    case Parsed::NotANumber: break;
    }
    reason = QStringLiteral("line %1: %2 holds \"%3\", which is no whole number")
                 .arg(lineNo)
                 .arg(RecordTable::fieldName(field), shown(fields.value(field)));
    return false;
}

// UTF-8 as the table keeps it: invalid bytes become replacement characters.
QByteArrayView utf8Checked(QByteArrayView utf8, std::string& buffer) {
    // Leading U+FEFFs are invisible, and the XML writer cannot carry it.
    while (utf8.startsWith("\xEF\xBB\xBF")) utf8 = utf8.sliced(3);
    const QByteArrayView kept = utf8.first(std::min<qsizetype>(utf8.size(), 4 * RecordTable::kTextLimit));
    if (isAscii(kept)) return kept;
    buffer = QString::fromUtf8(kept).toUtf8().toStdString();
    return QByteArrayView(buffer.data(), static_cast<qsizetype>(buffer.size()));
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

namespace {

char* putLine(const RecordTable& table, int row, char* at, PutText put) {
    at = putInteger(at, table.integer(row, RecordTable::No));
    for (RecordTable::Field f : kTextFields) {
        *at++ = '\t';
        at = put(at, table.utf8(row, f));
    }
    *at++ = '\r';
    *at++ = '\n';
    return at;
}

// A UTF-8 line is at most 11 + 5 * 61 + 2 bytes.
constexpr qsizetype kUtf8LineMaxBytes = 320;

}  // namespace

std::string textFileDecimalSeparator(const QString& localeSeparator) {
    const bool fits = !localeSeparator.isEmpty() &&
                      std::all_of(localeSeparator.begin(), localeSeparator.end(),
                                  [](QChar c) { return c.unicode() >= 0x20 && c.unicode() <= 0xFF; });
    return fits ? localeSeparator.toStdString() : std::string(".");
}

char* putTableTextLine(const RecordTable& table, int row, char* at) { return putLine(table, row, at, putText); }

bool writeTableText(const RecordTable& table, QIODevice& out) {
    // Latin-1 as spreadsheets expect it; UTF-8 with its mark only when a
    // text would otherwise turn into question marks.
    const bool latin1 = tableFitsLatin1(table);
    const PutText put = latin1 ? putText : putTextUtf8;
    const qsizetype lineMax = latin1 ? kTableTextLineMaxBytes : kUtf8LineMaxBytes;
    // Room for a small table at once, for a large one up to each flush.
    const qsizetype size = std::min<qsizetype>(kFlushBytes, qsizetype{64} * (table.rowCount() + 1)) + lineMax;
    QByteArray buffer(size, Qt::Uninitialized);
    char* const begin = buffer.data();
    char* at = begin;
    if (!latin1) at = std::copy_n("\xEF\xBB\xBF", 3, at);
    const QByteArrayView header = tableTextHeader();
    at = std::copy(header.begin(), header.end(), at);
    for (int r = 0; r < table.rowCount(); ++r) {
        if (at - begin > size - lineMax) {
            if (out.write(begin, at - begin) != at - begin) return false;
            at = begin;
        }
        at = putLine(table, r, at, put);
    }
    return out.write(begin, at - begin) == at - begin;
}

namespace {

constexpr qint64 kMostRows = RecordLogger::kLimitless;

QString tooManyRowsReason() {
    return QStringLiteral("the log would hold more than %1 rows, the most it can hold").arg(kMostRows);
}

QString noHeaderReason() {
    return QStringLiteral("not a data file: line 1 is no header (it names none of the fields No, Time, DC/AC, "
                          "Value, Unit, AUTO)");
}

// Reads line 1 as the header; its number of values is what a whole row has.
bool readHeader(TextLineReader& lines, LineFields& fields, int& values, QString& reason) {
    QByteArrayView line;
    if (!lines.next(line)) {
        reason = lines.error().isEmpty() ? QStringLiteral("not a data file: the file is empty") : lines.error();
        return false;
    }
    if (fields.split(line) == LineFields::Result::TooMany) {
        reason = noHeaderReason();
        return false;
    }
    values = fields.count();
    for (int k = 0; k < LineFields::kMaxFields; ++k)
        if (fields.has(k) && RecordTable::fieldByName(QString::fromLatin1(fields.value(k)))) return true;
    reason = noHeaderReason();
    return false;
}

// A pass that keeps no row, for a file that may hold more rows than the log
// can: it is refused before the table changes and before memory fills.
bool checkRowCount(QIODevice& in, const RecordTable& table, QString& reason) {
    const qint64 from = in.pos();
    TextLineReader lines(in);
    LineFields fields;
    int headerValues = 0;
    if (!readHeader(lines, fields, headerValues, reason)) return false;
    qint64 rows = table.rowCount();
    QByteArrayView line;
    while (lines.next(line)) {
        bool any = false;
        for (char c : line)
            if (static_cast<unsigned char>(c) > 0x20) {
                any = true;
                break;
            }
        if (any && ++rows > kMostRows) {
            reason = tooManyRowsReason();
            return false;
        }
    }
    if (!lines.error().isEmpty()) {
        reason = lines.error();
        return false;
    }
    if (!in.seek(from)) {
        reason = QStringLiteral("could not read the file again: ") + in.errorString();
        return false;
    }
    return true;
}

// Whether the rest of the file may hold more than `room` rows. Each line but
// the last ends in a CR or LF byte, so counting those bytes bounds the rows
// far faster than reading them does; small files need not even be read.
bool mayHoldMoreRows(QIODevice& in, qint64 room) {
    const qint64 from = in.pos();
    const qint64 bytes = in.size() - from;
    // A row line takes at least two bytes.
    if (bytes / 2 + 1 <= room) return false;
    QByteArray chunk(qsizetype{1} << 16, Qt::Uninitialized);
    qint64 lineEnds = 0;
    for (;;) {
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n <= 0) break;
        lineEnds += std::count_if(chunk.constData(), chunk.constData() + n,
                                  [](char c) { return c == '\n' || c == '\r'; });
        // The header takes a line; the last line may have no end.
        if (lineEnds > room) break;
    }
    return !in.seek(from) || lineEnds > room;
}

}  // namespace

bool loadTableText(QIODevice& in, RecordTable& table, QString* reasonOut) {
    QString reason;
    auto fail = [&] {
        if (reasonOut) *reasonOut = reason;
        return false;
    };
    if (!in.isSequential() && mayHoldMoreRows(in, kMostRows - table.rowCount()) &&
        !checkRowCount(in, table, reason))
        return fail();
    TextLineReader lines(in);
    LineFields fields;
    int headerValues = 0;
    if (!readHeader(lines, fields, headerValues, reason)) return fail();
    const bool utf8 = lines.encoding() == TextLineReader::Encoding::Utf8;
    const int first = table.rowCount();
    const RecordTable::Batch batch(table);
    // What is no data file, or would overfill the log, is refused whole.
    auto refuse = [&] {
        table.dropUnannounced(first);
        return fail();
    };
    std::string buffers[RecordTable::kFieldCount];
    QByteArrayView line;
    while (lines.next(line)) {
        const qint64 n = lines.lineNumber();
        const LineFields::Result split = fields.split(line);
        if (split == LineFields::Result::NoValue) continue;
        if (split == LineFields::Result::TooMany) {
            reason = QStringLiteral("line %1 holds %2 values; a row has at most %3")
                         .arg(n)
                         .arg(fields.count())
                         .arg(LineFields::kMaxFields);
            return fail();
        }
        // Every line we write ends: one without an end is what a crash or a
        // full disk cut short, whatever it holds (a value may have lost its
        // last digits). The rows before it stay.
        if (!lines.lineEnded()) {
            reason = QStringLiteral("truncated at line %1: it ends without a line end").arg(n);
            return fail();
        }
        RecordTable::Row row;
        if (!readInteger(fields, RecordTable::No, row.no, n, reason) ||
            !readInteger(fields, RecordTable::NVal, row.nval, n, reason))
            return fail();
        for (RecordTable::Field f : kTextFields)
            row.text[f] = utf8 ? utf8Checked(fields.value(f), buffers[f]) : utf8FromLatin1(fields.value(f), buffers[f]);
        if (table.rowCount() >= kMostRows || !table.append(row)) {
            reason = tooManyRowsReason();
            return refuse();
        }
    }
    if (!lines.error().isEmpty()) {
        reason = lines.error();
        return refuse();
    }
    return true;
}

bool loadTableText(QByteArrayView bytes, RecordTable& table, QString* reason) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    return loadTableText(in, table, reason);
}

}  // namespace meterlink
