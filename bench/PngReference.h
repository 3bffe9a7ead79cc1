// What the PNG benchmarks (native and Windows) set beside the program's own reader and writer:
// the least decode Debian's libraries allow, and libpng + zlib as the writer was before.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <libdeflate.h>
#include <png.h>

namespace benchpic {

// The least decode of an 8-bit RGB, non-interlaced PNG (as the program writes them) that
// Debian's libraries allow: the IDAT data gathered, inflated by libdeflate in one call into
// rows of filtered bytes, unfiltered in place. No checks beyond what the measure needs.
inline void InflateRgbPng(const std::vector<std::uint8_t>& png, std::vector<std::uint8_t>& rows) {
    auto be32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
    };
    const std::size_t width = be32(16), height = be32(20), n = width * 3;
    std::vector<std::uint8_t> idat;
    for (std::size_t at = 8; at + 8 <= png.size();) {
        const std::uint32_t length = be32(at);
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) idat.insert(idat.end(), &png[at + 8], &png[at + 8] + length);
        at += 12 + length;
    }
    rows.resize((n + 1) * height);
    static libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    libdeflate_zlib_decompress(inflater, idat.data(), idat.size(), rows.data(), rows.size(), nullptr);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* r = &rows[y * (n + 1) + 1];
        const std::uint8_t* up = y ? r - (n + 1) : nullptr;
        switch (r[-1]) {
            case 1: for (std::size_t i = 3; i < n; ++i) r[i] += r[i - 3]; break;
            case 2: if (up) for (std::size_t i = 0; i < n; ++i) r[i] += up[i]; break;
            case 3:
                for (std::size_t i = 0; i < n; ++i) r[i] += ((i >= 3 ? r[i - 3] : 0) + (up ? up[i] : 0)) >> 1;
                break;
            case 4:
                for (std::size_t i = 0; i < n; ++i) {
                    const int a = i >= 3 ? r[i - 3] : 0, b = up ? up[i] : 0, c = up && i >= 3 ? up[i - 3] : 0;
                    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                    r[i] += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                }
                break;
            default: break;
        }
    }
}

// libpng + zlib at level and filters (PNG_FILTER_... bits) on height rows of 32-bit BGRX pixels,
// row(y) giving each (libpng swaps blue and red and drops the fourth byte itself), into memory.
template <class Row>
std::vector<std::uint8_t> LibpngEncode(int width, int height, int level, int filters, Row row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::uint8_t> out;
    png_set_write_fn(png, &out, [](png_structp p, png_bytep data, size_t n) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
    }, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
    png_write_info(png, info);
    png_set_bgr(png);
    png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(reinterpret_cast<const png_byte*>(row(y))));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace benchpic
