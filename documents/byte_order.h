// Little-endian fields of the document files, written and read byte by byte so that the files
// are the same whatever the host's byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvarlo {

inline void putU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

inline void putI32(uint8_t* at, int32_t value) {
    putU32(at, static_cast<uint32_t>(value));
}

inline void putI16(uint8_t* at, int16_t value) {
    const auto bits = static_cast<uint16_t>(value);
    at[0] = static_cast<uint8_t>(bits);
    at[1] = static_cast<uint8_t>(bits >> 8);
}

inline void putI64(uint8_t* at, int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    putU32(at, static_cast<uint32_t>(bits));
    putU32(at + 4, static_cast<uint32_t>(bits >> 32));
}

// Reads the bytes of a file as the program received them. A field that lies (partly) past the
// bytes read reads as zero there, just as it would from the zero-filled buffer the file was read
// into; no read ever leaves the span.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t size() const { return bytes_.size(); }

    uint8_t u8(size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
    int8_t i8(size_t offset) const { return static_cast<int8_t>(u8(offset)); }
    int16_t i16(size_t offset) const {
        return static_cast<int16_t>(static_cast<uint16_t>(u8(offset) | (u8(offset + 1) << 8)));
    }
    uint32_t u32(size_t offset) const {
        return static_cast<uint32_t>(u8(offset)) | static_cast<uint32_t>(u8(offset + 1)) << 8 |
               static_cast<uint32_t>(u8(offset + 2)) << 16 |
               static_cast<uint32_t>(u8(offset + 3)) << 24;
    }
    int32_t i32(size_t offset) const { return static_cast<int32_t>(u32(offset)); }
    int64_t i64(size_t offset) const {
        return static_cast<int64_t>(static_cast<uint64_t>(u32(offset)) |
                                    static_cast<uint64_t>(u32(offset + 4)) << 32);
    }

private:
    std::span<const uint8_t> bytes_;
};

}  // namespace kvarlo
