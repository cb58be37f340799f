// The search's memory budget. Every large block of the search (layer shards, hash tables,
// transposition tables) is taken from here, so the search can go on incomplete instead of
// allocating past what it was given.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace kvarlo::engine {

class MemoryBudget {
public:
    explicit MemoryBudget(uint64_t limitBytes) : limit_(limitBytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Null when the block would take the total past the limit or the system refuses it.
    void* allocate(uint64_t bytes) {
        if (!reserve(bytes)) {
            return nullptr;
        }
        void* p = std::malloc(bytes == 0 ? 1 : bytes);
        if (!p) {
            release(bytes);
        }
        return p;
    }
    void free(void* p, uint64_t bytes) {
        if (p) {
            std::free(p);
            release(bytes);
        }
    }
    // Shrinks a block to `newBytes` where the allocator can; never grows it. `p` and `bytes`
    // describe the block afterwards (unchanged when the allocator refuses).
    void shrink(void*& p, uint64_t& bytes, uint64_t newBytes) {
        if (!p || newBytes >= bytes) {
            return;
        }
        void* q = std::realloc(p, newBytes == 0 ? 1 : newBytes);
        if (!q) {
            return;  // keeping the larger block is always safe
        }
        release(bytes - newBytes);
        p = q;
        bytes = newBytes;
    }

    // Accounting alone, for blocks whose memory is managed by hand: charge() fails, changing
    // nothing, when the total would pass the limit.
    bool charge(uint64_t bytes) { return reserve(bytes); }
    void refund(uint64_t bytes) { release(bytes); }

    uint64_t used() const { return used_.load(std::memory_order_relaxed); }
    uint64_t peak() const { return peak_.load(std::memory_order_relaxed); }
    uint64_t limit() const { return limit_; }
    void resetPeak() { peak_.store(used(), std::memory_order_relaxed); }

private:
    bool reserve(uint64_t bytes) {
        uint64_t cur = used_.load(std::memory_order_relaxed);
        do {
            if (bytes > limit_ || cur > limit_ - bytes) {
                return false;
            }
        } while (!used_.compare_exchange_weak(cur, cur + bytes, std::memory_order_relaxed));
        uint64_t p = peak_.load(std::memory_order_relaxed);
        while (cur + bytes > p &&
               !peak_.compare_exchange_weak(p, cur + bytes, std::memory_order_relaxed)) {
        }
        return true;
    }
    void release(uint64_t bytes) { used_.fetch_sub(bytes, std::memory_order_relaxed); }

    uint64_t limit_;
    std::atomic<uint64_t> used_{0};
    std::atomic<uint64_t> peak_{0};
};

// Half of the physical memory: the default budget.
uint64_t defaultMemoryBudget();

}  // namespace kvarlo::engine
