// PNG reading over libdeflate for the plain kinds (PngReader.h) and libpng for the rest,
// writing of our own over libdeflate. Reading takes every standard kind (1 to 16 bits, grey,
// palette, RGB, with alpha or a transparent colour, interlaced) into a 24-bit Dib, alpha laid
// over white; writing makes 24-bit RGB, or keeps a picture of 8 bits or fewer as a palette
// and makes one of a flat picture's colours when there are 256 or fewer.
// Every failure of a damaged file is an EPngError whose Japanese text names the cause, raised
// before anything is allocated beyond what the file's size can fill; libpng never ends the
// process and its warnings are not shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>

#include "framework/base/Classes.h"
#include "framework/base/SysUtils.h"
#include "framework/imaging/Dib.h"
#include "framework/imaging/JpegCodec.h"  // MaxDibBytes

namespace kaptor {

namespace texts {
inline constexpr const char* PngNotPng = "PNG ﾌｧｲﾙではありません";
inline constexpr const char* PngTruncated = "PNG ﾌｧｲﾙが途中で切れています";
inline constexpr const char* PngChecksum = "PNG ﾌｧｲﾙのﾁｪｯｸｻﾑが合いません";
inline constexpr const char* PngHeader = "PNG ﾌｧｲﾙのﾍｯﾀﾞｰが不正です";
inline constexpr const char* PngPalette = "PNG ﾌｧｲﾙのﾊﾟﾚｯﾄが不正です";
inline constexpr const char* PngData = "PNG ﾌｧｲﾙの画像ﾃﾞｰﾀが壊れています";
inline constexpr const char* PngWrite = "PNG ﾌｧｲﾙを書き出せません";
}  // namespace texts

class EPngError : public EInvalidGraphic {
public:
    enum class TCause { NotPng, Truncated, Checksum, Header, Palette, Data, Write };
    explicit EPngError(TCause cause);
    TCause Cause;
};

// Decodes one PNG file held in memory.
Dib DecodePng(const std::uint8_t* data, std::size_t size, std::uint64_t maxDibBytes = MaxDibBytes);

// The same into rows kept elsewhere (a bitmap's own, so the picture is not copied again):
// Size(width, height) is called once, before any row is written, and Row(y) then gives row y
// from the top, room for 3 * width bytes of blue, green, red.
struct PngTarget {
    std::function<void(std::int32_t width, std::int32_t height)> Size;
    std::function<std::uint8_t*(int y)> Row;
};
void DecodePng(const std::uint8_t* data, std::size_t size, const PngTarget& target,
               std::uint64_t maxDibBytes = MaxDibBytes);

// The same over libpng alone, for every kind: what DecodePng does with a file the quick reader
// (PngReader.h) leaves to it, and what that reader is checked against.
void DecodePngWithLibpng(const std::uint8_t* data, std::size_t size, const PngTarget& target,
                         std::uint64_t maxDibBytes = MaxDibBytes);

enum class TPngFilter { None, Sub, Up, Average, Paeth, Adaptive };

// libdeflate's level (0-12), or one chosen for each picture, and the row filter: what a save
// and a copy use. Chosen by measuring screenshot-like, photo-like and real desktop pictures
// against libpng + zlib (bench/README.md): libpng's own per-row filter choice, deflated at
// the level each kind of picture needs to come out no larger than zlib's level 6 (for screen
// content, our own match finder instead of a libdeflate level).
struct TPngSettings {
    static constexpr int ByPicture = -1;
    int Level = ByPicture;
    TPngFilter Filter = TPngFilter::Adaptive;
    // A flat 24- or 32-bit picture of 256 colours or fewer written as an 8-bit palette picture
    // of its colours, unfiltered (PngPalette.h): the same pixels, a third of the bytes.
    bool IndexFewColours = true;
};

// Writes dib as RGB, 8 bits a channel, or as a palette of its colours when it has few;
// 1, 4 and 8 bits with a colour table stay palette pictures of that depth.
void EncodePng(const Dib& dib, TStream& stream, const TPngSettings& settings = {});

// The same file from pixels kept elsewhere: format gives size, bit count, masks and colour
// table (its Bits are not read), row(y) the stored bytes of row y from the top.
using PngRowSource = std::function<const std::uint8_t*(int y)>;
void EncodePng(const Dib& format, const PngRowSource& row, TStream& stream, const TPngSettings& settings = {});

// The format's own pieces, shared by the writer and the quick reader.
inline constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Paeth's prediction from the byte to the left (a), above (b) and above-left (c).
inline int PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

}  // namespace kaptor
