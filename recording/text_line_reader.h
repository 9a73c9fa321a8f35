#pragma once
// Hands out the lines of a text data file one at a time, reading the file a
// piece at a time: memory stays bounded by the longest line allowed, not by
// the file's size.
//
// Lines end at CR LF, a lone CR or a lone LF; a last line without an end
// counts. The bytes are Latin-1, or UTF-8 after a UTF-8 byte-order mark; a
// file that starts with a UTF-16 byte-order mark is read as UTF-16 and handed
// out as UTF-8. A zero byte or a line longer than kMaxLineBytes is no data
// file: the reader stops there with the reason.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <memory>

class QIODevice;

namespace meterlink {

class TextLineReader {
public:
    enum class Encoding { Latin1, Utf8 };
    static constexpr qsizetype kMaxLineBytes = 4096;

    explicit TextLineReader(QIODevice& in);

    // The next line without its end, valid until the next call; false at the
    // end of the text, or on an error (error() then says why).
    bool next(QByteArrayView& line);
    // Whether the line handed out last had a line end.
    bool lineEnded() const { return ended_; }
    // The number of the line handed out last, from 1.
    qint64 lineNumber() const { return lineNo_; }
    Encoding encoding() const { return encoding_; }
    const QString& error() const { return error_; }

private:
    bool fill();
    void takeByteOrderMark(QByteArrayView& raw);
    bool failAt(const QString& why);

    QIODevice& in_;
    QByteArray chunk_;
    QByteArray buffer_;
    qsizetype begin_ = 0;
    qsizetype end_ = 0;
    bool started_ = false;
    bool atEnd_ = false;
    bool ended_ = false;
    qint64 lineNo_ = 0;
    Encoding encoding_ = Encoding::Latin1;
    std::unique_ptr<QStringDecoder> utf16_;
    QString error_;
};

}  // namespace meterlink
