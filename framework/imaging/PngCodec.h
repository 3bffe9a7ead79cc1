// PNG reading and writing over libpng. Reading takes every standard kind (1 to 16 bits, grey,
// palette, RGB, with alpha or a transparent colour, interlaced) into a 24-bit Dib, alpha laid
// over white; writing makes 24-bit RGB, or keeps a picture of 8 bits or fewer as a palette.
// Every failure of a damaged file is an EPngError whose Japanese text names the cause;
// libpng never ends the process and its warnings are not shown.
#pragma once

#include <cstddef>
#include <cstdint>
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

enum class TPngFilter { None, Sub, Up, Average, Paeth, Adaptive };

// zlib's level (0-9) and the row filter: what a save and a copy use. Chosen by measuring
// desktop pictures (bench/README.md): on screenshot-like ones level 6 with adaptive filtering
// writes a third of level 1's size in about 1.4 times its time; level 9 is a third smaller
// again but takes 1.5 times as long, and gains nothing on noisy pictures.
struct TPngSettings {
    int Level = 6;
    TPngFilter Filter = TPngFilter::Adaptive;
};

// Writes dib as RGB, 8 bits a channel; 1, 4 and 8 bits with a colour table stay palette
// pictures of that depth.
void EncodePng(const Dib& dib, TStream& stream, const TPngSettings& settings = {});

// The same file from pixels kept elsewhere: format gives size, bit count, masks and colour
// table (its Bits are not read), row(y) the stored bytes of row y from the top.
using PngRowSource = std::function<const std::uint8_t*(int y)>;
void EncodePng(const Dib& format, const PngRowSource& row, TStream& stream, const TPngSettings& settings = {});

}  // namespace kaptor
