// A heap array of a fixed element count, zero-filled on creation: file images, the solver's
// best solution and spectrum, and the hit test's per-node table all live in one.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kvarlo {

template <typename T>
class FixedArray {
    static_assert(std::is_trivially_copyable_v<T>, "FixedArray holds plain records only");

public:
    // Allocates max(count, 1) elements, all bytes zero, so data() is never null.
    explicit FixedArray(uint32_t count) : data_(new T[count == 0 ? 1 : count]()), count_(count) {}

    FixedArray(const FixedArray& other) : FixedArray(other.count_) {
        std::memcpy(static_cast<void*>(data_.get()), other.data_.get(), bytes());
    }
    FixedArray& operator=(const FixedArray& other) {
        if (this != &other) {
            FixedArray copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    FixedArray(FixedArray&&) noexcept = default;
    FixedArray& operator=(FixedArray&&) noexcept = default;

    void zeroFill() { std::memset(static_cast<void*>(data_.get()), 0, bytes()); }

    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    uint32_t count() const { return count_; }
    size_t bytes() const { return sizeof(T) * (count_ == 0 ? 1 : count_); }

    T& operator[](uint32_t i) { return data_[i]; }
    const T& operator[](uint32_t i) const { return data_[i]; }

private:
    std::unique_ptr<T[]> data_;
    uint32_t count_;
};

}  // namespace kvarlo
