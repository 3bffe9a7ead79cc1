#include "markup/MarkupDocument.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kaptor {

TMarkRect Union(const TMarkRect& a, const TMarkRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

TMarkRect Intersection(const TMarkRect& a, const TMarkRect& b) {
    TMarkRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    return r.Empty() ? TMarkRect{} : r;
}

TMarkRect Spanned(TMarkPoint a, TMarkPoint b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

int HighlighterWidth(int width) { return std::max(12, width * 5); }
int StepRadius(int width) { return 10 + 2 * width; }
int ArrowHeadLength(int width) { return 8 + 4 * width; }

int PixelateBlock(const TMarkRect& area) {
    const int shorter = std::min(area.right - area.left, area.bottom - area.top);
    return std::max(12, (shorter + 1) / 2);
}

TMarkRect Area(const TMarkupObject& o) {
    if (o.points.empty()) return {};
    TMarkRect r{o.points[0].x, o.points[0].y, o.points[0].x, o.points[0].y};
    for (const TMarkPoint& p : o.points) r = {std::min(r.left, p.x), std::min(r.top, p.y), std::max(r.right, p.x), std::max(r.bottom, p.y)};
    return r;
}

TMarkRect Bounds(const TMarkupObject& o) {
    if (o.points.empty()) return {};
    const TMarkPoint p = o.points[0];
    int margin = o.width / 2 + 2;
    switch (o.kind) {
        case TMarkupTool::Redact:
        case TMarkupTool::Pixelate: {
            const TMarkRect a = Area(o);
            return a.Empty() ? TMarkRect{} : a;
        }
        case TMarkupTool::Step: {
            const int r = StepRadius(o.width) + 2;
            return {p.x - r, p.y - r, p.x + r + 1, p.y + r + 1};
        }
        case TMarkupTool::Text: {
            // Generous: the exact extent needs the font; lines of at most 200 characters.
            int lines = 1, longest = 0, run = 0;
            for (char c : o.text) {
                if (c == '\n') {
                    ++lines;
                    run = 0;
                } else {
                    longest = std::max(longest, ++run);
                }
            }
            const int size = std::max(1, o.textSize);
            return {p.x - 2, p.y - 2, p.x + std::max(1, longest) * size + 4, p.y + lines * size * 3 / 2 + 4};
        }
        case TMarkupTool::Highlighter: margin = HighlighterWidth(o.width) / 2 + 2; break;
        case TMarkupTool::Arrow: margin = std::max(margin, ArrowHeadLength(o.width) + 2); break;
        default: break;
    }
    const TMarkRect a = Area(o);
    return {a.left - margin, a.top - margin, a.right + margin + 1, a.bottom + margin + 1};
}

TMarkArea Footprint(const TMarkupObject& o) {
    const TMarkRect b = Bounds(o);
    const int margin = o.width / 2 + 2;
    if (o.kind != TMarkupTool::Rectangle || o.filled || b.right - b.left <= 8 * margin || b.bottom - b.top <= 8 * margin)
        return {b};
    const int edge = 2 * margin + 1;  // Bounds' margin on both sides of the line
    return {{b.left, b.top, b.right, b.top + edge},
            {b.left, b.bottom - edge, b.right, b.bottom},
            {b.left, b.top + edge, b.left + edge, b.bottom - edge},
            {b.right - edge, b.top + edge, b.right, b.bottom - edge}};
}

namespace {

// Distance from p to the segment a-b.
double SegmentDistance(TMarkPoint p, TMarkPoint a, TMarkPoint b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool Inside(const TMarkRect& r, TMarkPoint p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

bool Hits(const TMarkupObject& o, TMarkPoint p, int slack) {
    if (o.points.empty()) return false;
    const double reach = o.width / 2.0 + slack;
    switch (o.kind) {
        case TMarkupTool::Redact:
        case TMarkupTool::Pixelate:
        case TMarkupTool::Step:
        case TMarkupTool::Text: return Inside(Bounds(o), p);
        case TMarkupTool::Rectangle: {
            const TMarkRect r = Area(o);
            if (o.filled) return Inside(TMarkRect{r.left, r.top, r.right + 1, r.bottom + 1}, p);
            const TMarkPoint c[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
            for (int i = 0; i < 4; ++i)
                if (SegmentDistance(p, c[i], c[(i + 1) % 4]) <= reach) return true;
            return false;
        }
        case TMarkupTool::Ellipse: {
            const TMarkRect r = Area(o);
            const double a = (r.right - r.left) / 2.0, b = (r.bottom - r.top) / 2.0;
            if (a < 1 || b < 1) return Inside(Bounds(o), p);
            const double nx = (p.x - (r.left + a)) / a, ny = (p.y - (r.top + b)) / b;
            const double d = std::hypot(nx, ny);
            if (o.filled && d <= 1) return true;
            return std::abs(d - 1) * std::min(a, b) <= reach;
        }
        default: {
            const double r = o.kind == TMarkupTool::Highlighter ? HighlighterWidth(o.width) / 2.0 + slack : reach;
            if (o.points.size() == 1) return std::hypot(p.x - o.points[0].x, p.y - o.points[0].y) <= r;
            for (std::size_t i = 1; i < o.points.size(); ++i)
                if (SegmentDistance(p, o.points[i - 1], o.points[i]) <= r) return true;
            return false;
        }
    }
}

namespace {

bool Cornered(TMarkupTool kind) {
    return kind == TMarkupTool::Rectangle || kind == TMarkupTool::Ellipse || kind == TMarkupTool::Redact ||
           kind == TMarkupTool::Pixelate;
}

bool Stroked(TMarkupTool kind) { return kind == TMarkupTool::Pen || kind == TMarkupTool::Highlighter; }

}  // namespace

std::vector<TMarkPoint> Handles(const TMarkupObject& o) {
    if (o.points.size() < 2) return {};
    if (o.kind == TMarkupTool::Line || o.kind == TMarkupTool::Arrow) return {o.points.front(), o.points.back()};
    if (!Cornered(o.kind) && !Stroked(o.kind)) return {};
    const TMarkRect a = Area(o);
    return {{a.left, a.top}, {a.right, a.top}, {a.right, a.bottom}, {a.left, a.bottom}};
}

TMarkupObject WithHandleAt(TMarkupObject o, std::size_t i, TMarkPoint p) {
    const std::vector<TMarkPoint> handles = Handles(o);
    if (i >= handles.size()) return o;
    if (handles.size() == 2) {
        (i == 0 ? o.points.front() : o.points.back()) = p;
        return o;
    }
    const TMarkPoint fixed = handles[(i + 2) % 4], from = handles[i];
    if (Stroked(o.kind)) {
        // The stroke stretches with its box; the opposite corner stays where it is.
        auto scaled = [](int v, int fixedV, int fromV, int toV) {
            if (fromV == fixedV) return v + toV - fromV;
            return fixedV + static_cast<int>(std::lround(double(v - fixedV) * (toV - fixedV) / (fromV - fixedV)));
        };
        for (TMarkPoint& q : o.points) q = {scaled(q.x, fixed.x, from.x, p.x), scaled(q.y, fixed.y, from.y, p.y)};
    } else {
        o.points = {fixed, p};
    }
    return o;
}

TMarkupObject Moved(TMarkupObject object, int dx, int dy) {
    for (TMarkPoint& p : object.points) p = {p.x + dx, p.y + dy};
    return object;
}

// ---------------------------------------------------------------- the document

TMarkArea TMarkupDocument::Apply(const TStep& step, bool forward) {
    const std::optional<TMarkupObject>& from = forward ? step.before : step.after;
    const std::optional<TMarkupObject>& to = forward ? step.after : step.before;
    TMarkArea changed;
    for (const auto* o : {&from, &to})
        if (*o)
            for (const TMarkRect& r : Footprint(**o)) changed.push_back(r);
    if (from && to) {
        objects_[step.index] = *to;
    } else if (to) {
        objects_.insert(objects_.begin() + static_cast<std::ptrdiff_t>(step.index), *to);
    } else {
        objects_.erase(objects_.begin() + static_cast<std::ptrdiff_t>(step.index));
    }
    return changed;
}

TMarkArea TMarkupDocument::Take(TStep step) {
    TMarkArea changed = Apply(step, true);
    done_.push_back(std::move(step));
    undone_.clear();
    ++revision_;
    return changed;
}

TMarkArea TMarkupDocument::Add(TMarkupObject object) { return Take({objects_.size(), std::nullopt, std::move(object)}); }

TMarkArea TMarkupDocument::Replace(std::size_t index, TMarkupObject object) {
    return Take({index, objects_.at(index), std::move(object)});
}

TMarkArea TMarkupDocument::Remove(std::size_t index) { return Take({index, objects_.at(index), std::nullopt}); }

std::optional<TMarkArea> TMarkupDocument::Undo() { return Move(done_, undone_, false); }

std::optional<TMarkArea> TMarkupDocument::Redo() { return Move(undone_, done_, true); }

std::optional<TMarkArea> TMarkupDocument::Move(std::vector<TStep>& from, std::vector<TStep>& to, bool forward) {
    if (from.empty()) return std::nullopt;
    TStep step = std::move(from.back());
    from.pop_back();
    TMarkArea changed = Apply(step, forward);
    to.push_back(std::move(step));
    ++revision_;
    return changed;
}

void TMarkupDocument::Clear() {
    objects_.clear();
    done_.clear();
    undone_.clear();
    stepBase_ = 0;
    revision_ = savedRevision_ = 0;
}

int TMarkupDocument::NextStep() const {
    int last = 0;
    for (std::size_t i = std::min(stepBase_, objects_.size()); i < objects_.size(); ++i)
        if (objects_[i].kind == TMarkupTool::Step) last = std::max(last, objects_[i].step);
    return last + 1;
}

}  // namespace kaptor
