// The memory of charged blocks.
#include "solver/engine/budget.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstring>

namespace kvarlo::engine {

#if defined(__linux__)

namespace {

constexpr uint64_t hugePage = uint64_t{2} << 20;
constexpr uint64_t smallPage = 4096;
// Blocks from this size on are mapped on their own.
constexpr uint64_t largeBlock = uint64_t{4} << 20;

// A mapping ends at the next huge page when that adds at most a sixteenth to the block, else at
// the next small page (its tail then in small pages): a touched huge page past the block's end
// holds memory the budget was not charged for.
uint64_t mappedLength(uint64_t bytes) {
    const uint64_t huge = (bytes + hugePage - 1) / hugePage * hugePage;
    if ((huge - bytes) * 16 <= bytes) {
        return huge;
    }
    return (bytes + smallPage - 1) / smallPage * smallPage;
}

}  // namespace

void* ChargedBlock::systemAllocate(uint64_t bytes, bool zeroed) {
    if (bytes < largeBlock) {
        const uint64_t asked = bytes == 0 ? 1 : bytes;
        return zeroed ? std::calloc(asked, 1) : std::malloc(asked);
    }
    // Mapped one huge page larger, then trimmed so that the block starts on a huge page
    // boundary and all of it but the tail can be backed by huge pages. Fresh mappings are zero.
    const uint64_t length = mappedLength(bytes);
    void* raw = mmap(nullptr, length + hugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    auto* base = static_cast<char*>(raw);
    const uint64_t head = (hugePage - reinterpret_cast<uintptr_t>(base) % hugePage) % hugePage;
    if (head > 0) {
        munmap(base, head);
    }
    munmap(base + head + length, hugePage - head);
    madvise(base + head, length, MADV_HUGEPAGE);
    return base + head;
}

void ChargedBlock::systemFree(void* p, uint64_t bytes) {
    if (bytes < largeBlock) {
        std::free(p);
    } else {
        munmap(p, mappedLength(bytes));
    }
}

// The whole huge pages of a large block before `front`, from `unmapped` on, given back; the new
// end of what is given back.
uint64_t ChargedRegion::systemUnmapFront(void* p, uint64_t bytes, uint64_t unmapped,
                                         uint64_t front) {
    if (bytes < largeBlock) {
        return unmapped;
    }
    const uint64_t end = front / hugePage * hugePage;
    if (end <= unmapped) {
        return unmapped;
    }
    munmap(static_cast<char*>(p) + unmapped, end - unmapped);
    return end;
}

// The rest of a block whose front up to `unmapped` is given back already.
void ChargedRegion::systemFreeRest(void* p, uint64_t bytes, uint64_t unmapped) {
    if (unmapped == 0) {
        ChargedBlock::systemFree(p, bytes);
    } else if (mappedLength(bytes) > unmapped) {
        munmap(static_cast<char*>(p) + unmapped, mappedLength(bytes) - unmapped);
    }
}

void* ChargedBlock::systemShrink(void* p, uint64_t bytes, uint64_t newBytes) {
    if (bytes < largeBlock) {
        return std::realloc(p, newBytes == 0 ? 1 : newBytes);
    }
    if (newBytes >= largeBlock) {
        const uint64_t keep = mappedLength(newBytes);
        if (keep < mappedLength(bytes)) {
            munmap(static_cast<char*>(p) + keep, mappedLength(bytes) - keep);
        }
        return p;
    }
    void* q = std::malloc(newBytes == 0 ? 1 : newBytes);
    if (!q) {
        return nullptr;
    }
    std::memcpy(q, p, newBytes);
    munmap(p, mappedLength(bytes));
    return q;
}

#else

uint64_t ChargedRegion::systemUnmapFront(void*, uint64_t, uint64_t unmapped, uint64_t) {
    return unmapped;
}

void ChargedRegion::systemFreeRest(void* p, uint64_t bytes, uint64_t) {
    ChargedBlock::systemFree(p, bytes);
}

void* ChargedBlock::systemAllocate(uint64_t bytes, bool zeroed) {
    const uint64_t asked = bytes == 0 ? 1 : bytes;
    return zeroed ? std::calloc(asked, 1) : std::malloc(asked);
}

void ChargedBlock::systemFree(void* p, uint64_t) {
    std::free(p);
}

void* ChargedBlock::systemShrink(void* p, uint64_t, uint64_t newBytes) {
    return std::realloc(p, newBytes == 0 ? 1 : newBytes);
}

#endif

ChargedRegion ChargedRegion::take(MemoryBudget& budget, uint64_t bytes) {
    ChargedRegion r;
    if (!budget.reserve(bytes)) {
        return r;
    }
    r.block_ = ChargedBlock::systemAllocate(bytes, true);
    if (!r.block_) {
        budget.refused(bytes);
        return r;
    }
    r.budget_ = &budget;
    r.bytes_ = bytes;
    return r;
}

void ChargedRegion::refund(uint64_t bytes) {
    if (!block_) {
        return;
    }
    uint64_t before = refunded_.load(std::memory_order_relaxed);
    uint64_t now = 0;
    do {
        now = before + std::min(bytes, bytes_ - before);
    } while (!refunded_.compare_exchange_weak(before, now, std::memory_order_relaxed));
    budget_->release(now - before);
}

void ChargedRegion::releaseFront(uint64_t bytes) {
    if (block_) {
        unmapped_ = systemUnmapFront(block_, bytes_, unmapped_, std::min(bytes, bytes_));
    }
}

void ChargedRegion::reset() {
    if (block_) {
        systemFreeRest(block_, bytes_, unmapped_);
        budget_->release(bytes_ - refunded_.load());
    }
    budget_ = nullptr;
    block_ = nullptr;
    bytes_ = 0;
    refunded_.store(0);
    unmapped_ = 0;
}

}  // namespace kvarlo::engine
