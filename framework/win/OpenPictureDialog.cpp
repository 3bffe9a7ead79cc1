#include "framework/win/OpenPictureDialog.h"

#include "framework/win/ExtDlgs.h"

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
    preview_ = LoadPreviewBitmap(path);
    previewSize_ = preview_ ? IntToStr(preview_->Width()) + " x " + IntToStr(preview_->Height()) : "";
    if (child_) {
        SetDlgItemTextA(child_, PreviewSizeId, previewSize_.c_str());
        InvalidateRect(GetDlgItem(child_, PreviewId), nullptr, TRUE);
    }
}

void TOpenPictureDialog::PaintPreview(const DRAWITEMSTRUCT& item) { PaintPreviewPane(item, preview_.get()); }

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
