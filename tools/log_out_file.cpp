#include "log_out_file.h"

#include "recording/data_files.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSaveFile>

#include <charconv>

namespace {

std::optional<std::int32_t> integerAt(std::string_view text) {
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end == text.data()) return std::nullopt;
    return v;
}

// A JSON-lines row: an object whose "no" is a whole number.
std::optional<std::int32_t> jsonRowNumber(std::string_view line) {
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromRawData(line.data(), static_cast<qsizetype>(line.size())));
    if (!doc.isObject()) return std::nullopt;
    const QJsonValue no = doc.object().value(QLatin1String("no"));
    const double v = no.toDouble(0.5);
    if (!no.isDouble() || v != static_cast<double>(static_cast<std::int32_t>(v))) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

// The number of a row of the given format; nullopt when the line is no row.
std::optional<std::int32_t> rowNumber(const meterlink::RowFormat& format, std::string_view line) {
    if (format.name == "text") return integerAt(line.substr(0, line.find('\t')));
    if (format.name == "csv") {
        const std::size_t comma = line.find(',');
        return comma == std::string_view::npos ? std::nullopt : integerAt(line.substr(comma + 1));
    }
    return jsonRowNumber(line);
}

QString formatTitle(const meterlink::RowFormat& format) {
    if (format.name == "csv") return QStringLiteral("CSV");
    if (format.name == "jsonl") return QStringLiteral("JSON-lines");
    return QStringLiteral("text");
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

bool LogOutFile::appendable(const QString& path) {
    return meterlink::dataFileFormat(path) != meterlink::DataFileFormat::Xml;
}

bool LogOutFile::check(const QString& path, bool append, std::string decimalSep,
                       std::optional<std::int32_t>& lastNo, QString& why) {
    path_ = path;
    format_ = &meterlink::rowFormatForFile(path);
    sep_ = std::move(decimalSep);
    const QFileInfo info(path);
    const bool hasRows = info.exists() && info.size() > 0;
    hasRows_ = hasRows;
    std::string header;
    format_->header(header, format_->fileLineEnd);
    if (hasRows && !append) {
        why = QStringLiteral("the file exists and is not empty; give --append to continue it, or another name");
        return false;
    }
    if (hasRows) {
        QFile existing(path);
        if (!existing.open(QIODevice::ReadOnly)) {
            why = existing.errorString();
            return false;
        }
        const QByteArray bytes = existing.readAll();
        if (!header.empty() && !bytes.startsWith(QByteArray::fromStdString(header))) {
            why = QStringLiteral("it is no %1 log: its first line is not the header").arg(formatTitle(*format_));
            return false;
        }
        if (!bytes.endsWith('\n')) {
            why = QStringLiteral("its last line is cut short; mend or move the file first");
            return false;
        }
        QByteArrayView rest(bytes.constData(), bytes.size() - 1);
        const qsizetype from = rest.lastIndexOf('\n') + 1;
        const std::string_view last = withoutCr({rest.data() + from, static_cast<std::size_t>(rest.size() - from)});
        const qsizetype firstEnd = bytes.indexOf('\n');
        const std::string_view first = withoutCr({bytes.constData(), static_cast<std::size_t>(firstEnd)});
        if (static_cast<std::size_t>(bytes.size()) > header.size()) {
            // Its first row (a file without a header) and its last must be
            // rows of this format: numbering goes on from the last.
            const QString name = formatTitle(*format_);
            if (header.empty() && !rowNumber(*format_, first)) {
                why = QStringLiteral("it is no %1 log: its first line is not a row of one").arg(name);
                return false;
            }
            lastNo = rowNumber(*format_, last);
            if (!lastNo) {
                why = QStringLiteral("it is no %1 log: its last line is not a row of one").arg(name);
                return false;
            }
        }
    }
    // Whether it can be written, found without leaving a trace.
    if (info.exists()) {
        QFile probe(path);
        if (!probe.open(QIODevice::Append)) {
            why = probe.errorString();
            return false;
        }
        return true;
    }
    return canCreate(path, why);
}

bool LogOutFile::canCreate(const QString& path, QString& why) {
    // A save file opens a new file beside it and makes it the file only on commit.
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        why = probe.errorString();
        return false;
    }
    probe.cancelWriting();
    return true;
}

bool LogOutFile::open(QString& why) {
    if (!file_.open(path_)) {
        why = file_.error();
        return false;
    }
    std::string header;
    format_->header(header, format_->fileLineEnd);
    if (!hasRows_ && !file_.append(header.data(), header.size())) {
        why = file_.error();
        return false;
    }
    return true;
}

bool LogOutFile::appendRow(const meterlink::RecordTable& table, int row) {
    line_.clear();
    format_->row(line_, table, row, sep_, format_->fileLineEnd);
    if (held_.empty() && file_.append(line_.data(), line_.size())) return true;
    // What a held row costs: its text and the queue's share.
    const std::size_t cost = line_.size() + sizeof(std::string);
    if (heldBytes_ + cost > kHeldBytesLimit) {
        ++dropped_;
    } else {
        held_.push_back(line_);
        heldBytes_ += cost;
    }
    return retry();
}

bool LogOutFile::retry() {
    // One row a write: a disk with room for a few rows takes them.
    while (!held_.empty()) {
        const std::string& line = held_.front();
        if (!file_.append(line.data(), line.size())) return false;
        heldBytes_ -= line.size() + sizeof(std::string);
        held_.pop_front();
    }
    return true;
}

bool LogOutFile::close() {
    const bool allWritten = !file_.isOpen() || retry();
    return file_.close() && allWritten;
}
