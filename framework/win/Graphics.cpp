#include "framework/win/Graphics.h"

#include <algorithm>

#include "framework/base/SysUtils.h"

namespace kaptor {

void detail::RaiseLastGdiError() {
    const DWORD code = GetLastError();
    if (code == 0 || code == ERROR_NOT_ENOUGH_MEMORY || code == ERROR_OUTOFMEMORY) throw EOutOfMemory();
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = n && text ? Trim(std::string_view(text, n)) : Format("GDI error %lu", code);
    if (text) LocalFree(text);
    throw EInvalidGraphicOperation(message);
}

COLORREF ColorToRGB(TColor color) {
    if (color & clSystemColor) return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0x00FFFFFF;
}

namespace {

bool SamePen(const TPen& a, const TPen& b) { return a.Color == b.Color && a.Width == b.Width && a.Style == b.Style; }

bool SameBrush(const TBrush& a, const TBrush& b) { return a.Color == b.Color && a.Style == b.Style; }

HBRUSH MakeBrush(const TBrush& b) {
    const COLORREF rgb = ColorToRGB(b.Color);
    switch (b.Style) {
        case bsSolid: return CreateSolidBrush(rgb);
        case bsClear: return nullptr;  // the stock hollow brush, not ours to delete
        case bsHorizontal: return CreateHatchBrush(HS_HORIZONTAL, rgb);
        case bsVertical: return CreateHatchBrush(HS_VERTICAL, rgb);
        case bsFDiagonal: return CreateHatchBrush(HS_FDIAGONAL, rgb);
        case bsBDiagonal: return CreateHatchBrush(HS_BDIAGONAL, rgb);
        case bsCross: return CreateHatchBrush(HS_CROSS, rgb);
        case bsDiagCross: return CreateHatchBrush(HS_DIAGCROSS, rgb);
    }
    return nullptr;
}

RECT Normalized(int x1, int y1, int x2, int y2) {
    return RECT{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

RECT Inflated(RECT r, int d) {
    r.left -= d;
    r.top -= d;
    r.right += d;
    r.bottom += d;
    return r;
}

}  // namespace

TCanvas::~TCanvas() {
    // Derived canvases let go of their DC in their own destructor; this is for borrowed ones.
    DeselectObjects();
}

HDC TCanvas::Handle() { return RequireHandle(); }

void TCanvas::SetHandle(HDC dc) {
    if (dc == dc_) return;
    DeselectObjects();
    dc_ = dc;
    if (dc_) MoveToEx(dc_, penPos_.x, penPos_.y, nullptr);
}

HDC TCanvas::RequireHandle() {
    if (!dc_) CreateHandle();
    if (!dc_) throw EInvalidOperation(texts::NoCanvasHandle);
    return dc_;
}

void TCanvas::DeselectObjects() {
    if (dc_) {
        if (oldPen_) SelectObject(dc_, oldPen_);
        if (oldBrush_) SelectObject(dc_, oldBrush_);
    }
    oldPen_ = oldBrush_ = nullptr;
    pen_.reset();
    brush_.reset();
}

void TCanvas::RequirePen() {
    HDC dc = RequireHandle();
    if (!oldPen_ || !SamePen(Pen, penMade_)) {
        SetLastError(0);
        UniquePen pen(CreatePen(Pen.Style, std::max(Pen.Width, 0), ColorToRGB(Pen.Color)));
        if (!pen) detail::RaiseLastGdiError();
        HGDIOBJ old = SelectObject(dc, pen.get());
        if (!old || old == HGDI_ERROR) detail::RaiseLastGdiError();
        if (!oldPen_) oldPen_ = old;
        pen_ = std::move(pen);  // the previous pen of ours is no longer selected: delete it
        penMade_ = Pen;
    }
    SetROP2(dc, Pen.Mode);
}

void TCanvas::RequireBrush() {
    HDC dc = RequireHandle();
    if (!oldBrush_ || !SameBrush(Brush, brushMade_)) {
        SetLastError(0);
        UniqueBrush brush(MakeBrush(Brush));
        if (!brush && Brush.Style != bsClear) detail::RaiseLastGdiError();
        HGDIOBJ obj = brush ? static_cast<HGDIOBJ>(brush.get()) : GetStockObject(NULL_BRUSH);
        HGDIOBJ old = SelectObject(dc, obj);
        if (!old || old == HGDI_ERROR) detail::RaiseLastGdiError();
        if (!oldBrush_) oldBrush_ = old;
        brush_ = std::move(brush);
        brushMade_ = Brush;
    }
    // Between the lines of a hatch the background shows only for a clear brush.
    SetBkMode(dc, Brush.Style == bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::Changed(const RECT& r) {
    if (OnChange) OnChange(&r);
}

void TCanvas::MoveTo(int x, int y) {
    MoveToEx(RequireHandle(), x, y, nullptr);
    penPos_ = POINT{x, y};
}

void TCanvas::LineTo(int x, int y) {
    RequirePen();
    HDC dc = RequireHandle();
    const POINT from = penPos_;
    // The DC may be new since the last MoveTo (a bitmap re-creates its DC), so start from
    // the position we keep rather than the DC's.
    MoveToEx(dc, from.x, from.y, nullptr);
    ::LineTo(dc, x, y);
    penPos_ = POINT{x, y};
    RECT r = Normalized(from.x, from.y, x, y);
    r.right += 1;
    r.bottom += 1;
    Changed(Inflated(r, Pen.Width / 2 + 1));
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    RequirePen();
    RequireBrush();
    ::Rectangle(RequireHandle(), left, top, right, bottom);
    Changed(Inflated(Normalized(left, top, right, bottom), Pen.Width / 2 + 1));
}

void TCanvas::FrameRect(const RECT& r) {
    RequireBrush();
    if (Brush.Style == bsClear) return;  // a hollow brush frames nothing
    ::FrameRect(RequireHandle(), &r, brush_.get());
    Changed(r);
}

void TCanvas::FillRect(const RECT& r) {
    RequireBrush();
    if (Brush.Style == bsClear) return;
    ::FillRect(RequireHandle(), &r, brush_.get());
    Changed(r);
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
    if (graphic.Empty()) return;
    StretchDraw(RECT{x, y, x + graphic.Width(), y + graphic.Height()}, graphic);
}

void TCanvas::StretchDraw(const RECT& r, TGraphic& graphic) {
    if (graphic.Empty()) return;
    RequireHandle();
    graphic.Draw(*this, r);
    Changed(Normalized(r.left, r.top, r.right, r.bottom));
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& srcRect) {
    RequireBrush();  // pattern copy modes use the brush
    HDC src = source.RequireHandle();
    HDC dst = RequireHandle();
    const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
    const int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;  // nothing to copy (a range on one line)
    SetLastError(0);
    if (!StretchBlt(dst, dest.left, dest.top, dw, dh, src, srcRect.left, srcRect.top, sw, sh, CopyMode))
        detail::RaiseLastGdiError();
    Changed(Normalized(dest.left, dest.top, dest.right, dest.bottom));
}

TColor TCanvas::Pixels(int x, int y) { return GetPixel(RequireHandle(), x, y); }

void TCanvas::SetPixels(int x, int y, TColor color) {
    SetPixelV(RequireHandle(), x, y, ColorToRGB(color));
    Changed(RECT{x, y, x + 1, y + 1});
}

// --- TGraphic ---------------------------------------------------------------------------

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
    TFileStream stream(fileName, TFileMode::fmCreate);
    SaveToStream(stream);
    stream.Close();
}

void TGraphic::Assign(const TGraphic& source) {
    if (&source == this) return;
    source.AssignTo(*this);
}

void TGraphic::Assign(const TGraphic* source) {
    if (source)
        Assign(*source);
    else
        Clear();
}

void TGraphic::AssignTo(TGraphic& dest) const { dest.AssignError(*this); }

void TGraphic::AssignError(const TGraphic& source) const {
    throw EConvertError(Format(texts::AssignError, source.ClassName(), ClassName()));
}

void TGraphic::Changed(const RECT* r) {
    if (OnChange) OnChange(r);
}

}  // namespace kaptor
