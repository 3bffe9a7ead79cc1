#include "framework/win/Picture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/base/SysUtils.h"
#include "framework/imaging/JpegCodec.h"
#include "framework/imaging/LittleEndian.h"
#include "framework/win/PngImage.h"

namespace kaptor {

namespace {

struct EnhMetaFileTraits {
    static constexpr HandleKind Kind = HandleKind::Gdi;
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};
using UniqueEnhMetaFile = UniqueHandle<HENHMETAFILE, EnhMetaFileTraits>;


std::int32_t GetI32(const std::uint8_t* p) { return static_cast<std::int32_t>(Get32(p)); }

// ---- icons -----------------------------------------------------------------------------

void IconSize(HICON icon, int& width, int& height) {
    width = height = 0;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return;
    UniqueBitmap mask(info.hbmMask), color(info.hbmColor);  // GetIconInfo hands us both
    BITMAP bm{};
    if (!GetObject(color ? color.get() : mask.get(), sizeof bm, &bm)) return;
    width = bm.bmWidth;
    // A monochrome icon keeps its AND and XOR halves one above the other in the mask.
    height = color ? bm.bmHeight : bm.bmHeight / 2;
}

// Rows of a bitmap we do not own, bottom-up, in the given depth (1 or 32 bits).
std::vector<std::uint8_t> BitmapRows(HDC dc, HBITMAP bitmap, int width, int height, int bits, BITMAPINFO* info) {
    std::memset(&info->bmiHeader, 0, sizeof info->bmiHeader);
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = width;
    info->bmiHeader.biHeight = height;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = static_cast<WORD>(bits);
    info->bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(Dib::StrideFor(width, bits) * height));
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), rows.data(), info, DIB_RGB_COLORS) != height)
        detail::RaiseLastGdiError();
    return rows;
}

// A one-image icon file made from a handle: 32-bit colour and its mask, or for a
// monochrome icon (a cursor) its 1-bit XOR and AND halves.
std::vector<std::uint8_t> IconFile(HICON icon) {
    ICONINFO ii{};
    if (!GetIconInfo(icon, &ii)) throw EInvalidGraphic(texts::InvalidIcon);
    UniqueBitmap mask(ii.hbmMask), color(ii.hbmColor);
    SetLastError(0);
    BITMAP bm{};
    if (!GetObject(mask.get(), sizeof bm, &bm)) throw EInvalidGraphic(texts::InvalidIcon);
    const int width = bm.bmWidth;
    const int height = color ? bm.bmHeight : bm.bmHeight / 2;
    if (width <= 0 || height <= 0 || width > 256 || height > 256) throw EInvalidGraphic(texts::InvalidIcon);

    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    if (!dc) detail::RaiseLastGdiError();
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info{};
    auto* bi = reinterpret_cast<BITMAPINFO*>(&info);
    std::vector<std::uint8_t> image;
    int bits = 0;
    if (color) {
        bits = 32;
        image = BitmapRows(dc.get(), color.get(), width, height, 32, bi);
        std::vector<std::uint8_t> andRows = BitmapRows(dc.get(), mask.get(), width, height, 1, bi);
        image.insert(image.end(), andRows.begin(), andRows.end());
    } else {
        bits = 1;
        // Bottom-up, the lower half (XOR) comes first, then the upper (AND): icon order.
        image = BitmapRows(dc.get(), mask.get(), width, 2 * height, 1, bi);
    }
    std::vector<std::uint8_t> res;
    Put32(res, 40);
    Put32(res, static_cast<std::uint32_t>(width));
    Put32(res, static_cast<std::uint32_t>(2 * height));  // colour and mask together
    Put16(res, 1);
    Put16(res, static_cast<std::uint32_t>(bits));
    for (int i = 0; i < 6; ++i) Put32(res, 0);
    if (bits == 1) {
        for (int i = 0; i < 2; ++i) {
            const RGBQUAD& q = info.colors[i];
            res.insert(res.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
        }
    }
    res.insert(res.end(), image.begin(), image.end());

    std::vector<std::uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);  // icon
    Put16(file, 1);  // one image
    file.push_back(static_cast<std::uint8_t>(width == 256 ? 0 : width));
    file.push_back(static_cast<std::uint8_t>(height == 256 ? 0 : height));
    file.push_back(bits == 1 ? 2 : 0);  // colours in the table
    file.push_back(0);
    Put16(file, 1);
    Put16(file, static_cast<std::uint32_t>(bits));
    Put32(file, static_cast<std::uint32_t>(res.size()));
    Put32(file, 22);
    file.insert(file.end(), res.begin(), res.end());
    return file;
}

HICON IconFromFile(const std::vector<std::uint8_t>& file) {
    const std::size_t size = file.size();
    if (size < 6 || Get16(&file[0]) != 0) throw EInvalidGraphic(texts::InvalidIcon);
    const int type = Get16(&file[2]);
    const int count = Get16(&file[4]);
    if ((type != 1 && type != 2) || count == 0 || size < 6 + 16u * count) throw EInvalidGraphic(texts::InvalidIcon);

    // Of several sizes the one nearest the system's icon size; the deeper one on a tie.
    const int wantW = GetSystemMetrics(SM_CXICON), wantH = GetSystemMetrics(SM_CYICON);
    int best = -1;
    long bestScore = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = &file[6 + 16 * i];
        const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const int depth = type == 1 ? Get16(e + 6) : 0;
        const long score = (std::abs(w - wantW) + std::abs(h - wantH)) * 1000L - depth;
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    const std::uint8_t* e = &file[6 + 16 * best];
    const std::uint32_t bytes = Get32(e + 8), offset = Get32(e + 12);
    if (bytes < 40 || offset > size || bytes > size - offset) throw EInvalidGraphic(texts::InvalidIcon);

    std::vector<std::uint8_t> res;
    if (type == 2) {  // a cursor resource starts with its hot spot
        Put16(res, Get16(e + 4));
        Put16(res, Get16(e + 6));
    }
    res.insert(res.end(), file.begin() + offset, file.begin() + offset + bytes);
    HICON icon = CreateIconFromResourceEx(res.data(), static_cast<DWORD>(res.size()), type == 1, 0x00030000, 0, 0,
                                          LR_DEFAULTCOLOR);
    if (!icon) throw EInvalidGraphic(texts::InvalidIcon);
    return icon;
}

// ---- metafiles -------------------------------------------------------------------------

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kEmfHeaderSize = 88;

int ScreenPixelsPerInch() {
    WindowDC screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : 96;
}

UniqueEnhMetaFile EnhMetaFileOf(const std::vector<std::uint8_t>& data, bool enhanced) {
    if (enhanced) return UniqueEnhMetaFile(SetEnhMetaFileBits(static_cast<UINT>(data.size()), data.data()));
    const std::uint8_t* p = data.data();
    const int w = std::abs(static_cast<std::int16_t>(Get16(p + 10)) - static_cast<std::int16_t>(Get16(p + 6)));
    const int h = std::abs(static_cast<std::int16_t>(Get16(p + 12)) - static_cast<std::int16_t>(Get16(p + 8)));
    const int inch = Get16(p + 14);
    METAFILEPICT pict{MM_ANISOTROPIC, MulDiv(w, 2540, inch), MulDiv(h, 2540, inch), nullptr};
    return UniqueEnhMetaFile(SetWinMetaFileBits(static_cast<UINT>(data.size() - kPlaceableSize),
                                                data.data() + kPlaceableSize, nullptr, &pict));
}

// ---- the registry ----------------------------------------------------------------------

std::vector<TFileFormat> BuiltInFormats() {
    return {
        {"bmp", "ﾋﾞｯﾄﾏｯﾌﾟ", [] { return std::unique_ptr<TGraphic>(new TBitmap); }},
        {"jpg", "JPEG ｲﾒｰｼﾞ ﾌｧｲﾙ", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }},
        {"jpeg", "JPEG ｲﾒｰｼﾞ ﾌｧｲﾙ", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); }},
        {"ico", "ｱｲｺﾝ", [] { return std::unique_ptr<TGraphic>(new TIcon); }},
        {"emf", "拡張ﾒﾀﾌｧｲﾙ", [] { return std::unique_ptr<TGraphic>(new TMetafile); }},
        {"wmf", "ﾒﾀﾌｧｲﾙ", [] { return std::unique_ptr<TGraphic>(new TMetafile); }},
        {"png", "PNG ｲﾒｰｼﾞ ﾌｧｲﾙ", [] { return std::unique_ptr<TGraphic>(new TPNGImage); }},
    };
}

std::vector<TFileFormat>& Registry() {
    static std::vector<TFileFormat> formats = BuiltInFormats();
    return formats;
}

}  // namespace

std::vector<std::uint8_t> ReadRest(TStream& stream) {
    const std::int64_t left = stream.Size() - stream.Position();
    if (left <= 0) return {};
    if (static_cast<std::uint64_t>(left) > 0x7FFFFFFFull) throw EOutOfMemory();
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(left));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
    stream.ReadBuffer(bytes.data(), bytes.size());
    return bytes;
}

// --- TIcon ------------------------------------------------------------------------------

void TIcon::Take(HICON icon, std::vector<std::uint8_t> file) {
    icon_.reset(icon);
    if (icon_)
        IconSize(icon_.get(), width_, height_);
    else
        width_ = height_ = 0;
    file_ = std::move(file);
    Changed();
}

void TIcon::SetHandle(HICON icon) { Take(icon, {}); }

HICON TIcon::ReleaseHandle() {
    HICON icon = icon_.release();
    width_ = height_ = 0;
    file_.clear();
    Changed();
    return icon;
}

void TIcon::Assign(const TGraphic& source) {
    if (&source == this) return;
    const auto* other = dynamic_cast<const TIcon*>(&source);
    if (!other) {
        TGraphic::Assign(source);
        return;
    }
    if (other->Empty()) {
        Clear();
        return;
    }
    HICON copy = CopyIcon(other->Handle());
    if (!copy) detail::RaiseLastGdiError();
    Take(copy, other->file_);
}

void TIcon::Clear() { Take(nullptr, {}); }

std::unique_ptr<TGraphic> TIcon::Clone() const {
    auto copy = std::make_unique<TIcon>();
    copy->Assign(*this);
    return copy;
}

void TIcon::Draw(TCanvas& canvas, const RECT& r) {
    if (Empty()) return;
    HDC dc = canvas.Handle();
    const int w = r.right - r.left, h = r.bottom - r.top;
    // DrawIcon always draws at the system icon size; any other size needs DrawIconEx, so
    // what is drawn always covers exactly r.
    const bool systemSize = w == GetSystemMetrics(SM_CXICON) && h == GetSystemMetrics(SM_CYICON);
    SetLastError(0);
    const BOOL ok = systemSize ? DrawIcon(dc, r.left, r.top, icon_.get())
                               : DrawIconEx(dc, r.left, r.top, icon_.get(), w, h, 0, nullptr, DI_NORMAL);
    if (!ok) detail::RaiseLastGdiError();
}

void TIcon::LoadFromStream(TStream& stream) {
    std::vector<std::uint8_t> file = ReadRest(stream);
    HICON icon = IconFromFile(file);
    Take(icon, std::move(file));
}

void TIcon::SaveToStream(TStream& stream) {
    if (Empty()) return;
    const std::vector<std::uint8_t> file = file_.empty() ? IconFile(icon_.get()) : file_;
    stream.WriteBuffer(file.data(), file.size());
}

// --- TJPEGImage -------------------------------------------------------------------------

void TJPEGImage::Assign(const TGraphic& source) {
    if (&source == this) return;
    if (const auto* jpeg = dynamic_cast<const TJPEGImage*>(&source)) {
        bitmap_.Assign(jpeg->bitmap_);
        data_ = jpeg->data_;
    } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        bitmap_.Assign(*bitmap);
        data_.clear();
    } else {
        TGraphic::Assign(source);
        return;
    }
    Changed();
}

void TJPEGImage::AssignTo(TGraphic& dest) const {
    if (auto* bitmap = dynamic_cast<TBitmap*>(&dest))
        bitmap->Assign(bitmap_);
    else
        TGraphic::AssignTo(dest);
}

void TJPEGImage::Clear() {
    bitmap_.Clear();
    data_.clear();
    Changed();
}

std::unique_ptr<TGraphic> TJPEGImage::Clone() const {
    auto copy = std::make_unique<TJPEGImage>();
    copy->Assign(*this);
    return copy;
}

void TJPEGImage::Draw(TCanvas& canvas, const RECT& r) { bitmap_.Draw(canvas, r); }

void TJPEGImage::LoadFromStream(TStream& stream) {
    std::vector<std::uint8_t> data = ReadRest(stream);
    // Decoded once, into the section that is then held; on failure bitmap_ stays as it was.
    TBitmap decoded;
    DecodeJpeg(data.data(), data.size(),
               [&decoded](const Dib& format) { return decoded.NewPixels(format, TBitmap::TNewRows::WrittenByCaller); });
    decoded.Modified();
    decoded.MoveInto(bitmap_);
    data_ = std::move(data);
    Changed();
}

void TJPEGImage::MoveInto(TGraphic& dest) {
    if (!dynamic_cast<TBitmap*>(&dest)) {
        TGraphic::MoveInto(dest);
        return;
    }
    bitmap_.MoveInto(dest);
    data_.clear();
    Changed();
}

void TJPEGImage::SaveToStream(TStream& stream) {
    if (!data_.empty())
        stream.WriteBuffer(data_.data(), data_.size());
    else
        EncodeJpeg(bitmap_.ToDib(), stream);
}

// --- TMetafile --------------------------------------------------------------------------

void TMetafile::Assign(const TGraphic& source) {
    if (&source == this) return;
    const auto* other = dynamic_cast<const TMetafile*>(&source);
    if (!other) {
        TGraphic::Assign(source);
        return;
    }
    data_ = other->data_;
    enhanced_ = other->enhanced_;
    width_ = other->width_;
    height_ = other->height_;
    Changed();
}

void TMetafile::Clear() {
    data_.clear();
    enhanced_ = false;
    width_ = height_ = 0;
    Changed();
}

std::unique_ptr<TGraphic> TMetafile::Clone() const {
    auto copy = std::make_unique<TMetafile>();
    copy->Assign(*this);
    return copy;
}

void TMetafile::Draw(TCanvas& canvas, const RECT& r) {
    if (Empty()) return;
    SetLastError(0);
    UniqueEnhMetaFile meta = EnhMetaFileOf(data_, enhanced_);
    if (!meta || !PlayEnhMetaFile(canvas.Handle(), meta.get(), &r)) detail::RaiseLastGdiError();
}

void TMetafile::LoadFromStream(TStream& stream) {
    std::vector<std::uint8_t> data = ReadRest(stream);
    const std::uint8_t* p = data.data();
    bool enhanced = false;
    std::int64_t width = 0, height = 0;
    if (data.size() >= kEmfHeaderSize && Get32(p) == EMR_HEADER && Get32(p + 40) == ENHMETA_SIGNATURE) {
        enhanced = true;
        const std::uint32_t bytes = Get32(p + 48);
        if (bytes < kEmfHeaderSize || bytes > data.size()) throw EInvalidGraphic(texts::InvalidMetafile);
        data.resize(bytes);
        // The frame (in 0.01 mm) at the resolution of the device it was made on.
        const std::int64_t frameW = std::int64_t{GetI32(p + 32)} - GetI32(p + 24);
        const std::int64_t frameH = std::int64_t{GetI32(p + 36)} - GetI32(p + 28);
        const std::int64_t devW = GetI32(p + 72), devH = GetI32(p + 76);
        const std::int64_t mmW = GetI32(p + 80), mmH = GetI32(p + 84);
        if (mmW > 0 && mmH > 0) {
            width = (frameW * devW + mmW * 50) / (mmW * 100);
            height = (frameH * devH + mmH * 50) / (mmH * 100);
        }
    } else if (data.size() >= kPlaceableSize + 18 && Get32(p) == kPlaceableKey) {
        const int inch = Get16(p + 14);
        if (inch == 0) throw EInvalidGraphic(texts::InvalidMetafile);
        const int dpi = ScreenPixelsPerInch();
        width = std::abs(static_cast<std::int16_t>(Get16(p + 10)) - static_cast<std::int16_t>(Get16(p + 6))) *
                std::int64_t{dpi} / inch;
        height = std::abs(static_cast<std::int16_t>(Get16(p + 12)) - static_cast<std::int16_t>(Get16(p + 8))) *
                 std::int64_t{dpi} / inch;
    } else {
        throw EInvalidGraphic(texts::InvalidMetafile);
    }
    if (width < 0 || height < 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        throw EInvalidGraphic(texts::InvalidMetafile);
    // Let GDI judge the records too, so a damaged file fails here and not at every paint.
    if (!EnhMetaFileOf(data, enhanced)) throw EInvalidGraphic(texts::InvalidMetafile);
    data_ = std::move(data);
    enhanced_ = enhanced;
    width_ = static_cast<int>(width);
    height_ = static_cast<int>(height);
    Changed();
}

void TMetafile::SaveToStream(TStream& stream) {
    if (!data_.empty()) stream.WriteBuffer(data_.data(), data_.size());
}

// --- TPicture ---------------------------------------------------------------------------

TPicture::~TPicture() = default;

void TPicture::Hold(std::unique_ptr<TGraphic> graphic) {
    if (graphic) graphic->OnChange = [this](const RECT* r) { Changed(r); };
    graphic_ = std::move(graphic);
}

void TPicture::Changed(const RECT* r) {
    if (OnChange) OnChange(r);
}

void TPicture::SetGraphic(const TGraphic* graphic) {
    if (graphic && graphic == graphic_.get()) return;
    Hold(graphic ? graphic->Clone() : nullptr);
    Changed(nullptr);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    Hold(std::move(graphic));
    Changed(nullptr);
}

std::unique_ptr<TGraphic> TPicture::ReleaseGraphic() {
    std::unique_ptr<TGraphic> graphic = std::move(graphic_);
    if (graphic) graphic->OnChange = nullptr;
    Changed(nullptr);
    return graphic;
}

TBitmap& TPicture::Bitmap() {
    if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
    Hold(std::make_unique<TBitmap>());
    Changed(nullptr);
    return static_cast<TBitmap&>(*graphic_);
}

TIcon& TPicture::Icon() {
    if (auto* icon = dynamic_cast<TIcon*>(graphic_.get())) return *icon;
    Hold(std::make_unique<TIcon>());
    Changed(nullptr);
    return static_cast<TIcon&>(*graphic_);
}

void TPicture::LoadFromFile(const std::string& fileName) {
    std::string ext = ExtractFileExt(fileName);
    if (!ext.empty()) ext.erase(0, 1);
    const auto& formats = Registry();
    const auto it = std::find_if(formats.begin(), formats.end(),
                                 [&](const TFileFormat& f) { return SameText(f.Extension, ext); });
    if (it == formats.end()) throw EInvalidGraphic(Format(texts::UnknownExtension, ext.c_str()));
    std::unique_ptr<TGraphic> graphic = it->Create();
    graphic->LoadFromFile(fileName);
    Hold(std::move(graphic));
    Changed(nullptr);
}

void TPicture::SaveToFile(const std::string& fileName) {
    if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicFactory factory) {
    std::string ext = LowerCase(extension);
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    auto& formats = Registry();
    const auto it = std::find_if(formats.begin(), formats.end(),
                                 [&](const TFileFormat& f) { return f.Extension == ext; });
    TFileFormat format{ext, description, std::move(factory)};
    if (it != formats.end())
        *it = std::move(format);
    else
        formats.push_back(std::move(format));
}

std::vector<TFileFormat> TPicture::FileFormats() { return Registry(); }

std::string GraphicFilter() {
    // One entry per description, in registration order (jpg and jpeg share theirs).
    std::vector<std::pair<std::string, std::string>> entries;
    std::string all;
    for (const TFileFormat& f : Registry()) {
        const std::string mask = "*." + f.Extension;
        all += (all.empty() ? "" : ";") + mask;
        auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == f.Description; });
        if (it == entries.end())
            entries.emplace_back(f.Description, mask);
        else
            it->second += ";" + mask;
    }
    std::string filter = "すべての画像ﾌｧｲﾙ (" + all + ")|" + all;
    for (const auto& [description, masks] : entries) filter += "|" + description + " (" + masks + ")|" + masks;
    return filter;
}

}  // namespace kaptor
