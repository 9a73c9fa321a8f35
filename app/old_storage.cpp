#include "app/old_storage.h"

#include "recording/journal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace old_storage {

// The program's title, with its blanks.
QString oldApplicationName() { return QStringLiteral("KR20 B_C_D"); }

namespace {

bool moveSettings() {
    QSettings old(QCoreApplication::organizationName(), oldApplicationName());
    const QStringList keys = old.allKeys();
    if (keys.isEmpty()) return false;
    QSettings now;
    // Settings made under the new name win over the old ones.
    const bool taken = now.allKeys().isEmpty();
    if (taken) {
        for (const QString& key : keys) now.setValue(key, old.value(key));
        now.sync();
        if (now.status() != QSettings::NoError) return false;   // the old ones stay
    }
    // The old ones go either way, so that this happens once.
    const QString oldFile = old.fileName();
    old.clear();
    old.sync();
    if (QFileInfo(oldFile).isFile()) QFile::remove(oldFile);
    return taken;
}

// A name the target folder does not hold yet.
QString freeName(const QDir& into, const QString& name) {
    if (!QFileInfo::exists(into.filePath(name))) return into.filePath(name);
    const QFileInfo info(name);
    for (int n = 2;; ++n) {
        const QString candidate =
            into.filePath(QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
        if (!QFileInfo::exists(candidate)) return candidate;
    }
}

bool moveFile(const QString& from, const QDir& into, QStringList& failures) {
    QFile file(from);
    if (file.rename(freeName(into, QFileInfo(from).fileName()))) return true;
    failures << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(from), file.errorString());
    return false;
}

}  // namespace

Moved moveOver(const QString& dataFolder) {
    Moved moved;
    moved.settings = moveSettings();

    const QDir oldDir(QDir(QFileInfo(dataFolder).absolutePath()).filePath(oldApplicationName()));
    if (!oldDir.exists() || QFileInfo(oldDir.absolutePath()) == QFileInfo(dataFolder)) return moved;
    const QDir into(dataFolder);
    if (!QDir().mkpath(dataFolder)) {
        moved.failures << QStringLiteral("%1: the data folder cannot be made").arg(QDir::toNativeSeparators(dataFolder));
        return moved;
    }
    // Journals no running window holds, each locked while it moves.
    for (meterlink::OrphanJournal& journal : meterlink::findOrphanJournals(oldDir.absolutePath())) {
        if (moveFile(journal.path, into, moved.failures)) ++moved.files;
        if (journal.lock) journal.lock->unlock();   // takes the lock file with it
    }
    // Whatever else the folder keeps (a damaged journal set aside, ...);
    // journals a running window holds stay, with their locks.
    const QString journalSuffix = QLatin1String(meterlink::Journal::kSuffix);
    for (const QFileInfo& f : oldDir.entryInfoList(QDir::Files | QDir::Hidden)) {
        const QString name = f.fileName();
        if (name.endsWith(journalSuffix) || name.endsWith(QStringLiteral(".lock"))) continue;
        if (moveFile(f.absoluteFilePath(), into, moved.failures)) ++moved.files;
    }
    QDir().rmdir(oldDir.absolutePath());   // only when empty
    return moved;
}

}  // namespace old_storage
