#include "framework/win/OpenPictureDialog.h"

#include <dlgs.h>

#include <algorithm>
#include <cstring>

#include "framework/win/Bitmap.h"
#include "framework/win/Picture.h"

namespace kaptor {

namespace {

// A dialog template in memory: DLGTEMPLATE, then its items, each DWORD-aligned.
class PaneTemplate {
public:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Text(const wchar_t* s) {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void AlignDword() {
        if (words_.size() % 2) Word(0);
    }
    void Header(DWORD style, WORD items, short cx, short cy) {
        Dword(style);
        Dword(0);
        Word(items);
        for (short v : {short(0), short(0), cx, cy}) Word(static_cast<WORD>(v));
        Word(0);  // no menu
        Word(0);  // default class
        Word(0);  // no title
    }
    // A static control (atom 0x0082).
    void Static(DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* text) {
        AlignDword();
        Dword(style);
        Dword(0);
        for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
        Word(id);
        Word(0xFFFF);
        Word(0x0082);
        Text(text);
        Word(0);  // no creation data
    }
    std::vector<DWORD> Take() {
        AlignDword();
        std::vector<DWORD> out(words_.size() / 2);
        std::memcpy(out.data(), words_.data(), words_.size() * sizeof(WORD));
        return out;
    }

private:
    std::vector<WORD> words_;
};

}  // namespace

TOpenPictureDialog::TOpenPictureDialog(TComponent* owner) : TOpenDialog(owner) {}
TOpenPictureDialog::~TOpenPictureDialog() = default;

void TOpenPictureDialog::PrepareTemplate(OPENFILENAMEA& ofn) {
    // stc32 stands for the standard controls; the pane sits to its right.
    PaneTemplate t;
    t.Header(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL, 4, 300, 140);
    t.Static(WS_CHILD | WS_VISIBLE, 0, 0, 200, 140, stc32, L"");
    t.Static(WS_CHILD | WS_VISIBLE | SS_LEFT, 204, 4, 90, 10, 0xFFFF, L"\x30D7\x30EC\x30D3\x30E5\x30FC");
    t.Static(WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 204, 16, 90, 90, PreviewId, L"");
    t.Static(WS_CHILD | WS_VISIBLE | SS_CENTER, 204, 110, 90, 10, PreviewSizeId, L"");
    template_ = t.Take();
    ofn.hInstance = reinterpret_cast<HINSTANCE>(template_.data());
    ofn.lpTemplateName = nullptr;
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
}

void TOpenPictureDialog::LoadPreview(const std::string& path) {
    preview_.reset();
    previewSize_.clear();
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        try {
            TPicture picture;
            picture.LoadFromFile(path);
            auto bitmap = std::make_unique<TBitmap>();
            bitmap->Assign(picture.Graphic());
            previewSize_ = IntToStr(bitmap->Width()) + " x " + IntToStr(bitmap->Height());
            preview_ = std::move(bitmap);
        } catch (const std::exception&) {
            // Not a picture we can show (or a damaged one): the pane stays empty.
        }
    }
    if (child_) {
        SetDlgItemTextA(child_, PreviewSizeId, previewSize_.c_str());
        InvalidateRect(GetDlgItem(child_, PreviewId), nullptr, TRUE);
    }
}

void TOpenPictureDialog::PaintPreview(const DRAWITEMSTRUCT& item) {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    if (!preview_ || preview_->Empty()) return;
    // Scaled to fit, never enlarged, centred.
    const int bw = r.right - r.left - 4, bh = r.bottom - r.top - 4;
    const double scale = std::min({1.0, static_cast<double>(bw) / preview_->Width(),
                                   static_cast<double>(bh) / preview_->Height()});
    const int w = std::max(1, static_cast<int>(preview_->Width() * scale));
    const int h = std::max(1, static_cast<int>(preview_->Height() * scale));
    const int x = r.left + (r.right - r.left - w) / 2, y = r.top + (r.bottom - r.top - h) / 2;
    TCanvas canvas(item.hDC);
    SetStretchBltMode(item.hDC, HALFTONE);
    canvas.StretchDraw(RECT{x, y, x + w, y + h}, *preview_);
}

UINT_PTR TOpenPictureDialog::DialogMessage(HWND child, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: child_ = child; return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (item->CtlID != PreviewId) return 0;
            PaintPreview(*item);
            return TRUE;
        }
        case WM_NCDESTROY: child_ = nullptr; return 0;
        default: return 0;
    }
}

void TOpenPictureDialog::DoSelectionChange() {
    LoadPreview(SelectedPath());
    TOpenDialog::DoSelectionChange();
}

void TOpenPictureDialog::DoClose() {
    preview_.reset();
    previewSize_.clear();
    TOpenDialog::DoClose();
}

}  // namespace kaptor
