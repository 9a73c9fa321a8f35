#include "xml_data_packet.h"

#include "record_logger.h"

#include <QBuffer>
#include <QIODevice>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>

namespace meterlink {

namespace {

// Attribute names of the fields in rows; "DC/AC" is no XML name.
constexpr std::array<const char*, RecordTable::kFieldCount> kAttrNames = {"No",   "Time", "DCAC", "Value",
                                                                          "Unit", "Auto", "NVal"};
constexpr char kVersion[] = "2.0";
// Rows are written as plain rows, never as pending changes.
constexpr char kRowState[] = "0";
constexpr char kTextWidth[] = "20";

QString latin1(const char* text) { return QString::fromLatin1(text); }

// What a packet's FIELD elements map to: the attribute name of each field.
struct PacketFields {
    std::array<QString, RecordTable::kFieldCount> attrName;
    std::array<bool, RecordTable::kFieldCount> seen{};

    bool complete() const {
        for (bool s : seen)
            if (!s) return false;
        return true;
    }
    std::optional<RecordTable::Field> byAttrName(QStringView name) const {
        for (int f = 0; f < RecordTable::kFieldCount; ++f)
            if (attrName[f] == name) return static_cast<RecordTable::Field>(f);
        return std::nullopt;
    }
};

void setAscii(QString& text, QByteArrayView ascii) {
    text.resize(ascii.size());
    QChar* to = text.data();
    for (char c : ascii) *to++ = QChar(static_cast<unsigned char>(c));
}

// A field's text for the writer; ASCII (nearly every text) without allocating.
void fieldText(const RecordTable& table, int row, RecordTable::Field field, QString& text) {
    if (RecordTable::isInteger(field)) {
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, *table.integer(row, field));
        setAscii(text, QByteArrayView(digits, result.ptr - digits));
        return;
    }
    const QByteArrayView utf8 = table.utf8(row, field);
    for (char c : utf8)
        if (static_cast<unsigned char>(c) >= 0x80) {
            text = QString::fromUtf8(utf8);
            return;
        }
    setAscii(text, utf8);
}

class PacketReader {
public:
    // Read from a device, so the reader decodes a piece at a time and not the
    // whole file into one string.
    PacketReader(QIODevice& device, RecordTable& table) : xml_(&device), table_(table) {
        xml_.setNamespaceProcessing(false);   // the packet has no namespaces; a tenth faster
    }

    bool read() {
        if (read(xml_.readNextStartElement() && xml_.name() == u"DATAPACKET")) return true;
        if (reason_.isEmpty()) reason_ = QStringLiteral("not a data packet");
        if (xml_.hasError())
            reason_ = QStringLiteral("not a data packet: line %1, column %2: %3")
                          .arg(xml_.lineNumber())
                          .arg(xml_.columnNumber())
                          .arg(xml_.errorString());
        return false;
    }

    const QString& reason() const { return reason_; }

private:
    // A packet nests four deep (DATAPACKET, METADATA, FIELDS, FIELD); room for what
    // another writer may add, refused long before the nesting costs memory.
    static constexpr int kMostDepth = 8;

    bool refuse(const QString& why) {
        if (reason_.isEmpty()) reason_ = why;
        return false;
    }

    // Skips the current element, which sits at depth `depth`.
    bool skip(int depth) {
        int open = 1;
        while (open > 0 && !xml_.atEnd()) {
            switch (xml_.readNext()) {
            case QXmlStreamReader::StartElement:
                if (depth + open++ > kMostDepth)
                    return refuse(QStringLiteral("not a data packet: elements nest deeper than %1 at line %2")
                                      .arg(kMostDepth)
                                      .arg(xml_.lineNumber()));
                break;
            case QXmlStreamReader::EndElement: --open; break;
            default: break;
            }
        }
        return !xml_.hasError();
    }

    bool read(bool packet) {
        if (!packet) return false;
        bool haveFields = false;
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"METADATA") {
                if (haveFields || !readMetadata()) return false;
                haveFields = true;
            } else if (xml_.name() == u"ROWDATA") {
                if (!haveFields) return refuse(QStringLiteral("not a data packet: rows before the fields"));
                if (!readRows()) return false;
            } else if (!skip(2)) {
                return false;
            }
        }
        // Read to the end: whatever follows the packet must be well-formed too.
        while (!xml_.atEnd()) xml_.readNext();
        if (!haveFields) return refuse(QStringLiteral("not a data packet: it defines no fields"));
        return !xml_.hasError();
    }

    bool readMetadata() {
        bool haveFields = false;
        while (xml_.readNextStartElement()) {
            if (xml_.name() == u"FIELDS") {
                while (xml_.readNextStartElement()) {
                    if (xml_.name() != u"FIELD" || !readField())
                        return refuse(QStringLiteral("the packet's fields are not the log's seven (line %1)")
                                          .arg(xml_.lineNumber()));
                    if (!skip(4)) return false;
                }
                haveFields = true;
            } else if (!skip(3)) {   // PARAMS and the like: nothing the log keeps
                return false;
            }
        }
        if (!xml_.hasError() && !(haveFields && fields_.complete()))
            return refuse(QStringLiteral("the packet's fields are not the log's seven"));
        return !xml_.hasError();
    }

    bool readField() {
        const QXmlStreamAttributes a = xml_.attributes();
        const QStringView attrName = a.value(QLatin1String("attrname"));
        const QStringView name = a.hasAttribute(QLatin1String("fieldname")) ? a.value(QLatin1String("fieldname")) : attrName;
        const auto field = RecordTable::fieldByName(name);
        if (attrName.isEmpty() || !field || fields_.seen[*field] || fields_.byAttrName(attrName)) return false;
        const QStringView type = a.value(QLatin1String("fieldtype"));
        const bool typeFits = RecordTable::isInteger(*field)
                                  ? type == u"i4"
                                  : type == u"string" && a.value(QLatin1String("WIDTH")) == QLatin1String(kTextWidth);
        if (!typeFits) return false;
        fields_.attrName[*field] = attrName.toString();
        fields_.seen[*field] = true;
        return true;
    }

    bool readRows() {
        const RecordTable::Batch batch(table_);
        while (xml_.readNextStartElement()) {
            if (xml_.name() != u"ROW" || !readRow())
                return refuse(QStringLiteral("line %1 holds a row that does not fit the packet's fields")
                                  .arg(xml_.lineNumber()));
            if (table_.rowCount() > RecordLogger::kLimitless)
                return refuse(QStringLiteral("the packet holds more than %1 rows, the most a log can hold")
                                  .arg(RecordLogger::kLimitless));
            if (!skip(3)) return false;
        }
        return !xml_.hasError();
    }

    bool readRow() {
        RecordTable::Row row;
        const QXmlStreamAttributes attributes = xml_.attributes();   // const: no copy on iterating
        for (const QXmlStreamAttribute& attribute : attributes) {
            if (attribute.name() == u"RowState") continue;
            const auto field = fields_.byAttrName(attribute.name());
            if (!field) return false;
            const QStringView value = attribute.value();
            if (RecordTable::isInteger(*field)) {
                bool ok = false;
                const int number = value.toInt(&ok, 10);
                if (!ok) return false;
                (*field == RecordTable::No ? row.no : row.nval) = number;
            } else {
                row.text[*field] = utf8(value, buffers_[*field]);
            }
        }
        return table_.append(row);
    }

    // As much of a value as the table keeps, in UTF-8; ASCII without a detour.
    static QByteArrayView utf8(QStringView value, std::string& buffer) {
        // Leading U+FEFFs are invisible, and no XML writer can put it back.
        while (value.startsWith(QChar(0xFEFF))) value = value.sliced(1);
        QStringView kept = value.first(std::min<qsizetype>(value.size(), RecordTable::kTextLimit));
        if (!kept.isEmpty() && kept.back().isHighSurrogate()) kept.chop(1);
        buffer.clear();
        for (QChar c : kept) {
            if (c.unicode() >= 0x80) {
                buffer = kept.toUtf8().toStdString();
                break;
            }
            buffer.push_back(static_cast<char>(c.unicode()));
        }
        return QByteArrayView(buffer.data(), static_cast<qsizetype>(buffer.size()));
    }

    QXmlStreamReader xml_;
    RecordTable& table_;
    PacketFields fields_;
    std::string buffers_[RecordTable::kFieldCount];
    QString reason_;
};

}  // namespace

bool writeTableXml(const RecordTable& table, QIODevice& out, QString* reason) {
    // Without an encoding in the declaration a reader takes the text as UTF-8,
    // which is what the writer produces.
    if (out.write("<?xml version=\"1.0\" standalone=\"yes\"?>") < 0) return false;
    // The writer fills a buffer that goes to the device in large pieces: a
    // file write per attribute would cost more than the writing itself.
    QByteArray bytes;
    QBuffer chunk(&bytes);
    chunk.open(QIODevice::WriteOnly);
    QXmlStreamWriter w(&chunk);
    auto flush = [&] {
        const bool written = out.write(bytes) == bytes.size();
        bytes.resize(0);
        chunk.seek(0);
        return written;
    };
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(1);

    w.writeStartElement(latin1("DATAPACKET"));
    w.writeAttribute(latin1("Version"), latin1(kVersion));
    w.writeStartElement(latin1("METADATA"));
    w.writeStartElement(latin1("FIELDS"));
    for (int f = 0; f < RecordTable::kFieldCount; ++f) {
        const auto field = static_cast<RecordTable::Field>(f);
        w.writeEmptyElement(latin1("FIELD"));
        w.writeAttribute(latin1("attrname"), latin1(kAttrNames[f]));
        if (RecordTable::fieldName(field) != latin1(kAttrNames[f]))
            w.writeAttribute(latin1("fieldname"), RecordTable::fieldName(field));
        if (RecordTable::isInteger(field)) {
            w.writeAttribute(latin1("fieldtype"), latin1("i4"));
        } else {
            w.writeAttribute(latin1("fieldtype"), latin1("string"));
            w.writeAttribute(latin1("WIDTH"), latin1(kTextWidth));
        }
    }
    w.writeEndElement();   // FIELDS
    w.writeEmptyElement(latin1("PARAMS"));
    w.writeEndElement();   // METADATA

    std::array<QString, RecordTable::kFieldCount> names;
    for (int f = 0; f < RecordTable::kFieldCount; ++f) names[f] = latin1(kAttrNames[f]);
    const QString row = latin1("ROW");
    const QString rowState = latin1("RowState");
    const QString plain = latin1(kRowState);
    QString value;
    w.writeStartElement(latin1("ROWDATA"));
    for (int r = 0; r < table.rowCount(); ++r) {
        w.writeEmptyElement(row);
        w.writeAttribute(rowState, plain);
        for (int f = 0; f < RecordTable::kFieldCount; ++f) {
            const auto field = static_cast<RecordTable::Field>(f);
            if (table.isEmpty(r, field)) continue;
            fieldText(table, r, field, value);
            w.writeAttribute(names[f], value);
        }
        if (w.hasError()) {
            // The writer's only error of its own: a character XML cannot carry.
            if (reason)
                *reason = QStringLiteral("row %1 holds a control character that XML cannot carry; save it as text")
                              .arg(r + 1);
            return false;
        }
        if (r % 4096 == 4095 && !flush()) return false;
    }
    w.writeEndDocument();
    return !w.hasError() && flush();
}

namespace {

// The reader holds one token whole, and a packet's tokens are short (a row's
// attributes). A file with megabytes between two tags is refused before the
// reader could take that much memory for it.
constexpr qint64 kLongestStretchWithoutTag = qint64{1} << 20;

bool tagsComeOften(QIODevice& in, QString& why) {
    if (in.isSequential()) return true;   // a pipe cannot be read twice
    const qint64 start = in.pos();
    qint64 sinceTag = 0;
    qint64 offset = 0;
    char block[64 * 1024];
    for (qint64 n; (n = in.read(block, sizeof block)) > 0; offset += n) {
        for (qint64 i = 0; i < n; ++i) {
            sinceTag = block[i] == '<' ? 0 : sinceTag + 1;
            if (sinceTag > kLongestStretchWithoutTag) {
                why = QStringLiteral("not a data packet: more than 1 MB without a tag at byte %1").arg(offset + i);
                in.seek(start);
                return false;
            }
        }
    }
    return in.seek(start);
}

}  // namespace

bool readTableXml(QIODevice& in, RecordTable& table, QString* reason) {
    QString why;
    if (!tagsComeOften(in, why)) {
        if (reason) *reason = why;
        return false;
    }
    PacketReader reader(in, table);
    if (reader.read()) return true;
    if (reason) *reason = reader.reason();
    return false;
}

bool readTableXml(QByteArrayView bytes, RecordTable& table, QString* reason) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    return readTableXml(in, table, reason);
}

}  // namespace meterlink
