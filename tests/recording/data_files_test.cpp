// The log's data files: the text bytes, the loader's line and token rules,
// round trips through text and XML, refused packets, and saves that fail
// without harming the file they were to replace.

#include "recording/data_files.h"
#include "table_rows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
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
    // Latin-1 where it has the character, '?' where not; a TAB inside a text
    // would split the row.
    table.append(tableRow(-9, "a\tb", "\xC2\xB5" "A", "\xE2\x84\xA6", "k*", "pass"));
    const QByteArray expected = kHeader +
                                "7\t14:03:22\tDC\t5.999\tV\tpass\r\n"
                                "\t2:03:22 PM\tNULL\t-01.23\tNULL\tFail\r\n"
                                "-9\ta b\t\xB5" "A\t?\tk*\tpass\r\n";
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
        {"no header: the first row is lost", "1 a\r\n2 b\r\n", true, {"2|b|||||"}},
        {"lines without values are skipped", h + "\r\n   \r\n\t\t\r\n1 a\r\n", true, {"1|a|||||"}},
        {"CR, LF, CR LF or nothing end a line", "h\r1 a\n2 b\r\n\n\r3 c", true, {"1|a|||||", "2|b|||||", "3|c|||||"}},
        {"a zero byte ends the text", h + "1 a\r\n2 b" + QByteArray(1, '\0') + "x\r\n3 c\r\n", true,
         {"1|a|||||", "2|b|||||"}},
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

// A tmpfs of its own, where the tests can fill the disk or make it read-only.
// Needs root (and a system that lets it mount); tests skip otherwise.
class SmallDisk {
public:
    explicit SmallDisk(const char* options) {
        if (geteuid() == 0 && dir_.isValid())
            mounted_ = mount("tmpfs", dir_.path().toLocal8Bit().constData(), "tmpfs", 0, options) == 0;
    }
    ~SmallDisk() {
        if (mounted_) umount(dir_.path().toLocal8Bit().constData());
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }
    bool makeReadOnly() {
        return mount(nullptr, dir_.path().toLocal8Bit().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

TEST(DataFileSaves, AFullDiskLeavesThePreviousFileWhole) {
    SmallDisk disk("size=64k");
    if (!disk.mounted()) GTEST_SKIP() << "needs root to mount a small tmpfs";
    RecordTable small;
    small.append(tableRow(1, "09:00:00", "DC", "1.000", "V", "pass"));
    ASSERT_TRUE(saveTableToFile(small, QDir(disk.path()).filePath("log.xls")));
    ASSERT_TRUE(saveTableToFile(small, QDir(disk.path()).filePath("log.xml")));
    RecordTable big;   // far more than the disk holds
    for (int i = 0; i < 20000; ++i) big.append(tableRow(i, "14:03:22", "DC", "5.999", "V", "pass"));
    for (const char* name : {"log.xls", "log.xml"}) expectSaveRefusedKeepingOldFile(disk.path(), big, name);
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
