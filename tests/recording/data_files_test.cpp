// The log's data files: the text bytes, the loader's line and token rules,
// round trips through text and XML, refused packets, and saves that fail
// without harming the file they were to replace.

#include "recording/data_files.h"
#include "table_rows.h"
#include "../small_disk.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>

using meterlink::DataFileFormat;
using meterlink::LoadTableFromFile;
using meterlink::RecordTable;
using meterlink::saveTableToFile;
using meterlink::test::tableRow;
using meterlink::test::tableRows;

namespace {

const QByteArray kHeader = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

TEST(DataFileFormat, OnlyALowerCaseXmlExtensionIsXml) {
    const std::pair<const char*, DataFileFormat> cases[] = {
        {"/tmp/log.xml", DataFileFormat::Xml},      {"/tmp/.xml", DataFileFormat::Xml},
        {"/tmp/log.XML", DataFileFormat::Text},     {"/tmp/log.Xml", DataFileFormat::Text},
        {"/tmp/log.xls", DataFileFormat::Text},     {"/tmp/log.xml.txt", DataFileFormat::Text},
        {"/tmp/logs.xml/log", DataFileFormat::Text}, {"log", DataFileFormat::Text},
    };
    for (const auto& [name, format] : cases)
        EXPECT_EQ(meterlink::dataFileFormat(QString::fromLatin1(name)), format) << name;
}

TEST(TextDataFile, IsTheHeaderAndOneTrimmedLatin1LinePerRow) {
    QTemporaryDir dir;
    RecordTable table;
    ASSERT_TRUE(saveTableToFile(table, dir.filePath("empty.xls")));
    EXPECT_EQ(readAll(dir.filePath("empty.xls")), kHeader);
    EXPECT_EQ(kHeader.size(), 31);
    ASSERT_TRUE(saveTableToFile(table, dir.filePath("empty.xml")));
    EXPECT_TRUE(readAll(dir.filePath("empty.xml")).startsWith("<?xml version=\"1.0\" standalone=\"yes\"?>"));

    table.append(tableRow(7, "14:03:22", "DC", "5.999", "V", "pass"));
    // Trimmed at both ends; nothing left is "NULL"; no number, no text; NVal is not written.
    table.append(tableRow(std::nullopt, " 2:03:22 PM\x01", "", "-01.23", " \t", "Fail", 5));
    // Latin-1 while every text fits it; a TAB inside a text would split the row.
    table.append(tableRow(-9, "a\tb", "\xC2\xB5" "A", "\xC3\xA9", "k*", "pass"));
    const QByteArray expected = kHeader +
                                "7\t14:03:22\tDC\t5.999\tV\tpass\r\n"
                                "\t2:03:22 PM\tNULL\t-01.23\tNULL\tFail\r\n"
                                "-9\ta b\t\xB5" "A\t\xE9\tk*\tpass\r\n";
    for (const char* name : {"log.xls", "log.txt", "log.XML", "log"}) {
        ASSERT_TRUE(saveTableToFile(table, dir.filePath(QLatin1String(name)))) << name;
        EXPECT_EQ(readAll(dir.filePath(QLatin1String(name))), expected) << name;
    }
}

TEST(TextDataFile, LoadsLineByLineAndStopsAtTheFirstBadLine) {
    struct Case {
        const char* what;
        QByteArray bytes;
        bool ok;
        QStringList rows;   // loaded after the row the table held
    };
    const QByteArray h = kHeader;
    const Case cases[] = {
        {"own line", h + "7\t14:03:22\tDC\t5.999\tV\tpass\r\n", true, {"7|14:03:22|DC|5.999|V|pass|"}},
        // Files from before frequencies carried their prefix ("Hz" for a kHz reading) load as written.
        {"frequency rows old and new", h + "1\t14:03:22\tFreq\t1.234\tHz\tFail\r\n2\t14:03:23\tFreq\t1.234\tkHz\tpass\r\n",
         true, {"1|14:03:22|Freq|1.234|Hz|Fail|", "2|14:03:23|Freq|1.234|kHz|pass|"}},
        {"a first line without field names is no header", "1 a\r\n2 b\r\n", false, {}},
        {"a quoted header", "\"No\" \"Time\"\r\n1 a\r\n", true, {"1|a|||||"}},
        {"lines without values are skipped", h + "\r\n   \r\n\t\t\r\n1 a\r\n", true, {"1|a|||||"}},
        {"CR, LF or CR LF end a line", "no\r1 a\n2 b\r\n\n\r3 c\r", true, {"1|a|||||", "2|b|||||", "3|c|||||"}},
        {"a last line without an end was cut", "no\r1 a\n2 b\r\n\n\r3 c", false, {"1|a|||||", "2|b|||||"}},
        {"a zero byte refuses the file", h + "1 a\r\n2 b" + QByteArray(1, '\0') + "x\r\n3 c\r\n", false, {}},
        {"a last line cut short", h + "1\ta\tDC\t1\tV\tpass\r\n2\tb\tDC\t1", false, {"1|a|DC|1|V|pass|"}},
        {"a last line with all its fields but no end was cut", h + "1\ta\tDC\t1\tV\tpass", false, {}},
        {"UTF-8 after its mark", "\xEF\xBB\xBF" + h + "1\t\xEC\x98\xA4\xED\x9B\x84 2:03\tDC\t1\xD9\xAB" "5\tV\tpass\r\n", true,
         {"1|\uC624\uD6C4 2:03|DC|1\u066B" "5|V|pass|"}},
        {"UTF-16 after its mark", QByteArray("\xFF\xFE") + QByteArray::fromRawData(reinterpret_cast<const char*>(u"No\r\n1 \u03A9\r\n"), 18),
         true, {"1|\u03A9|||||"}},
        {"UTF-16 without its mark", QByteArray::fromRawData(reinterpret_cast<const char*>(u"No\r\n1 a\r\n"), 18), false, {}},
        {"a line longer than any row", h + "1 a\r\n" + QByteArray(5000, 'x') + "\r\n", false, {}},
        {"without a TAB, runs of blanks separate", h + " 3  12:00:00 AC\x01" "1.5 mV pass 9 \r\n", true,
         {"3|12:00:00|AC|1.5|mV|pass|9"}},
        {"with a TAB, fields keep blanks inside and their places", h + " 4 \t2:03:22 PM\t\t-01.23\t k* \tFail\r\n",
         true, {"4|2:03:22 PM||-01.23|k*|Fail|"}},
        {"empty fields after the last are no values", h + "5\ta\tDC\t1\tV\tpass\t\t\t\r\n", true,
         {"5|a|DC|1|V|pass|"}},
        {"quoted tokens", h + "6 \"2:03:22 PM\" \"a\"\"b\"c \"open end\r\n", true,
         {"6|2:03:22 PM|a\"b|c|open end||"}},
        {"quotes end with their TAB field", h + "7\t\"x\ty\"\t\"q\"\"r\" s\t\"open\r\n", true,
         {"7|x|y\"|q\"r s|open||"}},
        {"Latin-1, cut to 20 characters", h + "8\t\xB5V\t123456789012345678901\r\n", true,
         {"8|\u00B5V|12345678901234567890||||"}},
        {"signed numbers", h + "+5\ta\t\t\t\t\t-2147483648\r\n", true, {"5|a|||||-2147483648"}},
        {"a header alone", h, true, {}},
        {"a header without its end", "No", true, {}},
        {"empty file", "", false, {}},
        {"a zero byte first", QByteArray(1, '\0') + h + "1 a\r\n", false, {}},
        {"an eighth token", h + "1 a\r\n1 2 3 4 5 6 7 8\r\n3 c\r\n", false, {"1|a|||||"}},
        {"an eighth TAB field", h + "1 a\r\n1\t2\t3\t4\t5\t6\t7\t8\r\n", false, {"1|a|||||"}},
        {"No not a number", h + "1 a\r\nx b\r\n", false, {"1|a|||||"}},
        {"NVal not a number", h + "1 a\r\n2 a b c d e f\r\n", false, {"1|a|||||"}},
        {"No beyond 32 bits", h + "2147483648 a\r\n", false, {}},
        {"No quoted empty", h + "\"\" a\r\n", false, {}},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("case.txt");
    for (const Case& c : cases) {
        ASSERT_TRUE(writeAll(path, c.bytes));
        RecordTable table;
        table.append(tableRow(0, "held", "", "", "", ""));
        EXPECT_EQ(LoadTableFromFile(path, table, false), c.ok) << c.what;
        EXPECT_EQ(tableRows(table), QStringList{"0|held|||||"} + c.rows) << c.what;
    }
    RecordTable table;
    table.append(tableRow(0, "held", "", "", "", ""));
    EXPECT_FALSE(LoadTableFromFile(dir.filePath("missing.txt"), table, false));
    EXPECT_FALSE(LoadTableFromFile(dir.path(), table, false));
    EXPECT_EQ(table.rowCount(), 1);
    ASSERT_TRUE(writeAll(path, kHeader + "1 a\r\n"));
    EXPECT_TRUE(LoadTableFromFile(path, table, true));
    EXPECT_EQ(tableRows(table), QStringList{"1|a|||||"});
}

TEST(DataFileLoads, SayWhyTheyFailed) {
    const QByteArray h = kHeader;
    const std::pair<QByteArray, const char*> cases[] = {
        {"", "the file is empty"},
        {"\x7F" "ELF\x02\x01\x01" + QByteArray(9, '\0'), "line 1 holds a zero byte"},
        {h + "1 a\r\n" + QByteArray(4096, '\0'), "line 3 holds a zero byte"},
        {QByteArray::fromRawData(reinterpret_cast<const char*>(u"No\r\n"), 8), "UTF-16 text without a byte-order mark"},
        {QByteArray(300000, 'x'), "line 1 is longer than 4096 bytes"},
        {"12.35 V pass\r\n", "line 1 is no header"},
        {h + "1 a\r\n2 b\r\n1 2 3 4 5 6 7 8 9\r\n", "line 4 holds 9 values; a row has at most 7"},
        {h + "1 a\r\nx b\r\n", "line 3: No holds \"x\", which is no whole number"},
        {h + "99999999999 a\r\n", "line 2: the number 99999999999 for No is out of range"},
        {h + "1\t12:00\tDC\t12.35\tV\tpass\r\n2\t12:01\tDC\t12.3", "truncated at line 3"},
        {h + "1\t12:00\tDC\t12.35\tV\tpass\r\n2\t12:01\tDC\t12.35\tV\tp", "truncated at line 3"},
        {h + "1\t12:00\tDC\t12.35\tV\tpass\r\n2\t12:01\tDC\t12.35\tV\tpass", "truncated at line 3"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("case.xls");
    for (const auto& [bytes, why] : cases) {
        ASSERT_TRUE(writeAll(path, bytes));
        RecordTable table;
        QString reason;
        EXPECT_FALSE(LoadTableFromFile(path, table, false, &reason)) << why;
        EXPECT_TRUE(reason.contains(QLatin1String(why))) << why << " / " << reason.toStdString();
        // A cut last line keeps the whole rows before it.
        if (QByteArray(why).startsWith("truncated")) EXPECT_EQ(tableRows(table), QStringList{"1|12:00|DC|12.35|V|pass|"}) << why;
    }
    RecordTable table;
    QString reason;
    EXPECT_FALSE(LoadTableFromFile(dir.filePath("missing.xls"), table, false, &reason));
    EXPECT_EQ(reason, QStringLiteral("no such file"));
    // More rows than "limitless": refused before a row is added.
    table.append(tableRow(0, "held", "", "", "", ""));
    ASSERT_TRUE(writeAll(dir.filePath("huge.txt"), kHeader + QByteArray("1\n").repeated(10'000'000)));
    EXPECT_FALSE(LoadTableFromFile(dir.filePath("huge.txt"), table, false, &reason));
    EXPECT_TRUE(reason.contains(QLatin1String("more than 10000000 rows"))) << reason.toStdString();
    EXPECT_EQ(tableRows(table), QStringList{"0|held|||||"});
    const QByteArray nested = "<DATAPACKET>" + QByteArray("<A>").repeated(100000);
    ASSERT_TRUE(writeAll(dir.filePath("deep.xml"), nested));
    EXPECT_FALSE(LoadTableFromFile(dir.filePath("deep.xml"), table, false, &reason));
    EXPECT_TRUE(reason.contains(QLatin1String("nest deeper"))) << reason.toStdString();
    // One token of megabytes (an attribute, a text) is refused before it is read.
    const QByteArray longToken = "<DATAPACKET><ROWDATA><ROW Value=\"" + QByteArray(3 << 20, '7') + "\"/>";
    ASSERT_TRUE(writeAll(dir.filePath("token.xml"), longToken));
    EXPECT_FALSE(LoadTableFromFile(dir.filePath("token.xml"), table, false, &reason));
    EXPECT_TRUE(reason.contains(QLatin1String("more than 1 MB without a tag"))) << reason.toStdString();
    EXPECT_EQ(tableRows(table), QStringList{"0|held|||||"});
}

// Texts from a locale Latin-1 lacks go into UTF-8 with its mark, and load
// back as they were.
TEST(TextDataFile, KeepsTextsLatin1LacksAsUtf8) {
    RecordTable table;
    table.append(tableRow(1, "\xEC\x98\xA4\xED\x9B\x84 2:03:22", "DC", "1\xD9\xAB" "5", "k\xCE\xA9", "pass"));
    table.append(tableRow(2, "14:03:22", "", "\xC2\xB5", "V", "Fail"));
    QTemporaryDir dir;
    ASSERT_TRUE(saveTableToFile(table, dir.filePath("log.txt")));
    EXPECT_EQ(readAll(dir.filePath("log.txt")),
              "\xEF\xBB\xBF" + kHeader + "1\t\xEC\x98\xA4\xED\x9B\x84 2:03:22\tDC\t1\xD9\xAB" "5\tk\xCE\xA9\tpass\r\n"
                                     "2\t14:03:22\tNULL\t\xC2\xB5\tV\tFail\r\n");
    RecordTable back;
    ASSERT_TRUE(LoadTableFromFile(dir.filePath("log.txt"), back, false));
    EXPECT_EQ(tableRows(back), (QStringList{QString::fromUtf8("1|\xEC\x98\xA4\xED\x9B\x84 2:03:22|DC|1\xD9\xAB" "5|k\xCE\xA9|pass|"),
                                            QString::fromUtf8("2|14:03:22|NULL|\xC2\xB5|V|Fail|")}));
}

TEST(DataFiles, TextAndXmlLoadBackWhatTheyWrote) {
    RecordTable logged;
    logged.append(tableRow(1, "14:03:22", "DC", "5.999", "V", "pass"));
    logged.append(tableRow(2, "2:03:22 PM", "", "-01.23", "k*", "Fail"));
    logged.append(tableRow(3, "14:03:24", "AC", "OL", "M*", "pass"));
    QTemporaryDir dir;

    RecordTable fromText;
    ASSERT_TRUE(saveTableToFile(logged, dir.filePath("log.xls")));
    ASSERT_TRUE(LoadTableFromFile(dir.filePath("log.xls"), fromText, false));
    EXPECT_EQ(tableRows(fromText), (QStringList{"1|14:03:22|DC|5.999|V|pass|", "2|2:03:22 PM|NULL|-01.23|k*|Fail|",
                                                "3|14:03:24|AC|OL|M*|pass|"}));

    // XML keeps every field as it was, empty ones and odd characters included.
    logged.append(tableRow(std::nullopt, "<&>\"'\\", "DC/AC\tx\r\ny", "\xC2\xB5", "k\xE2\x84\xA6", "", 42));
    logged.append(tableRow(INT_MIN, "12345678901234567890", "\xF0\x9F\x98\x80", " ", "", "", INT_MAX));
    RecordTable fromXml;
    fromXml.append(tableRow(99, "replaced", "", "", "", ""));
    ASSERT_TRUE(saveTableToFile(logged, dir.filePath("log.xml")));
    ASSERT_TRUE(LoadTableFromFile(dir.filePath("log.xml"), fromXml, false));
    EXPECT_EQ(tableRows(fromXml), tableRows(logged));
}

TEST(XmlDataPacket, ReadsAPacketWrittenElsewhereAndRefusesOneThatDoesNotFit) {
    auto field = [](const char* attr, const char* type, const char* extra = "") {
        return QByteArray("<FIELD attrname=\"") + attr + "\" fieldtype=\"" + type + "\"" + extra + "/>";
    };
    const QByteArray text = "string\" WIDTH=\"20";
    const QByteArray seven = field("NVal", "i4") + field("No", "i4") + field("Time", text) +
                             field("DC_AC", text, " fieldname=\"dc/ac\"") + field("Value", text) +
                             field("Unit", text) + field("Auto", text);
    const QByteArray row = "<ROW Auto=\"pass\" DC_AC=\"AC\" No=\"4\" RowState=\"4\"/>";
    auto packet = [](const QByteArray& fields, const QByteArray& rows) {
        return "<?xml version=\"1.0\" standalone=\"yes\"?>\n<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields +
               "</FIELDS><PARAMS LCID=\"1033\"/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>\n";
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("packet.xml");
    RecordTable table;
    ASSERT_TRUE(writeAll(path, packet(seven, row + row)));
    ASSERT_TRUE(LoadTableFromFile(path, table, false));
    EXPECT_EQ(tableRows(table), (QStringList{"4||AC|||pass|", "4||AC|||pass|"}));

    const QByteArray good = packet(seven, row);
    const std::pair<const char*, QByteArray> refused[] = {
        {"empty file", ""},
        {"text", kHeader + "1\ta\r\n"},
        {"another root", "<PACKET/>"},
        {"no fields", "<DATAPACKET><ROWDATA>" + row + "</ROWDATA></DATAPACKET>"},
        {"a field missing", packet(seven.mid(seven.indexOf("<FIELD", 1)), "")},
        {"a field more", packet(seven + field("Extra", "i4"), "")},
        {"a field twice", packet(seven + field("No", "i4"), "")},
        {"an integer field as text", packet(QByteArray(seven).replace("\"No\" fieldtype=\"i4\"", "\"No\" fieldtype=\"" + text + "\""), "")},
        {"a wider text", packet(QByteArray(seven).replace("WIDTH=\"20\"/><FIELD attrname=\"Unit", "WIDTH=\"30\"/><FIELD attrname=\"Unit"), "")},
        {"an attribute of no field", packet(seven, "<ROW Judge=\"pass\"/>")},
        {"No not a number", packet(seven, "<ROW No=\"4x\"/>")},
        {"No beyond 32 bits", packet(seven, "<ROW No=\"2147483648\"/>")},
        {"an attribute twice", packet(seven, "<ROW No=\"1\" No=\"2\"/>")},
        {"cut short", good.left(good.indexOf("</ROWDATA>"))},
        {"more after the packet", good + "<DATAPACKET/>"},
    };
    for (const auto& [what, bytes] : refused) {
        ASSERT_TRUE(writeAll(path, bytes));
        EXPECT_FALSE(LoadTableFromFile(path, table, false)) << what;
        EXPECT_EQ(table.rowCount(), 2) << what;   // the rows the table held stay
    }
}

// A leading U+FEFF, which no XML writer can write back, is dropped on loading
// so that every loaded log saves as it loaded.
TEST(DataFileLoads, DropALeadingInvisibleMarkFromTexts) {
    RecordTable table;
    table.append(tableRow(1, "\xEF\xBB\xBF" "14:03:22", "DC", "5.999", "\xEF\xBB\xBF\xEF\xBB\xBFV", "pass"));
    QTemporaryDir dir;
    for (const char* name : {"log.xml", "log.txt"}) {
        ASSERT_TRUE(saveTableToFile(table, dir.filePath(QLatin1String(name))));
        RecordTable back;
        ASSERT_TRUE(LoadTableFromFile(dir.filePath(QLatin1String(name)), back, false)) << name;
        EXPECT_EQ(tableRows(back), QStringList{"1|14:03:22|DC|5.999|V|pass|"}) << name;
    }
}

// A save that cannot be completed leaves the file it was to replace as it
// was, and nothing beside it.
void expectSaveRefusedKeepingOldFile(const QString& folder, const RecordTable& table, const char* name) {
    const QString path = QDir(folder).filePath(QLatin1String(name));
    const QByteArray before = readAll(path);
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    EXPECT_FALSE(saveTableToFile(table, path)) << name;
    EXPECT_EQ(readAll(path), before) << name;
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), files) << name;
}

TEST(DataFileSaves, AFullDiskLeavesThePreviousFileWhole) {
    SmallDisk disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    RecordTable small;
    small.append(tableRow(1, "09:00:00", "DC", "1.000", "V", "pass"));
    ASSERT_TRUE(saveTableToFile(small, QDir(disk.path()).filePath("log.xls")));
    ASSERT_TRUE(saveTableToFile(small, QDir(disk.path()).filePath("log.xml")));
    RecordTable big;   // far more than the disk holds
    for (int i = 0; i < 20000; ++i) big.append(tableRow(i, "14:03:22", "DC", "5.999", "V", "pass"));
    for (const char* name : {"log.xls", "log.xml"}) expectSaveRefusedKeepingOldFile(disk.path(), big, name);
}

// Fills the disk until `leave` bytes or fewer are free.
// Small saves onto a full or nearly full disk: each either fails, keeping the
// old file and leaving nothing beside it, or writes every byte.
TEST(DataFileSaves, OntoAFullDiskFailCleanlyWhateverTheirSize) {
    QTemporaryDir plain;
    for (qint64 leave : {qint64{0}, qint64{8192}}) {
        SmallDisk disk("size=256k");
        if (!disk.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
        for (const char* name : {"log.xls", "log.xml"})
            ASSERT_TRUE(writeAll(QDir(disk.path()).filePath(QLatin1String(name)), "previous"));
        disk.fill(leave);
        for (int rows : {1, 10, 100, 500, 5000}) {
            RecordTable table;
            for (int i = 0; i < rows; ++i) table.append(tableRow(i, "14:03:22", "DC", "5.999", "V", "pass"));
            for (const char* name : {"log.xls", "log.xml"}) {
                const QString path = QDir(disk.path()).filePath(QLatin1String(name));
                const QString whole = QDir(plain.path()).filePath(QLatin1String(name));
                ASSERT_TRUE(saveTableToFile(table, whole));
                const QByteArray before = readAll(path);
                QString reason;
                if (saveTableToFile(table, path, &reason)) {
                    EXPECT_NE(leave, 0) << rows << name;
                    EXPECT_EQ(readAll(path), readAll(whole)) << rows << name;
                } else {
                    EXPECT_EQ(readAll(path), before) << rows << name;
                    EXPECT_FALSE(reason.isEmpty()) << rows << name;
                }
                EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
                          (QStringList{"filler", "log.xls", "log.xml"}))
                    << rows << name;
            }
        }
    }
}

TEST(DataFileSaves, AReadOnlyFolderLeavesThePreviousFileWhole) {
    RecordTable table;
    table.append(tableRow(1, "09:00:00", "DC", "1.000", "V", "pass"));
    SmallDisk disk("size=1m");
    QTemporaryDir plain;
    const QString folder = disk.mounted() ? disk.path() : plain.path();
    for (const char* name : {"log.xls", "log.xml"})
        ASSERT_TRUE(writeAll(QDir(folder).filePath(QLatin1String(name)), "previous"));
    if (disk.mounted()) {
        ASSERT_TRUE(disk.makeReadOnly());
    } else {
        if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders; needs a tmpfs to mount";
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    for (const char* name : {"log.xls", "log.xml"}) {
        const QString path = QDir(folder).filePath(QLatin1String(name));
        EXPECT_FALSE(saveTableToFile(table, path)) << name;
        EXPECT_EQ(readAll(path), QByteArray("previous")) << name;
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(DataFileSaves, AnXmlSaveOfATextXmlCannotCarryIsRefused) {
    QTemporaryDir dir;
    RecordTable table;
    table.append(tableRow(1, "09:00:00", "DC", "1.000", "V", "pass"));
    ASSERT_TRUE(saveTableToFile(table, dir.filePath("log.xml")));
    table.append(tableRow(2, "a\x01z", "DC", "1.000", "V", "pass"));   // only a text file can hold this
    expectSaveRefusedKeepingOldFile(dir.path(), table, "log.xml");
}

}  // namespace
