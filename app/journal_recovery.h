#pragma once
// At the window's start: journals that earlier sessions left with unsaved
// rows, and no running window holds, are offered back one by one. Yes
// restores the rows to the log and the chart; No keeps them as a dated text
// data file beside the journal.

#include <QString>

class QWidget;

namespace meterlink {
class RecordLogger;
}

class JournalRecovery {
public:
    JournalRecovery(meterlink::RecordLogger& logger, QWidget* window) : logger_(logger), window_(window) {}

    // Looks in folder and asks about each journal found; returns the number of
    // rows restored.
    int offer(const QString& folder);

    static QString question(int rows, const QString& lastLogged, int droppedLines);
    static QString keptMessage(const QString& file);

private:
    void tell(bool failure, const QString& text);

    meterlink::RecordLogger& logger_;
    QWidget* window_;
};
