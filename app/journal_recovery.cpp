#include "app/journal_recovery.h"

#include "recording/data_files.h"
#include "recording/journal.h"
#include "recording/journal_format.h"
#include "recording/record_logger.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <list>
#include <set>
#include <string>

QString JournalRecovery::question(int rows, const QString& lastLogged, int skippedLines, const QString& folder) {
    QString text = QStringLiteral("The log of an earlier session was not saved: %1 rows, the last logged at %2. "
                                  "Restore it?")
                       .arg(rows)
                       .arg(lastLogged);
    if (skippedLines > 0)
        text += (skippedLines == 1 ? QStringLiteral("\n\n1 damaged line of it was skipped.")
                                   : QStringLiteral("\n\n%1 damaged lines of it were skipped.").arg(skippedLines)) +
                QStringLiteral(" The damaged journal is kept in the folder %1 until the log is saved.")
                    .arg(QDir::toNativeSeparators(folder));
    return text;
}

QString JournalRecovery::keptMessage(const QString& file, const QString& damagedCopy) {
    const QFileInfo info(file);
    QString text = QStringLiteral("The log was kept as the CSV file %1 in the folder %2.")
                       .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()));
    if (!damagedCopy.isEmpty())
        text += QStringLiteral(" The damaged journal was kept as %1.").arg(QFileInfo(damagedCopy).fileName());
    return text;
}

QString JournalRecovery::notHandedOverMessage(const QString& journal) {
    return QStringLiteral("The rows were restored, but the journal of this window cannot hold them, so the journal "
                          "%1 was kept as it is. It is removed when the log is saved, and offered again at the "
                          "next start if the log is not saved.")
        .arg(QDir::toNativeSeparators(journal));
}

void JournalRecovery::tell(bool failure, const QString& text) {
    QMessageBox box(failure ? QMessageBox::Critical : QMessageBox::Information,
                    failure ? QStringLiteral("Error") : QStringLiteral("Information"), text, QMessageBox::Ok, window_);
    box.exec();
}

namespace {

QString lastLoggedText(const meterlink::JournalContents& c, const QString& path) {
    if (!c.lastLogged) return QFileInfo(path).lastModified().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return QDateTime::fromMSecsSinceEpoch(c.lastLogged->utcMs, Qt::OffsetFromUTC, c.lastLogged->offsetMinutes * 60)
        .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// A name beside the journal that no file has yet.
QString keptFileName(const QString& journal, const QString& lastLogged) {
    const QDir dir = QFileInfo(journal).absoluteDir();
    QString stamp = lastLogged;
    stamp.replace(QLatin1Char(':'), QLatin1Char('-'));
    QString name = dir.filePath(QStringLiteral("unsaved log %1.csv").arg(stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = dir.filePath(QStringLiteral("unsaved log %1 (%2).csv").arg(stamp).arg(n));
    return name;
}

struct Found {
    meterlink::OrphanJournal orphan;
    meterlink::JournalContents contents;
    QString readError;
};

// A journal whose rows another one took over whole, left by a crash before
// it could be removed: spent. A damaged one is kept beside the journals.
void retireSpent(meterlink::OrphanJournal& orphan, const meterlink::JournalContents& contents) {
    if (contents.skippedLines > 0 && orphan.renameTo(meterlink::Journal::damagedCopyName(orphan.path))) return;
    orphan.remove();
}

}  // namespace

int JournalRecovery::offer(const QString& folder) {
    int restored = 0;
    std::list<Found> found;
    for (meterlink::OrphanJournal& orphan : meterlink::findOrphanJournals(folder)) {
        Found& f = found.emplace_back();
        f.orphan = std::move(orphan);
        QFile file(f.orphan.path);
        if (file.open(QIODevice::ReadOnly)) meterlink::readJournal(file.readAll(), f.contents);
        else f.readError = file.errorString();
    }
    std::set<std::string> spent;
    for (const Found& f : found)
        if (f.contents.header == meterlink::JournalContents::Header::Ok)
            spent.insert(f.contents.took.begin(), f.contents.took.end());

    for (Found& f : found) {
        meterlink::OrphanJournal& orphan = f.orphan;
        meterlink::JournalContents& contents = f.contents;
        if (!f.readError.isEmpty()) {
            tell(true, QStringLiteral("The journal %1 cannot be read: %2")
                           .arg(QDir::toNativeSeparators(orphan.path), f.readError));
            continue;
        }
        if (contents.header == meterlink::JournalContents::Header::Newer) {
            tell(false, QStringLiteral("The journal %1 was written by a newer version of this program; it was "
                                       "left as it is.")
                            .arg(QDir::toNativeSeparators(orphan.path)));
            continue;
        }
        if (contents.header == meterlink::JournalContents::Header::Missing) {
            tell(true, QStringLiteral("The file %1 is no journal of this program; it was left as it is.")
                           .arg(QDir::toNativeSeparators(orphan.path)));
            continue;
        }
        if (spent.count(QFileInfo(orphan.path).fileName().toStdString())) {
            retireSpent(orphan, contents);
            continue;
        }
        if (!contents.unsaved()) {
            orphan.remove();   // everything in it was saved
            continue;
        }
        const QString last = lastLoggedText(contents, orphan.path);
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                        question(contents.rows.rowCount(), last, contents.skippedLines, folder),
                        QMessageBox::Yes | QMessageBox::No, window_);
        box.setObjectName(QStringLiteral("RecoveryQuestion"));
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        const bool damaged = contents.skippedLines > 0;
        if (box.exec() == QMessageBox::Yes) {
            restored += contents.rows.rowCount();
            const QString path = orphan.path;
            const meterlink::Journal::Takeover t =
                journal_.takeOver(std::move(orphan), damaged, contents.damagedCopies, [&] {
                    logger_.restore(contents.rows, contents.chartValues);   // takes the rows
                });
            if (!t.synced) tell(true, notHandedOverMessage(path));
            continue;
        }
        const QString kept = keptFileName(orphan.path, last);
        QString why;
        if (meterlink::saveTableToFile(contents.rows, kept, &why)) {
            QString copy;
            if (damaged) {
                copy = meterlink::Journal::damagedCopyName(orphan.path);
                if (!orphan.renameTo(copy)) copy = orphan.path;
            } else {
                orphan.remove();
            }
            tell(false, keptMessage(kept, copy));
        } else {
            tell(true, meterlink::saveFailedMessage(kept) + QStringLiteral("; the journal %1 was left as it is.")
                                                                 .arg(QDir::toNativeSeparators(orphan.path)));
        }
    }
    return restored;
}
