// A PNG picture: decoded into a 24-bit bitmap when loaded (alpha laid over white); written as
// the file it was loaded from, or encoded from the bitmap it was given.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/win/Bitmap.h"

namespace kaptor {

class TPNGImage : public TGraphic {
public:
    TPNGImage() = default;
    const char* ClassName() const override { return "TPNGImage"; }
    int Width() const override { return bitmap_->Width(); }
    int Height() const override { return bitmap_->Height(); }
    bool Empty() const override { return bitmap_->Empty(); }
    const TBitmap& Bitmap() const { return *bitmap_; }

    using TGraphic::Assign;
    // Takes a PNG image or a bitmap.
    void Assign(const TGraphic& source) override;
    void Clear() override;
    std::unique_ptr<TGraphic> Clone() const override;
    void Draw(TCanvas& canvas, const RECT& r) override;
    // Reads from the stream's position to its end.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    // A bitmap takes the decoded pixels themselves; this image is left empty.
    void MoveInto(TGraphic& dest) override;

protected:
    // A bitmap takes the decoded picture.
    void AssignTo(TGraphic& dest) const override;

private:
    // Never null. Held by pointer so a load decodes into a new bitmap's own rows and takes
    // it only when complete.
    std::unique_ptr<TBitmap> bitmap_ = std::make_unique<TBitmap>();
    std::vector<std::uint8_t> data_;  // the file while it still matches bitmap_
};

// The PNG file of a bitmap, encoded straight from its rows (no copy of the picture first).
void WritePng(TBitmap& bitmap, TStream& stream);

}  // namespace kaptor
