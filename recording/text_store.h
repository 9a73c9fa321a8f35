#pragma once
// Where the record table keeps its texts, as UTF-8 without a terminator.
//  - PackedTexts keeps texts one after another in large blocks (values,
//    loaded and timed times), each behind a one-byte length.
//  - SharedTexts keeps each distinct text once (functions, units, verdicts,
//    the times of frame-driven rows) in a PackedTexts of its own, found again
//    through an open-addressing index of references: a few bytes a text, so
//    that even the 86,400 times of a day-long log cost little.
// Reference 0 is the empty text in both.

#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <vector>

namespace meterlink {

using TextRef = std::uint32_t;

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

class SharedTexts {
public:
    TextRef intern(QByteArrayView utf8);
    QByteArrayView utf8(TextRef ref) const { return texts_.utf8(ref); }
    std::size_t size() const { return count_; }
    void clear();
    std::size_t bytesUsed() const { return texts_.bytesUsed() + slots_.capacity() * sizeof(TextRef); }

private:
    void grow();

    PackedTexts texts_;
    std::vector<TextRef> slots_;   // 0: free; a power of two long, at most half full
    std::size_t count_ = 0;
};

}  // namespace meterlink
