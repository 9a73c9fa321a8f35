#include "data_files.h"

#include "text_data_file.h"
#include "xml_data_packet.h"

#include <QFile>
#include <QFileInfo>
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

// The whole file, mapped where the system allows it (a million rows need not
// be copied into memory first), read otherwise.
class FileBytes {
public:
    explicit FileBytes(const QString& fileName) : file_(fileName) {
        if (!file_.open(QIODevice::ReadOnly)) return;
        const qint64 size = file_.size();
        if (size > 0 && !file_.isSequential()) {
            if (uchar* mapped = file_.map(0, size)) {
                bytes_ = QByteArrayView(reinterpret_cast<const char*>(mapped), static_cast<qsizetype>(size));
                ok_ = true;
                return;
            }
        }
        copy_ = file_.readAll();
        bytes_ = copy_;
        ok_ = file_.error() == QFileDevice::NoError;
    }

    bool ok() const { return ok_; }
    QByteArrayView bytes() const { return bytes_; }

private:
    QFile file_;
    QByteArray copy_;
    QByteArrayView bytes_;
    bool ok_ = false;
};

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
    return saveWith(dataFileFormat(fileName) == DataFileFormat::Xml ? writeTableXml : writeTableText, table, fileName);
}

bool LoadTableFromFile(const QString& fileName, RecordTable& table, bool clearFirst) {
    if (clearFirst) table.clear();
    if (dataFileFormat(fileName) == DataFileFormat::Text) {
        const FileBytes file(fileName);
        return file.ok() && loadTableText(file.bytes(), table);
    }
    // The reader takes the file a piece at a time; only a whole packet
    // replaces the rows.
    QFile file(fileName);
    RecordTable packet;
    if (!file.open(QIODevice::ReadOnly) || !readTableXml(file, packet)) return false;
    table.takeRowsFrom(packet);
    return true;
}

}  // namespace meterlink
