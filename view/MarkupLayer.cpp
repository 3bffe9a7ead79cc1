#include "view/MarkupLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Handles.h"
#include "markup/MarkupPainter.h"

namespace kaptor {

namespace {

constexpr int HitSlack = 4;
constexpr int HandleSize = 7;  // display pixels, whatever the zoom

bool Intersects(const TMarkRect& a, const TMarkRect& b) { return !Intersection(a, b).Empty(); }

// A shape with no area, a line with no length: nothing to place.
bool Degenerate(const TMarkupObject& o) {
    switch (o.kind) {
        case TMarkupTool::Rectangle:
        case TMarkupTool::Ellipse:
        case TMarkupTool::Redact:
        case TMarkupTool::Pixelate: return Area(o).Empty();
        case TMarkupTool::Line:
        case TMarkupTool::Arrow: return o.points.front() == o.points.back();
        default: return false;
    }
}

}  // namespace

TMarkupLayer::TMarkupLayer(TImage& shown, TImage& clean) : shown_(shown), clean_(clean) {}
TMarkupLayer::~TMarkupLayer() = default;

void TMarkupLayer::Reset() {
    document_.Clear();
    original_.reset();
    drawing_.reset();
    selected_.reset();
    handle_.reset();
    moving_ = false;
    if (OnChange) OnChange();
}

double TMarkupLayer::Scale() const {
    const TGraphic* g = shown_.Picture().Graphic();
    return g && g->Width() > 0 ? static_cast<double>(shown_.Width()) / g->Width() : 1.0;
}

TMarkPoint TMarkupLayer::ToPicture(int x, int y) const {
    const double s = Scale();
    if (s <= 0) return {x, y};
    return {static_cast<int>(std::floor(x / s)), static_cast<int>(std::floor(y / s))};
}

void TMarkupLayer::InvalidateView(const TMarkRect& area) {
    if (area.Empty() || !shown_.HandleAllocated()) return;
    const double s = Scale();
    // Two display pixels more on each side: rounding must not leave a stale edge.
    const RECT r{static_cast<LONG>(std::floor(area.left * s)) - 2, static_cast<LONG>(std::floor(area.top * s)) - 2,
                 static_cast<LONG>(std::ceil(area.right * s)) + 2, static_cast<LONG>(std::ceil(area.bottom * s)) + 2};
    InvalidateRect(shown_.Handle(), &r, FALSE);
}

void TMarkupLayer::InvalidateView(const TMarkArea& area) {
    for (const TMarkRect& r : area) InvalidateView(r);
}

// ---------------------------------------------------------------- drawing into the picture

void TMarkupLayer::KeepOriginal() {
    if (original_) return;
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(clean_.Picture().Bitmap());
    original_ = std::move(copy);
}

void TMarkupLayer::Redraw(TMarkRect area) {
    if (!original_) return;
    const auto& objects = document_.Objects();
    // A pixelated area is worked out from all of its pixels: one partly in the area is drawn
    // whole, or its blocks would mix old and new pixels.
    for (bool grown = true; grown;) {
        grown = false;
        for (const TMarkupObject& o : objects) {
            const TMarkRect b = Bounds(o);
            if (o.kind == TMarkupTool::Pixelate && Intersects(b, area) && Union(b, area) != area) {
                area = Union(b, area);
                grown = true;
            }
        }
    }
    TBitmap& picture = shown_.Picture().Bitmap();
    area = Intersection(area, TMarkRect{0, 0, picture.Width(), picture.Height()});
    if (area.Empty()) return;
    const int w = area.right - area.left, h = area.bottom - area.top;
    HDC dc = picture.Canvas().Handle();
    BitBlt(dc, area.left, area.top, w, h, original_->Canvas().Handle(), area.left, area.top, SRCCOPY);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (moving_ && selected_ == i) continue;  // shown over the view while it moves
        if (Intersects(Bounds(objects[i]), area)) PaintMarkup(dc, objects[i], 1.0, false);
    }
    RestoreDC(dc, saved);
    GdiFlush();
    const RECT changed{area.left, area.top, area.right, area.bottom};
    picture.Modified(&changed);
    // The clean copy is the picture as it shows (markup and range mode never meet).
    BitBlt(clean_.Picture().Bitmap().Canvas().Handle(), area.left, area.top, w, h, dc, area.left, area.top, SRCCOPY);
}

void TMarkupLayer::Redraw(const TMarkArea& area) {
    for (const TMarkRect& r : area) Redraw(r);
}

void TMarkupLayer::Commit(const TMarkArea& changed) {
    Redraw(changed);
    if (OnChange) OnChange();
}

void TMarkupLayer::Place(TMarkupObject object) {
    KeepOriginal();
    Commit(document_.Add(std::move(object)));
}

void TMarkupLayer::Select(std::optional<std::size_t> index) {
    const auto& objects = document_.Objects();
    // The frame around the bounds and the handles, which reach a little beyond at any zoom.
    auto frame = [&](std::size_t i) {
        const TMarkRect b = Bounds(objects[i]);
        const int reach = static_cast<int>(std::ceil(HandleSize / Scale())) + 1;
        return TMarkRect{b.left - reach, b.top - reach, b.right + reach, b.bottom + reach};
    };
    if (selected_ && *selected_ < objects.size()) InvalidateView(frame(*selected_));
    selected_ = index;
    if (selected_) InvalidateView(frame(*selected_));
    if (OnChange) OnChange();
}

// ---------------------------------------------------------------- the pointer

std::optional<std::size_t> TMarkupLayer::HandleAt(TMarkPoint p) const {
    if (!selected_ || *selected_ >= document_.Objects().size()) return std::nullopt;
    const int reach = static_cast<int>(std::ceil(HandleSize / 2.0 / Scale())) + 1;
    const std::vector<TMarkPoint> handles = Handles(document_.Objects()[*selected_]);
    for (std::size_t i = 0; i < handles.size(); ++i)
        if (std::abs(handles[i].x - p.x) <= reach && std::abs(handles[i].y - p.y) <= reach) return i;
    return std::nullopt;
}

void TMarkupLayer::MouseDown(int x, int y) {
    if (!shown_.Picture().Graphic()) return;
    const TMarkPoint p = ToPicture(x, y);
    TMarkupObject o;
    o.kind = Style.tool;
    o.colour = Style.colour;
    o.width = Style.width;
    o.filled = Style.filled;
    o.points = {p};
    switch (Style.tool) {
        case TMarkupTool::Select: {
            const auto& objects = document_.Objects();
            if ((handle_ = HandleAt(p))) {
                moving_ = true;
                drawing_ = objects[*selected_];
                previewShown_ = Footprint(*drawing_);
                Redraw(previewShown_);  // the picture without it, the preview over it
                return;
            }
            for (std::size_t i = objects.size(); i-- > 0;) {
                if (!Hits(objects[i], p, HitSlack)) continue;
                Select(i);
                moving_ = true;
                grabbedAt_ = p;
                drawing_ = objects[i];
                previewShown_ = Footprint(objects[i]);
                Redraw(previewShown_);  // the picture without it, the preview over it
                return;
            }
            Select(std::nullopt);
            return;
        }
        case TMarkupTool::Text: {
            o.textSize = Style.textSize;
            if (!AskText || !AskText(o.text) || o.text.empty()) return;
            Place(std::move(o));
            return;
        }
        case TMarkupTool::Step:
            o.step = document_.NextStep();
            Place(std::move(o));
            return;
        case TMarkupTool::Pen:
        case TMarkupTool::Highlighter: break;
        default: o.points.push_back(p); break;
    }
    drawing_ = std::move(o);
    previewShown_ = Footprint(*drawing_);
    InvalidateView(previewShown_);
}

void TMarkupLayer::MouseMove(int x, int y) {
    if (!drawing_) return;
    const TMarkPoint p = ToPicture(x, y);
    TMarkupObject& o = *drawing_;
    // A stroke being drawn grows; a placed one being moved or stretched goes on below.
    if (!moving_ && (o.kind == TMarkupTool::Pen || o.kind == TMarkupTool::Highlighter)) {
        if (o.points.back() == p) return;
        // Only the new piece of the stroke shows anew.
        TMarkupObject piece = o;
        piece.points = {o.points.back(), p};
        o.points.push_back(p);
        InvalidateView(Bounds(piece));
        previewShown_ = {Bounds(o)};
        return;
    }
    if (moving_) {
        const TMarkupObject& before = document_.Objects()[*selected_];
        o = handle_ ? WithHandleAt(before, *handle_, p) : Moved(before, p.x - grabbedAt_.x, p.y - grabbedAt_.y);
    } else {
        if (o.points.back() == p) return;
        o.points.back() = p;
    }
    // Where it was and where it is now; for a frame, only its edges.
    InvalidateView(previewShown_);
    previewShown_ = Footprint(o);
    InvalidateView(previewShown_);
}

void TMarkupLayer::MouseUp(int x, int y) {
    if (!drawing_) return;
    TMarkupObject o = std::move(*drawing_);
    drawing_.reset();
    InvalidateView(previewShown_);
    if (moving_) {
        moving_ = false;
        handle_.reset();
        if (o == document_.Objects()[*selected_]) {
            Redraw(Footprint(o));  // back in its place
        } else {
            Commit(document_.Replace(*selected_, std::move(o)));
        }
        return;
    }
    if (!Degenerate(o)) Place(std::move(o));
}

void TMarkupLayer::PaintOver(HDC dc) {
    if (!drawing_ && !selected_) return;
    const double s = Scale();
    const int saved = SaveDC(dc);
    if (drawing_) PaintMarkup(dc, *drawing_, s, true);
    if (selected_ && *selected_ < document_.Objects().size()) {
        const TMarkRect b = moving_ && drawing_ ? Bounds(*drawing_) : Bounds(document_.Objects()[*selected_]);
        UniquePen pen(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
        SelectObject(dc, pen.get());
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
        SetBkMode(dc, OPAQUE);
        Rectangle(dc, static_cast<int>(std::floor(b.left * s)), static_cast<int>(std::floor(b.top * s)),
                  static_cast<int>(std::ceil(b.right * s)), static_cast<int>(std::ceil(b.bottom * s)));
        // The handles: small white squares framed in black.
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
        for (const TMarkPoint& h : Handles(moving_ && drawing_ ? *drawing_ : document_.Objects()[*selected_])) {
            const int x = static_cast<int>(std::lround(h.x * s)), y = static_cast<int>(std::lround(h.y * s));
            Rectangle(dc, x - HandleSize / 2, y - HandleSize / 2, x + HandleSize / 2 + 1, y + HandleSize / 2 + 1);
        }
        RestoreDC(dc, saved);  // the pen is ours to delete, not the DC's
        return;
    }
    RestoreDC(dc, saved);
}

// ---------------------------------------------------------------- steps

// The selection goes first: its frame is taken off the view while the object is still there.
void TMarkupLayer::Undo() {
    if (moving_ || !document_.CanUndo()) return;
    Select(std::nullopt);
    Commit(*document_.Undo());
}

void TMarkupLayer::Redo() {
    if (moving_ || !document_.CanRedo()) return;
    Select(std::nullopt);
    Commit(*document_.Redo());
}

void TMarkupLayer::DeleteSelection() {
    if (!selected_ || moving_) return;
    const std::size_t index = *selected_;
    Select(std::nullopt);
    Commit(document_.Remove(index));
}

void TMarkupLayer::StyleChanged() {
    if (!selected_ || moving_) return;
    TMarkupObject o = document_.Objects()[*selected_];
    o.colour = Style.colour;
    o.width = Style.width;
    if (o.kind == TMarkupTool::Rectangle || o.kind == TMarkupTool::Ellipse) o.filled = Style.filled;
    if (o.kind == TMarkupTool::Text) o.textSize = Style.textSize;
    if (o == document_.Objects()[*selected_]) return;
    Commit(document_.Replace(*selected_, std::move(o)));
}

void TMarkupLayer::EditSelectedText() {
    if (!selected_ || moving_) return;
    TMarkupObject o = document_.Objects()[*selected_];
    if (o.kind != TMarkupTool::Text || !AskText || !AskText(o.text)) return;
    if (o.text.empty()) {
        DeleteSelection();
        return;
    }
    Commit(document_.Replace(*selected_, std::move(o)));
}

}  // namespace kaptor
