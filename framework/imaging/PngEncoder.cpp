// PNG writing of our own: rows converted to PNG's order and filtered (PngFilters.h), each of a
// large picture's two pieces filtered and deflated whole on its own core (Deflate.h: screen
// content by our match finder, the rest by libdeflate; both work on whole buffers, which is
// what makes them fast), then the chunks written. Why these filters and levels:
// bench/README.md.
#include "PngCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <libdeflate.h>

#include "framework/imaging/Deflate.h"
#include "framework/imaging/PngFilters.h"
#include "framework/imaging/PngPalette.h"

#ifndef KAPTOR_DEFLATE_SPLIT_BYTES
#define KAPTOR_DEFLATE_SPLIT_BYTES (1u << 20)  // the fuzz build splits small pictures too
#endif

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

// Filters rows [first, last) of the picture into Out (n + 1 bytes a row). Stored: where each
// stored row is; converted to PNG's order when they are not as PNG stores them.
struct RowFilter {
    const std::vector<const std::uint8_t*>& Stored;
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
        PngRowFilter rows(N, Bpp);
        RgbRowConverter toRgb;
        if (!Palette && !Direct24 && !Direct32) toRgb = RgbRowConverter(Format);
        auto load = [&](std::size_t y) {
            std::uint8_t* row = rows.Next();
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
        if (first > 0) load(first - 1);
        for (std::size_t y = first; y < last; ++y) {
            load(y);
            std::uint8_t* out = Out + y * (N + 1);
            rows.Filter(Filter, out);
            if (y % 4 == 0)  // every fourth row tells enough
                for (std::size_t i = 1, run = 0; i <= N; ++i) {
                    run = out[i] ? 0 : run + 1;
                    zeros += run >= 8;
                }
        }
        return zeros;
    }
};

// How a piece of the picture is deflated, from how much of it filtered to long runs of zeros:
// screen content (flat areas, repeated rows, text) needs a deep search to come out smaller
// than zlib's level 6, which our match finder does in a third of libdeflate's level 8 time
// (kScreen); on photos libdeflate's quick level 4 already does, and a deep search would take
// many times as long. Measured: bench/README.md.
constexpr int kScreen = -1;
int LevelFor(std::size_t zeros, std::size_t bytes) { return zeros * 4 >= bytes ? kScreen : 4; }

// The level of a flat picture's palette indices, unfiltered: at 4 the file is about 0.6 of
// zlib's level 6 RGB file; level 6 saves 2 % more for up to twice the time, level 8 10 % for
// three to five times. Measured: bench/README.md.
constexpr int kIndexedLevel = 4;

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
    std::size_t n = palette ? static_cast<std::size_t>((static_cast<std::uint64_t>(width) * format.BitCount + 7) / 8)
                            : width * 3;
    std::uint64_t filteredBytes = static_cast<std::uint64_t>(n + 1) * height;
    if (filteredBytes > MaxDibBytes) throw EOutOfMemory();

    // Not zeroed: every byte is written by the filters or the indexing.
    const std::unique_ptr<std::uint8_t[]> filtered(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(filteredBytes)]);
    if (!filtered) throw EOutOfMemory();
    std::vector<const std::uint8_t*> stored(height);
    for (std::size_t y = 0; y < height; ++y) stored[y] = source(static_cast<int>(y));
    // A flat picture of 256 colours or fewer goes as a palette picture: its indices, written
    // straight after each row's filter type (none), are all there is to deflate.
    std::vector<RgbQuad> colours;
    const bool indexed = settings.IndexFewColours && CanIndexColours(format) &&
                         IndexColours(stored, width, format.BitCount, filtered.get() + 1, width + 1, colours);
    if (indexed) {
        n = width;
        filteredBytes = static_cast<std::uint64_t>(n + 1) * height;
        for (std::size_t y = 0; y < height; ++y) filtered[y * (n + 1)] = 0;
    }
    const std::size_t bpp = palette || indexed ? 1 : 3;
    // Palette pictures are best left unfiltered: their indices are not magnitudes.
    const RowFilter work{stored, palette, format.BitCount == 24, format.BitCount == 32 && !format.HasBitFields(),
                         format, width, n, bpp, palette ? TPngFilter::None : settings.Filter, filtered.get()};
    // Rows [first, last) filtered, then deflated at the level their own filtered bytes call for.
    auto piece = [&](std::size_t first, std::size_t last, bool isLast) {
        const std::size_t zeros = indexed ? 0 : work.Run(first, last), bytes = (last - first) * (n + 1);
        const int level = settings.Level != TPngSettings::ByPicture ? std::clamp(settings.Level, 0, 12)
                          : indexed                                  ? kIndexedLevel
                                                                     : LevelFor(4 * zeros, bytes);
        if (level == kScreen) return DeflateScreenPiece(filtered.get() + first * (n + 1), bytes, isLast);
        return DeflatePiece(filtered.get() + first * (n + 1), bytes, level, isLast);
    };
    // A picture worth a thread is done in two pieces, each filtered and deflated on its own
    // core with no wait between. Joining the first piece to the second takes one more read
    // of its blocks (Deflate.cpp), so it gets fewer rows.
    const std::size_t split = filteredBytes >= KAPTOR_DEFLATE_SPLIT_BYTES && height >= 2 ? std::max<std::size_t>(1, height * 15 / 32) : 0;
    std::vector<DeflatedPiece> pieces(split ? 2 : 1);
    std::exception_ptr failed;
    std::thread lower;
    if (split) {
        try {
            lower = std::thread([&] {
                try {
                    pieces[1] = piece(split, height, true);
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            pieces.resize(1);
        }
    }
    try {
        pieces[0] = piece(0, lower.joinable() ? split : height, !lower.joinable());
    } catch (...) {
        if (lower.joinable()) lower.join();
        throw;
    }
    if (lower.joinable()) lower.join();
    if (failed) std::rethrow_exception(failed);

    std::vector<std::uint8_t> head;
    head.insert(head.end(), kPngSignature, kPngSignature + 8);
    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {static_cast<std::uint8_t>(palette ? format.BitCount : 8),
                                 static_cast<std::uint8_t>(palette || indexed ? 3 : 2), 0, 0, 0});
    PutChunk(head, "IHDR", header.data(), header.size());
    if (indexed) {
        std::vector<std::uint8_t> colors;
        for (const RgbQuad& c : colours) colors.insert(colors.end(), {c.Red, c.Green, c.Blue});
        PutChunk(head, "PLTE", colors.data(), colors.size());
    } else if (palette) {
        // Every index the rows can hold has an entry, as PNG requires; missing ones are black.
        std::vector<std::uint8_t> colors(3u << format.BitCount);
        for (std::size_t i = 0; i < (1u << format.BitCount) && i < format.Palette.size(); ++i) {
            colors[3 * i] = format.Palette[i].Red;
            colors[3 * i + 1] = format.Palette[i].Green;
            colors[3 * i + 2] = format.Palette[i].Blue;
        }
        PutChunk(head, "PLTE", colors.data(), colors.size());
    }
    // The IDAT chunk: the zlib stream's pieces written as they are, its CRC taken over them in turn.
    std::uint64_t deflated = sizeof kZlibHeader + 4;
    for (const DeflatedPiece& p : pieces) deflated += p.Size;
    if (deflated > 0x7FFFFFFFu) throw EPngError(EPngError::TCause::Write);
    PutBig32(head, static_cast<std::uint32_t>(deflated));
    const std::size_t type = head.size();
    head.insert(head.end(), {'I', 'D', 'A', 'T'});
    head.insert(head.end(), kZlibHeader, kZlibHeader + sizeof kZlibHeader);
    std::uint32_t crc = libdeflate_crc32(0, head.data() + type, head.size() - type);
    for (const DeflatedPiece& p : pieces) crc = libdeflate_crc32(crc, p.Bytes.get(), p.Size);
    std::uint8_t trailer[4];
    ZlibTrailer(pieces, trailer);
    std::vector<std::uint8_t> tail(trailer, trailer + 4);
    PutBig32(tail, libdeflate_crc32(crc, trailer, 4));
    PutChunk(tail, "IEND", nullptr, 0);
    stream.WriteBuffer(head.data(), head.size());
    for (const DeflatedPiece& p : pieces) stream.WriteBuffer(p.Bytes.get(), p.Size);
    stream.WriteBuffer(tail.data(), tail.size());
}

}  // namespace kaptor
