// PNG writing of our own over libdeflate: rows converted to PNG's order and filtered (a large
// picture's halves on two cores), the whole filtered picture deflated at once (Deflate.h:
// libdeflate works on whole buffers, which is what makes it fast), then the chunks written
// in one go. Why these filters and levels: bench/README.md.
#include "PngCodec.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include <libdeflate.h>

#include "framework/imaging/Deflate.h"

namespace kaptor {

namespace {

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                               static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    out.insert(out.end(), b, b + 4);
}

// One chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t size) {
    PutBig32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    PutBig32(out, static_cast<std::uint32_t>(libdeflate_crc32(0, out.data() + start, size + 4)));
}

bool HasValidFormat(const Dib& dib) {
    switch (dib.BitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return false;
    }
    return dib.Width > 0 && dib.Height > 0;
}

inline int Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// What filter type F predicts from the byte to the left (a), above (b) and above-left (c).
template <int F>
inline int Predict(int a, int b, int c) {
    if constexpr (F == 0) return 0;
    else if constexpr (F == 1) return a;
    else if constexpr (F == 2) return b;
    else if constexpr (F == 3) return (a + b) >> 1;
    else return Paeth(a, b, c);
}

// Calls put(i, filtered byte) for each byte of row (n bytes, bpp a pixel; prior: the row
// above, zeros for the first) under filter type F; stops early when put returns false. The
// first pixel, which has nothing to its left, apart, so the rest runs without that test.
template <int F, class Put>
inline void ForEachFiltered(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp, Put put) {
    const std::size_t first = std::min(bpp, n);
    for (std::size_t i = 0; i < first; ++i)
        if (!put(i, static_cast<std::uint8_t>(row[i] - Predict<F>(0, prior[i], 0)))) return;
    for (std::size_t i = first; i < n; ++i)
        if (!put(i, static_cast<std::uint8_t>(row[i] - Predict<F>(row[i - bpp], prior[i], prior[i - bpp])))) return;
}

template <int F>
void FilterRow(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp, std::uint8_t* out) {
    out[0] = F;
    ForEachFiltered<F>(row, prior, n, bpp, [out](std::size_t i, std::uint8_t v) { return out[1 + i] = v, true; });
}

// libpng's measure of how well a row filtered so will compress: the sum of its bytes taken
// as signed. Stops once it reaches limit, since that filter has lost already.
template <int F>
std::uint32_t Cost(const std::uint8_t* row, const std::uint8_t* prior, std::size_t n, std::size_t bpp,
                   std::uint32_t limit) {
    std::uint32_t sum = 0;
    ForEachFiltered<F>(row, prior, n, bpp, [&](std::size_t i, std::uint8_t v) {
        sum += static_cast<std::uint32_t>(std::abs(static_cast<std::int8_t>(v)));
        return (i & 255) != 255 || sum < limit;
    });
    return sum;
}

using FilterFn = void (*)(const std::uint8_t*, const std::uint8_t*, std::size_t, std::size_t, std::uint8_t*);
using CostFn = std::uint32_t (*)(const std::uint8_t*, const std::uint8_t*, std::size_t, std::size_t, std::uint32_t);
constexpr FilterFn kFilters[] = {FilterRow<0>, FilterRow<1>, FilterRow<2>, FilterRow<3>, FilterRow<4>};
constexpr CostFn kCosts[] = {Cost<0>, Cost<1>, Cost<2>, Cost<3>, Cost<4>};

// Filters rows [first, last) of the picture into filtered (n + 1 bytes a row). rows: where
// each stored row is; toRgb: their conversion when they are not as PNG stores them.
struct RowFilter {
    const std::vector<const std::uint8_t*>& Stored;
    int BitCount;
    bool Palette, Direct24, Direct32;
    const Dib& Format;
    std::size_t Width, N, Bpp;
    TPngFilter Filter;
    std::uint8_t* Out;

    // Returns how many filtered bytes of every fourth row are zero and follow at least seven
    // other zeros: the runs that flat areas, repeated rows and lines make, where photos have
    // few.
    std::size_t Run(std::size_t first, std::size_t last) const {
        std::size_t zeros = 0;
        std::vector<std::uint8_t> rows = AllocBuffer(2 * N);  // this row and the one above
        RgbRowConverter toRgb;
        if (!Palette && !Direct24 && !Direct32) toRgb = RgbRowConverter(Format);
        auto load = [&](std::size_t y, std::uint8_t* row) {
            const std::uint8_t* stored = Stored[y];
            if (Palette) {
                std::memcpy(row, stored, N);
            } else if (Direct24 || Direct32) {
                const std::size_t step = Direct24 ? 3 : 4;
                for (std::size_t x = 0; x < Width; ++x, stored += step) {
                    row[3 * x] = stored[2];
                    row[3 * x + 1] = stored[1];
                    row[3 * x + 2] = stored[0];
                }
            } else {
                std::memcpy(row, toRgb.Convert(stored), N);
            }
        };
        if (first > 0) load(first - 1, rows.data() + ((first + 1) & 1) * N);
        for (std::size_t y = first; y < last; ++y) {
            std::uint8_t* row = rows.data() + (y & 1) * N;
            std::uint8_t* prior = rows.data() + ((y + 1) & 1) * N;
            if (y == 0) std::memset(prior, 0, N);
            load(y, row);
            std::uint8_t* out = Out + y * (N + 1);
            int best = static_cast<int>(Filter);
            if (Filter == TPngFilter::Adaptive) {
                // libpng's choice: the filter whose bytes sum least; a row the same as the one
                // above, or one colour throughout, needs no further look.
                best = 2;
                std::uint32_t least = kCosts[2](row, prior, N, Bpp, UINT32_MAX);
                for (int f : {1, 0, 4, 3}) {
                    if (least == 0) break;
                    const std::uint32_t cost = kCosts[f](row, prior, N, Bpp, least);
                    if (cost < least) least = cost, best = f;
                }
            }
            kFilters[best](row, prior, N, Bpp, out);
            if (y % 4 == 0)  // every fourth row tells enough
                for (std::size_t i = 1, run = 0; i <= N; ++i) {
                    run = out[i] ? 0 : run + 1;
                    zeros += run >= 8;
                }
        }
        return zeros;
    }
};

// The level a picture is deflated at, from how much of it filtered to long runs of zeros:
// screen content (flat areas, repeated rows, text) needs libdeflate's deeper search (8) to
// come out smaller than zlib's level 6; on photos a quick one (4) already does, and the deep
// one would take many times as long. Measured: bench/README.md.
int LevelFor(std::size_t zeros, std::size_t bytes) { return zeros * 4 >= bytes ? 8 : 4; }

}  // namespace

void EncodePng(const Dib& dib, TStream& stream, const TPngSettings& settings) {
    if (!HasValidFormat(dib) || dib.Bits.size() < dib.Stride() * static_cast<std::uint64_t>(dib.Height))
        throw EInvalidGraphic(texts::InvalidBitmap);
    EncodePng(dib, [&dib](int y) { return dib.Row(y); }, stream, settings);
}

void EncodePng(const Dib& format, const PngRowSource& source, TStream& stream, const TPngSettings& settings) {
    if (!HasValidFormat(format)) throw EInvalidGraphic(texts::InvalidBitmap);
    const bool palette = format.BitCount <= 8;
    const std::size_t width = static_cast<std::size_t>(format.Width), height = static_cast<std::size_t>(format.Height);
    // Palette rows go as they are stored (the bit order of packed indices is PNG's own); the
    // rest as red, green, blue.
    const std::size_t n = palette ? static_cast<std::size_t>((static_cast<std::uint64_t>(width) * format.BitCount + 7) / 8)
                                  : width * 3;
    const std::size_t bpp = palette ? 1 : 3;
    const std::uint64_t filteredBytes = static_cast<std::uint64_t>(n + 1) * height;
    if (filteredBytes > MaxDibBytes) throw EOutOfMemory();

    std::vector<std::uint8_t> filtered = AllocBuffer(static_cast<std::size_t>(filteredBytes));
    std::vector<const std::uint8_t*> stored(height);
    for (std::size_t y = 0; y < height; ++y) stored[y] = source(static_cast<int>(y));
    // Palette pictures are best left unfiltered: their indices are not magnitudes.
    const RowFilter work{stored, format.BitCount, palette, format.BitCount == 24,
                         format.BitCount == 32 && !format.HasBitFields(), format, width, n, bpp,
                         palette ? TPngFilter::None : settings.Filter, filtered.data()};
    // The lower half on a second core, when the picture is worth a thread.
    const std::size_t half = filteredBytes >= (1u << 20) ? height / 2 : 0;
    std::exception_ptr failed;
    std::size_t zeros = 0, lowerZeros = 0;
    std::thread lower;
    if (half) {
        try {
            lower = std::thread([&] {
                try {
                    lowerZeros = work.Run(half, height);
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            lower = {};
        }
    }
    try {
        zeros = work.Run(0, lower.joinable() ? half : height);
    } catch (...) {
        if (lower.joinable()) lower.join();
        throw;
    }
    if (lower.joinable()) lower.join();
    if (failed) std::rethrow_exception(failed);
    stored = {};
    const int level = settings.Level == TPngSettings::ByPicture ? LevelFor(4 * (zeros + lowerZeros), filtered.size())
                                                                : std::clamp(settings.Level, 0, 12);

    std::vector<std::uint8_t> file;
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    file.insert(file.end(), signature, signature + 8);
    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {static_cast<std::uint8_t>(palette ? format.BitCount : 8),
                                 static_cast<std::uint8_t>(palette ? 3 : 2), 0, 0, 0});
    PutChunk(file, "IHDR", header.data(), header.size());
    if (palette) {
        // Every index the rows can hold has an entry, as PNG requires; missing ones are black.
        std::vector<std::uint8_t> colors(3u << format.BitCount);
        for (std::size_t i = 0; i < (1u << format.BitCount) && i < format.Palette.size(); ++i) {
            colors[3 * i] = format.Palette[i].Red;
            colors[3 * i + 1] = format.Palette[i].Green;
            colors[3 * i + 2] = format.Palette[i].Blue;
        }
        PutChunk(file, "PLTE", colors.data(), colors.size());
    }
    // The deflated picture goes straight into the file's buffer, after room for the IDAT
    // chunk's length and type.
    const std::size_t idat = file.size();
    file.resize(idat + 8);
    AppendZlibStream(file, filtered.data(), filtered.size(), level);
    filtered = {};
    const std::size_t deflated = file.size() - idat - 8;
    if (deflated > 0x7FFFFFFFu) throw EPngError(EPngError::TCause::Write);
    const std::uint32_t length = static_cast<std::uint32_t>(deflated);
    const std::uint8_t lengthAndType[8] = {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
                                           static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length),
                                           'I', 'D', 'A', 'T'};
    std::memcpy(file.data() + idat, lengthAndType, 8);
    PutBig32(file, static_cast<std::uint32_t>(libdeflate_crc32(0, file.data() + idat + 4, deflated + 4)));
    PutChunk(file, "IEND", nullptr, 0);
    stream.WriteBuffer(file.data(), file.size());
}

}  // namespace kaptor
