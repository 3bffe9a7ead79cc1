#include "framework/win/PngImage.h"

#include "framework/imaging/PngCodec.h"
#include "framework/win/Picture.h"

namespace kaptor {

void TPNGImage::Assign(const TGraphic& source) {
    if (&source == this) return;
    if (const auto* png = dynamic_cast<const TPNGImage*>(&source)) {
        bitmap_->Assign(*png->bitmap_);
        data_ = png->data_;
    } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&source)) {
        bitmap_->Assign(*bitmap);
        data_.clear();
    } else {
        TGraphic::Assign(source);
        return;
    }
    Changed();
}

void TPNGImage::AssignTo(TGraphic& dest) const {
    if (auto* bitmap = dynamic_cast<TBitmap*>(&dest))
        bitmap->Assign(*bitmap_);
    else
        TGraphic::AssignTo(dest);
}

void TPNGImage::MoveInto(TGraphic& dest) {
    if (!dynamic_cast<TBitmap*>(&dest)) {
        TGraphic::MoveInto(dest);
        return;
    }
    bitmap_->MoveInto(dest);
    data_.clear();
    Changed();
}

void TPNGImage::Clear() {
    bitmap_->Clear();
    data_.clear();
    Changed();
}

std::unique_ptr<TGraphic> TPNGImage::Clone() const {
    auto copy = std::make_unique<TPNGImage>();
    copy->Assign(*this);
    return copy;
}

void TPNGImage::Draw(TCanvas& canvas, const RECT& r) { bitmap_->Draw(canvas, r); }

void TPNGImage::LoadFromStream(TStream& stream) {
    std::vector<std::uint8_t> data = ReadRest(stream);
    auto decoded = std::make_unique<TBitmap>();
    // Every row is written by the decoder: the section is not filled first (it may be one
    // let go of lately), and its rows are reached without asking GDI each time (nothing draws
    // on it meanwhile).
    std::uint8_t* pixels = nullptr;
    std::size_t stride = 0;
    int height = 0;
    DecodePng(data.data(), data.size(),
              PngTarget{[&](std::int32_t w, std::int32_t h) {
                            Dib format;
                            format.Width = w;
                            format.Height = height = h;
                            format.BitCount = 24;
                            pixels = decoded->NewPixels(format, TBitmap::TNewRows::WrittenByCaller);
                            stride = format.Stride();
                        },
                        [&](int y) { return pixels + static_cast<std::size_t>(height - 1 - y) * stride; }});
    decoded->Modified();
    bitmap_ = std::move(decoded);
    data_ = std::move(data);
    Changed();
}

void TPNGImage::SaveToStream(TStream& stream) {
    if (!data_.empty())
        stream.WriteBuffer(data_.data(), data_.size());
    else
        WritePng(*bitmap_, stream);
}

void WritePng(TBitmap& bitmap, TStream& stream) {
    Dib layout;
    if (!bitmap.RowLayout(layout)) {  // masks we cannot name here: the copy carries them
        EncodePng(bitmap.ToDib(), stream);
        return;
    }
    EncodePng(layout, [&bitmap](int y) { return bitmap.ScanLine(y); }, stream);
}

}  // namespace kaptor
