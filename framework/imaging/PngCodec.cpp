#include "PngCodec.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <png.h>

#include "framework/imaging/JumpGuard.h"
#include "framework/imaging/PngReader.h"

// libpng's error function jumps back to the C++ frame that called into it (JumpGuard.h); what
// owns memory lives in a context made before the jump point and is released by its
// destructor, libpng's structures by png_destroy_*.

namespace kaptor {

namespace {

const char* CauseText(EPngError::TCause cause) {
    switch (cause) {
        case EPngError::TCause::NotPng: return texts::PngNotPng;
        case EPngError::TCause::Truncated: return texts::PngTruncated;
        case EPngError::TCause::Checksum: return texts::PngChecksum;
        case EPngError::TCause::Header: return texts::PngHeader;
        case EPngError::TCause::Palette: return texts::PngPalette;
        case EPngError::TCause::Data: return texts::PngData;
        case EPngError::TCause::Write: return texts::PngWrite;
    }
    return texts::PngData;
}

}  // namespace

EPngError::EPngError(TCause cause) : EInvalidGraphic(CauseText(cause)), Cause(cause) {}

namespace {

struct ErrorTrap : JumpTrap {
    char message[128] = {};  // libpng's own text, to tell the cause
    bool truncated = false;  // the reader ran out of bytes
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* trap = static_cast<ErrorTrap*>(png_get_error_ptr(png));
    std::strncpy(trap->message, message ? message : "", sizeof trap->message - 1);
    std::longjmp(trap->jump, 1);
}

bool Has(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

// Ancillary trouble: the picture still reads. But a chunk longer than the limit is only a
// warning to libpng, after which it would still ask for all of it; and a stream that inflates
// to more rows than the picture has is damaged, not ancillary.
void OnWarning(png_structp png, png_const_charp message) {
    if (message && (Has(message, "too large") || Has(message, "Too much image data"))) png_error(png, message);
}

// libpng's message, sorted into the causes a user can act on.
[[noreturn]] void Raise(const ErrorTrap& trap) {
    using C = EPngError::TCause;
    const char* m = trap.message;
    if (trap.truncated) throw EPngError(C::Truncated);
    if (Has(m, "ut of memory") || Has(m, "Insufficient memory")) throw EOutOfMemory();
    if (Has(m, "CRC")) throw EPngError(C::Checksum);
    if (Has(m, "PLTE") || Has(m, "palette")) throw EPngError(C::Palette);
    // A chunk longer than the whole file (the limit DecodePng sets) runs past its end.
    if (Has(m, "too large")) throw EPngError(C::Truncated);
    if (Has(m, "IHDR") || Has(m, "signature") || Has(m, "exceeds user limit")) throw EPngError(C::Header);
    throw EPngError(C::Data);
}

// Runs body, which calls into libpng; a libpng failure becomes the exception it stands for.
template <class Body>
void Guarded(ErrorTrap& trap, Body&& body) {
    kaptor::Guarded(trap, body, [&trap] { Raise(trap); });
}

// ---- reading ----

struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0, pos = 0;
};

// Ancillary chunks the picture does not need: skipped unread, so none of them allocates.
constexpr png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                      "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

// Deflate shrinks at most 1032 to 1: more filtered rows than that can come from the file's
// bytes means it is cut short, whatever its header promises.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

void ReadData(png_structp png, png_bytep out, size_t count) {
    auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > src->size - src->pos) {
        static_cast<ErrorTrap*>(png_get_error_ptr(png))->truncated = true;
        png_error(png, "truncated");
    }
    std::memcpy(out, src->data + src->pos, count);
    src->pos += count;
}

struct Decoder {
    ErrorTrap trap;
    MemorySource source;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<std::uint8_t> pixels;  // rows with alpha, before they are laid over white

    Decoder() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &trap, OnError, OnWarning);
        if (png) info = png_create_info_struct(png);
        if (!png || !info) {
            png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
            throw EOutOfMemory();
        }
    }
    ~Decoder() { png_destroy_read_struct(&png, &info, nullptr); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// Blue, green, red, alpha over white into blue, green, red.
void OverWhite(const std::uint8_t* bgra, std::uint8_t* bgr, std::size_t width) {
    for (std::size_t x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned a = bgra[3], rest = 255u * (255u - a);
        for (int c = 0; c < 3; ++c) bgr[c] = static_cast<std::uint8_t>((bgra[c] * a + rest + 127u) / 255u);
    }
}

}  // namespace

Dib DecodePng(const std::uint8_t* data, std::size_t size, std::uint64_t maxDibBytes) {
    Dib result;
    DecodePng(data, size,
              PngTarget{[&](std::int32_t w, std::int32_t h) { result = Dib::Make(w, h, 24); },
                        [&](int y) { return result.Row(y); }},
              maxDibBytes);
    return result;
}

void DecodePng(const std::uint8_t* data, std::size_t size, const PngTarget& target, std::uint64_t maxDibBytes) {
    if (!ReadPlainPng(data, size, target, maxDibBytes)) DecodePngWithLibpng(data, size, target, maxDibBytes);
}

void DecodePngWithLibpng(const std::uint8_t* data, std::size_t size, const PngTarget& target,
                         std::uint64_t maxDibBytes) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) throw EPngError(EPngError::TCause::NotPng);
    Decoder d;
    d.source = MemorySource{data, size, 0};
    png_structp png = d.png;
    png_infop info = d.info;
    png_uint_32 width = 0, height = 0;
    int passes = 1;
    bool alpha = false;
    Guarded(d.trap, [&] {
        png_set_read_fn(png, &d.source, ReadData);
        // No chunk may ask for more memory than the file holds: a longer one is cut short.
        png_set_chunk_malloc_max(png, size);
        // Back references as far as deflate allows whatever window the stream declares, as
        // the quick reader takes them: otherwise whether one too far is refused would depend
        // on where zlib's calls happen to end.
        png_set_option(png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, sizeof kIgnoredChunks / 5);
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
        const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * png_get_channels(png, info) *
                                            png_get_bit_depth(png, info) + 7) / 8 + 1;
        if (rowBytes * height > kMaxDeflateRatio * size) {
            d.trap.truncated = true;
            png_error(png, "picture larger than the file can hold");
        }
        // Everything to 8-bit blue, green, red (and alpha where the file has transparency).
        png_set_expand(png);  // palette to colour, grey below 8 bits to 8, tRNS to alpha
        png_set_scale_16(png);
        png_set_gray_to_rgb(png);
        png_set_bgr(png);
        passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        alpha = png_get_channels(png, info) == 4;
    });
    if (Dib::StrideFor(width, 24) * height > maxDibBytes) throw EOutOfMemory();
    target.Size(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    // With alpha: one row at a time when the file is not interlaced, else the whole picture,
    // since every pass adds pixels to rows read before.
    if (alpha) d.pixels = AllocBuffer(static_cast<std::size_t>(width) * 4 * (passes > 1 ? height : 1));
    Guarded(d.trap, [&] {
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) {
                if (!alpha) {
                    png_read_row(png, target.Row(static_cast<int>(y)), nullptr);
                } else if (passes == 1) {
                    png_read_row(png, d.pixels.data(), nullptr);
                    OverWhite(d.pixels.data(), target.Row(static_cast<int>(y)), width);
                } else {
                    png_read_row(png, d.pixels.data() + static_cast<std::size_t>(y) * width * 4, nullptr);
                }
            }
        png_read_end(png, nullptr);
    });
    if (alpha && passes > 1)
        for (png_uint_32 y = 0; y < height; ++y)
            OverWhite(d.pixels.data() + static_cast<std::size_t>(y) * width * 4, target.Row(static_cast<int>(y)), width);
}

}  // namespace kaptor
