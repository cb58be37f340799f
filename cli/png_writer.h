// A minimal PNG encoder for kvarlo-cli's rendered frames: 8-bit RGB, no compression (stored
// deflate blocks), so it needs no library on any platform.
#pragma once

#include <cstdint>
#include <vector>

namespace kvarlo::cli {

// Encodes width x height pixels of 32-bit 0x00RRGGBB values (blue in the lowest byte, as a
// 32-bit bitmap holds them), rows top-down, `stride` bytes apart.
std::vector<uint8_t> encodePng(const uint8_t* pixels, int32_t width, int32_t height,
                               int32_t stride);

}  // namespace kvarlo::cli
