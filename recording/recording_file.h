#pragma once
// The window's log recorded to a file as it goes: each logged row is
// appended to a CSV or JSON-lines file (the name's extension picks which) and
// synced within a second, as meterlink-cli log --out does, by the same
// writers and the same append-and-sync file.
//
// A row the disk refuses is not lost: it is kept in memory with every row
// after it, and all are written in order when the disk takes them again
// (tried by retry(), which the owner calls now and then). The first refusal
// and the recovery are told once each. Beyond kMostPendingBytes the recording stops,
// and says that the rows from then on are in the window's log only.

#include "durable_append_file.h"
#include "record_table.h"
#include "row_formats.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace meterlink {

class RecordingFile : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kMostPendingBytes = std::size_t{64} << 20;

    explicit RecordingFile(QObject* parent = nullptr) : QObject(parent) {}
    ~RecordingFile() override { stop(); }

    // Whether rows can be recorded to a file of this name (.csv or .jsonl).
    static bool fits(const QString& path);

    // Starts recording to path, replacing what it held, with the format's
    // header. False, with why set, when the file cannot be written.
    bool start(const QString& path, QString& why);
    // Writes what it can of the rows kept, syncs and closes; true when
    // nothing was left unwritten.
    bool stop();
    bool active() const { return file_.isOpen(); }
    const QString& path() const { return path_; }

    // Appends row `row` of table. decimalSep: the separator of its value text.
    void appendRow(const RecordTable& table, int row, std::string_view decimalSep);
    // Writes the rows kept since a refusal, if the disk takes them now.
    void retry();
    // Rows logged but not yet in the file.
    int pendingRows() const { return pendingRows_; }

    static QString failedMessage(const QString& path, const QString& why);
    static QString resumedMessage(const QString& path);
    static QString stoppedMessage(const QString& path);

signals:
    // Once when writing stops working, once when it works again.
    void writeFailed(const QString& message);
    void writeResumed(const QString& message);
    // The rows kept grew beyond kMostPendingBytes: recording stopped.
    void gaveUp(const QString& message);

private:
    void flush();

    DurableAppendFile file_;
    const RowFormat* format_ = nullptr;
    QString path_;
    std::string pending_;   // whole lines, in order
    int pendingRows_ = 0;
    bool failing_ = false;
};

}  // namespace meterlink
