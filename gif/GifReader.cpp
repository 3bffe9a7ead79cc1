#include "gif/GifReader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

namespace kaptor {

TGifLoadHooks& GifLoadHooks() {
    static TGifLoadHooks hooks;
    return hooks;
}

namespace {

constexpr std::uint8_t ExtensionIntroducer = 0x21;  // "!"
constexpr std::uint8_t ImageSeparator = 0x2C;       // ","
constexpr std::uint8_t Trailer = 0x3B;              // ";"

// Reads up to count bytes into a zeroed buffer: a block cut short by the end of the stream
// keeps what was there and zeros for the rest.
template <std::size_t N>
std::array<std::uint8_t, N> ReadBlock(TStream& stream) {
    std::array<std::uint8_t, N> b{};
    stream.Read(b.data(), N);
    return b;
}

// The next byte, or fallback at the end of the stream.
std::uint8_t ReadByteOr(TStream& stream, std::uint8_t fallback) {
    std::uint8_t b = fallback;
    return stream.Read(&b, 1) == 1 ? b : fallback;
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void ReadColors(TStream& stream, TColorTable& table) {
    const int count = table.Count < 0 ? 0 : table.Count > 256 ? 256 : table.Count;
    std::uint8_t rgb[256 * 3] = {};
    const std::size_t got = stream.Read(rgb, static_cast<std::size_t>(count) * 3);
    for (std::size_t i = 0; i < got / 3; ++i) table.Colors[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
    // A cut-off last entry keeps the bytes that arrived.
    if (got % 3) {
        TGifColor& c = table.Colors[got / 3];
        c.Red = rgb[got - got % 3];
        if (got % 3 == 2) c.Green = rgb[got - 1];
    }
}

}  // namespace

// --- Extensions ---------------------------------------------------------------------------

TExtension::TExtension(TExtensionKind kind) : Kind(kind) {}

TExtensionList::~TExtensionList() {
    while (Count() > 0) Delete(Count() - 1);
}

std::unique_ptr<TStringList> ReadSubBlocks(TStream& stream) {
    auto list = std::make_unique<TStringList>();
    for (;;) {
        std::uint8_t n = 0;
        if (stream.Read(&n, 1) != 1 || n == 0) break;
        std::string chunk(n, '\0');
        const std::size_t got = stream.Read(chunk.data(), n);
        if (got == 0) break;
        chunk.resize(got);
        list->Add(std::move(chunk));
        if (got < n) break;
    }
    return list;
}

// --- Compressed data ------------------------------------------------------------------------

void TByteBuffer::Add(const std::uint8_t* bytes, std::size_t count) {
    try {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
        ends_.push_back(bytes_.size());
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
}

void TByteBuffer::Reset() {
    if (ends_.empty()) ThrowListIndexError(0);
    chunkIndex_ = 1;
    position_ = 1;
}

std::string_view TByteBuffer::Chunk(int index) const {
    if (index < 1 || index > ChunkCount()) ThrowListIndexError(index - 1);
    const std::size_t begin = index == 1 ? 0 : ends_[static_cast<std::size_t>(index - 2)];
    const std::size_t end = ends_[static_cast<std::size_t>(index - 1)];
    return {reinterpret_cast<const char*>(bytes_.data()) + begin, end - begin};
}

std::uint8_t TByteBuffer::NextByte() {
    if (chunkIndex_ < 1) ThrowListIndexError(chunkIndex_ - 1);
    if (position_ > static_cast<int>(Chunk(chunkIndex_).size())) {
        ++chunkIndex_;
        if (chunkIndex_ > ChunkCount()) ThrowListIndexError(chunkIndex_ - 1);
        position_ = 1;
    }
    return static_cast<std::uint8_t>(Chunk(chunkIndex_)[static_cast<std::size_t>(position_++ - 1)]);
}

// --- One image --------------------------------------------------------------------------------

TGifSubImage::TGifSubImage(int colorCount, TGifFile* gifFile)
    : GifFile(gifFile),
      Extensions(std::make_unique<TExtensionList>()),
      Pixels(std::make_unique<TByteArray2D>(0, 0)),
      ColorTable(static_cast<std::uint16_t>(colorCount >= 0 && colorCount <= 256 ? colorCount : 0)) {
    int bits = 0;
    for (int b = 1; b <= 8; ++b)
        if (colorCount == 1 << b) bits = b;
    if (bits == 0)
        throw EGifException("Number of colors (" + IntToStr(colorCount) + ") wrong; must be a power of 2");
    BitsPerPixel = static_cast<std::uint8_t>(bits);
    CodeSize = static_cast<std::uint8_t>(bits == 1 ? 2 : bits);
    EncodePacked();
}

void TGifSubImage::SetExtensions(std::unique_ptr<TExtensionList> extensions) {
    Extensions = extensions ? std::move(extensions) : std::make_unique<TExtensionList>();
}

void TGifSubImage::EncodePacked() {
    std::uint8_t packed = 0;
    if (HasLocalColorTable) packed |= 0x80 | static_cast<std::uint8_t>((BitsPerPixel - 1) & 7);
    if (Interlaced) packed |= 0x40;
    Descriptor.PackedFields = packed;
}

void TGifSubImage::DecodePacked() {
    const std::uint8_t packed = Descriptor.PackedFields;
    HasLocalColorTable = (packed & 0x80) != 0;
    Interlaced = (packed & 0x40) != 0;
    BitsPerPixel = static_cast<std::uint8_t>((packed & 7) + 1);
    ColorTable.Count = 1 << BitsPerPixel;
}

void TGifSubImage::ReadDescriptor(TStream& stream) {
    const auto b = ReadBlock<9>(stream);
    Descriptor.Left = Le16(&b[0]);
    Descriptor.Top = Le16(&b[2]);
    Descriptor.Width = Le16(&b[4]);
    Descriptor.Height = Le16(&b[6]);
    Descriptor.PackedFields = b[8];
    DecodePacked();
}

void TGifSubImage::ReadLocalColorTable(TStream& stream) {
    if (HasLocalColorTable) ReadColors(stream, ColorTable);
}

void TGifSubImage::ReadImageData(TStream& stream) {
    CodeSize = ReadByteOr(stream, CodeSize);
    std::uint8_t n = ReadByteOr(stream, 0);
    std::int64_t position = stream.Position();
    const std::int64_t size = stream.Size();
    std::uint8_t chunk[255];
    while (n != 0 && position < size) {
        const std::size_t got = stream.Read(chunk, n);
        position += static_cast<std::int64_t>(got);
        const bool whole = got == n;
        // A sub-block cut off by the end of the stream is the last one.
        n = 0;
        if (whole && stream.Read(&n, 1) == 1) ++position;
        CompressedData.Add(chunk, got);
    }
}

void TGifSubImage::LoadFromStream(TStream& stream) {
    ReadDescriptor(stream);
    ReadLocalColorTable(stream);
    // A plain image is decoded in place, into the room behind its rows as well.
    Pixels = std::make_unique<TByteArray2D>(Descriptor.Width, Descriptor.Height,
                                            Interlaced ? 0 : DecodeSpare(Descriptor.Width));
    ReadImageData(stream);
    Decode();
}

int TGifSubImage::NextInterlacedRow(int row, int height, int& pass) {
    static constexpr int FirstRow[5] = {0, 0, 4, 2, 1};
    static constexpr int Step[5] = {0, 8, 8, 4, 2};
    if (pass >= 1 && pass <= 4) {
        row += Step[pass];
        while (row >= height && pass <= 4) {
            ++pass;
            row = pass <= 4 ? FirstRow[pass] : height;
        }
    } else {
        row = height;
    }
    return row;
}

// --- LZW -----------------------------------------------------------------------------------

namespace {

constexpr unsigned MaxCodeBits = 12;
constexpr unsigned TableSize = 1u << MaxCodeBits;  // 4096 codes
// The longest string a full table can hold.
constexpr std::size_t MaxString = TableSize;
// Strings are copied eight bytes at a time; the last piece may reach up to seven bytes past
// the string's end, into output that later strings write again.
constexpr std::size_t Piece = 8;

// The one-byte strings of the root codes, with room for a whole piece after the last; with
// 9-bit roots the pixel is the low byte.
struct RootTexts {
    std::uint8_t Byte[512 + Piece];
    constexpr RootTexts() : Byte() {
        for (unsigned i = 0; i < 512 + Piece; ++i) Byte[i] = static_cast<std::uint8_t>(i);
    }
};
constexpr RootTexts Roots;

// One string table entry. Every string a code stands for has already been written out once
// (the previous code's string followed by the first byte of the code after it), so an entry
// only says where: a code's expansion is a copy of earlier output, however long it is,
// without walking its chain of prefixes.
struct LzwEntry {
    const std::uint8_t* Text;
    std::uint16_t Length;
    std::uint8_t First;  // the string's first byte
};

inline void CopyPiece(std::uint8_t* dst, const std::uint8_t* src) {
    std::uint8_t piece[Piece];
    std::memcpy(piece, src, Piece);  // loaded whole before the store: the two may overlap
    std::memcpy(dst, piece, Piece);
}

// Copies the n bytes at src (n ≥ 1, all of them before dst) to dst. Bytes past the string
// that the pieces carry along land after dst + n, where nothing final has been written yet.
inline void CopyText(std::uint8_t* dst, const std::uint8_t* src, unsigned n) {
    for (;;) {
        CopyPiece(dst, src);
        if (n <= Piece) return;
        n -= Piece;
        dst += Piece;
        src += Piece;
    }
}

// Where decoded bytes go: the image's rows one after another in the order the data fills
// them, so that earlier strings stay where the table points. A plain image is decoded
// straight into its pixel matrix; an interlaced one into a buffer of its own, from which
// every completed row is copied to its place. Both have room behind the last row for one
// more row, the longest string and a piece, so the decoder writes whole strings without
// looking at bounds: the check is made once per string at the row's end (Flush), where
// pixels beyond the last row raise EIndexOutOfBounds.
class RowSink {
public:
    static constexpr std::uint64_t Spare(std::uint32_t width) { return std::uint64_t{width} + MaxString + Piece; }

    RowSink(TByteArray2D& pixels, bool interlaced, const TGifLoadHooks* hooks)
        : pixels_(pixels),
          width_(static_cast<std::size_t>(pixels.Columns())),
          height_(pixels.Rows()),
          interlaced_(interlaced),
          hooks_(hooks && hooks->RowDecoded ? hooks : nullptr),
          buffer_(interlaced ? static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_) : 0,
                  interlaced ? Spare(static_cast<std::uint32_t>(width_)) : 0),
          begin_(interlaced ? buffer_.Data() : pixels.Data()),
          rowsEnd_(begin_ + width_ * static_cast<std::size_t>(height_)),
          rowStart_(begin_) {}

    std::uint8_t* Begin() const { return begin_; }
    std::uint8_t* RowEnd() const { return rowStart_ + width_; }

    // dst has reached or passed the end of the row: store the rows it completed.
    void Flush(const std::uint8_t* dst, std::uint8_t*& rowEnd) {
        if (width_ == 0) throw EIndexOutOfBounds();  // pixel data for an image without columns
        while (dst >= rowStart_ + width_) {
            if (row_ >= height_) throw EIndexOutOfBounds();  // more pixels than the image holds
            if (interlaced_) std::memcpy(pixels_.RowData(row_), rowStart_, width_);
            rowStart_ += width_;
            ++rowsDone_;
            if (hooks_) hooks_->RowDecoded(rowsDone_, height_);
            row_ = interlaced_ ? TGifSubImage::NextInterlacedRow(row_, height_, pass_) : row_ + 1;
        }
        rowEnd = rowStart_ + width_;
    }

    // The data ended with dst inside a row: a partly filled row is not stored, and what
    // the last pieces carried past dst is cleared again.
    void Finish(std::uint8_t* dst) {
        if (interlaced_ || rowStart_ >= rowsEnd_) return;
        std::memset(rowStart_, 0, static_cast<std::size_t>(std::min(dst + Piece, rowsEnd_) - rowStart_));
    }

private:
    TByteArray2D& pixels_;
    const std::size_t width_;
    const int height_;
    const bool interlaced_;
    const TGifLoadHooks* hooks_;
    TBigByteArray buffer_;  // interlaced images only
    std::uint8_t* const begin_;
    std::uint8_t* const rowsEnd_;
    std::uint8_t* rowStart_;  // the row being filled
    int row_ = 0;             // the matrix row the next complete row goes to
    int pass_ = 1;
    int rowsDone_ = 0;
};

}  // namespace

std::uint64_t TGifSubImage::DecodeSpare(std::uint32_t width) { return RowSink::Spare(width); }

void TGifSubImage::Decode() {
    const unsigned s = CodeSize;
    if (s < 2 || s > 9) throw EGifException("Bad code Size");
    CompressedData.Reset();  // image data without any sub-block: the framework's list-index error

    const unsigned clear = 1u << s;
    const unsigned eoi = clear + 1;
    auto table = std::make_unique<LzwEntry[]>(TableSize);
    LzwEntry* const entry = table.get();
    for (unsigned i = 0; i < clear; ++i) entry[i] = {&Roots.Byte[i], 1, static_cast<std::uint8_t>(i)};

    RowSink sink(*Pixels, Interlaced, GifFile ? &GifFile->Hooks : nullptr);
    std::uint8_t* dst = sink.Begin();
    std::uint8_t* rowEnd = sink.RowEnd();

    // Codes are read least significant bit first from the sub-block bytes joined together;
    // running out of bytes ends the image without an error.
    const std::vector<std::uint8_t>& data = CompressedData.Bytes();
    const std::uint8_t* in = data.data();
    const std::uint8_t* const inEnd = in + data.size();
    std::uint64_t acc = 0;
    unsigned bits = 0;
    auto refill = [&] {
        if constexpr (std::endian::native == std::endian::little) {
            if (inEnd - in >= 8) {
                // Eight bytes at once; only the whole bytes that fit count as taken, the rest
                // are loaded again, into the same place, by the next refill.
                std::uint64_t v;
                std::memcpy(&v, in, 8);
                acc |= v << bits;
                in += (63 - bits) >> 3;
                bits |= 56;
                return;
            }
        }
        while (bits <= 56 && in < inEnd) {
            acc |= static_cast<std::uint64_t>(*in++) << bits;
            bits += 8;
        }
    };

    unsigned width = s + 1;
    unsigned mask = (1u << width) - 1;
    unsigned next = eoi + 1;  // next free table entry
    unsigned limit = 1u << width;
    // The previous code's string: where it was just written, its length and first byte.
    const std::uint8_t* prevText = dst;
    unsigned prevLength = 1;
    std::uint8_t prevFirst = 0;
    bool full = false;       // the table filled at 12 bits: only a clear code may follow
    bool afterClear = true;  // the stream starts as if a clear code had just been read

    for (;;) {
        if (bits < width) {
            refill();
            if (bits < width) break;
        }
        unsigned code = static_cast<unsigned>(acc) & mask;
        acc >>= width;
        bits -= width;
        if (full) {
            if (code != clear) throw EGifException("Code size overflow");
            full = false;
        }

        std::uint8_t* const start = dst;
        if (code == clear || code == eoi || afterClear) {
            if (code == eoi) break;
            if (code == clear) {
                width = s + 1;
                mask = (1u << width) - 1;
                next = eoi + 1;
                limit = 1u << width;
                do {
                    if (bits < width) {
                        refill();
                        if (bits < width) goto done;
                    }
                    code = static_cast<unsigned>(acc) & mask;
                    acc >>= width;
                    bits -= width;
                } while (code == clear);
                if (code == eoi) throw EGifException("Bad code");
            }
            // Tolerated: a first code that is no root stands for index 0. No entry is added.
            if (code >= next) code = 0;
            prevFirst = entry[code].First;
            *dst++ = prevFirst;
            prevLength = 1;
            afterClear = false;
        } else {
            // The new entry is the previous string followed by this string's first byte,
            // which is where the previous string was just written.
            unsigned length;
            std::uint8_t first;
            if (code < next) {
                const LzwEntry& e = entry[code];
                length = e.Length;
                first = e.First;
                CopyText(dst, e.Text, length);
            } else if (code == next) {
                // The string-plus-first-byte case: the previous string and its own first byte.
                length = prevLength + 1;
                first = prevFirst;
                CopyText(dst, prevText, prevLength);
                dst[prevLength] = first;
            } else {
                throw EGifException("Bad code");
            }
            entry[next] = {prevText, static_cast<std::uint16_t>(prevLength + 1), prevFirst};
            if (++next >= limit) {
                if (width < MaxCodeBits) {
                    ++width;
                    mask = (1u << width) - 1;
                    limit <<= 1;
                } else {
                    full = true;
                }
            }
            dst += length;
            prevLength = length;
            prevFirst = first;
        }
        prevText = start;
        if (dst >= rowEnd) sink.Flush(dst, rowEnd);
    }
done:
    sink.Finish(dst);
}

// --- The file -------------------------------------------------------------------------------

TGifFile::TGifFile() : Hooks(GifLoadHooks()) {}

void TGifFile::ReadHeader(TStream& stream) {
    std::uint8_t b[6] = {};
    const std::size_t got = stream.Read(b, 6);
    std::memcpy(Header.Signature.data(), b, 3);
    std::memcpy(Header.Version.data(), b + 3, 3);
    // The signature is not looked at; a header cut short has no version.
    const std::string_view version(Header.Version.data(), 3);
    const bool known = version == "87a" || version == "89a" || version == "87A" || version == "89A";
    if (got < 6 || !known) throw EGifException("Gif Version must be 87a or 89a");
}

void TGifFile::ReadScreenDescriptor(TStream& stream) {
    const auto b = ReadBlock<7>(stream);
    ScreenDescriptor.ScreenWidth = Le16(&b[0]);
    ScreenDescriptor.ScreenHeight = Le16(&b[2]);
    ScreenDescriptor.PackedFields = b[4];
    ScreenDescriptor.BackgroundColorIndex = b[5];
    ScreenDescriptor.AspectRatio = b[6];
    HasGlobalColorTable = (b[4] & 0x80) != 0;
    BitsPerPixel = static_cast<std::uint8_t>((b[4] & 7) + 1);
    GlobalColorTable.Count = 1 << BitsPerPixel;
}

void TGifFile::ReadGlobalColorTable(TStream& stream) {
    if (HasGlobalColorTable) ReadColors(stream, GlobalColorTable);
}

std::unique_ptr<TExtensionList> TGifFile::ReadExtensions(TStream& stream, std::uint8_t& b) {
    auto list = std::make_unique<TExtensionList>();
    while (b == ExtensionIntroducer) {
        std::uint8_t label;
        if (stream.Read(&label, 1) != 1) {
            b = Trailer;  // the stream ends inside the block
            break;
        }
        std::unique_ptr<TExtension> ext;
        switch (label) {
        case 0xF9: {
            ext = std::make_unique<TExtension>(TExtensionKind::GraphicControl);
            const auto f = ReadBlock<6>(stream);
            ext->GraphicControl = {f[0], f[1], Le16(&f[2]), f[4], f[5]};
            break;
        }
        case 0x01: {
            ext = std::make_unique<TExtension>(TExtensionKind::PlainText);
            const auto f = ReadBlock<13>(stream);
            ext->PlainText = {f[0], Le16(&f[1]), Le16(&f[3]), Le16(&f[5]), Le16(&f[7]), f[9], f[10], f[11], f[12]};
            break;
        }
        case 0xFF: {
            ext = std::make_unique<TExtension>(TExtensionKind::ApplicationBlock);
            const auto f = ReadBlock<12>(stream);
            ext->Application.BlockSize = f[0];
            std::memcpy(ext->Application.Identifier.data(), &f[1], 8);
            std::memcpy(ext->Application.AuthenticationCode.data(), &f[9], 3);
            break;
        }
        case 0xFE:
            ext = std::make_unique<TExtension>(TExtensionKind::Comment);
            break;
        default:
            throw EGifException("Unrecognized extension block.\r\nCode = $" + IntToHex(label, 2));
        }
        if (ext->Kind != TExtensionKind::GraphicControl) ext->Chunks = ReadSubBlocks(stream);
        list->Add(std::move(ext));
        b = ReadByteOr(stream, Trailer);
    }
    return list;
}

void TGifFile::LoadFromStream(TStream& stream) {
    if (Hooks.BeginBusy) Hooks.BeginBusy();
    try {
        stream.SetPosition(0);
        ReadHeader(stream);
        ReadScreenDescriptor(stream);
        ReadGlobalColorTable(stream);
        const std::int64_t size = stream.Size();
        std::uint8_t b = ReadByteOr(stream, Trailer);
        std::int64_t previous = 0;  // where the previous pass started
        while (b != Trailer) {
            // Stop at the end and at a byte that is neither an introducer nor the trailer,
            // which leaves the position where the previous pass found it.
            const std::int64_t position = stream.Position();
            if (position >= size || position == previous) break;
            previous = position;
            auto extensions = ReadExtensions(stream, b);
            if (b != ImageSeparator) continue;
            auto image = std::make_unique<TGifSubImage>(GlobalColorTable.Count, this);
            image->SetExtensions(std::move(extensions));
            image->LoadFromStream(stream);
            Images.Add(std::move(image));
            b = stream.Position() < size ? ReadByteOr(stream, Trailer) : Trailer;
        }
    } catch (...) {
        if (Hooks.EndBusy) Hooks.EndBusy();
        throw;
    }
    if (Hooks.EndBusy) Hooks.EndBusy();
}

std::uint64_t GifBitmapStride(std::uint32_t width) { return (static_cast<std::uint64_t>(width) + 3) & ~std::uint64_t{3}; }

std::uint64_t GifBitmapStreamSize(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t size = 1078 + static_cast<std::uint64_t>(height) * GifBitmapStride(width);
    CheckBlockSize(size);
    return size;
}

}  // namespace kaptor
