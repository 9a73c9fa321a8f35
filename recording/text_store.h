#pragma once
// Where the record table keeps its texts, as UTF-8 without a terminator.
//  - SharedTexts keeps each distinct text once (functions, units, verdicts,
//    the times of frame-driven rows): a row refers to it by number.
//  - PackedTexts keeps texts one after another in large blocks (values,
//    loaded and timed times), each behind a one-byte length.
// Reference 0 is the empty text in both.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace meterlink {

using TextRef = std::uint32_t;

class SharedTexts {
public:
    SharedTexts();
    TextRef intern(QByteArrayView utf8);
    QByteArrayView utf8(TextRef ref) const { return entries_[ref].utf8; }
    // Kept beside the bytes, so showing a shared text costs no conversion.
    const QString& text(TextRef ref) const { return entries_[ref].text; }
    std::size_t size() const { return entries_.size(); }
    void clear();
    std::size_t bytesUsed() const;

private:
    struct Entry {
        QByteArray utf8;
        QString text;
    };
    std::vector<Entry> entries_;
    QHash<QByteArray, TextRef> index_;
};

class PackedTexts {
public:
    // Texts are at most 255 bytes (the table cuts them much shorter).
    TextRef add(QByteArrayView utf8);
    QByteArrayView utf8(TextRef ref) const;
    void clear();
    std::size_t bytesUsed() const { return blocks_.size() * kBlockSize; }

private:
    static constexpr unsigned kBlockShift = 16;   // 64 KiB blocks
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockShift;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = kBlockSize;   // bytes used in the last block; full before the first
};

}  // namespace meterlink
