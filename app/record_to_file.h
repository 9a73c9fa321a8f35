#pragma once
// "Record to File…" in the Record menu: the user picks a CSV or JSON-lines
// file, and every row logged from then on is appended to it and synced
// within a second, until "Stop Recording to File" or the window closes. The
// status line names the file. A file that cannot be written is told once in
// an "Error" box; its rows are kept and written when it can be again.

#include "recording/recording_file.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QLabel;
class QStatusBar;
class QWidget;
class RecordMenu;

namespace meterlink {
class RecordTable;
}

class RecordToFile : public QObject {
    Q_OBJECT
public:
    RecordToFile(RecordMenu& menu, QStatusBar* statusBar, QWidget* window);

    // Asks for the file, then records to it.
    void RecordToFile1Click();
    void StopRecording1Click();
    // Records to path from now on; false (and an "Error" box) when it cannot.
    bool startRecording(const QString& path);

    // Row `row` of table was just logged; decimalSep is its value's separator.
    void rowLogged(const meterlink::RecordTable& table, int row, const QString& decimalSep);

    const meterlink::RecordingFile& file() const { return file_; }
    QLabel* statusLabel() const { return status_; }
    static QString statusText(const QString& path, int waiting);
    static QString startFailedText(const QString& path) {
        return QStringLiteral("Could not record to the file: ") + path;
    }

private:
    void showState();
    void tell(bool failure, const QString& text, const QString& detail = QString());

    RecordMenu& menu_;
    QWidget* window_;
    QLabel* status_ = nullptr;
    meterlink::RecordingFile file_;
    // While rows wait for the disk, they are offered again each second even
    // when no new row comes.
    QTimer retry_;
};
