// What every loader fuzz target checks after a successful load: saving what was loaded gives the
// same bytes again (the words the loaders ignore aside), so nothing is lost or invented.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "board/fixed_array.h"

namespace kvarlo::fuzz {

inline void expectSameImage(const FixedArray<uint8_t>& saved, const uint8_t* data, size_t size) {
    if (saved.count() > size) {
        std::abort();
    }
    for (uint32_t i = 0; i < saved.count(); ++i) {
        const bool ignored = (i >= 4 && i < 8) || (i >= 12 && i < 28);  // reserved, spare
        if (!ignored && saved[i] != data[i]) {
            std::abort();
        }
    }
}

}  // namespace kvarlo::fuzz
