#include "recording_file.h"

#include <QDir>

namespace meterlink {

bool RecordingFile::fits(const QString& path) {
    const RowFormat& format = rowFormatForFile(path);
    return format.name == "csv" || format.name == "jsonl";
}

QString RecordingFile::failedMessage(const QString& path, const QString& why) {
    return QStringLiteral("Could not write to the recording file %1 (%2). The rows are kept and written to it as "
                          "soon as it can be written again.")
        .arg(QDir::toNativeSeparators(path), why);
}

QString RecordingFile::resumedMessage(const QString& path) {
    return QStringLiteral("The recording file %1 is written again; no row was lost.")
        .arg(QDir::toNativeSeparators(path));
}

QString RecordingFile::stoppedMessage(const QString& path) {
    return QStringLiteral("Recording to %1 has stopped: the file could not be written for too long. The rows are "
                          "still in the log; save it to keep them.")
        .arg(QDir::toNativeSeparators(path));
}

bool RecordingFile::start(const QString& path, QString& why) {
    stop();
    if (!fits(path)) {
        why = QStringLiteral("a recording file's name ends in .csv or .jsonl");
        return false;
    }
    if (!file_.open(path)) {
        why = file_.error();
        return false;
    }
    format_ = &rowFormatForFile(path);
    path_ = path;
    // The dialog asked before an existing file is replaced.
    std::string header;
    format_->header(header, format_->fileLineEnd);
    if (!file_.truncate(0) || !file_.append(header.data(), header.size())) {
        why = file_.error();
        file_.close();
        return false;
    }
    return true;
}

bool RecordingFile::stop() {
    if (!file_.isOpen()) return pendingRows_ == 0;
    flush();
    const bool whole = pendingRows_ == 0;
    const bool synced = file_.close();
    pending_.clear();
    pendingRows_ = 0;
    failing_ = false;
    return whole && synced;
}

void RecordingFile::appendRow(const RecordTable& table, int row, std::string_view decimalSep) {
    if (!file_.isOpen()) return;
    format_->row(pending_, table, row, decimalSep, format_->fileLineEnd);
    ++pendingRows_;
    // Once refused, the file is tried again by retry(), not by every row.
    if (!failing_) flush();
    if (pending_.size() > kMostPendingBytes) {
        const QString message = stoppedMessage(path_);
        file_.close();
        pending_.clear();
        pendingRows_ = 0;
        failing_ = false;
        emit gaveUp(message);
    }
}

void RecordingFile::retry() {
    if (file_.isOpen() && pendingRows_ > 0) flush();
}

void RecordingFile::flush() {
    if (pending_.empty()) return;
    // All kept lines in one write: the file takes all of them or none.
    if (!file_.append(pending_.data(), pending_.size())) {
        if (!failing_) {
            failing_ = true;
            emit writeFailed(failedMessage(path_, file_.error()));
        }
        return;
    }
    pending_.clear();
    pendingRows_ = 0;
    if (failing_) {
        failing_ = false;
        emit writeResumed(resumedMessage(path_));
    }
}

}  // namespace meterlink
