// The picture view: installing a picture, zoom and resize, and range mode. Range mode: two
// clicks mark a rectangle on the picture at 100 %; copy, save and print then work on it. The
// rubber band is drawn with an inverting pen so that erasing it costs what drawing it does;
// only the first click, leaving the mode and cutting the range restore the whole picture from
// the clean copy.
#include "view/PictureView.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <typeinfo>

#include "framework/win/Bitmap.h"
#include "framework/win/Dialogs.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/Menus.h"
#include "framework/win/Spin.h"
#include "settings/Settings.h"
#include "view/MarkupLayer.h"
#include "view/Zoom.h"

namespace kaptor {

namespace {

constexpr TCursor CropCursor = 1;  // registered by the program's entry
constexpr int NudgeStep = 8;

// Whether every pixel of the area lies inside what the source can draw (a window partly off
// the screen cannot give the part outside).
bool SourceReachesAll(HDC source, POINT origin, int width, int height) {
    RECT box;
    const int kind = GetClipBox(source, &box);
    if (kind != SIMPLEREGION && kind != COMPLEXREGION) return false;
    return origin.x >= box.left && origin.y >= box.top && origin.x + width <= box.right &&
           origin.y + height <= box.bottom;
}

// The scroll position one step further, kept within the bar's range; -1 when the bar is not
// shown.
int Nudged(HWND box, int bar, int position, int step) {
    const LONG style = GetWindowLongA(box, GWL_STYLE);
    if (!(style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL))) return -1;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (!GetScrollInfo(box, bar, &info)) return -1;
    const int last = std::max(0, info.nMax - static_cast<int>(std::max<UINT>(info.nPage, 1)) + 1);
    return std::clamp(position + step, 0, last);
}

}  // namespace

int ZoomedSide(int zoom, int natural) {
    const auto product = static_cast<std::int32_t>(static_cast<std::uint32_t>(zoom) * static_cast<std::uint32_t>(natural));
    const double q = product / 100.0;
    return static_cast<int>(q < 0 ? -std::floor(-q + 0.5) : std::floor(q + 0.5));
}

TPictureView::TPictureView(TImage& shown, TImage& clean, TSpinEdit& zoomBox, TScrollBox& area,
                           TPictureViewListener& listener)
    : shown_(shown), clean_(clean), zoomBox_(zoomBox), area_(area), listener_(listener),
      markup_(std::make_unique<TMarkupLayer>(shown, clean)) {
    shown_.OnMouseDown = [this](TComponent*, TMouseButton button, TShiftState, int x, int y) { MouseDown(button, x, y); };
    shown_.OnMouseMove = [this](TComponent*, TShiftState, int x, int y) { MouseMove(x, y); };
    shown_.OnMouseUp = [this](TComponent*, TMouseButton button, TShiftState, int x, int y) {
        if (button == TMouseButton::mbLeft) MouseUp(x, y);
    };
    shown_.OnPaintOver = [this](HDC dc) { markup_->PaintOver(dc); };
    // A double click on a text object with the select tool edits its text.
    shown_.OnDblClick = [this](TComponent*) {
        if (markupMode_ && markup_->Style.tool == TMarkupTool::Select) markup_->EditSelectedText();
    };
    markup_->OnChange = [this] { listener_.MarkupChanged(); };
    zoomBox_.OnChange = [this](TComponent*) { SetZoom(zoomBox_.Value()); };
}

int TPictureView::ZoomBoxValue() const { return zoomBox_.Value(); }
void TPictureView::ChooseZoom(int zoom) { zoomBox_.SetValue(zoom); }
bool TPictureView::ZoomBoxEnabled() const { return zoomBox_.Enabled(); }

TPictureView::~TPictureView() {
    // The controls outlive the view by a little (their owner frees them after it).
    shown_.OnMouseDown = nullptr;
    shown_.OnMouseMove = nullptr;
    shown_.OnMouseUp = nullptr;
    shown_.OnPaintOver = nullptr;
    shown_.OnDblClick = nullptr;
    zoomBox_.OnChange = nullptr;
}

// ---------------------------------------------------------------- the picture

void TPictureView::Install(TBitmap& bitmap) {
    std::unique_ptr<TGraphic> copy = bitmap.Clone();  // of the bitmap's own kind
    Install(std::unique_ptr<TBitmap>(static_cast<TBitmap*>(copy.release())));
}

void TPictureView::Install(std::unique_ptr<TBitmap> bitmap) {
    const int width = bitmap->Width(), height = bitmap->Height();
    ForgetMarkup();
    shown_.Picture().SetGraphic(std::move(bitmap));
    CleanCopyDue();
    shown_.SetCursor(crDefault);
    shown_.Repaint();
    const SIZE before{shown_.Width(), shown_.Height()};
    shown_.SetBounds(shown_.Left(), shown_.Top(), width, height);
    natural_ = SIZE{shown_.Width(), shown_.Height()};
    // The box says what the view shows, so its next step goes on from 100 %.
    zoomBox_.SetValue(100);
    // At the same size the view already shows the new picture: painting it again would put
    // the same pixels on the screen (a larger picture costs a conversion per paint).
    if (natural_.cx != before.cx || natural_.cy != before.cy)
        shown_.Repaint();
    else
        shown_.Update();
    AnnouncePicture();
}

bool TPictureView::CopyFrom(HDC source, POINT origin, SIZE size, const std::function<void(TCanvas&)>& drawOver) {
    HandPictureToCleanCopy();
    shown_.Picture().SetGraphic(nullptr);
    shown_.Repaint();
    shown_.SetBounds(shown_.Left(), shown_.Top(), size.cx, size.cy);
    natural_ = SIZE{shown_.Width(), shown_.Height()};
    // The picture is empty: a new bitmap of the view's size. Its pixels are not painted with
    // the brush first where the copy reaches all of them, as the screen's does.
    const int width = shown_.Width(), height = shown_.Height();
    shown_.Picture().Bitmap().Reallocate(width, height);
    TCanvas& canvas = shown_.Canvas();
    if (!SourceReachesAll(source, origin, width, height)) canvas.FillRect(RECT{0, 0, width, height});
    // A copy the platform reports as failed from a device context that still exists keeps
    // what it delivered, as for covered or off-screen parts (Wine reports one for a group box
    // it copies from its client area). Without a source nothing was copied at all.
    if (!BitBlt(canvas.Handle(), 0, 0, width, height, source, origin.x, origin.y, SRCCOPY) &&
        !GetObjectType(source)) {
        // The clean copy still holds the previous picture.
        TPicture& previous = clean_.Picture();
        shown_.Picture().Assign(previous);
        shown_.SetBounds(shown_.Left(), shown_.Top(), previous.Width(), previous.Height());
        natural_ = SIZE{previous.Width(), previous.Height()};
        return false;  // the markup stays with the previous picture
    }
    ForgetMarkup();
    shown_.Picture().Bitmap().Modified();
    if (drawOver) drawOver(shown_.Canvas());
    CleanCopyDue();
    return true;
}

void TPictureView::DropPicture() {
    ForgetMarkup();
    HandPictureToCleanCopy();
    shown_.Picture().SetGraphic(nullptr);
    shown_.SetCursor(crDefault);
    shown_.Repaint();
}

void TPictureView::AnnouncePicture() {
    hasPicture_ = true;
    listener_.EnablePictureCommands();
    shown_.SetPopupMenu(contextMenu_);
    ShowPictureSize();
}

void TPictureView::ShowPictureSize() {
    TGraphic* g = shown_.Picture().Graphic();
    const int w = g ? g->Width() : 0, h = g ? g->Height() : 0;
    listener_.ShowStatus(0, "ｻｲｽﾞ : " + IntToStr(w) + " x " + IntToStr(h));
    listener_.ShowStatus(2, "");
}

void TPictureView::ResetView() {
    marking_.Dragging = false;
    shown_.SetBounds(shown_.Left(), shown_.Top(), 0, 0);
}

void TPictureView::KeepCleanCopy() {
    if (!cleanDue_) return;
    cleanDue_ = false;
    TakeCleanCopy();
}

void TPictureView::HandPictureToCleanCopy() {
    if (!cleanDue_) return;
    cleanDue_ = false;
    clean_.Picture().SetGraphic(shown_.Picture().ReleaseGraphic());
}

TCanvas& TPictureView::DrawingCanvas() {
    KeepCleanCopy();
    return shown_.Canvas();
}

void TPictureView::TakeCleanCopy() {
    // Into the clean copy's own bitmap, which keeps its memory when size and format stay the
    // same (a capture after a capture): the old copy is not a third picture beside the new
    // picture and the new copy, and no fresh pages are touched. Nothing draws on the clean
    // copy, so its canvas has no state of its own to lose.
    auto* picture = dynamic_cast<TBitmap*>(shown_.Picture().Graphic());
    auto* clean = dynamic_cast<TBitmap*>(clean_.Picture().Graphic());
    if (picture && clean && typeid(*picture) == typeid(TBitmap) && typeid(*clean) == typeid(TBitmap))
        clean->Assign(*picture);
    else
        clean_.Picture().Assign(shown_.Picture());
}

// ---------------------------------------------------------------- zoom and resize

bool TPictureView::SetZoom(int zoom) {
    if (zoom < 1) return true;  // zoom 0 keeps the view as it is
    try {
        shown_.SetWidth(ZoomedSide(zoom, natural_.cx));
        shown_.SetHeight(ZoomedSide(zoom, natural_.cy));
        shown_.Update();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TPictureView::ZoomToFullSize() { zoomBox_.SetValue(100); }

// The only command that changes the stored picture's pixel size.
void TPictureView::ResampleToZoom() {
    marking_.Dragging = false;
    // The view repaints before the work starts.
    Application->ProcessMessages();

    const int zoom = zoomBox_.Value();
    const int w = ZoomedSide(zoom, natural_.cx), h = ZoomedSide(zoom, natural_.cy);
    // A side of 0 (zoom 0, or 1 % of a side under 50) would leave an empty bitmap: the
    // capture would be gone with no way back, so the picture stays as it is.
    if (w < 1 || h < 1) return;

    std::unique_ptr<TBitmap> bitmap;
    try {
        bitmap = std::make_unique<TBitmap>();
        bitmap->SetSize(w, h);
        // TBitmap::Draw picks the stretch mode: nearest neighbour for colour pictures,
        // halftone only when the new surface shows 8 bits or fewer and fewer than the source.
        if (TGraphic* source = shown_.Picture().Graphic()) {
            TCanvas& canvas = bitmap->Canvas();
            canvas.CopyMode = cmSrcCopy;
            canvas.StretchDraw(RECT{0, 0, w, h}, *source);
        }
        // The markup is in the pixels resampled: it is part of the new picture.
        ForgetMarkup();
        natural_ = SIZE{w, h};
        shown_.SetWidth(w);
        shown_.SetHeight(h);
        shown_.Picture().SetGraphic(bitmap.get());
        CleanCopyDue();
        bitmap.reset();
        zoomBox_.SetValue(100);
        AnnouncePicture();
    } catch (const std::exception& e) {
        bitmap.reset();
        const std::string text = dynamic_cast<const std::bad_alloc*>(&e) ? texts::OutOfMemory : e.what();
        ShowMessage("例外ｴﾗｰ！：［" + text + "］");
    }
}

// ---------------------------------------------------------------- range mode

// The one place that sets what range mode switches: the view's cursor and, through the
// listener, the window's commands and the zoom box; leaving also drops the range being marked
// (the picture itself is the caller's business).
void TPictureView::ApplyRangeMode(bool on) {
    rangeMode_ = on;
    listener_.RangeModeSwitched(on);
    shown_.SetCursor(on ? CropCursor : crDefault);
    if (!on) {
        marking_.Fixed = false;
        marking_.Dragging = false;
    }
}

void TPictureView::BeginRange() {
    if (markupMode_) EndMarkup();
    zoomBox_.SetValue(100);
    SetZoom(100);
    ApplyRangeMode(true);
    zoomBox_.Repaint();
}

void TPictureView::EndRange() {
    ShowCleanCopy();
    ApplyRangeMode(false);
    zoomBox_.Repaint();
}

bool TPictureView::RangeEmpty() const {
    return marking_.Rect.right == marking_.Rect.left || marking_.Rect.bottom == marking_.Rect.top;
}

void TPictureView::ShowPointer(int x, int y) { listener_.ShowStatus(1, Format("X=%4d,Y=%4d", x, y)); }

void TPictureView::DrawBand(POINT a, POINT b) {
    TCanvas& canvas = DrawingCanvas();
    canvas.Pen.Color = clWhite;
    canvas.Pen.Mode = pmXor;
    canvas.Pen.Width = 1;
    canvas.Pen.Style = psSolid;
    canvas.MoveTo(a.x, a.y);
    canvas.LineTo(a.x, b.y);
    canvas.MoveTo(a.x, a.y);
    canvas.LineTo(b.x, a.y);
    canvas.MoveTo(a.x, b.y);
    canvas.LineTo(b.x, b.y);
    canvas.MoveTo(b.x, a.y);
    canvas.LineTo(b.x, b.y);
}

void TPictureView::MouseDown(TMouseButton button, int x, int y) {
    if (markupMode_) {
        ShowPointer(x, y);
        if (button != TMouseButton::mbLeft) return;
        // The drag goes on, and ends, wherever the pointer goes while the button is held.
        SetCapture(shown_.Handle());
        KeepCleanCopy();  // a picture that came in markup mode
        markup_->MouseDown(x, y);
        return;
    }
    if (!rangeMode_) return;
    ShowPointer(x, y);
    if (button == TMouseButton::mbRight) return;  // the context menu's button
    TRangeMarking& m = marking_;
    if (m.Dragging) {
        DrawBand(m.Start, m.End);  // erases the band
        TCanvas& canvas = DrawingCanvas();
        canvas.Brush.Color = static_cast<TColor>(Settings.FrameColour);
        canvas.Brush.Style = bsSolid;
        // The first corner becomes the top-left one; every rule tests the corners as they
        // were, and corners on one row or column stay as they are.
        const LONG x1 = m.Start.x, y1 = m.Start.y, x2 = m.End.x, y2 = m.End.y;
        if (x2 > x1 && y1 > y2) {
            m.Start.y = y2;
            m.End.y = y1;
        }
        if (x2 < x1 && y1 < y2) {
            m.Start.x = x2;
            m.End.x = x1;
        }
        if (x2 < x1 && y1 > y2) {
            m.Start = POINT{x2, y2};
            m.End = POINT{x1, y1};
        }
        m.Rect = RECT{m.Start.x, m.Start.y, m.End.x, m.End.y};
        canvas.FrameRect(m.Rect);
        m.Fixed = true;
        m.Dragging = false;
        listener_.ShowStatus(2, "範囲 : " + IntToStr(m.Rect.right - m.Rect.left) + " x " +
                                    IntToStr(m.Rect.bottom - m.Rect.top));
        return;
    }
    m.Fixed = false;
    m.Dragging = true;
    ShowCleanCopy();  // removes an earlier frame
    m.Start = POINT{x, y};
    m.ScrollRef = POINT{x, y};
    m.ViewSize = SIZE{area_.ClientWidth(), area_.ClientHeight()};
    m.End = POINT{x + 2, y};
    DrawBand(m.Start, m.End);
}

void TPictureView::MouseMove(int x, int y) {
    ShowPointer(x, y);
    if (markupMode_) {
        markup_->MouseMove(x, y);
        return;
    }
    TRangeMarking& m = marking_;
    if (!m.Dragging) return;
    // Nudge the view once when the first corner lay at an edge of it; the reference then
    // moves to the other side, so the next move does not nudge again.
    const HWND box = area_.Handle();
    int h = area_.HorzPosition(), v = area_.VertPosition();
    auto nudgeAtEdge = [&](int bar, LONG& ref, LONG extent, int& position) {
        const int step = ref > extent - NudgeStep ? NudgeStep : ref <= 0 ? -NudgeStep : 0;
        if (step == 0) return;
        if (const int p = Nudged(box, bar, position, step); p >= 0) {
            position = p;
            ref = step > 0 ? NudgeStep : extent - NudgeStep;
        }
    };
    nudgeAtEdge(SB_HORZ, m.ScrollRef.x, m.ViewSize.cx, h);
    nudgeAtEdge(SB_VERT, m.ScrollRef.y, m.ViewSize.cy, v);
    if (h != area_.HorzPosition() || v != area_.VertPosition()) area_.ScrollTo(h, v);
    area_.Update();

    DrawBand(m.Start, m.End);
    m.End = POINT{x, y};
    DrawBand(m.Start, m.End);
}

std::unique_ptr<TBitmap> TPictureView::CutRange() {
    const TRangeMarking& m = marking_;
    auto bitmap = std::make_unique<TBitmap>(std::abs(m.End.x - m.Start.x), std::abs(m.End.y - m.Start.y));
    TCanvas& canvas = bitmap->Canvas();
    canvas.CopyMode = cmSrcCopy;
    ShowCleanCopy();  // no frame pixel is copied
    canvas.CopyRect(RECT{0, 0, bitmap->Width(), bitmap->Height()}, shown_.Canvas(), m.Rect);
    return bitmap;
}

void TPictureView::DrawRangeFrame() {
    TCanvas& canvas = DrawingCanvas();
    canvas.Brush.Color = static_cast<TColor>(Settings.FrameColour);
    canvas.Brush.Style = bsSolid;
    marking_.Rect = RECT{marking_.Start.x, marking_.Start.y, marking_.End.x, marking_.End.y};
    canvas.FrameRect(marking_.Rect);
}

// ---------------------------------------------------------------- markup mode

void TPictureView::BeginMarkup() {
    if (rangeMode_) EndRange();
    KeepCleanCopy();  // markup draws into both
    markupMode_ = true;
    listener_.MarkupChanged();
}

void TPictureView::EndMarkup() {
    markup_->MouseUp(0, 0);  // an object being drawn is placed as it is
    markupMode_ = false;
    listener_.MarkupChanged();
}

bool TPictureView::MarkupUnsaved() const { return markup_->Unsaved(); }

void TPictureView::MouseUp(int x, int y) {
    if (!markupMode_) return;
    if (GetCapture() == shown_.Handle()) ReleaseCapture();
    markup_->MouseUp(x, y);
}

void TPictureView::ForgetMarkup() {
    if (!markup_->Document().CanUndo() && !markup_->Document().CanRedo()) return;
    markup_->Reset();
}

void TPictureView::ShowCleanCopy() {
    // Not taken yet: nothing has drawn on the shown picture since it came.
    if (!cleanDue_) shown_.Picture().Assign(clean_.Picture());
}

void TPictureView::RedrawRangeFrame() {
    // From the clean copy, so the old frame goes and the new colour shows at once.
    ShowCleanCopy();
    DrawRangeFrame();
}

}  // namespace kaptor
