// Reading GIF 87a/89a files: the file with its header, screen descriptor, global colour table
// and images (TGifFile), the extension blocks that precede an image (TExtension), and one
// image with its LZW decoder (TGifSubImage). Images are decoded while they are read, into a
// matrix of colour indexes. Nothing here writes GIF data and nothing touches the Windows
// API: the user-interface layer joins in through TGifLoadHooks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "framework/base/Classes.h"
#include "gif/ColorTable.h"
#include "gif/ByteArrays.h"

namespace kaptor {

class EGifException : public Exception {
public:
    using Exception::Exception;
};

// What a load asks of the user interface. BeginBusy runs when a file load starts and
// EndBusy on every way out of it (the busy cursor); RowDecoded runs after each decoded row
// (rowsDecoded of rowCount) so that pending messages can be handled during a long decode.
// Empty functions are skipped.
struct TGifLoadHooks {
    std::function<void()> BeginBusy;
    std::function<void()> EndBusy;
    std::function<void(int rowsDecoded, int rowCount)> RowDecoded;
};

// The hooks every new TGifFile starts with; the Windows layer fills them once at start-up.
TGifLoadHooks& GifLoadHooks();

enum class TExtensionKind : std::uint8_t { GraphicControl = 0, PlainText = 1, ApplicationBlock = 2, Comment = 3 };

// Fixed parts of the extension blocks, kept as read and never interpreted.
struct TGraphicControlBlock {
    std::uint8_t BlockSize = 0;
    std::uint8_t PackedFields = 0;
    std::uint16_t DelayTime = 0;
    std::uint8_t TransparentColorIndex = 0;
    std::uint8_t BlockTerminator = 0;
};
struct TPlainTextBlock {
    std::uint8_t BlockSize = 0;
    std::uint16_t TextGridLeft = 0, TextGridTop = 0, TextGridWidth = 0, TextGridHeight = 0;
    std::uint8_t CellWidth = 0, CellHeight = 0;
    std::uint8_t TextForegroundColorIndex = 0, TextBackgroundColorIndex = 0;
};
struct TApplicationBlock {
    std::uint8_t BlockSize = 0;
    std::array<char, 8> Identifier{};
    std::array<char, 3> AuthenticationCode{};
};

class TExtension {
public:
    explicit TExtension(TExtensionKind kind);
    TExtensionKind Kind;
    // Only the block of this Kind is filled.
    TGraphicControlBlock GraphicControl;
    TPlainTextBlock PlainText;
    TApplicationBlock Application;
    // The data sub-blocks in file order; none for a graphic control extension.
    std::unique_ptr<TStringList> Chunks;
};

// Owns its extensions.
class TExtensionList : public TList<std::unique_ptr<TExtension>> {
public:
    TExtensionList() = default;
    ~TExtensionList();
    TExtensionList(const TExtensionList&) = delete;
    TExtensionList& operator=(const TExtensionList&) = delete;
};

// A data sub-block sequence, one string per sub-block; stops at the end of the stream, where
// a cut-off sub-block keeps the bytes that were there.
std::unique_ptr<TStringList> ReadSubBlocks(TStream& stream);

// The image data sub-blocks. Kept back to back so the decoder reads them as one run;
// NextByte walks them chunk by chunk and raises the framework's list-index error past the
// last one.
class TByteBuffer {
public:
    void Add(const std::uint8_t* bytes, std::size_t count);
    void Reset();  // list-index error when there is no chunk
    std::uint8_t NextByte();

    std::int64_t TotalSize() const { return static_cast<std::int64_t>(bytes_.size()); }
    int ChunkCount() const { return static_cast<int>(ends_.size()); }
    std::string_view Chunk(int index) const;  // counted from 1
    int ChunkIndex() const { return chunkIndex_; }
    int Position() const { return position_; }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> ends_;  // where each chunk ends in bytes_
    int chunkIndex_ = 0;             // from 1; 0 before Reset
    int position_ = 0;               // from 1 within the current chunk
};

struct TImageDescriptor {
    std::uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
    std::uint8_t PackedFields = 0;
};

class TGifFile;

// One image: read from just after its separator byte up to its block terminator, and
// decoded during that read.
class TGifSubImage {
public:
    // colorCount: the size of the file's global table (2, 4, ..., 256), which also presets
    // the local table; any other count raises EGifException.
    TGifSubImage(int colorCount, TGifFile* gifFile);
    TGifSubImage(const TGifSubImage&) = delete;
    TGifSubImage& operator=(const TGifSubImage&) = delete;

    void LoadFromStream(TStream& stream);
    void SetExtensions(std::unique_ptr<TExtensionList> extensions);

    // Interlaced row order: given the row just filled (from 0) and the pass (1 to 4), the
    // next row to fill; pass moves on as rows run out. After the last pass the result is
    // not below height.
    static int NextInterlacedRow(int row, int height, int& pass);

    TGifFile* GifFile;  // the owner; not owned
    std::uint8_t CodeSize = 2;
    TByteBuffer CompressedData;
    TImageDescriptor Descriptor;
    bool Interlaced = false;
    bool HasLocalColorTable = false;
    std::unique_ptr<TExtensionList> Extensions;
    std::uint8_t BitsPerPixel = 1;
    std::unique_ptr<TByteArray2D> Pixels;
    TColorTable ColorTable;

private:
    void EncodePacked();
    void DecodePacked();
    void ReadDescriptor(TStream& stream);
    void ReadLocalColorTable(TStream& stream);
    void ReadImageData(TStream& stream);
    void Decode();
    // What the decoder needs behind the last row of an image of this width.
    static std::uint64_t DecodeSpare(std::uint32_t width);
};

struct TGifHeader {
    std::array<char, 3> Signature{'G', 'I', 'F'};
    std::array<char, 3> Version{'8', '7', 'a'};
};

struct TScreenDescriptor {
    std::uint16_t ScreenWidth = 0, ScreenHeight = 0;
    std::uint8_t PackedFields = 0;
    std::uint8_t BackgroundColorIndex = 0;
    std::uint8_t AspectRatio = 0;
};

class TGifFile {
public:
    TGifFile();
    TGifFile(const TGifFile&) = delete;
    TGifFile& operator=(const TGifFile&) = delete;

    // Reads the whole file from stream position 0. A stream that ends early ends the read
    // as a trailer would; the images read so far stay.
    void LoadFromStream(TStream& stream);
    // Image i counted from 1; the framework's list-index error outside.
    TGifSubImage& Image(int i) { return *Images[i - 1]; }

    TGifHeader Header;
    TScreenDescriptor ScreenDescriptor;
    bool HasGlobalColorTable = true;
    TColorTable GlobalColorTable{0};
    std::uint8_t BitsPerPixel = 1;
    TList<std::unique_ptr<TGifSubImage>> Images;
    TGifLoadHooks Hooks;  // copied from GifLoadHooks() when the file is made

private:
    void ReadHeader(TStream& stream);
    void ReadScreenDescriptor(TStream& stream);
    void ReadGlobalColorTable(TStream& stream);
    std::unique_ptr<TExtensionList> ReadExtensions(TStream& stream, std::uint8_t& b);
};

// The 8-bit bitmap made from an image: rows of width bytes padded to a multiple of 4, after
// a 1078-byte header and palette. Computed in 64 bits; the stream size is refused with
// ENotEnoughMemory when a 32-bit process could not hold it.
std::uint64_t GifBitmapStride(std::uint32_t width);
std::uint64_t GifBitmapStreamSize(std::uint32_t width, std::uint32_t height);

}  // namespace kaptor
