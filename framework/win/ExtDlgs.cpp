#include "framework/win/ExtDlgs.h"

#include <dlgs.h>

#include <algorithm>
#include <cstring>

#include "framework/win/Bitmap.h"
#include "framework/win/Picture.h"

namespace kaptor {

namespace {

// A dialog template in memory: DLGTEMPLATE, then its items, each DWORD-aligned.
class TemplateWriter {
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
        Dword(0);  // extended style
        Word(items);
        Word(0);
        Word(0);
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // default class
        Word(0);  // no title
    }
    // An item of a predefined class (0x0082 static).
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text) {
        AlignDword();
        Dword(style);
        Dword(0);
        for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
        Word(id);
        Word(0xFFFF);
        Word(atom);
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

constexpr WORD StaticAtom = 0x0082;

// The picture file at path as a bitmap: null for a folder, a missing file or anything not
// read as a picture.
std::unique_ptr<TBitmap> LoadPreviewBitmap(const std::string& path) {
    const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    try {
        TPicture picture;
        picture.LoadFromFile(path);
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->Assign(picture.Graphic());
        return bitmap;
    } catch (const std::exception&) {
        return nullptr;  // not a picture we read (or a damaged one): the pane stays empty
    }
}

// Scaled to fit, never enlarged, centred.
void PaintPreviewPane(const DRAWITEMSTRUCT& item, TBitmap* preview) {
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    if (!preview || preview->Empty()) return;
    const int bw = r.right - r.left - 4, bh = r.bottom - r.top - 4;
    const double scale = std::min({1.0, static_cast<double>(bw) / preview->Width(),
                                   static_cast<double>(bh) / preview->Height()});
    const int w = std::max(1, static_cast<int>(preview->Width() * scale));
    const int h = std::max(1, static_cast<int>(preview->Height() * scale));
    const int x = r.left + (r.right - r.left - w) / 2, y = r.top + (r.bottom - r.top - h) / 2;
    TCanvas canvas(item.hDC);
    SetStretchBltMode(item.hDC, HALFTONE);
    canvas.StretchDraw(RECT{x, y, x + w, y + h}, *preview);
}

}  // namespace

TPreviewPane::TPreviewPane(int previewId, int sizeId) : previewId_(previewId), sizeId_(sizeId) {}
TPreviewPane::~TPreviewPane() = default;

void TPreviewPane::PrepareTemplate(OPENFILENAMEA& ofn) {
    // stc32 stands for the standard controls; the pane sits to its right.
    TemplateWriter t;
    t.Header(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL, 4, 300, 140);
    t.Item(WS_CHILD | WS_VISIBLE, 0, 0, 200, 140, stc32, StaticAtom, L"");
    t.Item(WS_CHILD | WS_VISIBLE | SS_LEFT, 204, 4, 90, 10, 0xFFFF, StaticAtom, L"\x30D7\x30EC\x30D3\x30E5\x30FC");
    t.Item(WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 204, 16, 90, 90, static_cast<WORD>(previewId_), StaticAtom, L"");
    t.Item(WS_CHILD | WS_VISIBLE | SS_CENTER, 204, 110, 90, 10, static_cast<WORD>(sizeId_), StaticAtom, L"");
    template_ = t.Take();
    ofn.hInstance = reinterpret_cast<HINSTANCE>(template_.data());
    ofn.lpTemplateName = nullptr;
    ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
}

UINT_PTR TPreviewPane::DialogMessage(HWND child, UINT msg, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: child_ = child; return 0;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
            if (static_cast<int>(item->CtlID) != previewId_) return 0;
            PaintPreviewPane(*item, preview_.get());
            return TRUE;
        }
        case WM_NCDESTROY: child_ = nullptr; return 0;
        default: return 0;
    }
}

void TPreviewPane::Load(const std::string& path) {
    preview_ = LoadPreviewBitmap(path);
    sizeText_ = preview_ ? IntToStr(preview_->Width()) + " x " + IntToStr(preview_->Height()) : "";
    if (child_) {
        SetDlgItemTextA(child_, sizeId_, sizeText_.c_str());
        InvalidateRect(GetDlgItem(child_, previewId_), nullptr, TRUE);
    }
}

void TPreviewPane::Clear() {
    preview_.reset();
    sizeText_.clear();
}

}  // namespace kaptor
