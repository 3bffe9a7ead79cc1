// The other picture kinds (icon, JPEG, metafile) and TPicture, which holds a graphic of any
// kind and loads files through a registry of formats chosen by extension.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/win/Bitmap.h"
#include "framework/win/Graphics.h"

namespace kaptor {

// Everything from the stream's position to its end, for a reader that decodes from memory;
// EOutOfMemory for more than a 32-bit process can hold.
std::vector<std::uint8_t> ReadRest(TStream& stream);

namespace texts {
inline constexpr const char* InvalidIcon = "ｱｲｺﾝｲﾒｰｼﾞが不正です";
inline constexpr const char* InvalidMetafile = "ﾒﾀﾌｧｲﾙが不正です";
}  // namespace texts

// An icon or cursor (we own the HICON). Drawing uses DrawIcon: the image with its mask, its
// top-left corner at the rectangle's top-left, at the system's icon size.
class TIcon : public TGraphic {
public:
    TIcon() = default;
    const char* ClassName() const override { return "TIcon"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Empty() const override { return !icon_; }

    HICON Handle() const { return icon_.get(); }
    // Takes ownership of icon (a CopyIcon of a cursor, for instance).
    void SetHandle(HICON icon);
    HICON ReleaseHandle();

    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    void Clear() override;
    std::unique_ptr<TGraphic> Clone() const override;
    void Draw(TCanvas& canvas, const RECT& r) override;
    // An .ico or .cur file; of several images the one nearest the system icon size.
    void LoadFromStream(TStream& stream) override;
    // The file it was loaded from, or a one-image icon file made from the handle.
    void SaveToStream(TStream& stream) override;

private:
    void Take(HICON icon, std::vector<std::uint8_t> file);

    UniqueIcon icon_;
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> file_;  // as loaded; empty for an icon made from a handle
};

// A JPEG picture: decoded at full size into a 24-bit bitmap when loaded; written as the
// file it was loaded from, or encoded (quality 90, baseline) from the bitmap it was given.
class TJPEGImage : public TGraphic {
public:
    TJPEGImage() = default;
    const char* ClassName() const override { return "TJPEGImage"; }
    int Width() const override { return bitmap_.Width(); }
    int Height() const override { return bitmap_.Height(); }
    bool Empty() const override { return bitmap_.Empty(); }
    const TBitmap& Bitmap() const { return bitmap_; }

    using TGraphic::Assign;
    // Takes a JPEG image or a bitmap.
    void Assign(const TGraphic& source) override;
    void Clear() override;
    std::unique_ptr<TGraphic> Clone() const override;
    void Draw(TCanvas& canvas, const RECT& r) override;
    // Reads from the stream's position to its end, decoding straight into the bitmap.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // A bitmap dest gets the decoded picture without a copy; this image is left empty.
    void MoveInto(TGraphic& dest) override;

protected:
    // A bitmap takes the decoded picture.
    void AssignTo(TGraphic& dest) const override;

private:
    TBitmap bitmap_;
    std::vector<std::uint8_t> data_;  // the compressed file while it still matches bitmap_
};

// A Windows or enhanced metafile, kept as its file. It can be drawn and written back, but
// no other kind takes it: assigning it to a bitmap raises the cannot-assign error.
class TMetafile : public TGraphic {
public:
    TMetafile() = default;
    const char* ClassName() const override { return "TMetafile"; }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Empty() const override { return data_.empty(); }
    bool Enhanced() const { return enhanced_; }

    using TGraphic::Assign;
    void Assign(const TGraphic& source) override;
    void Clear() override;
    std::unique_ptr<TGraphic> Clone() const override;
    void Draw(TCanvas& canvas, const RECT& r) override;
    // An enhanced metafile, or a Windows metafile with its placeable header (the only kind
    // that says how large it is). Reads from the stream's position to its end.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    std::vector<std::uint8_t> data_;
    bool enhanced_ = false;
    int width_ = 0, height_ = 0;
};

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
    std::string Extension;  // without the dot, lower case
    std::string Description;
    TGraphicFactory Create;
};

// Holds one graphic of any kind (or none) and passes its changes on.
class TPicture {
public:
    TPicture() = default;
    ~TPicture();
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    // The graphic held, or null (we keep it). A bitmap takes a picture's content with
    // bitmap.Assign(picture.Graphic()), which names the graphic's class when it cannot.
    TGraphic* Graphic() const { return graphic_.get(); }
    // Holds a copy of graphic (of the same kind); null empties the picture.
    void SetGraphic(const TGraphic* graphic);
    // Holds graphic itself.
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    // Gives the graphic held away (it no longer reports here) and leaves the picture empty.
    std::unique_ptr<TGraphic> ReleaseGraphic();
    // The graphic as a bitmap; a picture that holds none (or another kind) gets a new
    // empty bitmap.
    TBitmap& Bitmap();
    TIcon& Icon();
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    void Assign(const TPicture& source) { SetGraphic(source.Graphic()); }
    // The format is chosen by the file's extension, without regard to case; an unknown
    // one raises EInvalidGraphic "拡張子 .%s の画像形式は処理できません" before the file is
    // opened. On failure the picture keeps what it held.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    // Told whenever the graphic changes (see TChangeEvent).
    TChangeEvent OnChange;

    // Adds a format, or replaces the one registered for the same extension.
    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   TGraphicFactory factory);
    template <class G>
    static void RegisterFileFormat(const std::string& extension, const std::string& description) {
        RegisterFileFormat(extension, description, [] { return std::unique_ptr<TGraphic>(new G); });
    }
    // The registered formats in the order of registration (bmp, jpg, jpeg, ico, emf, wmf, png first).
    static std::vector<TFileFormat> FileFormats();

private:
    void Hold(std::unique_ptr<TGraphic> graphic);
    void Changed(const RECT* r);

    std::unique_ptr<TGraphic> graphic_;
};

// An open dialog's filter of every registered format: first all of them together, then one
// entry per description ("ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|..."), entries separated by "|".
std::string GraphicFilter();

}  // namespace kaptor
