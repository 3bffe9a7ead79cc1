#include "JpegCodec.h"

#include <cstdio>  // jpeglib.h needs FILE
#include <cstring>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "framework/imaging/JumpGuard.h"

// libjpeg's error_exit jumps back to the C++ frame that called into it (JumpGuard.h); every
// object that owns something lives in a context created before the jump point and is
// released by its destructor, libjpeg's pools by jpeg_destroy.

namespace kaptor {

EJpegError::EJpegError(int code) : EInvalidGraphic(Format(texts::JpegError, code)), Code(code) {}

namespace {

struct ErrorTrap : JumpTrap {
    jpeg_error_mgr mgr{};
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* trap = static_cast<ErrorTrap*>(cinfo->client_data);
    std::longjmp(trap->jump, 1);
}

void IgnoreMessage(j_common_ptr, int) {}
void IgnoreOutput(j_common_ptr) {}

void InstallTrap(ErrorTrap& trap, j_common_ptr cinfo) {
    jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = ErrorExit;
    trap.mgr.emit_message = IgnoreMessage;  // warnings (corrupt data, premature end) pass
    trap.mgr.output_message = IgnoreOutput;
    cinfo->err = &trap.mgr;
    cinfo->client_data = &trap;
}

// Runs body, which calls into libjpeg; a libjpeg failure becomes the EJpegError of its code.
template <class Body>
void Guarded(ErrorTrap& trap, Body&& body) {
    kaptor::Guarded(trap, body, [&trap] { throw EJpegError(trap.mgr.msg_code); });
}

// Raises a libjpeg error from inside a callback: libjpeg's way, so the jump unwinds it.
[[noreturn]] void Fail(j_common_ptr cinfo, int code) {
    cinfo->err->msg_code = code;
    cinfo->err->error_exit(cinfo);
    std::terminate();  // error_exit never returns
}

// ---- reading ----

struct StreamSource {
    jpeg_source_mgr pub{};  // first: libjpeg hands back a pointer to it
    TStream* stream = nullptr;
    ErrorTrap* trap = nullptr;
    std::vector<std::uint8_t> buffer;
    bool startOfFile = true;
    bool fakeEoi = false;
};

constexpr std::size_t kInputBufferSize = 16 * 1024;
const JOCTET kEoi[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<StreamSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<StreamSource*>(cinfo->src);
    std::size_t n = 0;
    bool failed = false;
    try {
        n = src->stream->Read(src->buffer.data(), src->buffer.size());
    } catch (...) {
        src->trap->pending = std::current_exception();
        failed = true;
    }
    // Outside the handler: jumping out of a catch block would leave the exception active.
    if (failed) Fail(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_READ);
    if (n == 0) {
        if (src->startOfFile) Fail(reinterpret_cast<j_common_ptr>(cinfo), JERR_INPUT_EMPTY);
        // A premature end: as libjpeg's own readers do, warn and supply an EOI marker, so a
        // picture cut short shows what arrived.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->pub.next_input_byte = kEoi;
        src->pub.bytes_in_buffer = 2;
        src->fakeEoi = true;
    } else {
        src->pub.next_input_byte = src->buffer.data();
        src->pub.bytes_in_buffer = n;
    }
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = cinfo->src;
    auto left = static_cast<std::size_t>(count);
    while (left > src->bytes_in_buffer) {
        left -= src->bytes_in_buffer;
        FillInputBuffer(cinfo);  // never suspends
    }
    src->next_input_byte += left;
    src->bytes_in_buffer -= left;
}

void TermSource(j_decompress_ptr) {}

// Everything one decode owns; the destructor releases libjpeg's memory on every path.
struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    StreamSource source;
    std::vector<std::uint8_t> cmykRow;

    Decoder() {
        std::memset(&cinfo, 0, sizeof cinfo);  // jpeg_destroy is safe even if create failed
        InstallTrap(trap, reinterpret_cast<j_common_ptr>(&cinfo));
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// CMYK as libjpeg hands it over (YCCK already turned into CMYK). The writers of such files,
// Photoshop first, store the inks inverted (255 = no ink); libjpeg passes that through, and
// common decoders read every four-component file that way, marker or not; so do we.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, JDIMENSION width) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        const unsigned k = cmyk[3];
        bgr[0] = static_cast<std::uint8_t>((cmyk[2] * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((cmyk[1] * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((cmyk[0] * k + 127) / 255);
    }
}

void Decode(Decoder& d, std::uint64_t maxDibBytes, const JpegPixelTarget& place) {
    jpeg_decompress_struct& cinfo = d.cinfo;
    Guarded(d.trap, [&] {
        jpeg_read_header(&cinfo, TRUE);
        // Decoder defaults throughout; only the output colour space is chosen, so the rows
        // land in the Dib's own blue-green-red order.
        const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
        cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
        jpeg_calc_output_dimensions(&cinfo);
    });

    const bool cmyk = cinfo.out_color_space == JCS_CMYK;
    const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
    const std::uint64_t stride = Dib::StrideFor(width, 24);
    if (stride * height > maxDibBytes) throw EOutOfMemory();
    Dib format;
    format.Width = static_cast<std::int32_t>(width);
    format.Height = static_cast<std::int32_t>(height);
    format.BitCount = 24;
    std::uint8_t* const pixels = place(format);
    if (cmyk) d.cmykRow = AllocBuffer(static_cast<std::size_t>(width) * 4);

    Guarded(d.trap, [&] {
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            std::uint8_t* row = pixels + static_cast<std::size_t>(height - 1 - cinfo.output_scanline) * stride;
            JSAMPROW target = cmyk ? d.cmykRow.data() : row;
            if (jpeg_read_scanlines(&cinfo, &target, 1) != 1) Fail(reinterpret_cast<j_common_ptr>(&cinfo), JERR_FILE_READ);
            if (cmyk) CmykRowToBgr(d.cmykRow.data(), row, width);
        }
        jpeg_finish_decompress(&cinfo);
    });
}

JpegPixelTarget IntoDib(Dib& result) {
    return [&result](const Dib& format) {
        result = Dib::Make(format.Width, format.Height, format.BitCount);
        return result.Bits.data();
    };
}

// ---- writing ----

struct StreamDestination {
    jpeg_destination_mgr pub{};  // first: libjpeg hands back a pointer to it
    TStream* stream = nullptr;
    ErrorTrap* trap = nullptr;
    std::vector<std::uint8_t> buffer;
};

constexpr std::size_t kOutputBufferSize = 64 * 1024;

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer.data();
    dest->pub.free_in_buffer = dest->buffer.size();
}

void WriteOut(j_compress_ptr cinfo, std::size_t count) {
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    bool failed = false;
    try {
        dest->stream->WriteBuffer(dest->buffer.data(), count);
    } catch (...) {
        dest->trap->pending = std::current_exception();
        failed = true;
    }
    if (failed) Fail(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    // libjpeg calls this with the buffer full, whatever free_in_buffer says.
    WriteOut(cinfo, dest->buffer.size());
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    WriteOut(cinfo, dest->buffer.size() - dest->pub.free_in_buffer);
}

struct Encoder {
    jpeg_compress_struct cinfo;
    ErrorTrap trap;
    StreamDestination dest;
    RgbRowConverter toRgb;  // for the layouts libjpeg cannot take as they are

    Encoder() {
        std::memset(&cinfo, 0, sizeof cinfo);
        InstallTrap(trap, reinterpret_cast<j_common_ptr>(&cinfo));
    }
    ~Encoder() { jpeg_destroy_compress(&cinfo); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

bool HasValidFormat(const Dib& dib) {
    switch (dib.BitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: return false;
    }
    return dib.Width >= 0 && dib.Height >= 0;
}

bool IsWellFormed(const Dib& dib) {
    return HasValidFormat(dib) && dib.Bits.size() >= dib.Stride() * static_cast<std::uint64_t>(dib.Height);
}

}  // namespace

Dib DecodeJpeg(TStream& stream, std::uint64_t maxDibBytes) {
    Decoder d;
    d.source.stream = &stream;
    d.source.trap = &d.trap;
    d.source.buffer = AllocBuffer(kInputBufferSize);
    Guarded(d.trap, [&] { jpeg_create_decompress(&d.cinfo); });
    d.source.pub.init_source = InitSource;
    d.source.pub.fill_input_buffer = FillInputBuffer;
    d.source.pub.skip_input_data = SkipInputData;
    d.source.pub.resync_to_restart = jpeg_resync_to_restart;
    d.source.pub.term_source = TermSource;
    d.cinfo.src = &d.source.pub;
    Dib result;
    Decode(d, maxDibBytes, IntoDib(result));
    // Give back what was read ahead past the end of the picture.
    if (!d.source.fakeEoi && d.source.pub.bytes_in_buffer > 0)
        stream.Seek(-static_cast<std::int64_t>(d.source.pub.bytes_in_buffer), TSeekOrigin::soCurrent);
    return result;
}

Dib DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint64_t maxDibBytes) {
    Dib result;
    DecodeJpeg(data, size, IntoDib(result), maxDibBytes);
    return result;
}

void DecodeJpeg(const std::uint8_t* data, std::size_t size, const JpegPixelTarget& pixels, std::uint64_t maxDibBytes) {
    Decoder d;
    Guarded(d.trap, [&] {
        jpeg_create_decompress(&d.cinfo);
        // libjpeg's memory reader fails on empty input and ends a short one with an EOI
        // marker, as the stream reader above does.
        jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
    });
    Decode(d, maxDibBytes, pixels);
}

void EncodeJpeg(const Dib& dib, TStream& stream) {
    if (!IsWellFormed(dib)) throw EInvalidGraphic(texts::InvalidBitmap);
    EncodeJpeg(dib, [&dib](int y) { return dib.Row(y); }, stream);
}

void EncodeJpeg(const Dib& format, const JpegRowSource& source, TStream& stream) {
    if (!HasValidFormat(format)) throw EInvalidGraphic(texts::InvalidBitmap);
    Encoder e;
    e.dest.stream = &stream;
    e.dest.trap = &e.trap;
    e.dest.buffer = AllocBuffer(kOutputBufferSize);
    jpeg_compress_struct& cinfo = e.cinfo;
    // Plain 24- and 32-bit rows go to libjpeg as they are stored (its colour converter reads
    // blue-green-red directly, with the same result); the other layouts through RowToRgb.
    const J_COLOR_SPACE direct = format.BitCount == 24                               ? JCS_EXT_BGR
                                 : format.BitCount == 32 && !format.HasBitFields() ? JCS_EXT_BGRX
                                                                                   : JCS_RGB;
    Guarded(e.trap, [&] {
        jpeg_create_compress(&cinfo);
        e.dest.pub.init_destination = InitDestination;
        e.dest.pub.empty_output_buffer = EmptyOutputBuffer;
        e.dest.pub.term_destination = TermDestination;
        cinfo.dest = &e.dest.pub;
        cinfo.image_width = static_cast<JDIMENSION>(format.Width);
        cinfo.image_height = static_cast<JDIMENSION>(format.Height);
        cinfo.input_components = direct == JCS_EXT_BGRX ? 4 : 3;
        cinfo.in_color_space = direct;
        jpeg_set_defaults(&cinfo);  // YCbCr, 2x2 chroma, Huffman tables as standard, baseline
        jpeg_set_quality(&cinfo, JpegQuality, TRUE);
        // Checks the size too (empty or wider than JPEG allows), before the row is sized.
        jpeg_start_compress(&cinfo, TRUE);
    });
    if (direct == JCS_RGB) {
        e.toRgb = RgbRowConverter(format);
    }
    Guarded(e.trap, [&] {
        while (cinfo.next_scanline < cinfo.image_height) {
            const std::uint8_t* stored = source(static_cast<int>(cinfo.next_scanline));
            JSAMPROW row;
            if (direct == JCS_RGB) {
                row = const_cast<JSAMPROW>(e.toRgb.Convert(stored));  // our own buffer
            } else {
                row = const_cast<JSAMPROW>(stored);  // libjpeg only reads input rows
            }
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
    });
}

}  // namespace kaptor
