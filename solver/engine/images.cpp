// The byte and jump tables of the symmetry images, and the two implementations over them.
#include "solver/engine/images.h"

#include <cstring>

// Not on Windows: GCC there cannot align the stack for the 512-bit registers it spills.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#include <immintrin.h>
#define KVARLO_VECTOR_IMAGES 1
#endif

namespace kvarlo::engine {

namespace {

// The vector implementation holds up to 16 images: 8 in one register, the rest in another.
constexpr int32_t vectorLanes = 16;

bool machineHasVectors() {
#ifdef KVARLO_VECTOR_IMAGES
    return __builtin_cpu_supports("avx512f");
#else
    return false;
#endif
}

}  // namespace

SymmetryImages::SymmetryImages(const JumpGraph& graph, int32_t count, bool vectors)
    : count_(count), byteCount_((graph.slotCount + 7) / 8), narrow_(graph.slotCount <= 64) {
    fillByteImages(graph);
    fillFlipImages(graph);
    chooseImplementation(vectors);
}

void SymmetryImages::fillByteImages(const JumpGraph& graph) {
    const size_t row = 2 * static_cast<size_t>(count_);
    byteImages_.assign(static_cast<size_t>(byteCount_) * 256 * row, 0);
    for (int32_t b = 0; b < byteCount_; ++b) {
        for (int32_t v = 0; v < 256; ++v) {
            Bits p;
            for (int32_t i = 0; i < 8; ++i) {
                if ((v >> i) & 1 && 8 * b + i < graph.slotCount) {
                    p.set(8 * b + i);
                }
            }
            storeImages(graph, p, &byteImages_[(static_cast<size_t>(b) * 256 + v) * row]);
        }
    }
}

void SymmetryImages::fillFlipImages(const JumpGraph& graph) {
    const size_t row = 2 * static_cast<size_t>(count_);
    flipImages_.assign(graph.jumps.size() * row, 0);
    for (size_t j = 0; j < graph.jumps.size(); ++j) {
        const Jump& jump = graph.jumps[j];
        const Bits flip = Bits::bit(jump.from) | Bits::bit(jump.over) | Bits::bit(jump.to);
        storeImages(graph, flip, &flipImages_[j * row]);
    }
}

void SymmetryImages::storeImages(const JumpGraph& graph, Bits p, uint64_t* row) const {
    for (int32_t g = 0; g < count_; ++g) {
        const Bits image = applyPermutation(graph.symmetries[g], p, graph.slotCount);
        row[g] = image.hi;
        row[count_ + g] = image.lo;
    }
}

void SymmetryImages::chooseImplementation(bool vectors) {
    usesVectors_ = vectors && count_ > 1 && count_ <= vectorLanes && machineHasVectors();
    if (usesVectors_) {
        images_ = &imagesVector;
        children_ = &childrenVector;
        return;
    }
    switch (count_) {
        case 12:
            images_ = &imagesPlain<12>;
            children_ = &childrenPlain<12>;
            break;
        case 6:
            images_ = &imagesPlain<6>;
            children_ = &childrenPlain<6>;
            break;
        case 4:
            images_ = &imagesPlain<4>;
            children_ = &childrenPlain<4>;
            break;
        case 2:
            images_ = &imagesPlain<2>;
            children_ = &childrenPlain<2>;
            break;
        case 1:
            images_ = &imagesPlain<1>;
            children_ = &childrenPlain<1>;
            break;
        default:
            images_ = &imagesPlain<0>;
            children_ = &childrenPlain<0>;
            break;
    }
}

Bits SymmetryImages::canonical(Bits p) const {
    Images images;
    imagesOf(p, images);
    Bits best{images.lo[0], images.hi[0]};
    for (int32_t g = 1; g < count_; ++g) {
        const Bits image{images.lo[g], images.hi[g]};
        if (image < best) {
            best = image;
        }
    }
    return best;
}

// With the count known when compiling (Fixed > 0), the loops unroll and the accumulators stay
// in registers.
template <int32_t Fixed>
void SymmetryImages::imagesPlain(const SymmetryImages& s, Bits p, Images& out) {
    const int32_t count = Fixed > 0 ? Fixed : s.count_;
    uint64_t hi[Fixed > 0 ? Fixed : maxSymmetries];
    uint64_t lo[Fixed > 0 ? Fixed : maxSymmetries];
    for (int32_t g = 0; g < count; ++g) {
        hi[g] = 0;
        lo[g] = 0;
    }
    for (int32_t b = 0; b < s.byteCount_; ++b) {
        const uint32_t value = p.byte(b);
        if (value == 0) {
            continue;
        }
        const uint64_t* row = &s.byteImages_[(static_cast<size_t>(b) * 256 + value) * 2 * count];
#pragma GCC unroll 12
        for (int32_t g = 0; g < count; ++g) {
            hi[g] |= row[g];
            lo[g] |= row[count + g];
        }
    }
    for (int32_t g = 0; g < count; ++g) {
        out.hi[g] = hi[g];
        out.lo[g] = lo[g];
    }
}

template <int32_t Fixed>
void SymmetryImages::childrenPlain(const SymmetryImages& s, const Images& parent,
                                   const int32_t* jumps, int32_t n, Bits* out) {
    const int32_t count = Fixed > 0 ? Fixed : s.count_;
    for (int32_t i = 0; i < n; ++i) {
        const uint64_t* flip = &s.flipImages_[static_cast<size_t>(jumps[i]) * 2 * count];
        auto image = [&](int32_t g) {
            return (static_cast<unsigned __int128>(parent.hi[g] ^ flip[g]) << 64) |
                   (parent.lo[g] ^ flip[count + g]);
        };
        unsigned __int128 best = image(0);
#pragma GCC unroll 12
        for (int32_t g = 1; g < count; ++g) {
            const unsigned __int128 v = image(g);
            best = v < best ? v : best;
        }
        out[i] = Bits{static_cast<uint64_t>(best), static_cast<uint64_t>(best >> 64)};
    }
}

#ifdef KVARLO_VECTOR_IMAGES

#define KVARLO_VECTOR_TARGET __attribute__((target("avx512f")))

namespace {

// Lanes in use of the first register (images 0..7) and of the second (images 8..15).
struct LaneMasks {
    __mmask8 a;
    __mmask8 b;
    explicit LaneMasks(int32_t count)
        : a(static_cast<__mmask8>(count >= 8 ? 0xFF : (1u << count) - 1)),
          b(static_cast<__mmask8>(count > 8 ? (1u << (count - 8)) - 1 : 0)) {}
};

// The lane-wise minimum. (The merge-masked forms with every lane selected: GCC 12's plain
// forms start from an undefined register and warn about it.)
KVARLO_VECTOR_TARGET
inline __m512i minLanes(__m512i a, __m512i b) {
    return _mm512_mask_min_epu64(a, 0xFF, a, b);
}

// The smallest of the eight lanes: halves, quarters, then eighths folded onto each other.
KVARLO_VECTOR_TARGET
inline uint64_t smallestLane(__m512i x) {
    x = minLanes(x, _mm512_mask_shuffle_i64x2(x, 0xFF, x, x, _MM_SHUFFLE(1, 0, 3, 2)));
    x = minLanes(x, _mm512_mask_shuffle_i64x2(x, 0xFF, x, x, _MM_SHUFFLE(2, 3, 0, 1)));
    x = minLanes(x, _mm512_mask_shuffle_epi32(x, 0xFFFF, x, _MM_PERM_BADC));
    uint64_t lanes[8];
    _mm512_storeu_si512(lanes, x);
    return lanes[0];
}

}  // namespace

KVARLO_VECTOR_TARGET
void SymmetryImages::imagesVector(const SymmetryImages& s, Bits p, Images& out) {
    const int32_t count = s.count_;
    const LaneMasks m(count);
    __m512i hiA = _mm512_setzero_si512();
    __m512i hiB = _mm512_setzero_si512();
    __m512i loA = _mm512_setzero_si512();
    __m512i loB = _mm512_setzero_si512();
    for (int32_t b = 0; b < s.byteCount_; ++b) {
        const uint32_t value = p.byte(b);
        if (value == 0) {
            continue;
        }
        const uint64_t* row = &s.byteImages_[(static_cast<size_t>(b) * 256 + value) * 2 * count];
        if (!s.narrow_) {
            hiA = _mm512_or_si512(hiA, _mm512_maskz_loadu_epi64(m.a, row));
            hiB = _mm512_or_si512(hiB, _mm512_maskz_loadu_epi64(m.b, row + 8));
        }
        loA = _mm512_or_si512(loA, _mm512_maskz_loadu_epi64(m.a, row + count));
        loB = _mm512_or_si512(loB, _mm512_maskz_loadu_epi64(m.b, row + count + 8));
    }
    _mm512_storeu_si512(out.hi, hiA);
    _mm512_storeu_si512(out.hi + 8, hiB);
    _mm512_storeu_si512(out.lo, loA);
    _mm512_storeu_si512(out.lo + 8, loB);
}

KVARLO_VECTOR_TARGET
void SymmetryImages::childrenVector(const SymmetryImages& s, const Images& parent,
                                    const int32_t* jumps, int32_t n, Bits* out) {
    const int32_t count = s.count_;
    const LaneMasks m(count);
    // Lanes past the count hold all ones, the largest value, so they never decide a minimum.
    const __m512i ones = _mm512_set1_epi64(-1);
    const __m512i hiA = _mm512_mask_loadu_epi64(ones, m.a, parent.hi);
    const __m512i hiB = _mm512_mask_loadu_epi64(ones, m.b, parent.hi + 8);
    const __m512i loA = _mm512_mask_loadu_epi64(ones, m.a, parent.lo);
    const __m512i loB = _mm512_mask_loadu_epi64(ones, m.b, parent.lo + 8);
    for (int32_t i = 0; i < n; ++i) {
        const uint64_t* flip = &s.flipImages_[static_cast<size_t>(jumps[i]) * 2 * count];
        if (s.narrow_) {
            const __m512i la = _mm512_xor_si512(loA, _mm512_maskz_loadu_epi64(m.a, flip + count));
            const __m512i lb =
                _mm512_xor_si512(loB, _mm512_maskz_loadu_epi64(m.b, flip + count + 8));
            out[i] = Bits{smallestLane(minLanes(la, lb)), 0};
            continue;
        }
        const __m512i ha = _mm512_xor_si512(hiA, _mm512_maskz_loadu_epi64(m.a, flip));
        const __m512i hb = _mm512_xor_si512(hiB, _mm512_maskz_loadu_epi64(m.b, flip + 8));
        const __m512i la = _mm512_xor_si512(loA, _mm512_maskz_loadu_epi64(m.a, flip + count));
        const __m512i lb = _mm512_xor_si512(loB, _mm512_maskz_loadu_epi64(m.b, flip + count + 8));
        // The smallest high word, then the smallest low word among the images that have it.
        const uint64_t hi = smallestLane(minLanes(ha, hb));
        const __m512i h = _mm512_set1_epi64(static_cast<int64_t>(hi));
        const __m512i ta = _mm512_mask_mov_epi64(ones, _mm512_cmpeq_epu64_mask(ha, h), la);
        const __m512i tb = _mm512_mask_mov_epi64(ones, _mm512_cmpeq_epu64_mask(hb, h), lb);
        const uint64_t lo = smallestLane(minLanes(ta, tb));
        out[i] = Bits{lo, hi};
    }
}

#else

void SymmetryImages::imagesVector(const SymmetryImages& s, Bits p, Images& out) {
    imagesPlain<0>(s, p, out);
}

void SymmetryImages::childrenVector(const SymmetryImages& s, const Images& parent,
                                    const int32_t* jumps, int32_t n, Bits* out) {
    childrenPlain<0>(s, parent, jumps, n, out);
}

#endif

}  // namespace kvarlo::engine
