// libFuzzer entry for the GIF reader. A clean kaptor::Exception is a pass; a crash, a
// sanitizer report, any other exception or a broken invariant is a failure.
//
// Inputs starting with a zero byte are a recipe instead of a file: a picture made from the
// remaining bytes is LZW-encoded, wrapped into a GIF and must decode to exactly itself.
#include <cstdint>
#include <cstdlib>

#include "GifTestSupport.h"

using namespace kaptor;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

void ReadAnyFile(const std::uint8_t* data, std::size_t size) {
    TGifFile gif;
    int lastRow = 0;
    gif.Hooks.RowDecoded = [&](int done, int count) {
        Check(done >= 1 && done <= count);
        Check(done == 1 || done == lastRow + 1);  // counted per image
        lastRow = done;
    };
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    try {
        gif.LoadFromStream(stream);
    } catch (const Exception&) {
        return;
    }
    unsigned sum = 0;
    for (int i = 1; i <= gif.Images.Count(); ++i) {
        const TGifSubImage& img = gif.Image(i);
        Check(img.Pixels->Columns() == img.Descriptor.Width);
        Check(img.Pixels->Rows() == img.Descriptor.Height);
        Check(img.BitsPerPixel >= 1 && img.BitsPerPixel <= 8);
        Check(img.ColorTable.Count == 1 << img.BitsPerPixel);
        const std::size_t n = static_cast<std::size_t>(img.Pixels->Columns()) * img.Pixels->Rows();
        for (std::size_t k = 0; k < n; k += 61) sum += img.Pixels->Data()[k];
        try {
            GifBitmapStreamSize(img.Descriptor.Width, img.Descriptor.Height);
        } catch (const ENotEnoughMemory&) {
        }
    }
    static volatile unsigned sink;
    sink = sum;
}

// Recipe: 0, width - 1, height - 1, flags (bits 0-2: bits per pixel - 1, 3: interlaced,
// 4: leading clear code, 5: cut the data short), cut position, then pixel bytes (cycled).
void RoundTrip(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return;
    const int width = 1 + data[1];
    const int height = 1 + data[2];
    const int bits = 1 + (data[3] & 7);
    const bool interlaced = data[3] & 8;
    const bool leadingClear = data[3] & 16;
    const bool cutShort = data[3] & 32;
    const int codeSize = bits < 2 ? 2 : bits;
    giftest::Bytes pic(static_cast<std::size_t>(width) * height, 0);
    for (std::size_t i = 0; i < pic.size() && size > 5; ++i)
        pic[i] = static_cast<std::uint8_t>(data[5 + i % (size - 5)] & ((1 << bits) - 1));
    const giftest::Bytes stored = interlaced ? giftest::Interlace(pic, width, height) : pic;
    giftest::Bytes lzw = giftest::LzwEncode(stored, codeSize, leadingClear);
    if (cutShort) lzw.resize(lzw.size() * data[4] / 256);
    const giftest::Bytes file = giftest::GifBuilder()
                                    .Screen(width, height, bits, true)
                                    .Image(width, height, interlaced, 0, codeSize, lzw)
                                    .Trailer()
                                    .bytes();
    int rows = 0;
    TGifFile gif;
    gif.Hooks.RowDecoded = [&](int done, int) { rows = done; };
    TMemoryStream stream(file);
    if (cutShort && lzw.empty()) {
        // No data at all: the framework's list-index error.
        try {
            gif.LoadFromStream(stream);
        } catch (const EListError&) {
            return;
        }
        Check(false);
    }
    gif.LoadFromStream(stream);
    Check(gif.Images.Count() == 1);
    const giftest::Bytes got = giftest::PixelsOf(gif.Image(1));
    if (!cutShort) {
        Check(got == pic);
        return;
    }
    // Rows completed before the cut are right; all others are zero.
    int pass = 1, k = 0;
    for (int y = 0; y < height; y = interlaced ? TGifSubImage::NextInterlacedRow(y, height, pass) : y + 1, ++k)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            Check(got[i] == (k < rows ? pic[i] : 0));
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 0)
        RoundTrip(data, size);
    else
        ReadAnyFile(data, size);
    return 0;
}
