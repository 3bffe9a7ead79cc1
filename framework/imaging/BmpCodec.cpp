#include "BmpCodec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "framework/base/SysUtils.h"
#include "framework/imaging/LittleEndian.h"

// Deviations from the format that the reader tolerates, each on purpose and by this name:
//
// FileSizeFieldIgnored     bfSize, biSizeImage and biClrImportant are not used: writers get
//                          them wrong too often, and the real extents follow from the other
//                          fields and the file itself.
// ZeroPixelOffset          bfOffBits = 0 means the pixels follow the header, masks and colour
//                          table directly.
// ImplicitPaletteCut       With biClrUsed = 0 (or an OS/2 core header) the colour table is
//                          taken to be full, but some writers store fewer entries and point
//                          bfOffBits just past them; the table then ends at bfOffBits. An
//                          explicit biClrUsed that runs into the pixels is damage.
// ExcessPaletteEntries     biClrUsed above 2^bits (but at most 256) for 1 to 8 bits: the
//                          entries no pixel can index are skipped.
// ShortLastRow             Uncompressed pixels may lack up to 3 bytes at the end: writers that
//                          leave out the padding of the last stored row. The missing bytes
//                          read as zero. Any more missing is damage (so a one-row file cannot
//                          claim a huge width on the strength of a few bytes).
// RleRunIntoRowPadding     RLE runs and deltas may reach into the row's padding (the width
//                          rounded up to whole 32-bit words): ImageMagick encodes RLE8 rows
//                          that way. The pixels beyond the width are dropped.
// RleDataEndsEarly         RLE data may end anywhere, even inside a command, without the
//                          end-of-bitmap escape; what was decoded stays, the rest is index 0.
//                          Pixels an RLE picture skips (line ends, deltas) are index 0 too.
//
// Everything else out of range is damage: EInvalidGraphic. In particular RLE runs and deltas
// that leave the padded row or the picture are refused rather than clipped or wrapped.

namespace kaptor {

namespace {

constexpr std::uint64_t kFileHeaderSize = 14;
// The most a 32-bit process can hold in one block. The fuzz build lowers it, so that random
// picture sizes stay cheap under AddressSanitizer.
#ifndef KAPTOR_MAX_BLOCK_SIZE
#define KAPTOR_MAX_BLOCK_SIZE 0x7FFFFFFF
#endif
constexpr std::uint64_t kMaxBlock = KAPTOR_MAX_BLOCK_SIZE;
// File header, the largest info header, 40-byte-header masks and a full RGBQUAD table: all a
// reader needs before it knows where the pixels are.
constexpr std::uint64_t kMaxHeadBytes = kFileHeaderSize + 124 + 12 + 256 * 4;

enum Compression : std::uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3 };

[[noreturn]] void Invalid() { throw EInvalidGraphic(texts::InvalidBitmap); }

// Little-endian fields of a byte span; a field outside the span is damage.
class Fields {
public:
    explicit Fields(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    void Need(std::uint64_t at, std::uint64_t count) const {
        if (at > bytes_.size() || count > bytes_.size() - at) Invalid();
    }
    std::uint8_t U8(std::uint64_t at) const {
        Need(at, 1);
        return bytes_[at];
    }
    std::uint16_t U16(std::uint64_t at) const {
        Need(at, 2);
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::uint32_t U32(std::uint64_t at) const {
        Need(at, 4);
        return static_cast<std::uint32_t>(bytes_[at]) | (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
               (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) |
               (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
    }
    std::int32_t I32(std::uint64_t at) const { return static_cast<std::int32_t>(U32(at)); }

private:
    std::span<const std::uint8_t> bytes_;
};

// Everything the headers say, checked against the file.
struct Layout {
    std::int32_t Width = 0, Height = 0;
    bool TopDown = false;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = BiRgb;
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    std::vector<RgbQuad> Palette;
    std::int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
    std::uint64_t DataOffset = 0;  // from the start of the file
    std::uint64_t Stride = 0;
    std::uint64_t ImageBytes = 0;  // Stride * Height

    bool Rle() const { return Compression == BiRle8 || Compression == BiRle4; }
    // How many bytes of a file of fileSize bytes the picture uses.
    std::uint64_t UsedBytes(std::uint64_t fileSize) const {
        if (Rle()) return fileSize;
        return DataOffset + std::min(ImageBytes, fileSize - DataOffset);
    }
};

bool Contiguous(std::uint32_t mask) {
    const std::uint32_t lowest = mask & (~mask + 1u);
    return ((mask + lowest) & mask) == 0;  // wraps to 0 for masks reaching bit 31
}

bool KnownHeaderSize(std::uint32_t size) {
    switch (size) {
        case 12:   // OS/2 1.x BITMAPCOREHEADER
        case 40:   // BITMAPINFOHEADER
        case 52:   // with the RGB masks
        case 56:   // with the RGBA masks
        case 64:   // OS/2 2.x, same first 40 bytes
        case 108:  // BITMAPV4HEADER
        case 124:  // BITMAPV5HEADER
            return true;
        default:
            return false;
    }
}

// Refuses a picture a 32-bit process cannot hold: its own bits must fit in one block, and so
// must the 32-bit screen bitmap every picture is drawn through.
void CheckFitsInMemory(std::uint64_t width, std::uint64_t height, std::uint64_t stride) {
    if (stride > kMaxBlock || height > kMaxBlock || stride * height > kMaxBlock) throw EOutOfMemory();
    if (width > kMaxBlock / 4 || height > kMaxBlock / (4 * width)) throw EOutOfMemory();
}

// head holds at least the first min(fileSize, kMaxHeadBytes) bytes of the file.
Layout ParseLayout(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    const Fields f(head);
    if (fileSize < kFileHeaderSize + 4) Invalid();
    if (f.U8(0) != 'B' || f.U8(1) != 'M') Invalid();
    const std::uint32_t offBits = f.U32(10);
    const std::uint32_t headerSize = f.U32(14);
    if (!KnownHeaderSize(headerSize)) Invalid();
    if (kFileHeaderSize + headerSize > fileSize) Invalid();
    f.Need(0, kFileHeaderSize + headerSize);

    const bool core = headerSize == 12;
    std::int64_t width = 0, height = 0;
    std::uint16_t planes = 0;
    std::uint32_t clrUsed = 0;
    Layout l;
    if (core) {
        width = f.U16(18);
        height = f.U16(20);  // unsigned: core bitmaps are always bottom-up
        planes = f.U16(22);
        l.BitCount = f.U16(24);
    } else {
        width = f.I32(18);
        height = f.I32(22);
        planes = f.U16(26);
        l.BitCount = f.U16(28);
        l.Compression = f.U32(30);
        l.XPelsPerMeter = f.I32(38);
        l.YPelsPerMeter = f.I32(42);
        clrUsed = f.U32(46);
    }
    if (planes != 1) Invalid();
    if (width <= 0 || height == 0) Invalid();
    l.TopDown = height < 0;
    if (l.TopDown) height = -height;  // 64 bits: INT32_MIN negates safely

    const std::uint16_t bits = l.BitCount;
    const bool knownBits = core ? (bits == 1 || bits == 4 || bits == 8 || bits == 24)
                                : (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!knownBits) Invalid();
    switch (l.Compression) {
        case BiRgb: break;
        case BiRle8:
        case BiRle4:
            if (bits != (l.Compression == BiRle8 ? 8 : 4) || l.TopDown) Invalid();
            break;
        case BiBitFields:
            // In the OS/2 2.x header 3 means Huffman 1D, which we do not read.
            if ((bits != 16 && bits != 32) || headerSize == 64) Invalid();
            break;
        default: Invalid();  // JPEG, PNG, Huffman, RLE24, alpha bit fields
    }

    std::uint64_t pos = kFileHeaderSize + headerSize;
    if (l.Compression == BiBitFields) {
        std::uint64_t at = kFileHeaderSize + 40;
        if (headerSize == 40) {  // the masks follow the header
            at = pos;
            pos += 12;
            if (pos > fileSize) Invalid();
        }
        l.RedMask = f.U32(at);
        l.GreenMask = f.U32(at + 4);
        l.BlueMask = f.U32(at + 8);
        if (!ValidBitFields(l.RedMask, l.GreenMask, l.BlueMask, bits)) Invalid();
    }

    if (bits <= 8) {
        const std::uint32_t full = 1u << bits;
        const std::uint64_t entrySize = core ? 3 : 4;
        const bool implicitCount = core || clrUsed == 0;
        std::uint64_t stored = implicitCount ? full : clrUsed;
        if (stored > 256) Invalid();
        if (offBits != 0 && pos + stored * entrySize > offBits) {
            if (!implicitCount || offBits < pos) Invalid();
            stored = (offBits - pos) / entrySize;  // ImplicitPaletteCut
            if (stored == 0) Invalid();
        }
        if (pos + stored * entrySize > fileSize) Invalid();
        const std::uint64_t used = std::min<std::uint64_t>(stored, full);  // ExcessPaletteEntries
        f.Need(pos, used * entrySize);
        l.Palette.resize(used);
        for (std::uint64_t i = 0; i < used; ++i) {
            const std::uint64_t at = pos + i * entrySize;
            RgbQuad& q = l.Palette[i];
            q.Blue = f.U8(at);
            q.Green = f.U8(at + 1);
            q.Red = f.U8(at + 2);
            q.Reserved = core ? 0 : f.U8(at + 3);
        }
        pos += stored * entrySize;
    } else if (offBits == 0) {
        // ZeroPixelOffset with an optional colour table in front of the pixels.
        pos += static_cast<std::uint64_t>(clrUsed) * 4;
    }

    l.DataOffset = offBits == 0 ? pos : offBits;  // ZeroPixelOffset
    if (l.DataOffset < pos || l.DataOffset > fileSize) Invalid();

    l.Stride = Dib::StrideFor(width, bits);
    if (!l.Rle()) {
        // The pixels must be in the file, all but the padding of the last row (ShortLastRow).
        // Counted in rows, so that no product can wrap.
        const std::uint64_t available = fileSize - l.DataOffset;
        const std::uint64_t wholeRows = available / l.Stride;
        const bool complete = wholeRows >= static_cast<std::uint64_t>(height);
        const bool shortLastRow =
            wholeRows + 1 == static_cast<std::uint64_t>(height) && l.Stride - available % l.Stride <= 3;
        if (!complete && !shortLastRow) Invalid();
    }
    CheckFitsInMemory(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), l.Stride);
    l.Width = static_cast<std::int32_t>(width);
    l.Height = static_cast<std::int32_t>(height);
    l.ImageBytes = l.Stride * static_cast<std::uint64_t>(height);
    return l;
}

// Sets pixel x of an RLE row; each pixel is written at most once, but stay exact anyway.
void PutPixel(std::uint8_t* row, std::uint64_t x, std::uint8_t index, bool fourBits) {
    if (!fourBits) {
        row[x] = index;
    } else if (x & 1) {
        row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
    } else {
        row[x >> 1] = static_cast<std::uint8_t>((row[x >> 1] & 0x0F) | (index << 4));
    }
}

// Pixel i of a run at 4 bits: the high nibble first.
std::uint8_t Nibble(std::uint8_t b, unsigned i) {
    return static_cast<std::uint8_t>((i & 1) ? (b & 0x0F) : (b >> 4));
}

// RLE rows run bottom-up like the Dib's, so row y of the data is row y of bits.
void DecodeRle(const Layout& l, std::span<const std::uint8_t> data, std::uint8_t* bits) {
    const bool fourBits = l.Compression == BiRle4;
    const std::uint64_t width = static_cast<std::uint64_t>(l.Width);
    const std::uint64_t paddedWidth = l.Stride * 8 / l.BitCount;  // RleRunIntoRowPadding
    const std::uint64_t height = static_cast<std::uint64_t>(l.Height);
    // x <= paddedWidth and y <= height always; pixels are written only inside the picture.
    std::uint64_t x = 0, y = 0;
    std::size_t p = 0;
    const std::size_t end = data.size();
    auto rowAt = [&](std::uint64_t row) { return bits + row * l.Stride; };

    while (end - p >= 2) {  // RleDataEndsEarly: a lone last byte is no command
        const std::uint8_t count = data[p];
        const std::uint8_t value = data[p + 1];
        p += 2;
        if (count > 0) {  // encoded run
            if (y >= height || count > paddedWidth - x) Invalid();
            std::uint8_t* row = rowAt(y);
            const auto inside = static_cast<unsigned>(std::min<std::uint64_t>(count, width - std::min(x, width)));
            for (unsigned i = 0; i < inside; ++i) PutPixel(row, x + i, fourBits ? Nibble(value, i) : value, fourBits);
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                if (y >= height) Invalid();
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta: right and up
                if (end - p < 2) return;  // RleDataEndsEarly
                const std::uint8_t dx = data[p], dy = data[p + 1];
                p += 2;
                if (dx > paddedWidth - x || dy > height - y) Invalid();
                x += dx;
                y += dy;
                break;
            }
            default: {  // absolute run of `value` pixels, padded to a 16-bit boundary
                const unsigned n = value;
                if (y >= height || n > paddedWidth - x) Invalid();
                const std::size_t bytes = fourBits ? (n + 1) / 2 : n;
                const std::size_t present = std::min(bytes, end - p);  // RleDataEndsEarly
                unsigned pixels = fourBits ? std::min<unsigned>(n, static_cast<unsigned>(present * 2))
                                           : static_cast<unsigned>(present);
                pixels = static_cast<unsigned>(std::min<std::uint64_t>(pixels, width - std::min(x, width)));
                std::uint8_t* row = rowAt(y);
                for (unsigned i = 0; i < pixels; ++i) {
                    const std::uint8_t b = data[p + (fourBits ? i / 2 : i)];
                    PutPixel(row, x + i, fourBits ? Nibble(b, i) : b, fourBits);
                }
                x += n;
                p += std::min(bytes + (bytes & 1), end - p);
                break;
            }
        }
    }
}

// The picture's format as the headers give it: a Dib without its Bits.
Dib FormatOf(const Layout& l) {
    Dib dib;
    dib.Width = l.Width;
    dib.Height = l.Height;
    dib.BitCount = l.BitCount;
    dib.RedMask = l.RedMask;
    dib.GreenMask = l.GreenMask;
    dib.BlueMask = l.BlueMask;
    dib.Palette = l.Palette;
    dib.XPelsPerMeter = l.XPelsPerMeter;
    dib.YPelsPerMeter = l.YPelsPerMeter;
    return dib;
}

// Where byte `at` of the stored rows belongs in bits (bottom-up, as Dib lays them out), and
// how many bytes from there on lie in the same row.
std::uint8_t* Destination(const Layout& l, std::uint8_t* bits, std::uint64_t at, std::uint64_t& rowRest) {
    const std::uint64_t r = at / l.Stride, c = at % l.Stride;
    rowRest = l.TopDown ? l.Stride - c : l.ImageBytes - at;  // bottom-up rows are one run
    return bits + (l.TopDown ? static_cast<std::uint64_t>(l.Height) - 1 - r : r) * l.Stride + c;
}

// Copies count bytes of the stored rows, from byte at on, into bits.
void PutRows(const Layout& l, std::uint8_t* bits, std::uint64_t at, const std::uint8_t* from, std::uint64_t count) {
    while (count > 0) {
        std::uint64_t rest = 0;
        std::uint8_t* to = Destination(l, bits, at, rest);
        const std::uint64_t n = std::min(count, rest);
        std::memcpy(to, from, static_cast<std::size_t>(n));
        at += n, from += n, count -= n;
    }
}

// The pixels of the data that follows the headers into bits (zeroed, Stride * Height bytes).
void DecodeInto(const Layout& l, std::span<const std::uint8_t> data, std::uint8_t* bits) {
    if (l.Rle())
        DecodeRle(l, data, bits);
    else  // ShortLastRow: the rest stays 0
        PutRows(l, bits, 0, data.data(), std::min<std::uint64_t>(data.size(), l.ImageBytes));
}

}  // namespace

bool ValidBitFields(std::uint32_t red, std::uint32_t green, std::uint32_t blue, int bitCount) {
    if (bitCount != 16 && bitCount != 32) return false;
    // Every channel needs bits: GDI refuses a zero mask when it makes the bitmap.
    if (red == 0 || green == 0 || blue == 0) return false;
    const std::uint32_t all = red | green | blue;
    if (bitCount == 16 && (all & 0xFFFF0000u)) return false;
    if ((red & green) || (red & blue) || (green & blue)) return false;
    return Contiguous(red) && Contiguous(green) && Contiguous(blue);
}

namespace {

// format with zeroed Bits of its size (EOutOfMemory when they cannot be had).
Dib WithBits(const Dib& format) {
    std::vector<std::uint8_t> bits = std::move(Dib::Make(format.Width, format.Height, format.BitCount).Bits);
    Dib dib = format;
    dib.Bits = std::move(bits);
    return dib;
}

}  // namespace

Dib ReadBmp(std::span<const std::uint8_t> file) {
    const Layout layout = ParseLayout(file, file.size());
    Dib dib = WithBits(FormatOf(layout));
    DecodeInto(layout, file.subspan(static_cast<std::size_t>(layout.DataOffset)), dib.Bits.data());
    return dib;
}

Dib ReadBmp(TStream& stream) {
    Dib dib;
    ReadBmp(stream, [&dib](const Dib& format, bool) {
        dib = WithBits(format);
        return dib.Bits.data();
    });
    return dib;
}

void ReadBmp(TStream& stream, const BmpPixels& pixels) {
    const std::int64_t start = stream.Position();
    const std::int64_t total = stream.Size();
    const std::uint64_t fileSize = total > start ? static_cast<std::uint64_t>(total - start) : 0;

    // The headers first, so nothing large is read or allocated before they are checked.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(fileSize, kMaxHeadBytes)));
    stream.ReadBuffer(bytes.data(), bytes.size());
    const Layout layout = ParseLayout(bytes, fileSize);

    const std::uint64_t used = layout.UsedBytes(fileSize);
    if (used > kMaxBlock) throw EOutOfMemory();  // only RLE data can run on this long
    if (layout.Rle()) {
        // RLE data is read whole, then decoded.
        const std::size_t have = bytes.size();
        try {
            bytes.resize(static_cast<std::size_t>(used));
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory();
        }
        if (used > have) stream.ReadBuffer(bytes.data() + have, bytes.size() - have);
        DecodeInto(layout, std::span<const std::uint8_t>(bytes).subspan(static_cast<std::size_t>(layout.DataOffset)),
                   pixels(FormatOf(layout), false));
    } else {
        // Plain rows go from the file straight into their place: what the headers' read
        // brought along is copied, the rest read there.
        const std::uint64_t available = used - layout.DataOffset;
        std::uint8_t* bits = pixels(FormatOf(layout), available == layout.ImageBytes);
        std::uint64_t at = 0;
        if (bytes.size() > layout.DataOffset) {
            at = std::min<std::uint64_t>(bytes.size() - layout.DataOffset, available);
            PutRows(layout, bits, 0, bytes.data() + layout.DataOffset, at);
        } else {
            stream.SetPosition(start + static_cast<std::int64_t>(layout.DataOffset));
        }
        while (at < available) {
            std::uint64_t rest = 0;
            std::uint8_t* to = Destination(layout, bits, at, rest);
            const std::uint64_t n = std::min(available - at, rest);
            stream.ReadBuffer(to, static_cast<std::size_t>(n));
            at += n;
        }
    }
    stream.SetPosition(start + static_cast<std::int64_t>(used));
}

void WriteBmp(const Dib& dib, TStream& stream) {
    const int bits = dib.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) Invalid();
    if (dib.Width <= 0 || dib.Height <= 0) Invalid();
    const std::uint64_t imageBytes = dib.Stride() * static_cast<std::uint64_t>(dib.Height);
    if (dib.Bits.size() != imageBytes) Invalid();
    const bool indexed = bits <= 8;
    if (indexed && (dib.Palette.empty() || dib.Palette.size() > (1u << bits))) Invalid();
    // Masks mean something only at 16 and 32 bits; elsewhere they are not written.
    const bool fields = (bits == 16 || bits == 32) && dib.HasBitFields();
    if (fields && !ValidBitFields(dib.RedMask, dib.GreenMask, dib.BlueMask, bits)) Invalid();

    const std::uint64_t paletteBytes = indexed ? dib.Palette.size() * 4 : 0;
    const std::uint64_t offBits = kFileHeaderSize + 40 + (fields ? 12 : 0) + paletteBytes;
    const std::uint64_t fileSize = offBits + imageBytes;
    if (fileSize > 0xFFFFFFFFu) Invalid();  // cannot be expressed in bfSize

    std::vector<std::uint8_t> head;
    head.reserve(static_cast<std::size_t>(offBits));
    head.push_back('B');
    head.push_back('M');
    Put32(head, static_cast<std::uint32_t>(fileSize));
    Put32(head, 0);  // reserved
    Put32(head, static_cast<std::uint32_t>(offBits));
    Put32(head, 40);
    Put32(head, static_cast<std::uint32_t>(dib.Width));
    Put32(head, static_cast<std::uint32_t>(dib.Height));  // positive: bottom-up, as stored
    Put16(head, 1);
    Put16(head, static_cast<std::uint32_t>(bits));
    Put32(head, fields ? BiBitFields : BiRgb);
    Put32(head, static_cast<std::uint32_t>(imageBytes));
    Put32(head, static_cast<std::uint32_t>(dib.XPelsPerMeter));
    Put32(head, static_cast<std::uint32_t>(dib.YPelsPerMeter));
    // A full table is written as 0, the form every reader knows.
    const std::uint32_t clrUsed =
        indexed && dib.Palette.size() != (1u << bits) ? static_cast<std::uint32_t>(dib.Palette.size()) : 0;
    Put32(head, clrUsed);
    Put32(head, 0);  // all colours important
    if (fields) {
        Put32(head, dib.RedMask);
        Put32(head, dib.GreenMask);
        Put32(head, dib.BlueMask);
    }
    if (indexed) {
        for (const RgbQuad& q : dib.Palette) {
            head.push_back(q.Blue);
            head.push_back(q.Green);
            head.push_back(q.Red);
            head.push_back(q.Reserved);
        }
    }
    stream.WriteBuffer(head.data(), head.size());
    stream.WriteBuffer(dib.Bits.data(), dib.Bits.size());
}

}  // namespace kaptor
