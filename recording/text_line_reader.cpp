#include "text_line_reader.h"

#include <QIODevice>

#include <cstring>

namespace meterlink {

namespace {

constexpr qsizetype kChunkBytes = qsizetype{1} << 16;

}  // namespace

TextLineReader::TextLineReader(QIODevice& in) : in_(in) {}

bool TextLineReader::failAt(const QString& why) {
    error_ = why;
    return false;
}

// The first bytes read may hold a byte-order mark.
void TextLineReader::takeByteOrderMark(QByteArrayView& raw) {
    started_ = true;
    if (raw.startsWith("\xEF\xBB\xBF")) {
        encoding_ = Encoding::Utf8;
        raw = raw.sliced(3);
    } else if (raw.startsWith("\xFF\xFE") || raw.startsWith("\xFE\xFF")) {
        encoding_ = Encoding::Utf8;
        utf16_ = std::make_unique<QStringDecoder>(raw.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE
                                                                               : QStringConverter::Utf16BE);
        raw = raw.sliced(2);
    }
}

bool TextLineReader::fill() {
    // Keep only what is not handed out yet.
    buffer_.remove(0, begin_);
    end_ -= begin_;
    begin_ = 0;
    chunk_.resize(kChunkBytes);
    const qint64 n = in_.read(chunk_.data(), kChunkBytes);
    if (n < 0) return failAt(QStringLiteral("could not read the file: ") + in_.errorString());
    if (n == 0) {
        atEnd_ = true;
        return true;
    }
    QByteArrayView raw(chunk_.constData(), n);
    if (!started_) takeByteOrderMark(raw);
    if (utf16_)
        buffer_.append(QString(utf16_->decode(raw)).toUtf8());
    else
        buffer_.append(raw);
    end_ = buffer_.size();
    return true;
}

bool TextLineReader::next(QByteArrayView& line) {
    if (!error_.isEmpty()) return false;
    if (!started_ && !fill()) return false;
    qsizetype scanned = begin_;
    for (;;) {
        const char* data = buffer_.constData();
        qsizetype at = scanned;
        while (at < end_ && data[at] != '\n' && data[at] != '\r' && data[at] != '\0') ++at;
        if (at < end_ && data[at] == '\0') {
            const qint64 lineNo = lineNo_ + 1;
            // ASCII in UTF-16 without its mark: every other byte is zero.
            if (lineNo == 1 && encoding_ == Encoding::Latin1 && end_ - begin_ >= 2 &&
                (data[begin_] == '\0') != (data[begin_ + 1] == '\0'))
                return failAt(QStringLiteral("not a data file: UTF-16 text without a byte-order mark"));
            return failAt(QStringLiteral("not a data file: line %1 holds a zero byte").arg(lineNo));
        }
        if (at - begin_ > kMaxLineBytes)
            return failAt(QStringLiteral("not a data file: line %1 is longer than %2 bytes")
                              .arg(lineNo_ + 1)
                              .arg(kMaxLineBytes));
        // A CR at the end of what was read may be the first half of CR LF.
        const bool needMore = at == end_ || (data[at] == '\r' && at + 1 == end_);
        if (needMore && !atEnd_) {
            const qsizetype offset = at - begin_;
            if (!fill()) return false;
            scanned = begin_ + offset;
            continue;
        }
        if (at == end_ && at == begin_) return false;   // nothing left
        ++lineNo_;
        line = QByteArrayView(buffer_.constData() + begin_, at - begin_);
        ended_ = at < end_;
        begin_ = at < end_ ? at + 1 : at;
        if (ended_ && data[at] == '\r' && begin_ < end_ && data[begin_] == '\n') ++begin_;
        return true;
    }
}

}  // namespace meterlink
