// JPEG reading and writing over libjpeg (IJG API). Reading decodes at full size into a 24-bit
// Dib with the decoder's defaults; writing uses quality 90, three colour components and
// baseline coding. Every libjpeg failure becomes an EJpegError carrying libjpeg's message
// number; libjpeg's own warnings are not shown, and libjpeg never ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "framework/base/Classes.h"
#include "framework/base/SysUtils.h"
#include "framework/imaging/Dib.h"

namespace kaptor {

namespace texts {
inline constexpr const char* JpegError = "JPEG ｴﾗｰ #%d";
}

class EJpegError : public EInvalidGraphic {
public:
    explicit EJpegError(int code);
    int Code;  // libjpeg's message number (J_MESSAGE_CODE)
};

// The largest pixel block a 32-bit process could allocate; a picture whose 24-bit Dib would
// be larger is refused with EOutOfMemory before anything is allocated for it.
inline constexpr std::uint64_t MaxDibBytes = 0x7FFFFFFFull;

inline constexpr int JpegQuality = 90;

// Decodes one JPEG image from the stream's current position. Greyscale pictures are
// expanded to grey RGB, CMYK and YCCK ones converted to RGB. On success the stream is left
// just after the data libjpeg consumed. maxDibBytes lowers the size limit (the fuzzer uses
// it to stay within its memory budget).
Dib DecodeJpeg(TStream& stream, std::uint64_t maxDibBytes = MaxDibBytes);
Dib DecodeJpeg(const std::uint8_t* data, std::size_t size, std::uint64_t maxDibBytes = MaxDibBytes);

// The same into pixels kept elsewhere, so a picture is decoded once into the place that
// holds it: pixels(format) is called once the size is known, with a 24-bit Dib format
// (size, bit count; no Bits), and returns storage in that Dib's layout (bottom-up rows
// padded to four bytes) for the decoder to fill.
using JpegPixelTarget = std::function<std::uint8_t*(const Dib& format)>;
void DecodeJpeg(const std::uint8_t* data, std::size_t size, const JpegPixelTarget& pixels,
                std::uint64_t maxDibBytes = MaxDibBytes);

// Writes dib (any bit count Dib supports) as a baseline YCbCr JPEG at quality 90 with the
// encoder's default 2x2 chroma subsampling.
void EncodeJpeg(const Dib& dib, TStream& stream);

// The same file from pixels kept elsewhere, so a large picture need not be copied into a
// Dib first: format gives size, bit count, masks and colour table (its Bits are not read),
// and row(y) the stored bytes of row y counted from the top, in format's layout.
using JpegRowSource = std::function<const std::uint8_t*(int y)>;
void EncodeJpeg(const Dib& format, const JpegRowSource& row, TStream& stream);

}  // namespace kaptor
