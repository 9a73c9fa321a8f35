#pragma once
// Test helpers: build record table rows in one call, and see a table's rows
// as "No|Time|DC/AC|Value|Unit|Auto|NVal" texts.

#include "recording/record_table.h"

#include <QStringList>

#include <optional>

namespace meterlink::test {

inline RecordTable::Row tableRow(std::optional<int> no, const char* time, const char* dcac, const char* value,
                                 const char* unit, const char* judge, std::optional<int> nval = std::nullopt,
                                 bool sharedTime = false) {
    RecordTable::Row r;
    r.no = no;
    r.nval = nval;
    r.sharedTime = sharedTime;
    r.text[RecordTable::Time] = time;
    r.text[RecordTable::DCAC] = dcac;
    r.text[RecordTable::Value] = value;
    r.text[RecordTable::Unit] = unit;
    r.text[RecordTable::Auto] = judge;
    return r;
}

inline QStringList tableRows(const RecordTable& table) {
    QStringList rows;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int f = 0; f < RecordTable::kFieldCount; ++f)
            fields << table.text(r, static_cast<RecordTable::Field>(f));
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

}  // namespace meterlink::test

