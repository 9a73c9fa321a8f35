#include "text_store.h"

#include <cstring>

namespace meterlink {

SharedTexts::SharedTexts() { clear(); }

TextRef SharedTexts::intern(QByteArrayView utf8) {
    if (utf8.isEmpty()) return 0;
    const QByteArray key = QByteArray::fromRawData(utf8.data(), utf8.size());
    const auto it = index_.constFind(key);
    if (it != index_.constEnd()) return *it;
    const auto ref = static_cast<TextRef>(entries_.size());
    Entry e{utf8.toByteArray(), QString::fromUtf8(utf8)};
    index_.insert(e.utf8, ref);
    entries_.push_back(std::move(e));
    return ref;
}

void SharedTexts::clear() {
    entries_.clear();
    index_.clear();
    entries_.push_back({});   // reference 0: the empty text
}

std::size_t SharedTexts::bytesUsed() const {
    std::size_t bytes = entries_.capacity() * sizeof(Entry);
    for (const Entry& e : entries_)
        bytes += static_cast<std::size_t>(e.utf8.capacity() + e.text.capacity() * 2);
    return bytes + static_cast<std::size_t>(index_.capacity()) * (sizeof(QByteArray) + sizeof(TextRef) + 16);
}

TextRef PackedTexts::add(QByteArrayView utf8) {
    if (utf8.isEmpty()) return 0;
    const auto length = static_cast<std::size_t>(utf8.size() > 255 ? 255 : utf8.size());
    if (used_ + 1 + length > kBlockSize) {
        blocks_.push_back(std::unique_ptr<char[]>(new char[kBlockSize]));   // not zeroed: written before read
        // Offset 0 of the first block would read as the empty text.
        used_ = blocks_.size() == 1 ? 1 : 0;
    }
    char* at = blocks_.back().get() + used_;
    at[0] = static_cast<char>(static_cast<unsigned char>(length));
    std::memcpy(at + 1, utf8.data(), length);
    const auto ref = static_cast<TextRef>(((blocks_.size() - 1) << kBlockShift) | used_);
    used_ += 1 + length;
    return ref;
}

QByteArrayView PackedTexts::utf8(TextRef ref) const {
    if (ref == 0) return {};
    const char* at = blocks_[ref >> kBlockShift].get() + (ref & (kBlockSize - 1));
    return {at + 1, static_cast<qsizetype>(static_cast<unsigned char>(at[0]))};
}

void PackedTexts::clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    used_ = kBlockSize;
}

}  // namespace meterlink
