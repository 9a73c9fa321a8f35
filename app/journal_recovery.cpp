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

QString JournalRecovery::question(int rows, const QString& lastLogged, int droppedLines) {
    QString text = QStringLiteral("The log of an earlier session was not saved: %1 rows, the last logged at %2. "
                                  "Restore it?")
                       .arg(rows)
                       .arg(lastLogged);
    if (droppedLines > 0)
        text += QStringLiteral("\n\nIts last %1 lines are damaged and were dropped.").arg(droppedLines);
    return text;
}

QString JournalRecovery::keptMessage(const QString& file) {
    const QFileInfo info(file);
    return QStringLiteral("The log was kept as the text data file %1 in the folder %2.")
        .arg(info.fileName(), QDir::toNativeSeparators(info.absolutePath()));
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
    QString name = dir.filePath(QStringLiteral("unsaved log %1.txt").arg(stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = dir.filePath(QStringLiteral("unsaved log %1 (%2).txt").arg(stamp).arg(n));
    return name;
}

}  // namespace

int JournalRecovery::offer(const QString& folder) {
    int restored = 0;
    for (meterlink::OrphanJournal& orphan : meterlink::findOrphanJournals(folder)) {
        QFile file(orphan.path);
        if (!file.open(QIODevice::ReadOnly)) {
            tell(true, QStringLiteral("The journal %1 cannot be read: %2")
                           .arg(QDir::toNativeSeparators(orphan.path), file.errorString()));
            continue;
        }
        meterlink::JournalContents contents;
        meterlink::readJournal(file.readAll(), contents);
        file.close();
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
        if (!contents.unsaved()) {
            orphan.remove();   // everything in it was saved
            continue;
        }
        const QString last = lastLoggedText(contents, orphan.path);
        QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                        question(contents.rows.rowCount(), last, contents.droppedLines),
                        QMessageBox::Yes | QMessageBox::No, window_);
        box.setObjectName(QStringLiteral("RecoveryQuestion"));
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        if (box.exec() == QMessageBox::Yes) {
            restored += contents.rows.rowCount();
            logger_.restore(contents.rows, contents.chartValues);   // takes the rows
            // The rows now live in this window's own journal.
            orphan.remove();
            continue;
        }
        const QString kept = keptFileName(orphan.path, last);
        if (meterlink::SaveTableAsText(contents.rows, kept)) {
            orphan.remove();
            tell(false, keptMessage(kept));
        } else {
            tell(true, meterlink::saveFailedMessage(kept) + QStringLiteral("; the journal %1 was left as it is.")
                                                                 .arg(QDir::toNativeSeparators(orphan.path)));
        }
    }
    return restored;
}
