#include "text_store.h"

#include <cstring>

namespace meterlink {

namespace {

std::size_t hashOf(QByteArrayView utf8) {
    std::uint64_t h = 1469598103934665603ULL;   // FNV-1a
    for (char c : utf8) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace

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

TextRef SharedTexts::intern(QByteArrayView utf8) {
    if (utf8.isEmpty()) return 0;
    if ((count_ + 1) * 2 > slots_.size()) grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hashOf(utf8) & mask;; i = (i + 1) & mask) {
        const TextRef ref = slots_[i];
        if (ref == 0) {
            slots_[i] = texts_.add(utf8);
            ++count_;
            return slots_[i];
        }
        if (texts_.utf8(ref) == utf8) return ref;
    }
}

void SharedTexts::grow() {
    std::vector<TextRef> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (TextRef ref : old) {
        if (ref == 0) continue;
        std::size_t i = hashOf(texts_.utf8(ref)) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = ref;
    }
}

void SharedTexts::clear() {
    texts_.clear();
    slots_.clear();
    slots_.shrink_to_fit();
    count_ = 0;
}

}  // namespace meterlink
