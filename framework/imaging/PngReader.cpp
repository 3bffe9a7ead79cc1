#include "PngReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <libdeflate.h>

#include "framework/base/SpareSlot.h"
#include "framework/imaging/PngUnfilter.h"

namespace kaptor {

namespace {


// The libpng path's limits, so that a file is never read here that it would refuse: the
// largest width and height its reader takes, and the most rows deflate can make of a file.
constexpr std::uint32_t kMaxSide = 1000000;
constexpr std::uint64_t kMaxDeflateRatio = 1032;

std::uint32_t Be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

constexpr std::uint32_t Tag(const char (&s)[5]) {
    return static_cast<std::uint32_t>(s[0]) << 24 | s[1] << 16 | s[2] << 8 | s[3];
}

bool IsLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

enum TColour : std::uint8_t { Grey = 0, Rgb = 2, Indexed = 3, GreyAlpha = 4, Rgba = 6 };

// What one pass over the chunks found in a clean file.
struct Layout {
    std::uint32_t width = 0, height = 0;
    std::uint8_t depth = 0, colour = 0;
    const std::uint8_t* palette = nullptr;
    std::size_t paletteEntries = 0;
    const std::uint8_t* trns = nullptr;
    std::size_t trnsBytes = 0;
    std::size_t idatBegin = 0, idatEnd = 0, idatBytes = 0;  // the run of IDAT chunks
    int idatCount = 0;

    int Channels() const { return colour == Rgb ? 3 : colour == GreyAlpha ? 2 : colour == Rgba ? 4 : 1; }
    std::size_t RowBytes() const { return (static_cast<std::size_t>(width) * Channels() * depth + 7) / 8; }
    std::size_t PixelBytes() const { return std::max<std::size_t>(1, Channels() * depth / 8); }
};

bool Covered(std::uint8_t colour, std::uint8_t depth) {
    if (colour == Grey || colour == Indexed) return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    return (colour == Rgb || colour == GreyAlpha || colour == Rgba) && depth == 8;
}

bool ReadHeader(const std::uint8_t* b, Layout& l) {
    l.width = Be32(b), l.height = Be32(b + 4), l.depth = b[8], l.colour = b[9];
    return l.width >= 1 && l.width <= kMaxSide && l.height >= 1 && l.height <= kMaxSide && Covered(l.colour, l.depth) &&
           b[10] == 0 && b[11] == 0 && b[12] == 0;  // deflate, adaptive filtering, not interlaced
}

// A tRNS the libpng path reads as it is: one per file, before the data, within the palette,
// or a colour that the samples can hold.
bool ReadTrns(const std::uint8_t* b, std::uint32_t length, Layout& l) {
    if (l.trns) return false;
    if (l.colour == Indexed) {
        if (!l.palette || length == 0 || length > l.paletteEntries) return false;
    } else if (l.colour == Grey) {
        if (length != 2 || (b[0] << 8 | b[1]) >= (1 << l.depth)) return false;
    } else if (l.colour == Rgb) {
        if (length != 6 || b[0] || b[2] || b[4]) return false;
    } else {
        return false;
    }
    l.trns = b, l.trnsBytes = length;
    return true;
}

// Signature, header, every chunk's CRC and the order of the chunks that matter, up to IEND.
bool Walk(const std::uint8_t* data, std::size_t size, Layout& l) {
    if (size < 8 || std::memcmp(data, kPngSignature, 8) != 0) return false;
    enum { BeforeData, InData, AfterData } state = BeforeData;
    for (std::size_t at = 8;; ) {
        if (size - at < 12) return false;
        const std::uint32_t length = Be32(data + at);
        if (length > 0x7FFFFFFFu || length > size - at - 12) return false;
        const std::uint8_t* type = data + at + 4;
        const std::uint8_t* body = type + 4;
        for (int i = 0; i < 4; ++i)
            if (!IsLetter(type[i])) return false;
        if (libdeflate_crc32(0, type, length + 4) != Be32(body + length)) return false;
        const std::uint32_t tag = Be32(type);
        if (at == 8) {
            if (tag != Tag("IHDR") || length != 13 || !ReadHeader(body, l)) return false;
        } else if (tag == Tag("IDAT")) {
            if (state == AfterData || (l.colour == Indexed && !l.palette)) return false;
            if (state == BeforeData) l.idatBegin = at;
            state = InData;
            l.idatEnd = at + 12 + length, l.idatBytes += length, ++l.idatCount;
        } else {
            if (state == InData) state = AfterData;
            if (tag == Tag("IEND")) return length == 0 && state == AfterData;
            if (tag == Tag("PLTE")) {
                // libpng keeps no more entries than the depth can index.
                if (state != BeforeData || l.palette || l.colour != Indexed || length == 0 || length % 3) return false;
                l.palette = body, l.paletteEntries = std::min<std::size_t>(length / 3, std::size_t{1} << l.depth);
            } else if (tag == Tag("tRNS")) {
                if (state != BeforeData || !ReadTrns(body, length, l)) return false;
            } else if (!(type[0] & 0x20) || tag == Tag("acTL") || tag == Tag("fcTL") || tag == Tag("fdAT")) {
                return false;  // another critical chunk, or animation: the libpng path judges
            }
            // Every other ancillary chunk is skipped, as the libpng path skips it.
        }
        at += 12 + length;
    }
}

// The IDAT data as one run of bytes: the chunk's own when there is one, else gathered.
const std::uint8_t* Gathered(const std::uint8_t* data, const Layout& l, std::vector<std::uint8_t>& store) {
    if (l.idatCount == 1) return data + l.idatBegin + 8;
    store = AllocBuffer(l.idatBytes);
    std::size_t filled = 0;
    for (std::size_t at = l.idatBegin; at < l.idatEnd;) {
        const std::uint32_t length = Be32(data + at);
        std::memcpy(store.data() + filled, data + at + 8, length);
        filled += length, at += 12 + length;
    }
    return store.data();
}

// Memory for the filtered rows, taken from what the last picture of that size let go of
// (pictures come in the screen's size again and again), and offered back when done.
class TRowsBuffer {
public:
    explicit TRowsBuffer(std::size_t bytes) : size_(bytes) {
        if (auto kept = Spares().Take([bytes](const Block& b) { return b.Size == bytes; }))
            bytes_ = std::move(kept->Bytes);
        else
            bytes_.reset(new (std::nothrow) std::uint8_t[bytes]);
    }
    ~TRowsBuffer() {
        if (bytes_ && WorthKeeping(size_)) Spares().Offer(Block{std::move(bytes_), size_});
    }
    TRowsBuffer(const TRowsBuffer&) = delete;
    TRowsBuffer& operator=(const TRowsBuffer&) = delete;

    explicit operator bool() const { return bytes_ != nullptr; }
    std::uint8_t* get() const { return bytes_.get(); }
    std::uint8_t& operator[](std::size_t i) const { return bytes_[i]; }

private:
    struct Block {
        std::unique_ptr<std::uint8_t[]> Bytes;
        std::size_t Size = 0;
    };
    static TSpareSlot<Block>& Spares() {
        static TSpareSlot<Block> slot;
        return slot;
    }
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

struct InflaterFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// The filtered rows, exactly as many bytes as the stream holds and no more.
bool Inflate(const std::uint8_t* in, std::size_t inBytes, std::uint8_t* out, std::size_t outBytes) {
    const std::unique_ptr<libdeflate_decompressor, InflaterFree> inflater(libdeflate_alloc_decompressor());
    if (!inflater) throw EOutOfMemory();
    std::size_t used = 0, made = 0;
    return libdeflate_zlib_decompress_ex(inflater.get(), in, inBytes, out, outBytes, &used, &made) ==
               LIBDEFLATE_SUCCESS &&
           made == outBytes;
}

// Alpha a laid over white, rounded as the libpng path rounds it.
std::uint8_t OverWhite(unsigned c, unsigned a) { return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u); }

// Blue, green, red for every sample value of a grey or palette picture.
using Table = std::array<std::uint8_t, 256 * 3>;

Table ColourTable(const Layout& l) {
    Table t{};
    const unsigned top = (1u << l.depth) - 1;
    for (unsigned i = 0; i <= top; ++i) {
        std::uint8_t* bgr = &t[i * 3];
        if (l.colour == Grey) {
            const bool clear = l.trns && i == static_cast<unsigned>(l.trns[0] << 8 | l.trns[1]);
            bgr[0] = bgr[1] = bgr[2] = clear ? 255 : static_cast<std::uint8_t>(i * 255 / top);
        } else {
            const std::uint8_t* rgb = i < l.paletteEntries ? l.palette + i * 3 : nullptr;  // beyond it: black
            const unsigned a = i < l.trnsBytes ? l.trns[i] : 255;
            for (int c = 0; c < 3; ++c) bgr[c] = OverWhite(rgb ? rgb[2 - c] : 0, a);
        }
    }
    return t;
}

// One unfiltered row of the file's samples into blue, green, red.
void Convert(const Layout& l, const Table& table, const std::uint8_t* r, std::uint8_t* out) {
    const std::size_t w = l.width;
    switch (l.colour) {
        case Rgb:
            if (!l.trns) {
                for (std::size_t x = 0; x < w; ++x, r += 3, out += 3) out[0] = r[2], out[1] = r[1], out[2] = r[0];
            } else {
                const std::uint8_t tr = l.trns[1], tg = l.trns[3], tb = l.trns[5];
                for (std::size_t x = 0; x < w; ++x, r += 3, out += 3) {
                    const bool clear = r[0] == tr && r[1] == tg && r[2] == tb;
                    out[0] = clear ? 255 : r[2], out[1] = clear ? 255 : r[1], out[2] = clear ? 255 : r[0];
                }
            }
            return;
        case Rgba:
            for (std::size_t x = 0; x < w; ++x, r += 4, out += 3)
                out[0] = OverWhite(r[2], r[3]), out[1] = OverWhite(r[1], r[3]), out[2] = OverWhite(r[0], r[3]);
            return;
        case GreyAlpha:
            for (std::size_t x = 0; x < w; ++x, r += 2, out += 3) out[0] = out[1] = out[2] = OverWhite(r[0], r[1]);
            return;
        default: break;
    }
    if (l.depth == 8) {
        for (std::size_t x = 0; x < w; ++x, out += 3) std::memcpy(out, &table[r[x] * 3u], 3);
        return;
    }
    const unsigned d = l.depth, mask = (1u << d) - 1, perByte = 8 / d;
    for (std::size_t x = 0; x < w; ++x, out += 3) {
        const unsigned shift = 8 - d - (x % perByte) * d;
        std::memcpy(out, &table[((r[x / perByte] >> shift) & mask) * 3u], 3);
    }
}

}  // namespace

bool ReadPlainPng(const std::uint8_t* data, std::size_t size, const PngTarget& target, std::uint64_t maxDibBytes) {
    Layout l;
    if (!Walk(data, size, l)) return false;
    const std::size_t n = l.RowBytes(), stride = n + 1;
    const std::uint64_t filtered = static_cast<std::uint64_t>(stride) * l.height;
    if (filtered > kMaxDeflateRatio * size) return false;
    if (Dib::StrideFor(l.width, 24) * l.height > maxDibBytes || filtered > SIZE_MAX) return false;

    std::vector<std::uint8_t> gathered;
    const std::uint8_t* idat = Gathered(data, l, gathered);
    // The filtered rows are held beside the picture (not cleared first: the inflate fills
    // them all): where there is no room for both, the libpng path, which needs none, still
    // reads the picture as before.
    const auto rowsBytes = static_cast<std::size_t>(filtered);
    const TRowsBuffer rows(rowsBytes);
    if (!rows) return false;
    if (!Inflate(idat, l.idatBytes, rows.get(), rowsBytes)) return false;
    for (std::size_t y = 0; y < l.height; ++y)
        if (rows[y * stride] > 4) return false;  // a filter no PNG has

    const Table table = ColourTable(l);
    target.Size(static_cast<std::int32_t>(l.width), static_cast<std::int32_t>(l.height));
    const std::vector<std::uint8_t> none(n, 0);  // what the first row sees above it
    const std::size_t bpp = l.PixelBytes();
    for (std::size_t y = 0; y < l.height; ++y) {
        std::uint8_t* row = &rows[y * stride + 1];
        Unfilter(row[-1], row, y ? row - stride : none.data(), n, bpp);
        Convert(l, table, row, target.Row(static_cast<int>(y)));
    }
    return true;
}

}  // namespace kaptor
