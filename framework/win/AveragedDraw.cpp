#include "framework/win/AveragedDraw.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "framework/win/Bitmap.h"
#include "framework/win/Graphics.h"

namespace kaptor {

namespace {

// The picture pixels [First, Last) that display pixel i of n shows, of m in all.
struct Span {
    int First, Last;
};

// Adds the pixels of row p into the column sums (the first row of a band sets them): red and
// blue side by side in one word, green in another.
template <bool First>
void AddRow(const std::uint32_t* p, std::uint32_t* redBlue, std::uint32_t* green, int n) {
    for (int x = 0; x < n; ++x) {
        redBlue[x] = (First ? 0 : redBlue[x]) + (p[x] & 0xFF00FF);
        green[x] = (First ? 0 : green[x]) + (p[x] & 0xFF00);
    }
}

// The same four pixels at a time, for processors with SSE2 (every one of the last twenty
// years; the program itself asks for less): most of the time averaging takes goes here.
template <bool First>
__attribute__((target("sse2"))) void AddRowSse2(const std::uint32_t* p, std::uint32_t* redBlue,
                                                std::uint32_t* green, int n) {
    const __m128i redBlueMask = _mm_set1_epi32(0xFF00FF), greenMask = _mm_set1_epi32(0xFF00);
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
        auto* rb = reinterpret_cast<__m128i*>(redBlue + x);
        auto* g = reinterpret_cast<__m128i*>(green + x);
        const __m128i rbOld = First ? _mm_setzero_si128() : _mm_loadu_si128(rb);
        const __m128i gOld = First ? _mm_setzero_si128() : _mm_loadu_si128(g);
        _mm_storeu_si128(rb, _mm_add_epi32(rbOld, _mm_and_si128(v, redBlueMask)));
        _mm_storeu_si128(g, _mm_add_epi32(gOld, _mm_and_si128(v, greenMask)));
    }
    AddRow<First>(p + x, redBlue + x, green + x, n - x);
}

std::vector<Span> Spans(int from, int to, int n, int m) {
    std::vector<Span> spans;
    spans.reserve(static_cast<std::size_t>(to - from));
    for (int i = from; i < to; ++i) {
        const int first = static_cast<int>(std::int64_t{i} * m / n);
        const int last = static_cast<int>(std::int64_t{i + 1} * m / n);
        spans.push_back({first, std::min(m, std::max(first + 1, last))});
    }
    return spans;
}

}  // namespace

void DrawAveraged(HDC dc, int width, int height, const RECT& area, TBitmap& source) {
    RECT r;
    const RECT all{0, 0, width, height};
    if (!IntersectRect(&r, &area, &all) || source.Empty()) return;
    const auto cols = Spans(r.left, r.right, width, source.Width());
    const auto rows = Spans(r.top, r.bottom, height, source.Height());
    const int dw = r.right - r.left, dh = r.bottom - r.top;
    const int left = cols.front().First, span = cols.back().Last - left;

    // Picture rows as 32 bits from column left: a 32-bit picture is read in place, any other
    // is converted by the platform a band of rows at a time (its colour table applied).
    const bool direct = source.PixelFormat() == pf32bit;
    std::optional<TBitmap> band;
    if (!direct) {
        int tallest = 0;
        for (const Span& s : rows) tallest = std::max(tallest, s.Last - s.First);
        band.emplace(span, tallest);
    }
    // Rows found by their distance: ScanLine waits for pending drawing every time it is asked.
    auto stepOf = [](TBitmap& b) { return b.Height() > 1 ? b.ScanLine(1) - b.ScanLine(0) : std::ptrdiff_t{0}; };
    const std::uint8_t* sourceRow0 = direct ? source.ScanLine(0) : nullptr;
    const std::ptrdiff_t sourceStep = direct ? stepOf(source) : 0;
    auto rowAt = [&](int y, int bandTop) -> const std::uint8_t* {
        return direct ? sourceRow0 + y * sourceStep + 4 * left : band->ScanLine(y - bandTop);
    };

    static const bool sse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
    TBitmap out;
    out.Reallocate(dw, dh);  // every pixel is written below
    std::uint8_t* const outRow0 = out.ScanLine(0);
    const std::ptrdiff_t outStep = stepOf(out);
    int widest = 0;
    for (const Span& s : cols) widest = std::max(widest, s.Last - s.First);
    // The reciprocal of each count a row's pixels divide by, worked out once per row height.
    std::vector<std::uint32_t> inverses(static_cast<std::size_t>(widest) + 1);
    int inversesFor = 0;
    // Per picture column, up to 256 rows summed: red and blue side by side in one word (their
    // 16 bits each hold 256 rows), green in another. Then per display pixel, its columns.
    std::vector<std::uint32_t> redBlue(static_cast<std::size_t>(span)), green(redBlue.size());
    std::vector<std::uint32_t> sums(3 * static_cast<std::size_t>(dw));
    for (int j = 0; j < dh; ++j) {
        const Span& rs = rows[static_cast<std::size_t>(j)];
        const int tall = rs.Last - rs.First;
        if (!direct)
            BitBlt(band->Canvas().Handle(), 0, 0, span, tall, source.Canvas().Handle(), left, rs.First, SRCCOPY);
        std::fill(sums.begin(), sums.end(), 0);
        for (int top = rs.First; top < rs.Last; top += 256) {
            for (int y = top; y < std::min(rs.Last, top + 256); ++y) {
                const auto* p = reinterpret_cast<const std::uint32_t*>(rowAt(y, rs.First));
                if (y == top)
                    (sse2 ? AddRowSse2<true> : AddRow<true>)(p, redBlue.data(), green.data(), span);
                else
                    (sse2 ? AddRowSse2<false> : AddRow<false>)(p, redBlue.data(), green.data(), span);
            }
            const int chunk = std::min(rs.Last, top + 256) - top;
            std::uint32_t* sum = sums.data();
            for (const Span& cs : cols) {
                const std::uint32_t* rb = redBlue.data() + (cs.First - left);
                const std::uint32_t* g = green.data() + (cs.First - left);
                const int wide = cs.Last - cs.First;
                if (wide * chunk <= 257) {  // still packed: no lane passes 255 x 257
                    std::uint32_t packed = 0, greens = 0;
                    for (int x = 0; x < wide; ++x) packed += rb[x], greens += g[x];
                    sum[0] += packed & 0xFFFF;
                    sum[1] += greens >> 8;
                    sum[2] += packed >> 16;
                } else {
                    for (int x = 0; x < wide; ++x) {
                        sum[0] += rb[x] & 0xFFFF;
                        sum[1] += g[x] >> 8;
                        sum[2] += rb[x] >> 16;
                    }
                }
                sum += 3;
            }
        }
        if (tall != inversesFor) {
            std::fill(inverses.begin(), inverses.end(), 0);
            inversesFor = tall;
        }
        // Divided by a reciprocal: exact for a plain area (its sum is a multiple of the count).
        auto* o = reinterpret_cast<std::uint32_t*>(outRow0 + j * outStep);
        const std::uint32_t* sum = sums.data();
        for (const Span& cs : cols) {
            const int wide = cs.Last - cs.First;
            const std::uint32_t count = static_cast<std::uint32_t>(wide) * static_cast<std::uint32_t>(tall);
            std::uint32_t& inverse = inverses[static_cast<std::size_t>(wide)];
            if (!inverse && count > 1) inverse = static_cast<std::uint32_t>(((std::uint64_t{1} << 32) + count - 1) / count);
            auto mean = [&](std::uint32_t s) {
                return count == 1 ? s : static_cast<std::uint32_t>((std::uint64_t{s} * inverse) >> 32);
            };
            *o++ = mean(sum[0]) | mean(sum[1]) << 8 | mean(sum[2]) << 16;
            sum += 3;
        }
    }
    out.Modified();
    BitBlt(dc, r.left, r.top, dw, dh, out.Canvas().Handle(), 0, 0, SRCCOPY);
}

}  // namespace kaptor
