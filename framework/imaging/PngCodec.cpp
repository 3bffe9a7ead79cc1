#include "PngCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <png.h>

// libpng reports fatal errors through the error function, which must not return. It is C
// code built without unwind tables, so no C++ exception may travel through its frames: the
// error function jumps back with longjmp to the C++ frame that called into libpng, and the
// write callback catches its own exceptions, parks them and fails libpng's way. Between each
// setjmp and a possible longjmp only libpng calls and code without destructors run; what
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

struct ErrorTrap {
    std::jmp_buf jump{};
    char message[128] = {};          // libpng's own text, to tell the cause
    bool truncated = false;          // the reader ran out of bytes
    std::exception_ptr pending;      // a stream failure, rethrown in place of libpng's error
};

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
    auto* trap = static_cast<ErrorTrap*>(png_get_error_ptr(png));
    std::strncpy(trap->message, message ? message : "", sizeof trap->message - 1);
    std::longjmp(trap->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}  // ancillary trouble: the picture still reads

bool Has(const char* text, const char* part) { return std::strstr(text, part) != nullptr; }

// libpng's message, sorted into the causes a user can act on.
[[noreturn]] void Raise(const ErrorTrap& trap) {
    using C = EPngError::TCause;
    const char* m = trap.message;
    if (trap.truncated) throw EPngError(C::Truncated);
    if (Has(m, "ut of memory") || Has(m, "Insufficient memory")) throw EOutOfMemory();
    if (Has(m, "CRC")) throw EPngError(C::Checksum);
    if (Has(m, "PLTE") || Has(m, "palette")) throw EPngError(C::Palette);
    if (Has(m, "IHDR") || Has(m, "signature") || Has(m, "exceeds user limit")) throw EPngError(C::Header);
    throw EPngError(C::Data);
}

// Runs body, which calls into libpng; turns a libpng failure into the exception it stands
// for. Not inlined into callers: setjmp needs a frame of its own that stays alive.
template <class Body>
void Guarded(ErrorTrap& trap, Body&& body) {
    if (setjmp(trap.jump) == 0) {
        body();
        return;
    }
    if (trap.pending) std::rethrow_exception(std::exchange(trap.pending, nullptr));
    Raise(trap);
}

// ---- reading ----

struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0, pos = 0;
};

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
        png_read_info(png, info);
        width = png_get_image_width(png, info);
        height = png_get_image_height(png, info);
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

// ---- writing ----

namespace {

struct StreamDestination {
    TStream* stream = nullptr;
    ErrorTrap* trap = nullptr;
    std::vector<std::uint8_t> buffer;  // collects libpng's small writes into large ones
    std::size_t used = 0;
};

constexpr std::size_t kOutputBufferSize = 64 * 1024;

void Flush(png_structp png) {
    auto* dest = static_cast<StreamDestination*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        dest->stream->WriteBuffer(dest->buffer.data(), dest->used);
        dest->used = 0;
    } catch (...) {
        dest->trap->pending = std::current_exception();
        failed = true;
    }
    // Outside the handler: jumping out of a catch block would leave the exception active.
    if (failed) png_error(png, "write failed");
}

void WriteData(png_structp png, png_bytep bytes, size_t count) {
    auto* dest = static_cast<StreamDestination*>(png_get_io_ptr(png));
    while (count > 0) {
        const std::size_t n = std::min(count, dest->buffer.size() - dest->used);
        std::memcpy(dest->buffer.data() + dest->used, bytes, n);
        dest->used += n;
        bytes += n;
        count -= n;
        if (dest->used == dest->buffer.size()) Flush(png);
    }
}

struct Encoder {
    ErrorTrap trap;
    StreamDestination dest;
    png_structp png = nullptr;
    png_infop info = nullptr;
    RgbRowConverter toRgb;  // for the layouts libpng cannot take as they are

    Encoder() {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &trap, OnError, OnWarning);
        if (png) info = png_create_info_struct(png);
        if (!png || !info) {
            png_destroy_write_struct(png ? &png : nullptr, nullptr);
            throw EOutOfMemory();
        }
    }
    ~Encoder() { png_destroy_write_struct(&png, &info); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

int FilterFlags(TPngFilter filter) {
    switch (filter) {
        case TPngFilter::None: return PNG_FILTER_NONE;
        case TPngFilter::Sub: return PNG_FILTER_SUB;
        case TPngFilter::Up: return PNG_FILTER_UP;
        case TPngFilter::Average: return PNG_FILTER_AVG;
        case TPngFilter::Paeth: return PNG_FILTER_PAETH;
        case TPngFilter::Adaptive: return PNG_ALL_FILTERS;
    }
    return PNG_ALL_FILTERS;
}

bool HasValidFormat(const Dib& dib) {
    switch (dib.BitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return false;
    }
    return dib.Width > 0 && dib.Height > 0;
}

}  // namespace

void EncodePng(const Dib& dib, TStream& stream, const TPngSettings& settings) {
    if (!HasValidFormat(dib) || dib.Bits.size() < dib.Stride() * static_cast<std::uint64_t>(dib.Height))
        throw EInvalidGraphic(texts::InvalidBitmap);
    EncodePng(dib, [&dib](int y) { return dib.Row(y); }, stream, settings);
}

void EncodePng(const Dib& format, const PngRowSource& source, TStream& stream, const TPngSettings& settings) {
    if (!HasValidFormat(format)) throw EInvalidGraphic(texts::InvalidBitmap);
    Encoder e;
    e.dest.stream = &stream;
    e.dest.trap = &e.trap;
    e.dest.buffer = AllocBuffer(kOutputBufferSize);
    // Palette pictures and plain 24- and 32-bit rows go to libpng as they are stored (the
    // bit order of packed indices is PNG's own; libpng swaps blue and red and drops the
    // fourth byte itself); other layouts through RowToRgb.
    const bool palette = format.BitCount <= 8;
    const bool direct = palette || format.BitCount == 24 || (format.BitCount == 32 && !format.HasBitFields());
    std::vector<png_color> colors;
    if (palette) {
        // Every index the rows can hold has an entry, as PNG requires; missing ones are black.
        colors.resize(std::size_t{1} << format.BitCount);
        for (std::size_t i = 0; i < colors.size() && i < format.Palette.size(); ++i)
            colors[i] = png_color{format.Palette[i].Red, format.Palette[i].Green, format.Palette[i].Blue};
    }
    if (!direct) {
        e.toRgb = RgbRowConverter(format);
    }
    png_structp png = e.png;
    png_infop info = e.info;
    Guarded(e.trap, [&] {
        png_set_write_fn(png, &e.dest, WriteData, nullptr);
        png_set_IHDR(png, info, static_cast<png_uint_32>(format.Width), static_cast<png_uint_32>(format.Height),
                     palette ? format.BitCount : 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (palette) png_set_PLTE(png, info, colors.data(), static_cast<int>(colors.size()));
        png_set_compression_level(png, settings.Level);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, FilterFlags(settings.Filter));
        png_write_info(png, info);
        if (direct && !palette) png_set_bgr(png);
        if (direct && format.BitCount == 32) png_set_filler(png, 0, PNG_FILLER_AFTER);
        for (int y = 0; y < format.Height; ++y) {
            const std::uint8_t* stored = source(y);
            if (!direct) stored = e.toRgb.Convert(stored);
            png_write_row(png, const_cast<png_bytep>(stored));  // libpng only reads input rows
        }
        png_write_end(png, nullptr);
        if (e.dest.used > 0) Flush(png);
    });
}

}  // namespace kaptor
