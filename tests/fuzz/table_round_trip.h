#pragma once
// What must hold for any table a loader accepted: the XML packet written
// from it reads back into the same rows (unless a text holds a character
// XML cannot carry, which the writer refuses), and the text file written
// from it loads back into as many rows with the same numbers.

#include "recording/record_table.h"
#include "recording/text_data_file.h"
#include "recording/xml_data_packet.h"

#include <QBuffer>

#include <cstdlib>

namespace meterlink::fuzz {

inline void require(bool condition) {
    if (!condition) std::abort();
}

inline bool sameRows(const RecordTable& a, const RecordTable& b) {
    if (a.rowCount() != b.rowCount()) return false;
    for (int r = 0; r < a.rowCount(); ++r)
        for (int f = 0; f < RecordTable::kFieldCount; ++f) {
            const auto field = static_cast<RecordTable::Field>(f);
            if (a.integer(r, field) != b.integer(r, field) || a.utf8(r, field) != b.utf8(r, field)) return false;
        }
    return true;
}

inline void checkRoundTrips(const RecordTable& table) {
    QByteArray xml;
    QBuffer xmlOut(&xml);
    xmlOut.open(QIODevice::WriteOnly);
    if (writeTableXml(table, xmlOut)) {
        RecordTable back;
        require(readTableXml(xml, back));
        require(sameRows(table, back));
    }

    QByteArray text;
    QBuffer textOut(&text);
    textOut.open(QIODevice::WriteOnly);
    require(writeTableText(table, textOut));
    RecordTable back;
    require(loadTableText(text, back));
    require(back.rowCount() == table.rowCount());
    for (int r = 0; r < table.rowCount(); ++r)
        require(back.integer(r, RecordTable::No) == table.integer(r, RecordTable::No));
}

}  // namespace meterlink::fuzz
