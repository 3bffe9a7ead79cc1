// Copy to and paste from the system clipboard, as a bitmap at natural size.
#include <memory>

#include "app/F_Kaptor.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Clipbrd.h"
#include "view/Range.h"

namespace kaptor {

void TKaptor32::SB_CopyClick(TComponent*) {
    // Errors reach the general report with their own text.
    if (!RangeActive(*this)) {
        // The picture as displayed: in range mode without a framed range an open band's
        // lines go with it.
        Clipboard().Assign(Image1->Picture().Bitmap());
        return;
    }
    if (RangeEmpty(*this)) {
        ShowMessage(texts::EmptyRange);
        return;
    }
    std::unique_ptr<TBitmap> bitmap(MakeRangeBitmap());
    try {
        Clipboard().Assign(*bitmap);
    } catch (...) {
        DrawRangeFrame();
        throw;
    }
    DrawRangeFrame();
}

void TKaptor32::SB_PasteClick(TComponent*) {
    if (!Clipboard().HasFormat(CF_BITMAP)) {
        ShowMessage("ｸﾘｯﾌﾟﾎﾞｰﾄﾞ形式が違います");
        return;
    }
    try {
        TBitmap pasted;
        Clipboard().GetBitmap(pasted);
        if (SB_Range->Down()) SB_NoRangeClick(this);
        Image1->Picture().SetGraphic(nullptr);
        Image1->SetCursor(crDefault);
        Image1->Repaint();
        InstallPicture(pasted);
    } catch (const std::exception&) {
        ShowMessage("貼り付けに失敗！");
    }
}

}  // namespace kaptor
