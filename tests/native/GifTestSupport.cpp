#include "GifTestSupport.h"

#include <dlfcn.h>
#include <gif_lib.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

using namespace kaptor;

namespace giftest {

CodeWriter::CodeWriter(int minCodeSize)
    : s_(static_cast<unsigned>(minCodeSize)), width_(s_ + 1), next_(Clear() + 2) {}

CodeWriter& CodeWriter::Put(unsigned code) {
    acc_ |= static_cast<std::uint64_t>(code & ((1u << width_) - 1)) << bits_;
    bits_ += width_;
    while (bits_ >= 8) {
        out_.push_back(static_cast<std::uint8_t>(acc_));
        acc_ >>= 8;
        bits_ -= 8;
    }
    if (code == Clear()) {
        width_ = s_ + 1;
        next_ = Clear() + 2;
        afterClear_ = true;
    } else if (code == End()) {
    } else if (afterClear_) {
        afterClear_ = false;
    } else if (next_ < 4096) {
        ++next_;
        if (next_ >= (1u << width_) && width_ < 12) ++width_;
    }
    return *this;
}

Bytes CodeWriter::Finish() {
    Bytes out = out_;
    if (bits_ > 0) out.push_back(static_cast<std::uint8_t>(acc_));
    return out;
}

Bytes LzwEncode(const Bytes& indexes, int minCodeSize, bool leadingClear) {
    CodeWriter w(minCodeSize);
    const unsigned clear = w.Clear();
    // The strings as a tree: each code's children chained through their siblings.
    constexpr std::uint16_t none = 0xFFFF;
    std::vector<std::uint16_t> firstChild(4096, none), sibling(4096, none);
    std::vector<std::uint8_t> last(4096, 0);
    auto find = [&](unsigned code, unsigned b) -> unsigned {
        for (unsigned c = firstChild[code]; c != none; c = sibling[c])
            if (last[c] == b) return c;
        return none;
    };
    if (leadingClear) w.Put(clear);
    unsigned next = clear + 2;
    if (indexes.empty()) {
        w.Put(w.End());
        return w.Finish();
    }
    unsigned current = indexes[0];
    for (std::size_t i = 1; i < indexes.size(); ++i) {
        const unsigned b = indexes[i];
        const unsigned c = find(current, b);
        if (c != none) {
            current = c;
            continue;
        }
        w.Put(current);
        if (next < 4095) {
            last[next] = static_cast<std::uint8_t>(b);
            sibling[next] = firstChild[current];
            firstChild[current] = static_cast<std::uint16_t>(next);
            ++next;
        } else {
            w.Put(clear);
            std::fill(firstChild.begin(), firstChild.end(), none);
            next = clear + 2;
        }
        current = b;
    }
    w.Put(current);
    w.Put(w.End());
    return w.Finish();
}

GifBuilder::GifBuilder(std::string_view header) : bytes_(header.begin(), header.end()) {}

namespace {
void Put16(Bytes& b, int v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}
}  // namespace

GifBuilder& GifBuilder::Screen(int width, int height, int bits, bool globalTable) {
    Put16(bytes_, width);
    Put16(bytes_, height);
    bytes_.push_back(static_cast<std::uint8_t>((globalTable ? 0x80 : 0) | 0x70 | ((bits - 1) & 7)));
    bytes_.push_back(0);
    bytes_.push_back(0);
    if (globalTable)
        for (int i = 0; i < (1 << bits); ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(i));
            bytes_.push_back(static_cast<std::uint8_t>(255 - i));
            bytes_.push_back(static_cast<std::uint8_t>(3 * i));
        }
    return *this;
}

GifBuilder& GifBuilder::GraphicControl(std::uint16_t delay, std::uint8_t transparent) {
    Raw({0x21, 0xF9, 4, 1});
    Put16(bytes_, delay);
    Raw({transparent, 0});
    return *this;
}

GifBuilder& GifBuilder::Comment(const std::vector<std::string>& subBlocks) {
    Raw({0x21, 0xFE});
    for (const auto& s : subBlocks) {
        bytes_.push_back(static_cast<std::uint8_t>(s.size()));
        bytes_.insert(bytes_.end(), s.begin(), s.end());
    }
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::Descriptor(int width, int height, std::uint8_t packed) {
    bytes_.push_back(0x2C);
    Put16(bytes_, 0);
    Put16(bytes_, 0);
    Put16(bytes_, width);
    Put16(bytes_, height);
    bytes_.push_back(packed);
    return *this;
}

GifBuilder& GifBuilder::Image(int width, int height, bool interlaced, int localBits, int codeSize, const Bytes& lzw) {
    std::uint8_t packed = interlaced ? 0x40 : 0;
    if (localBits > 0) packed |= static_cast<std::uint8_t>(0x80 | ((localBits - 1) & 7));
    Descriptor(width, height, packed);
    if (localBits > 0)
        for (int i = 0; i < (1 << localBits); ++i) Raw({static_cast<std::uint8_t>(3 * i), static_cast<std::uint8_t>(i), 200});
    bytes_.push_back(static_cast<std::uint8_t>(codeSize));
    for (std::size_t pos = 0; pos < lzw.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, lzw.size() - pos);
        bytes_.push_back(static_cast<std::uint8_t>(n));
        bytes_.insert(bytes_.end(), lzw.begin() + static_cast<std::ptrdiff_t>(pos),
                      lzw.begin() + static_cast<std::ptrdiff_t>(pos + n));
    }
    bytes_.push_back(0);
    return *this;
}

GifBuilder& GifBuilder::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

GifBuilder& GifBuilder::Trailer() {
    bytes_.push_back(0x3B);
    return *this;
}

Bytes Interlace(const Bytes& pictureRows, int width, int height) {
    // pictureRows holds the picture top row first; the result holds the rows in data order.
    Bytes out;
    static constexpr int first[4] = {0, 4, 2, 1};
    static constexpr int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = first[pass]; y < height; y += step[pass])
            out.insert(out.end(), pictureRows.begin() + static_cast<std::ptrdiff_t>(y) * width,
                       pictureRows.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
    return out;
}

namespace {

struct Giflib {
    decltype(&DGifOpen) open = nullptr;
    decltype(&DGifSlurp) slurp = nullptr;
    decltype(&DGifCloseFile) close = nullptr;
    Giflib() {
        void* lib = dlopen("libgif.so.7", RTLD_NOW);
        if (!lib) throw std::runtime_error("giflib (libgif.so.7) is not installed");
        open = reinterpret_cast<decltype(open)>(dlsym(lib, "DGifOpen"));
        slurp = reinterpret_cast<decltype(slurp)>(dlsym(lib, "DGifSlurp"));
        close = reinterpret_cast<decltype(close)>(dlsym(lib, "DGifCloseFile"));
        if (!open || !slurp || !close) throw std::runtime_error("giflib lacks DGifOpen/DGifSlurp");
    }
};

struct MemoryInput {
    const Bytes* data;
    std::size_t pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buf, int n) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t left = in->data->size() - in->pos;
    const std::size_t k = std::min<std::size_t>(left, static_cast<std::size_t>(n));
    std::memcpy(buf, in->data->data() + in->pos, k);
    in->pos += k;
    return static_cast<int>(k);
}

std::vector<TGifColor> Colors(const ColorMapObject* map) {
    std::vector<TGifColor> out;
    if (!map) return out;
    for (int i = 0; i < map->ColorCount; ++i)
        out.push_back({map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    return out;
}

}  // namespace

GiflibFile GiflibDecode(const Bytes& file) {
    static const Giflib lib;
    GiflibFile result;
    MemoryInput in{&file, 0};
    int error = 0;
    GifFileType* gif = lib.open(&in, ReadMemory, &error);
    if (!gif) {
        result.Error = error;
        return result;
    }
    result.Ok = lib.slurp(gif) == GIF_OK;
    result.Error = gif->Error;
    if (result.Ok) {
        result.Global = Colors(gif->SColorMap);
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& s = gif->SavedImages[i];
            GiflibImage img;
            img.Width = s.ImageDesc.Width;
            img.Height = s.ImageDesc.Height;
            img.Interlaced = s.ImageDesc.Interlace;
            img.Pixels.assign(s.RasterBits, s.RasterBits + static_cast<std::size_t>(img.Width) * img.Height);
            img.Local = Colors(s.ImageDesc.ColorMap);
            result.Images.push_back(std::move(img));
        }
    }
    lib.close(gif, &error);
    return result;
}

std::unique_ptr<TGifFile> Load(const Bytes& file) {
    auto gif = std::make_unique<TGifFile>();
    TMemoryStream stream(file);
    gif->LoadFromStream(stream);
    return gif;
}

Bytes PixelsOf(const TGifSubImage& image) {
    const TByteArray2D& p = *image.Pixels;
    const std::size_t n = static_cast<std::size_t>(p.Columns()) * static_cast<std::size_t>(p.Rows());
    return n ? Bytes(p.Data(), p.Data() + n) : Bytes();
}

Bytes ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

}  // namespace giftest
