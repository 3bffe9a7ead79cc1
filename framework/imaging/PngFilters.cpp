// The filters read only the rows as they were given, never bytes already filtered, so 16
// bytes can be filtered at once; the plain code is for processors without SSE2 and is what the
// wide code is checked against.
#include "PngFilters.h"

#include <cstdlib>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define KAPTOR_PNG_WIDE 1
#endif

#include "framework/imaging/Dib.h"

namespace kaptor {

namespace {

constexpr std::size_t kMargin = 16;

// Byte i of row under filter type F: a is the byte to the left (zeros left of the first
// pixel, from the margin), b the one above, c the one above and to the left.
template <int F>
inline std::uint8_t Filtered(const std::uint8_t* row, const std::uint8_t* prior, std::size_t i, std::size_t bpp) {
    const int x = row[i], a = row[i - bpp], b = prior[i], c = prior[i - bpp];
    if constexpr (F == 0) return static_cast<std::uint8_t>(x);
    else if constexpr (F == 1) return static_cast<std::uint8_t>(x - a);
    else if constexpr (F == 2) return static_cast<std::uint8_t>(x - b);
    else if constexpr (F == 3) return static_cast<std::uint8_t>(x - ((a + b) >> 1));
    else return static_cast<std::uint8_t>(x - PaethPredictor(a, b, c));
}

template <int F>
void PlainFilter(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp, std::uint8_t* out) {
    for (std::size_t i = 0; i < n; ++i) out[i] = Filtered<F>(row, prior, i, bpp);
}

// libpng's measure: the sum of the filtered bytes taken as signed. Stops once it reaches
// limit, since that filter has lost already.
template <int F>
std::uint32_t PlainCost(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp,
                        std::uint32_t limit) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n && sum < limit; i += 256)
        for (std::size_t j = i; j < n && j < i + 256; ++j)
            sum += static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(Filtered<F>(row, prior, j, bpp))));
    return sum;
}

using FilterFn = void (*)(const std::uint8_t*, const std::uint8_t*, std::size_t, std::size_t, std::uint8_t*);
using CostFn = std::uint32_t (*)(const std::uint8_t*, const std::uint8_t*, std::size_t, std::size_t, std::uint32_t);
constexpr FilterFn kPlainFilters[] = {PlainFilter<0>, PlainFilter<1>, PlainFilter<2>, PlainFilter<3>, PlainFilter<4>};
constexpr CostFn kPlainCosts[] = {PlainCost<0>, PlainCost<1>, PlainCost<2>, PlainCost<3>, PlainCost<4>};

// libpng's order of trying, "up" first: on ties the earlier type wins.
constexpr int kOrder[] = {2, 1, 0, 4, 3};

int PlainChoice(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
    int best = kOrder[0];
    std::uint32_t least = kPlainCosts[best](row, prior, n, bpp, UINT32_MAX);
    for (int k = 1; k < 5 && least > 0; ++k) {
        const int f = kOrder[k];
        const std::uint32_t cost = kPlainCosts[f](row, prior, n, bpp, least);
        if (cost < least) least = cost, best = f;
    }
    return best;
}

#ifdef KAPTOR_PNG_WIDE

// The program is built to run on processors without SSE2, so the stack is aligned only for
// the wide entry points: they align their own.
#define KAPTOR_SSE2 __attribute__((target("sse2"), force_align_arg_pointer))
#define KAPTOR_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline

KAPTOR_SSE2_INLINE __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// Paeth's prediction for 8 bytes widened to 16 bits.
KAPTOR_SSE2_INLINE __m128i PaethHalf(__m128i a, __m128i b, __m128i c) {
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i takeC = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeC, c), _mm_andnot_si128(takeC, b));
    const __m128i notA = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
    return _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a));
}

struct Wide {
    __m128i X, A, B, C;
    KAPTOR_SSE2_INLINE Wide(const std::uint8_t* row, const std::uint8_t* prior, std::size_t i, std::size_t bpp)
        : X(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i))),
          A(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i - bpp))),
          B(_mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i))),
          C(_mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i - bpp))) {}

    template <int F>
    KAPTOR_SSE2_INLINE __m128i Filtered() const {
        if constexpr (F == 0) return X;
        else if constexpr (F == 1) return _mm_sub_epi8(X, A);
        else if constexpr (F == 2) return _mm_sub_epi8(X, B);
        else if constexpr (F == 3) {
            // avg_epu8 rounds up; the odd sums' half is taken off again
            const __m128i up = _mm_avg_epu8(A, B);
            return _mm_sub_epi8(X, _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(A, B), _mm_set1_epi8(1))));
        } else {
            const __m128i z = _mm_setzero_si128();
            const __m128i lo = PaethHalf(_mm_unpacklo_epi8(A, z), _mm_unpacklo_epi8(B, z), _mm_unpacklo_epi8(C, z));
            const __m128i hi = PaethHalf(_mm_unpackhi_epi8(A, z), _mm_unpackhi_epi8(B, z), _mm_unpackhi_epi8(C, z));
            return _mm_sub_epi8(X, _mm_packus_epi16(lo, hi));
        }
    }
};

template <int F>
KAPTOR_SSE2 void WideFilter(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp,
                            std::uint8_t* out) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), Wide(row, prior, i, bpp).Filtered<F>());
    if (i < n) {  // the last bytes through a buffer: out ends where the row does
        alignas(16) std::uint8_t last[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(last), Wide(row, prior, i, bpp).Filtered<F>());
        std::memcpy(out + i, last, n - i);
    }
}

constexpr FilterFn kWideFilters[] = {WideFilter<0>, WideFilter<1>, WideFilter<2>, WideFilter<3>, WideFilter<4>};

// |v| of each byte taken as signed, summed into two 64-bit halves; -128 gives 128.
KAPTOR_SSE2_INLINE __m128i AbsSum(__m128i v) {
    const __m128i z = _mm_setzero_si128();
    return _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(z, v)), z);
}

KAPTOR_SSE2_INLINE std::uint32_t Total(__m128i s) {
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(s)) + static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(s, 8)));
}

// All five sums in one pass over the row.
KAPTOR_SSE2 int WideChoice(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp) {
    // ones then zeros: 16 - k bytes on gives a mask of the first k bytes
    static const std::uint8_t kMask[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    __m128i s0 = _mm_setzero_si128(), s1 = s0, s2 = s0, s3 = s0, s4 = s0;
    for (std::size_t i = 0; i < n; i += 16) {
        const Wide w(row, prior, i, bpp);
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kMask + 16 - (n - i < 16 ? n - i : 16)));
        s0 = _mm_add_epi32(s0, AbsSum(_mm_and_si128(w.Filtered<0>(), m)));
        s1 = _mm_add_epi32(s1, AbsSum(_mm_and_si128(w.Filtered<1>(), m)));
        s2 = _mm_add_epi32(s2, AbsSum(_mm_and_si128(w.Filtered<2>(), m)));
        s3 = _mm_add_epi32(s3, AbsSum(_mm_and_si128(w.Filtered<3>(), m)));
        s4 = _mm_add_epi32(s4, AbsSum(_mm_and_si128(w.Filtered<4>(), m)));
    }
    const std::uint32_t sums[5] = {Total(s0), Total(s1), Total(s2), Total(s3), Total(s4)};
    int best = kOrder[0];
    for (int f : kOrder)
        if (sums[f] < sums[best]) best = f;
    return best;
}

#endif

}  // namespace

bool PngFiltersWide() {
#ifdef KAPTOR_PNG_WIDE
    static const bool wide = __builtin_cpu_supports("sse2");
    return wide;
#else
    return false;
#endif
}

PngRowFilter::PngRowFilter(std::size_t n, std::size_t bpp, bool wide)
    : n_(n), bpp_(bpp), wide_(wide && PngFiltersWide()), rows_(AllocBuffer(2 * (n + 2 * kMargin))) {  // zeroed: the first row's "above"
    row_ = rows_.data() + kMargin;
    prior_ = row_ + n + 2 * kMargin;
}

std::uint8_t* PngRowFilter::Next() {
    std::swap(row_, prior_);
    return row_;
}

void PngRowFilter::Filter(TPngFilter type, std::uint8_t* out) const {
    int f = static_cast<int>(type);
    if ((type == TPngFilter::Up || type == TPngFilter::Adaptive) && std::memcmp(row_, prior_, n_) == 0) {
        // a row the same as the one above: "up" makes it all zeros, which no other type beats
        out[0] = 2;
        std::memset(out + 1, 0, n_);
        return;
    }
#ifdef KAPTOR_PNG_WIDE
    if (wide_) {
        if (type == TPngFilter::Adaptive) f = WideChoice(row_, prior_, n_, bpp_);
        out[0] = static_cast<std::uint8_t>(f);
        kWideFilters[f](row_, prior_, n_, bpp_, out + 1);
        return;
    }
#endif
    if (type == TPngFilter::Adaptive) f = PlainChoice(row_, prior_, n_, bpp_);
    out[0] = static_cast<std::uint8_t>(f);
    kPlainFilters[f](row_, prior_, n_, bpp_, out + 1);
}

}  // namespace kaptor
