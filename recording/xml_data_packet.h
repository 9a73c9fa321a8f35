#pragma once
// The log as an XML data packet, which keeps the field definitions with the
// rows:
//
//   <?xml version="1.0" standalone="yes"?>
//   <DATAPACKET Version="2.0">
//    <METADATA>
//     <FIELDS>
//      <FIELD attrname="No" fieldtype="i4"/>
//      <FIELD attrname="Time" fieldtype="string" WIDTH="20"/>
//      <FIELD attrname="DCAC" fieldname="DC/AC" fieldtype="string" WIDTH="20"/>
//      ...
//     </FIELDS>
//     <PARAMS/>
//    </METADATA>
//    <ROWDATA>
//     <ROW RowState="0" No="1" Time="14:03:22" DCAC="DC" Value="5.999" Unit="V" Auto="pass"/>
//    </ROWDATA>
//   </DATAPACKET>
//
// "fieldname" carries a name that is no XML name ("DC/AC"); a row has no
// attribute for an empty field. Texts are UTF-8, the encoding XML assumes
// without a declaration.

#include "record_table.h"

#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace meterlink {

// Writes the table; false when the device refused a write or a text holds a
// character XML cannot carry (a control character other than TAB, CR, LF),
// with the reason for the latter.
bool writeTableXml(const RecordTable& table, QIODevice& out, QString* reason = nullptr);

// Reads a packet into an empty table, a token at a time. False, with the
// reason and the table in an unspecified state, when the bytes are no
// well-formed packet, nest deeper than a packet does, its fields are not the
// log's seven (names, types, text width 20), a row does not fit them, or it
// holds more rows than a log can.
bool readTableXml(QIODevice& in, RecordTable& table, QString* reason = nullptr);
bool readTableXml(QByteArrayView bytes, RecordTable& table, QString* reason = nullptr);

}  // namespace meterlink
