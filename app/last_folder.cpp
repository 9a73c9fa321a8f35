#include "app/last_folder.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kKey = QStringLiteral("files/lastFolder");

}  // namespace

namespace last_folder {

QString folder() {
    const QString stored = QSettings().value(kKey).toString();
    if (!stored.isEmpty() && QFileInfo(stored).isDir()) return stored;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

void remember(const QString& fileOrFolder) {
    if (fileOrFolder.isEmpty()) return;
    const QFileInfo info(fileOrFolder);
    const QString dir = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    QSettings().setValue(kKey, dir);
}

void applyTo(QFileDialog& dialog) { dialog.setDirectory(folder()); }

}  // namespace last_folder
