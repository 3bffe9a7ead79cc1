// Helpers for the GIF reader's tests: GIF files assembled byte by byte, LZW code streams
// written code by code, a small LZW encoder for whole pictures, and giflib's decoding of
// the same bytes for comparison.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gif/GifReader.h"

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

// Packs codes least significant bit first at the width a GIF decoder reads them with,
// following the decoder's table: every code after the first one past a clear adds an entry,
// and the width grows when the next free entry reaches the width's limit (up to 12 bits).
class CodeWriter {
public:
    explicit CodeWriter(int minCodeSize);
    CodeWriter& Put(unsigned code);
    // Pads the last byte with zero bits.
    Bytes Finish();
    unsigned Clear() const { return 1u << s_; }
    unsigned End() const { return Clear() + 1; }
    unsigned NextFree() const { return next_; }
    unsigned Width() const { return width_; }

private:
    unsigned s_;
    unsigned width_;
    unsigned next_;
    bool afterClear_ = true;
    std::uint64_t acc_ = 0;
    unsigned bits_ = 0;
    Bytes out_;
};

// A plain LZW encoder: clear code first (unless leadingClear is false), a clear code again
// before the table would run full, end code last.
Bytes LzwEncode(const Bytes& indexes, int minCodeSize, bool leadingClear = true);

// Assembles a GIF file.
class GifBuilder {
public:
    explicit GifBuilder(std::string_view header = "GIF89a");
    // Logical screen with a global table of 2^bits entries (colour i = (i, 255 - i, 3i)) or
    // none; the size bits are set either way.
    GifBuilder& Screen(int width, int height, int bits, bool globalTable);
    GifBuilder& GraphicControl(std::uint16_t delay, std::uint8_t transparent);
    GifBuilder& Comment(const std::vector<std::string>& subBlocks);
    // Image descriptor, an optional local table of 2^bits entries (colour i = (3i, i, 200)),
    // then the minimum code size and the data in sub-blocks of at most 255 bytes.
    GifBuilder& Image(int width, int height, bool interlaced, int localBits, int codeSize, const Bytes& lzw);
    // Image descriptor with a local table but without any image data after it.
    GifBuilder& Descriptor(int width, int height, std::uint8_t packed);
    GifBuilder& Raw(const Bytes& bytes);
    GifBuilder& Trailer();
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

// Rows in the order they appear in the data, spread over the picture as interlacing does.
Bytes Interlace(const Bytes& pictureRows, int width, int height);

struct GiflibImage {
    int Width = 0, Height = 0;
    bool Interlaced = false;
    Bytes Pixels;                          // top row first
    std::vector<kaptor::TGifColor> Local;  // empty without a local table
};
struct GiflibFile {
    bool Ok = false;
    int Error = 0;
    std::vector<kaptor::TGifColor> Global;
    std::vector<GiflibImage> Images;
};

// Decodes with the system's giflib (loaded at run time; tests only). Ok is false when giflib
// reports an error.
GiflibFile GiflibDecode(const Bytes& file);

// Reads our decoder's output the same way.
std::unique_ptr<kaptor::TGifFile> Load(const Bytes& file);
Bytes PixelsOf(const kaptor::TGifSubImage& image);
Bytes ReadFile(const std::string& path);

}  // namespace giftest

namespace giftest {

// The message of the exception of type E that f raises, or "<none>".
template <class E, class F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message;
    }
    return "<none>";
}

}  // namespace giftest
