#pragma once
// At the window's start: journals that earlier sessions left with unsaved
// rows, and no running window holds, are offered back one by one. Yes
// restores the rows to the log and the chart, handing them over to the
// window's own journal; No keeps them as a dated CSV file beside the journal.
// Damaged lines are skipped, and a damaged journal is kept beside the
// journals until its rows are saved.

#include <QString>

class QWidget;

namespace meterlink {
class Journal;
class RecordLogger;
}

class JournalRecovery {
public:
    // journal: the window's own, which takes the restored rows over.
    JournalRecovery(meterlink::RecordLogger& logger, meterlink::Journal& journal, QWidget* window)
        : logger_(logger), journal_(journal), window_(window) {}

    // Looks in folder and asks about each journal found; returns the number of
    // rows restored.
    int offer(const QString& folder);

    static QString question(int rows, const QString& lastLogged, int skippedLines, const QString& folder);
    static QString keptMessage(const QString& file, const QString& damagedCopy = QString());
    static QString notHandedOverMessage(const QString& journal);

private:
    void tell(bool failure, const QString& text);

    meterlink::RecordLogger& logger_;
    meterlink::Journal& journal_;
    QWidget* window_;
};
