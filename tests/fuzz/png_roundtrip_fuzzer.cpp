// Makes a picture from arbitrary bytes (size, bit count, masks, colour table, pixels, the
// writer's level and filter), writes it as PNG and reads it back: the pixels must be the
// picture's own, as RowToRgb gives them; the picture's bytes deflated by libdeflate must be
// read to their end by the block reader. Any exception, a crash or a sanitizer report is a
// finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <libdeflate.h>

#include "framework/base/Classes.h"
#include "framework/imaging/DeflateBlocks.h"
#include "framework/imaging/PngCodec.h"

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size, pos = 0;
    std::uint8_t Next() { return pos < size ? data[pos++] : 0; }
};

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
    const kaptor::TPngSettings settings{in.Next() % 14 - 1, static_cast<kaptor::TPngFilter>(in.Next() % 6)};  // -1: by picture
    if (dib.BitCount <= 8) {
        dib.Palette.resize(in.Next() % ((1u << dib.BitCount) + 1));  // short tables too
        for (auto& c : dib.Palette) c = kaptor::RgbQuad{in.Next(), in.Next(), in.Next(), 0};
    }
    // Pixels: the rest of the input over and over, so small inputs still make whole pictures.
    const std::size_t rest = size - in.pos;
    for (std::size_t i = 0; i < dib.Bits.size(); ++i) dib.Bits[i] = rest ? data[in.pos + i % rest] ^ (i / rest) : 0;

    // The block reader that joins the writer's pieces follows libdeflate's stream of the same
    // bytes to its end (a miss would only make the writer's files larger, never wrong).
    if (libdeflate_compressor* c = libdeflate_alloc_compressor(settings.Level < 0 ? 8 : settings.Level)) {
        std::vector<std::uint8_t> raw(libdeflate_deflate_compress_bound(c, dib.Bits.size()));
        raw.resize(libdeflate_deflate_compress(c, dib.Bits.data(), dib.Bits.size(), raw.data(), raw.size()));
        libdeflate_free_compressor(c);
        kaptor::DeflateBlockEnds ends;
        if (!kaptor::FindDeflateBlockEnds(raw.data(), raw.size(), ends) || (ends.End + 7) / 8 != raw.size()) std::abort();
    }

    kaptor::TMemoryStream file;
    kaptor::EncodePng(dib, file, settings);
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
