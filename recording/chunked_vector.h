#pragma once
// A growable array kept in fixed-size blocks. Appending never moves what is
// already stored, so a log of ten million rows grows without the copy and the
// doubled peak of memory that one contiguous vector needs at each growth.

#include <cstddef>
#include <memory>
#include <vector>

namespace meterlink {

template <typename T, unsigned BlockShift = 11>
class ChunkedVector {
public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << BlockShift;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t i) { return blocks_[i >> BlockShift][i & (kBlockSize - 1)]; }
    const T& operator[](std::size_t i) const { return blocks_[i >> BlockShift][i & (kBlockSize - 1)]; }
    const T& back() const { return (*this)[size_ - 1]; }

    void push_back(const T& value) {
        if ((size_ >> BlockShift) == blocks_.size())
            // Left uninitialised: every slot is written before it is read, and
            // pages not yet used are not touched (nor resident).
            blocks_.push_back(std::unique_ptr<T[]>(new T[kBlockSize]));
        (*this)[size_] = value;
        ++size_;
    }

    // Keeps the first `size` elements and frees the blocks beyond them.
    void truncate(std::size_t size) {
        if (size >= size_) return;
        blocks_.resize((size + kBlockSize - 1) >> BlockShift);
        size_ = size;
    }

    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

    // Bytes held, for the memory figures of the benchmarks.
    std::size_t capacityBytes() const {
        return blocks_.size() * kBlockSize * sizeof(T) + blocks_.capacity() * sizeof(blocks_[0]);
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace meterlink
