// Markup drawn on the picture: the objects (in picture pixels, whatever the zoom) and the
// steps that made them, undone and redone without limit until the picture is replaced.
// Portable: no Windows API here, so the geometry and the step history are tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kaptor {

// The tools of the markup band; every tool but Select makes one kind of object.
enum class TMarkupTool : std::uint8_t {
    Select, Rectangle, Ellipse, Line, Arrow, Pen, Highlighter, Text, Step, Redact, Pixelate, Count
};
inline constexpr int MarkupToolCount = static_cast<int>(TMarkupTool::Count);

struct TMarkPoint {
    int x = 0, y = 0;
    bool operator==(const TMarkPoint&) const = default;
};

// Left and top inside, right and bottom outside, as GDI's rectangles.
struct TMarkRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const TMarkRect&) const = default;
};
// Pixels as a few rectangles (they may overlap).
using TMarkArea = std::vector<TMarkRect>;
TMarkRect Union(const TMarkRect& a, const TMarkRect& b);
TMarkRect Intersection(const TMarkRect& a, const TMarkRect& b);
// The rectangle two corners span, whichever way they were dragged.
TMarkRect Spanned(TMarkPoint a, TMarkPoint b);

struct TMarkupObject {
    TMarkupTool kind = TMarkupTool::Rectangle;
    // Two corners (rectangle, ellipse, redaction), start and end (line, arrow), the stroke
    // (pen, highlighter), the centre (step) or the top-left corner (text).
    std::vector<TMarkPoint> points;
    std::uint32_t colour = 0x0000FF;  // 0x00BBGGRR
    int width = 3;
    bool filled = false;
    int step = 0;      // the number a step marker shows
    std::string text;  // lines separated by '\n', in the program's code page
    int textSize = 0;  // text height in pixels

    bool operator==(const TMarkupObject&) const = default;
};

// The width a highlighter stroke is drawn with, its line width given.
int HighlighterWidth(int width);
// The radius of a step marker's disc.
int StepRadius(int width);
// The length of an arrow's head.
int ArrowHeadLength(int width);
// The side of the blocks a pixelated area is made of: never under 12 pixels and at least
// half the area's shorter side, so a line of text beneath falls into one or two blocks and
// cannot be read back.
int PixelateBlock(const TMarkRect& area);
// Every pixel the object may touch, its pen and head included.
TMarkRect Bounds(const TMarkupObject& object);
// The same pixels as a few rectangles: an outlined rectangle is its four edges, so a large
// box is drawn again, undone or repainted at the cost of its edges, not of all it encloses.
TMarkArea Footprint(const TMarkupObject& object);
// The corners a redaction or a shape covers.
TMarkRect Area(const TMarkupObject& object);
// Whether a pointer at p picks the object (within slack pixels of its lines).
bool Hits(const TMarkupObject& object, TMarkPoint p, int slack);
// The points a selected object is resized by: the corners of a shape, redaction or stroke
// (from the top-left, clockwise), the two ends of a line or arrow; none for text and step
// markers, whose size follows the line width.
std::vector<TMarkPoint> Handles(const TMarkupObject& object);
// The object with handle i dragged to p (the opposite corner stays where it is).
TMarkupObject WithHandleAt(TMarkupObject object, std::size_t i, TMarkPoint p);
// The object moved by (dx, dy).
TMarkupObject Moved(TMarkupObject object, int dx, int dy);

// The objects of one picture, bottom first, and the steps that made them.
class TMarkupDocument {
public:
    const std::vector<TMarkupObject>& Objects() const { return objects_; }
    bool Empty() const { return objects_.empty(); }
    // Whether a step was taken, undone or redone since the picture came or was last saved.
    bool Unsaved() const { return revision_ != savedRevision_; }
    void MarkSaved() { savedRevision_ = revision_; }

    // Each returns the picture area that looks different afterwards.
    TMarkArea Add(TMarkupObject object);
    TMarkArea Replace(std::size_t index, TMarkupObject object);
    TMarkArea Remove(std::size_t index);
    // Nothing when there is no step to undo or redo.
    std::optional<TMarkArea> Undo();
    std::optional<TMarkArea> Redo();
    bool CanUndo() const { return !done_.empty(); }
    bool CanRedo() const { return !undone_.empty(); }
    // A new picture: no objects, no steps, the steps count from 1 again.
    void Clear();

    // The number the next step marker shows: one more than the last one placed, 1 after a
    // restart.
    int NextStep() const;
    void RestartSteps() { stepBase_ = objects_.size(); }

private:
    // A step: the object at index before and after (none before an add, none after a remove).
    struct TStep {
        std::size_t index;
        std::optional<TMarkupObject> before, after;
    };
    TMarkArea Apply(const TStep& step, bool forward);
    TMarkArea Take(TStep step);
    // Undo and redo: the last step of from applied (backward for undo) and moved to to.
    std::optional<TMarkArea> Move(std::vector<TStep>& from, std::vector<TStep>& to, bool forward);
    std::vector<TMarkupObject> objects_;
    std::vector<TStep> done_, undone_;
    std::size_t stepBase_ = 0;  // markers below this index do not count
    std::size_t revision_ = 0, savedRevision_ = 0;  // counts every step taken, undone or redone
};

}  // namespace kaptor
