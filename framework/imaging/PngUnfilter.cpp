#include "PngUnfilter.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <emmintrin.h>
#define KAPTOR_UNFILTER_SSE2 1
#endif

#include "framework/imaging/PngCodec.h"

namespace kaptor {

namespace {

void UnfilterNarrow(std::uint8_t filter, std::uint8_t* r, const std::uint8_t* up, std::size_t n, std::size_t bpp) {
    const std::size_t first = bpp < n ? bpp : n;  // the bytes with no pixel to their left
    switch (filter) {
        case 1:
            for (std::size_t i = bpp; i < n; ++i) r[i] = static_cast<std::uint8_t>(r[i] + r[i - bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < n; ++i) r[i] = static_cast<std::uint8_t>(r[i] + up[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < first; ++i) r[i] = static_cast<std::uint8_t>(r[i] + (up[i] >> 1));
            for (std::size_t i = bpp; i < n; ++i) r[i] = static_cast<std::uint8_t>(r[i] + ((r[i - bpp] + up[i]) >> 1));
            break;
        case 4:
            for (std::size_t i = 0; i < first; ++i) r[i] = static_cast<std::uint8_t>(r[i] + up[i]);
            for (std::size_t i = bpp; i < n; ++i)
                r[i] = static_cast<std::uint8_t>(r[i] + PaethPredictor(r[i - bpp], up[i], up[i - bpp]));
            break;
        default: break;
    }
}

#ifdef KAPTOR_UNFILTER_SSE2

// Sub, average and Paeth depend on the pixel to the left, so the wide forms take one 3- or
// 4-byte pixel a step, its channels side by side; up takes 16 bytes a step. Where the
// processor has SSE2 (the program is built to run on ones without, so these functions align
// their own stack).
#define KAPTOR_SSE2 __attribute__((target("sse2"), force_align_arg_pointer))
// The helpers inside a step: 32-bit callers would pass their vectors through memory.
#define KAPTOR_SSE2_INLINE inline __attribute__((target("sse2"), always_inline))

// A pixel's bytes in the low lanes. Four bytes are read where the row has them: one of the
// next pixel is harmless, since every lane is worked apart and only Bpp are stored, and a
// read of three through memory would stall on each pixel.
template <int Bytes>
KAPTOR_SSE2_INLINE __m128i LoadPixel(const std::uint8_t* p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p, Bytes);
    return _mm_cvtsi32_si128(static_cast<int>(v));
}

template <int Bpp>
KAPTOR_SSE2_INLINE void StorePixel(std::uint8_t* p, __m128i v) {
    const auto x = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &x, Bpp);
}

KAPTOR_SSE2_INLINE __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

KAPTOR_SSE2_INLINE __m128i Choose(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// One pixel: x its filtered bytes, b the pixel above; a the pixel to the left and c the one
// above that, both carried to the next.
template <int Filter>
KAPTOR_SSE2_INLINE __m128i UnfilterPixel(__m128i x, __m128i b, __m128i& a, __m128i& c) {
    const __m128i zero = _mm_setzero_si128();
    if (Filter == 1) {
        a = _mm_add_epi8(x, a);
    } else if (Filter == 3) {
        // The rounded-up average, less the bit it rounded up.
        const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
        a = _mm_add_epi8(x, mean);
    } else {
        const __m128i a16 = _mm_unpacklo_epi8(a, zero), b16 = _mm_unpacklo_epi8(b, zero);
        const __m128i c16 = _mm_unpacklo_epi8(c, zero);
        const __m128i dbc = _mm_sub_epi16(b16, c16), dac = _mm_sub_epi16(a16, c16);
        const __m128i pa = Abs16(dbc), pb = Abs16(dac), pc = Abs16(_mm_add_epi16(dbc, dac));
        const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
        const __m128i nearest =
            Choose(_mm_cmpeq_epi16(pa, least), a16, Choose(_mm_cmpeq_epi16(pb, least), b16, c16));
        a = _mm_add_epi8(x, _mm_packus_epi16(nearest, nearest));
        c = b;
    }
    return a;
}

template <int Filter, int Bpp>
KAPTOR_SSE2 void UnfilterPixels(std::uint8_t* r, const std::uint8_t* up, std::size_t n) {
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 4 <= n; i += Bpp)
        StorePixel<Bpp>(r + i, UnfilterPixel<Filter>(LoadPixel<4>(r + i), LoadPixel<4>(up + i), a, c));
    if (i + Bpp <= n)
        StorePixel<Bpp>(r + i, UnfilterPixel<Filter>(LoadPixel<Bpp>(r + i), LoadPixel<Bpp>(up + i), a, c));
}

template <int Bpp>
void UnfilterPixels(std::uint8_t filter, std::uint8_t* r, const std::uint8_t* up, std::size_t n) {
    if (filter == 1) return UnfilterPixels<1, Bpp>(r, up, n);
    if (filter == 3) return UnfilterPixels<3, Bpp>(r, up, n);
    return UnfilterPixels<4, Bpp>(r, up, n);
}

KAPTOR_SSE2 void UnfilterUp(std::uint8_t* r, const std::uint8_t* up, std::size_t n) {
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(r + i), _mm_add_epi8(x, b));
    }
    for (; i < n; ++i) r[i] = static_cast<std::uint8_t>(r[i] + up[i]);
}

bool HasSse2() {
    static const bool has = __builtin_cpu_supports("sse2");
    return has;
}

#endif

}  // namespace

void Unfilter(std::uint8_t filter, std::uint8_t* r, const std::uint8_t* up, std::size_t n, std::size_t bpp) {
#ifdef KAPTOR_UNFILTER_SSE2
    if (filter != 0 && HasSse2()) {
        if (filter == 2) return UnfilterUp(r, up, n);
        if (bpp == 3) return UnfilterPixels<3>(filter, r, up, n);
        if (bpp == 4) return UnfilterPixels<4>(filter, r, up, n);
    }
#endif
    UnfilterNarrow(filter, r, up, n, bpp);
}

}  // namespace kaptor
