#pragma once
// The journal beside the window's log: every row the table gains is written
// to a file in the user's data folder as it arrives, and Close Data, loads
// and saves are recorded, so that the file always describes the rows in the
// window and whether they were saved since they last changed. A window that
// ends with unsaved rows leaves its journal for the next start to restore;
// one whose rows were all saved leaves none.
//
// Each journal has a lock file beside it while its window runs, so that two
// windows at once each keep their own and neither takes the other's.

#include "durable_append_file.h"
#include "record_table.h"

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace meterlink {

// A journal that no running window holds, locked for the caller.
struct OrphanJournal {
    QString path;
    std::unique_ptr<QLockFile> lock;
    // Removes the journal and its lock.
    void remove();
    // Renames the journal to `to` and lets it go; false when it cannot be renamed.
    bool renameTo(const QString& to);
};

class Journal : public QObject {
    Q_OBJECT
public:
    // The chart point of a row being appended, if it has one.
    using ChartValueOf = std::function<std::optional<double>(int row)>;

    static constexpr const char* kSuffix = ".journal";
    // The user's data folder (AppLocalDataLocation).
    static QString folder();

    Journal(RecordTable& table, ChartValueOf chartValueOf, QObject* parent = nullptr);
    ~Journal() override;

    // Opens a new journal in the folder and follows the table from now on.
    // False when it cannot be written; failed() has said why.
    bool start(const QString& folder = Journal::folder());
    // The rows in the table were saved (or loaded from a file unchanged).
    // Journals kept until then are removed.
    void markSaved();

    // Hands the rows of an orphan journal over to this one: appendRows()
    // appends them to the table (and so to this journal), which is then
    // synced. Only once they are on the disk here does the orphan go:
    // removed, or, when it is damaged, renamed to a copy kept beside the
    // journals until the log is saved. When they are not (this journal cannot
    // be written), the orphan stays as it is, held by this window until the
    // log is saved (then removed) or the window ends (then offered again).
    // damagedCopies: those the orphan itself kept, now kept by this journal.
    struct Takeover {
        bool synced = false;
        QString damagedCopy;   // the damaged orphan's new name, when it was renamed
    };
    Takeover takeOver(OrphanJournal orphan, bool damaged, const std::vector<std::string>& damagedCopies,
                      const std::function<void()>& appendRows);
    // The name a damaged journal is kept under: not a journal's, so that it
    // is not offered again.
    static QString damagedCopyName(const QString& journal);
    // Ends the journal: removed when no row is left unsaved, kept otherwise.
    void finish();

    const QString& path() const { return path_; }
    bool hasUnsavedRows() const { return unsaved_; }
    bool working() const { return file_.isOpen() && !broken_; }
    // The user-facing text of why the journal stopped, empty while it works.
    const QString& failure() const { return failure_; }

    // The message shown once when the journal cannot be written.
    static QString failureMessage(const QString& path, const QString& why);

signals:
    // Once, when the journal can no longer be written.
    void failed(const QString& message);

private:
    void rowsAppended(int first, int last);
    void cleared();
    void write(const std::string& bytes);
    void fail(const QString& why);
    void keepUntilSaved(const QString& file);

    RecordTable& table_;
    ChartValueOf chartValueOf_;
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    DurableAppendFile file_;
    std::int64_t headerBytes_ = 0;
    std::int64_t clearTo_ = -1;   // where a clear cuts the file to, when not after the header
    bool unsaved_ = false;
    bool broken_ = false;
    QString failure_;
    // Removed when the log is saved: damaged copies and orphans not yet handed over.
    std::vector<QString> untilSaved_;
    std::vector<OrphanJournal> heldOrphans_;
};

// The journals in folder that no running window holds (newest first), each
// locked so that no other window takes it meanwhile.
std::vector<OrphanJournal> findOrphanJournals(const QString& folder = Journal::folder());

}  // namespace meterlink
