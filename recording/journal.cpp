#include "journal.h"

#include "journal_format.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace meterlink {

namespace {

constexpr int kMostNameTries = 100;

std::unique_ptr<QLockFile> lockFor(const QString& journal) {
    auto lock = std::make_unique<QLockFile>(journal + QStringLiteral(".lock"));
    // Only a dead holder makes a lock stale, never its age: a window may log for weeks.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

}  // namespace

QString Journal::folder() { return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation); }

QString Journal::failureMessage(const QString& path, const QString& why) {
    return QStringLiteral("The journal of the log cannot be written (%1: %2). Logging goes on, but unsaved rows "
                          "would be lost in a crash: save the log now and then.")
        .arg(QDir::toNativeSeparators(path), why);
}

Journal::Journal(RecordTable& table, ChartValueOf chartValueOf, QObject* parent)
    : QObject(parent), table_(table), chartValueOf_(std::move(chartValueOf)) {}

Journal::~Journal() { finish(); }

bool Journal::start(const QString& folder) {
    const QFileInfo dir(folder);
    if (dir.exists() && !dir.isDir()) {
        path_ = folder;
        fail(QStringLiteral("the data folder is a file"));
        return false;
    }
    if (!QDir().mkpath(folder)) {
        path_ = folder;
        fail(QStringLiteral("the data folder cannot be made"));
        return false;
    }
    // Windows that start in the same millisecond (of one process, even) each
    // get a journal of their own: the first name nobody holds or left.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const QString base =
        QDir(folder).filePath(QStringLiteral("log-%1-%2").arg(stamp).arg(QCoreApplication::applicationPid()));
    for (int n = 1; !lock_ && n <= kMostNameTries; ++n) {
        path_ = (n == 1 ? base : base + QLatin1Char('-') + QString::number(n)) + QLatin1String(kSuffix);
        if (!QFileInfo::exists(path_)) lock_ = lockFor(path_);
    }
    if (!lock_) {
        fail(QStringLiteral("its lock file cannot be made"));
        return false;
    }
    if (!file_.open(path_)) {
        fail(file_.error());
        return false;
    }
    const std::string header = journalHeader();
    headerBytes_ = static_cast<std::int64_t>(header.size());
    if (!file_.truncate(0)) {
        fail(file_.error());
        return false;
    }
    write(header);
    connect(&table_, &RecordTable::rowsAppended, this, &Journal::rowsAppended);
    connect(&table_, &RecordTable::cleared, this, &Journal::cleared);
    // Rows already in the table (none in a new window) belong in it too.
    if (table_.rowCount() > 0) rowsAppended(0, table_.rowCount() - 1);
    return working();
}

void Journal::fail(const QString& why) {
    if (broken_) return;
    broken_ = true;
    failure_ = failureMessage(path_, why);
    emit failed(failure_);
}

void Journal::write(const std::string& bytes) {
    if (broken_ || !file_.isOpen()) return;
    if (!file_.append(bytes.data(), bytes.size())) fail(file_.error());
    else if (file_.syncFailed()) fail(QStringLiteral("the disk did not keep what was written"));
}

void Journal::rowsAppended(int first, int last) {
    unsaved_ = true;
    if (broken_) return;
    std::string lines;
    lines.reserve(static_cast<std::size_t>(last - first + 1) * 80);
    for (int r = first; r <= last; ++r) {
        appendJournalRow(lines, table_, r, chartValueOf_ ? chartValueOf_(r) : std::nullopt);
        // A large load is written a few megabytes at a time.
        if (lines.size() >= (std::size_t{4} << 20)) {
            write(lines);
            lines.clear();
        }
    }
    write(lines);
}

void Journal::cleared() {
    unsaved_ = false;
    if (broken_ || !file_.isOpen()) return;
    if (!file_.truncate(clearTo_ >= 0 ? clearTo_ : headerBytes_)) fail(file_.error());
}

void Journal::markSaved() {
    unsaved_ = false;
    std::string line;
    appendJournalSaved(line);
    write(line);
    for (const QString& file : untilSaved_) QFile::remove(file);
    untilSaved_.clear();
    for (OrphanJournal& orphan : heldOrphans_) orphan.remove();
    heldOrphans_.clear();
}

QString Journal::damagedCopyName(const QString& journal) {
    const QString base = journal + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n) name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

void Journal::keepUntilSaved(const QString& file) {
    untilSaved_.push_back(file);
    std::string line;
    appendJournalDamaged(line, QFileInfo(file).fileName().toStdString());
    write(line);
}

Journal::Takeover Journal::takeOver(OrphanJournal orphan, bool damaged,
                                    const std::vector<std::string>& damagedCopies,
                                    const std::function<void()>& appendRows) {
    const std::string name = QFileInfo(orphan.path).fileName().toStdString();
    std::string line;
    appendJournalTakes(line, name);
    write(line);
    // Rows restored into an empty log replace it: the clear that comes first
    // must keep the line that opens the hand-over.
    if (table_.rowCount() == 0 && working()) clearTo_ = file_.size();
    appendRows();
    clearTo_ = -1;
    line.clear();
    appendJournalTook(line, name);
    write(line);
    Takeover result;
    result.synced = working() && file_.syncNow();
    if (!result.synced) {
        if (!broken_) fail(file_.error());
        heldOrphans_.push_back(std::move(orphan));
        return result;
    }
    const QDir dir = QFileInfo(orphan.path).absoluteDir();
    for (const std::string& copy : damagedCopies) keepUntilSaved(dir.filePath(QString::fromStdString(copy)));
    if (damaged) {
        const QString copy = damagedCopyName(orphan.path);
        if (orphan.renameTo(copy)) {
            result.damagedCopy = copy;
            keepUntilSaved(copy);
            return result;
        }
    }
    orphan.remove();
    return result;
}

void Journal::finish() {
    if (!lock_) return;
    disconnect(&table_, nullptr, this, nullptr);
    heldOrphans_.clear();   // unlocked: offered again at the next start
    const bool wasOpen = file_.isOpen();
    const bool synced = file_.close();
    if (wasOpen && !unsaved_ && synced) QFile::remove(path_);
    lock_->unlock();
    lock_.reset();
}

bool OrphanJournal::renameTo(const QString& to) {
    if (!QFile::rename(path, to)) return false;
    path = to;
    if (lock) lock->unlock();
    lock.reset();
    return true;
}

void OrphanJournal::remove() {
    QFile::remove(path);
    if (lock) lock->unlock();
    lock.reset();
}

std::vector<OrphanJournal> findOrphanJournals(const QString& folder) {
    std::vector<OrphanJournal> found;
    const QFileInfoList files = QDir(folder).entryInfoList({QStringLiteral("*") + QLatin1String(Journal::kSuffix)},
                                                           QDir::Files, QDir::Time);
    for (const QFileInfo& f : files) {
        auto lock = lockFor(f.absoluteFilePath());
        if (!lock) continue;   // a running window holds it
        found.push_back({f.absoluteFilePath(), std::move(lock)});
    }
    return found;
}

}  // namespace meterlink
