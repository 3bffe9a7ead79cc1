// GIF files as bitmaps: TGifBitmap reads the first image of a GIF file into an 8-bit bitmap
// and from then on is a plain bitmap (written out as a bitmap; there is no GIF writer).
// RegisterGifFormat puts it into the picture-format registry under "gif".
#pragma once

#include <memory>

#include "framework/base/Classes.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Picture.h"
#include "gif/GifReader.h"

namespace kaptor {

class TGifBitmap : public TBitmap {
public:
    TGifBitmap() = default;
    // Replaces the content with the first image of the GIF data, which starts at stream
    // position 0. On any error the bitmap keeps what it held.
    void LoadFromStream(TStream& stream) override;
    // A copy of the same kind, so a picture holding one still loads GIF data.
    std::unique_ptr<TGraphic> Clone() const override;
};

// The 8-bit bitmap file of image: header, 256-entry palette from the image's own table or
// else the file's global one, rows bottom-up padded to 4 bytes. The stream is rewritten from
// 0 and left at 0.
void WriteBitmap(const TGifSubImage& image, TStream& stream);

// Once at start-up, before any form: the "gif" picture format, the hooks every GIF load
// runs (busy cursor; progress that moves the progress form and lets pending messages run,
// at most once a frame and at the last row) and the progress hook.
void RegisterGifFormat();

// GIF support's start-up and exit: RegisterGifFormat, then the hidden progress form, made
// without an owner and freed again when this goes.
class TGifSupport {
public:
    TGifSupport();
    ~TGifSupport();
    TGifSupport(const TGifSupport&) = delete;
    TGifSupport& operator=(const TGifSupport&) = delete;
};

}  // namespace kaptor
