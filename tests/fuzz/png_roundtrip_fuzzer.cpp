// Makes a picture from arbitrary bytes (size, bit count, masks, colour table, pixels, the
// writer's level and filter), writes it as PNG and reads it back: the pixels must be the
// picture's own, as RowToRgb gives them; the picture's bytes deflated by libdeflate must be
// read to their end by the block reader; the same bytes deflated by our match finder, in two
// pieces joined as the writer joins them, must inflate (zlib) to themselves, and so must the
// file's image data. Any exception, a crash or a sanitizer report is a
// finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <libdeflate.h>
#include <zlib.h>

#include "framework/base/Classes.h"
#include "framework/imaging/Deflate.h"
#include "framework/imaging/DeflateBlocks.h"
#include "framework/imaging/PngCodec.h"

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size, pos = 0;
    std::uint8_t Next() { return pos < size ? data[pos++] : 0; }
};

// The raw deflate stream in [data, data + size) inflated by zlib; false when zlib rejects it or
// it does not end where the data ends.
bool ZlibInflate(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out, int windowBits) {
    z_stream z{};
    if (inflateInit2(&z, windowBits) != Z_OK) std::abort();
    z.next_in = const_cast<std::uint8_t*>(data);
    z.avail_in = static_cast<uInt>(size);
    out.clear();
    int rc = Z_OK;
    std::uint8_t buffer[16384];
    while (rc == Z_OK) {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z.avail_out));
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END && z.avail_in == 0;
}

// The IDAT chunks' data of a PNG file, joined.
std::vector<std::uint8_t> ImageData(const std::vector<std::uint8_t>& png) {
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = static_cast<std::size_t>(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::equal(png.begin() + at + 4, png.begin() + at + 8, "IDAT")) idat.insert(idat.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    return idat;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in{data, size};
    static const std::uint16_t kBits[] = {1, 4, 8, 16, 24, 32};
    const int width = 1 + (in.Next() | (in.Next() & 1) << 8);
    const int height = 1 + in.Next() % 128;
    const std::uint8_t kind = in.Next();
    kaptor::Dib dib = kaptor::Dib::Make(width, height, kBits[kind % 6]);
    if (kind & 0x40) {  // 5-6-5 or 10-10-10 masks instead of the default layout
        if (dib.BitCount == 16) dib.RedMask = 0xF800, dib.GreenMask = 0x07E0, dib.BlueMask = 0x001F;
        if (dib.BitCount == 32) dib.RedMask = 0x3FF00000, dib.GreenMask = 0x000FFC00, dib.BlueMask = 0x000003FF;
    }
    const int level = in.Next() % 14 - 1;  // -1: by picture
    const std::uint8_t how = in.Next();     // filter; runs of few colours; bit 7: never a palette of them
    const kaptor::TPngSettings settings{level, static_cast<kaptor::TPngFilter>(how % 6), (how & 0x80) == 0};
    if (dib.BitCount <= 8) {
        dib.Palette.resize(in.Next() % ((1u << dib.BitCount) + 1));  // short tables too
        for (auto& c : dib.Palette) c = kaptor::RgbQuad{in.Next(), in.Next(), in.Next(), 0};
    }
    // Pixels: the rest of the input over and over, so small inputs still make whole pictures;
    // or at 24 and 32 bits runs of up to 16 pixels in 1 to 272 colours, around the palette's limit.
    const std::size_t rest = size - in.pos;
    if (kind & 0x80 && dib.BitCount >= 24) {
        const std::size_t colours = 1 + in.Next() + (in.Next() & 0x0F), run = 1 + (how >> 3 & 0x0F);
        const std::size_t left = size - in.pos, step = dib.BitCount / 8;
        for (std::size_t p = 0; p < static_cast<std::size_t>(width) * height; ++p) {
            const std::size_t at = p / run % (left ? left : 1);
            const std::size_t k = left ? (data[in.pos + at] + 256u * data[in.pos + (at + 1) % left]) % colours
                                       : p / run % colours;
            const std::uint8_t px[4] = {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                                        static_cast<std::uint8_t>(k * 29), static_cast<std::uint8_t>(p)};
            std::copy(px, px + step, dib.Row(static_cast<int>(p / width)) + p % width * step);
        }
    } else {
        for (std::size_t i = 0; i < dib.Bits.size(); ++i) dib.Bits[i] = rest ? data[in.pos + i % rest] ^ (i / rest) : 0;
    }

    // The block reader that joins the writer's pieces follows libdeflate's stream of the same
    // bytes to its end (a miss would only make the writer's files larger, never wrong).
    if (libdeflate_compressor* c = libdeflate_alloc_compressor(settings.Level < 0 ? 8 : settings.Level)) {
        std::vector<std::uint8_t> raw(libdeflate_deflate_compress_bound(c, dib.Bits.size()));
        raw.resize(libdeflate_deflate_compress(c, dib.Bits.data(), dib.Bits.size(), raw.data(), raw.size()));
        libdeflate_free_compressor(c);
        kaptor::DeflateBlockEnds ends;
        if (!kaptor::FindDeflateBlockEnds(raw.data(), raw.size(), ends) || (ends.End + 7) / 8 != raw.size()) std::abort();
    }

    // Our match finder on the same bytes, split where the input says, the pieces joined.
    {
        const std::size_t split = dib.Bits.size() * (data[0] % 17) / 16 % (dib.Bits.size() + 1);
        const kaptor::DeflatedPiece a = kaptor::DeflateScreenPiece(dib.Bits.data(), split, false);
        const kaptor::DeflatedPiece b = kaptor::DeflateScreenPiece(dib.Bits.data() + split, dib.Bits.size() - split, true);
        std::vector<std::uint8_t> joined(a.Bytes.get(), a.Bytes.get() + a.Size), back;
        joined.insert(joined.end(), b.Bytes.get(), b.Bytes.get() + b.Size);
        if (!ZlibInflate(joined.data(), joined.size(), back, -15) || back != dib.Bits) std::abort();
    }

    kaptor::TMemoryStream file;
    kaptor::EncodePng(dib, file, settings);
    std::vector<std::uint8_t> filtered;
    const std::vector<std::uint8_t> idat = ImageData(file.Memory());
    if (!ZlibInflate(idat.data(), idat.size(), filtered, 15)) std::abort();
    const kaptor::Dib back = kaptor::DecodePng(file.Memory().data(), file.Memory().size());
    if (back.Width != width || back.Height != height) std::abort();
    std::vector<std::uint8_t> rgb(3u * width);
    for (int y = 0; y < height; ++y) {
        dib.RowToRgb(y, rgb.data());
        const std::uint8_t* got = back.Row(y);
        for (int x = 0; x < width; ++x)
            if (got[3 * x] != rgb[3 * x + 2] || got[3 * x + 1] != rgb[3 * x + 1] || got[3 * x + 2] != rgb[3 * x]) std::abort();
    }
    return 0;
}
