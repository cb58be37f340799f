// The search's memory budget. Every large block of the search (layer shards, hash tables,
// transposition tables) is taken from here, so the search can go on incomplete instead of
// allocating past what it was given.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace kvarlo::engine {

class MemoryBudget {
public:
    explicit MemoryBudget(uint64_t limitBytes) : limit_(limitBytes) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    uint64_t used() const { return used_.load(std::memory_order_relaxed); }
    uint64_t peak() const { return peak_.load(std::memory_order_relaxed); }
    uint64_t limit() const { return limit_; }
    // Whether the system refused a block the budget had room for: the budget is above what a
    // limit of the system allows.
    bool systemRefused() const { return systemRefused_.load(std::memory_order_relaxed); }

private:
    friend class ChargedBlock;
    friend class ChargedShare;
    friend class ChargedRegion;
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
    // Gives back what the system refused to provide.
    void refused(uint64_t bytes) {
        release(bytes);
        systemRefused_.store(true, std::memory_order_relaxed);
    }

    uint64_t limit_;
    std::atomic<uint64_t> used_{0};
    std::atomic<uint64_t> peak_{0};
    std::atomic<bool> systemRefused_{false};
};

// A share of a budget set aside for a search that manages its own memory within it: charged
// when made (nothing when the budget has no room), refunded when destroyed.
class ChargedShare {
public:
    ChargedShare(MemoryBudget& budget, uint64_t bytes)
        : budget_(budget), bytes_(budget.reserve(bytes) ? bytes : 0) {}
    ~ChargedShare() { budget_.release(bytes_); }
    ChargedShare(const ChargedShare&) = delete;
    ChargedShare& operator=(const ChargedShare&) = delete;

    uint64_t bytes() const { return bytes_; }

private:
    MemoryBudget& budget_;
    uint64_t bytes_;
};

// A block of memory that holds its charge to a budget for as long as it lives: charged when it
// is taken, refunded when it shrinks, is released or is destroyed, so no path of the search can
// forget either half.
class ChargedBlock {
public:
    ChargedBlock() = default;
    // An empty block (false) when the budget has no room or the system refuses the memory.
    static ChargedBlock take(MemoryBudget& budget, uint64_t bytes, bool zeroed = false) {
        ChargedBlock b;
        if (!budget.reserve(bytes)) {
            return b;
        }
        b.data_ = systemAllocate(bytes, zeroed);
        if (!b.data_) {
            budget.refused(bytes);
            return b;
        }
        b.budget_ = &budget;
        b.bytes_ = bytes;
        return b;
    }
    ~ChargedBlock() { reset(); }
    ChargedBlock(ChargedBlock&& o) noexcept : budget_(o.budget_), data_(o.data_), bytes_(o.bytes_) {
        o.budget_ = nullptr;
        o.data_ = nullptr;
        o.bytes_ = 0;
    }
    ChargedBlock& operator=(ChargedBlock&& o) noexcept {
        if (this != &o) {
            reset();
            std::swap(budget_, o.budget_);
            std::swap(data_, o.data_);
            std::swap(bytes_, o.bytes_);
        }
        return *this;
    }
    ChargedBlock(const ChargedBlock&) = delete;
    ChargedBlock& operator=(const ChargedBlock&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    void* data() const { return data_; }
    uint64_t bytes() const { return bytes_; }

    // Shrinks the block to `newBytes` where the allocator can (never grows it) and refunds the
    // difference; unchanged when the allocator refuses, which is always safe.
    void shrink(uint64_t newBytes) {
        if (!data_ || newBytes >= bytes_) {
            return;
        }
        void* q = systemShrink(data_, bytes_, newBytes);
        if (!q) {
            return;
        }
        budget_->release(bytes_ - newBytes);
        data_ = q;
        bytes_ = newBytes;
    }

    // Replaces the block by a zeroed one of `newBytes` that `fill(fresh)` fills from the old
    // contents (still in data()). Only the growth is charged: the old block lives on for the
    // copy, a transient beyond the account. Unless Done, the block is unchanged.
    enum class Regrow { Done, NoRoom, FillRefused };
    template <typename Fill>
    Regrow regrow(uint64_t newBytes, Fill&& fill) {
        if (!budget_ || newBytes < bytes_ || !budget_->reserve(newBytes - bytes_)) {
            return Regrow::NoRoom;
        }
        void* fresh = systemAllocate(newBytes, true);
        if (!fresh) {
            budget_->refused(newBytes - bytes_);
            return Regrow::NoRoom;
        }
        const Regrow r = fill(fresh) ? Regrow::Done : Regrow::FillRefused;
        if (r != Regrow::Done) {
            systemFree(fresh, newBytes);
            budget_->release(newBytes - bytes_);
            return r;
        }
        systemFree(data_, bytes_);
        data_ = fresh;
        bytes_ = newBytes;
        return r;
    }

    // Frees the memory and refunds its charge; the block is then empty.
    void reset() {
        if (data_) {
            systemFree(data_, bytes_);
            budget_->release(bytes_);
        }
        budget_ = nullptr;
        data_ = nullptr;
        bytes_ = 0;
    }

private:
    friend class ChargedRegion;
    // The memory itself (budget.cpp). Large blocks come straight from the system, in huge pages
    // where it has them: a layer's tables are touched at random, and a stop must give back
    // gigabytes at once, which takes a while in small pages. A block's size alone says which
    // kind it is. Null when the system refuses.
    static void* systemAllocate(uint64_t bytes, bool zeroed);
    static void systemFree(void* p, uint64_t bytes);
    // The block at `p` cut to `newBytes` (maybe moved); null when the system refuses, `p`
    // then unchanged.
    static void* systemShrink(void* p, uint64_t bytes, uint64_t newBytes);

    MemoryBudget* budget_ = nullptr;
    void* data_ = nullptr;
    uint64_t bytes_ = 0;
};

// One zeroed block for many tables, charged to a budget when it is taken. Its charge and its
// memory are given back apart: `refund` returns the charge of a table whose contents have moved
// elsewhere, `releaseFront` the memory before an offset, in whole huge pages where the region
// has them (elsewhere with the rest when the region is destroyed). The tables of a layer in one
// region of huge pages go back to the system in a few unmaps, where as many blocks of small
// pages take a while.
class ChargedRegion {
public:
    ChargedRegion() = default;
    // An empty region (false) when the budget has no room or the system refuses the memory.
    static ChargedRegion take(MemoryBudget& budget, uint64_t bytes);
    ~ChargedRegion() { reset(); }
    ChargedRegion(ChargedRegion&& o) noexcept { swap(o); }
    ChargedRegion& operator=(ChargedRegion&& o) noexcept {
        ChargedRegion old(std::move(*this));
        swap(o);
        return *this;
    }
    ChargedRegion(const ChargedRegion&) = delete;
    ChargedRegion& operator=(const ChargedRegion&) = delete;

    explicit operator bool() const { return block_ != nullptr; }
    char* data() const { return static_cast<char*>(block_); }
    uint64_t bytes() const { return bytes_; }
    uint64_t charged() const { return bytes_ - refunded_.load(std::memory_order_relaxed); }

    // Gives back the charge of `bytes` more (at most what is still charged). The memory stays
    // until it is released: a transient beyond the account. Safe on several threads at once.
    void refund(uint64_t bytes);
    // Gives back the memory before offset `bytes` where the system can take it in parts.
    void releaseFront(uint64_t bytes);
    void reset();

private:
    // The whole huge pages of a block before `front`, from `unmapped` on, given back to the
    // system where the block has them; the new end of what is given back (budget.cpp).
    static uint64_t systemUnmapFront(void* p, uint64_t bytes, uint64_t unmapped, uint64_t front);
    // The rest of a block whose front up to `unmapped` is given back already.
    static void systemFreeRest(void* p, uint64_t bytes, uint64_t unmapped);
    void swap(ChargedRegion& o) noexcept {
        std::swap(budget_, o.budget_);
        std::swap(block_, o.block_);
        std::swap(bytes_, o.bytes_);
        refunded_.store(o.refunded_.exchange(refunded_.load()));
        std::swap(unmapped_, o.unmapped_);
    }

    MemoryBudget* budget_ = nullptr;
    void* block_ = nullptr;
    uint64_t bytes_ = 0;
    std::atomic<uint64_t> refunded_{0};  // charge given back
    uint64_t unmapped_ = 0;              // memory given back, from the front, in whole huge pages
};

}  // namespace kvarlo::engine
