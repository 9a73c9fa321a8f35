#include "data_files.h"

#include "row_formats.h"
#include "text_data_file.h"
#include "xml_data_packet.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

namespace meterlink {

namespace {

using Writer = bool (*)(const RecordTable&, QIODevice&);

bool saveWith(Writer write, const RecordTable& table, const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!write(table, file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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

bool SaveTableAsText(const RecordTable& table, const QString& fileName) {
    return saveWith(writeTableText, table, fileName);
}

bool saveTableToFile(const RecordTable& table, const QString& fileName) {
    if (hasRowFormatExtension(fileName)) {
        // Values are read with the separator they were shown with.
        const std::string sep = QLocale().decimalPoint().toStdString();
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly)) return false;
        if (!writeRows(rowFormatForFile(fileName), table, file, sep)) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }
    return saveWith(dataFileFormat(fileName) == DataFileFormat::Xml ? writeTableXml : writeTableText, table, fileName);
}

bool LoadTableFromFile(const QString& fileName, RecordTable& table, bool clearFirst) {
    if (clearFirst) table.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (dataFileFormat(fileName) == DataFileFormat::Text) {
        // Read, not mapped: a file that shrinks while it is read (a share
        // that goes away) must fail the load, not crash the program.
        const QByteArray bytes = file.readAll();
        return file.error() == QFileDevice::NoError && loadTableText(bytes, table);
    }
    // The reader takes the file a piece at a time; only a whole packet
    // replaces the rows.
    RecordTable packet;
    if (!readTableXml(file, packet)) return false;
    table.takeRowsFrom(packet);
    return true;
}

}  // namespace meterlink
