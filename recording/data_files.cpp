#include "data_files.h"

#include "row_formats.h"
#include "safe_file_write.h"
#include "text_data_file.h"
#include "xml_data_packet.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace meterlink {

namespace {

bool saveText(const RecordTable& table, const QString& fileName, QString* reason) {
    return writeFileSafely(
        fileName, [&table](QIODevice& out, QString&) { return writeTableText(table, out); }, reason);
}

bool saveXml(const RecordTable& table, const QString& fileName, QString* reason) {
    return writeFileSafely(
        fileName, [&table](QIODevice& out, QString& why) { return writeTableXml(table, out, &why); }, reason);
}

bool fail(QString* reason, const QString& why) {
    if (reason) *reason = why;
    return false;
}

}  // namespace

DataFileFormat dataFileFormat(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && QStringView(name).sliced(dot) == u".xml" ? DataFileFormat::Xml : DataFileFormat::Text;
}

QString saveSucceededMessage(const QString& fileName) {
    return QStringLiteral("Save table to specified file: ") + fileName + QStringLiteral(" Scuss!");
}

QString saveFailedMessage(const QString& fileName) {
    return QStringLiteral("Could not save table to specified file: ") + fileName;
}

QString loadFailedMessage() { return QStringLiteral("Failed to Load File!"); }

bool SaveTableAsText(const RecordTable& table, const QString& fileName, QString* reason) {
    return saveText(table, fileName, reason);
}

bool saveTableToFile(const RecordTable& table, const QString& fileName, QString* reason) {
    if (hasRowFormatExtension(fileName)) {
        // Values are read with the separator they were shown with.
        const std::string sep = QLocale().decimalPoint().toStdString();
        return writeFileSafely(
            fileName,
            [&](QIODevice& out, QString&) { return writeRows(rowFormatForFile(fileName), table, out, sep); },
            reason);
    }
    return dataFileFormat(fileName) == DataFileFormat::Xml ? saveXml(table, fileName, reason)
                                                           : saveText(table, fileName, reason);
}

bool LoadTableFromFile(const QString& fileName, RecordTable& table, bool clearFirst, QString* reason) {
    if (clearFirst) table.clear();
    const QFileInfo info(fileName);
    if (!info.exists()) return fail(reason, QStringLiteral("no such file"));
    if (info.isDir()) return fail(reason, QStringLiteral("a folder, not a data file"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return fail(reason, file.errorString());
    // Both readers take the file a piece at a time (read, not mapped: a file
    // that shrinks while it is read must fail the load, not crash).
    if (hasRowFormatExtension(fileName)) return rowFormatForFile(fileName).load(file, table, reason);
    if (dataFileFormat(fileName) == DataFileFormat::Text) return loadTableText(file, table, reason);
    // Only a whole packet replaces the rows.
    RecordTable packet;
    if (!readTableXml(file, packet, reason)) return false;
    table.takeRowsFrom(packet);
    return true;
}

}  // namespace meterlink
