// Copy to and paste from the system clipboard, as a bitmap at natural size. Copy offers a PNG
// file too, in the registered "PNG" format, for programs that take it losslessly, made only
// when one asks for it; paste takes one when no bitmap is offered.
#include "exchange/Clipboard.h"

#include <memory>

#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/base/Classes.h"
#include "framework/imaging/PngCodec.h"
#include "framework/win/Clipbrd.h"
#include "framework/win/Dialogs.h"
#include "framework/win/PngImage.h"
#include "view/PictureView.h"

namespace kaptor {

namespace {

UINT PngFormat() {
    static const UINT format = RegisterClipboardFormatA("PNG");
    return format;
}

// The bitmap, and its PNG file announced, in one opening of the clipboard. The PNG is made
// from a copy of the pixels taken now: the picture may be replaced before anyone asks.
void CopyPicture(TBitmap& bitmap) {
    TClipboardRenderer png;
    if (!bitmap.Empty() && PngFormat()) {
        auto copied = std::make_shared<const Dib>(bitmap.ToDib());
        png = {PngFormat(), [copied] {
                   TMemoryStream file;
                   EncodePng(*copied, file);
                   return std::move(file.Memory());
               }};
    }
    Clipboard().Assign(bitmap, std::move(png));
}

}  // namespace

void CopyViewPicture(TPictureView& view) {
    if (!view.RangeFramed()) {
        // The picture as displayed: in range mode without a framed range an open band's
        // lines go with it.
        CopyPicture(view.Shown().Picture().Bitmap());
        return;
    }
    if (view.RangeEmpty()) {
        ShowMessage(texts::EmptyRange);
        return;
    }
    std::unique_ptr<TBitmap> bitmap = view.CutRange();
    try {
        CopyPicture(*bitmap);
    } catch (...) {
        view.DrawRangeFrame();
        throw;
    }
    view.DrawRangeFrame();
}

void PasteIntoView(TPictureView& view) {
    const bool bitmapOffered = Clipboard().HasFormat(CF_BITMAP);
    if (!bitmapOffered && !(PngFormat() && Clipboard().HasFormat(PngFormat()))) {
        ShowMessage("ｸﾘｯﾌﾟﾎﾞｰﾄﾞ形式が違います");
        return;
    }
    try {
        TBitmap pasted;
        if (bitmapOffered) {
            Clipboard().GetBitmap(pasted);
        } else {
            const std::vector<std::uint8_t> png = Clipboard().GetBytes(PngFormat());
            pasted.LoadFromDib(DecodePng(png.data(), png.size()));
        }
        if (view.RangeMode()) view.EndRange();
        view.DropPicture();
        // The pixels just taken from the clipboard are handed on, not copied once more.
        auto bitmap = std::make_unique<TBitmap>();
        pasted.MoveInto(*bitmap);
        view.Install(std::move(bitmap));
    } catch (const std::exception&) {
        ShowMessage("貼り付けに失敗！");
    }
}

}  // namespace kaptor
