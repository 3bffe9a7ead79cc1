// Markup on the shown picture. Placed objects are drawn into the picture itself (and its
// clean copy), so copy, save, print, drag-out, the range crop and resize all take the picture
// as it shows; the pixels from before the first object are kept aside, so any object can be
// taken back or changed by drawing the area it covers anew. The object being drawn or moved
// is only painted over the view, at the zoom, until the button is let go.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "markup/MarkupDocument.h"

namespace kaptor {

class TBitmap;
class TImage;

// What a new object is made with: the band's tool, colour, width and fill.
struct TMarkupStyle {
    TMarkupTool tool = TMarkupTool::Rectangle;
    std::uint32_t colour = 0x0000FF;  // 0x00BBGGRR
    int width = 3;
    bool filled = false;
    int textSize = 18;
    // Text grows with the line width.
    void SetWidth(int w) {
        width = w;
        textSize = 12 + 2 * w;
    }
};

class TMarkupLayer {
public:
    TMarkupLayer(TImage& shown, TImage& clean);
    ~TMarkupLayer();
    TMarkupLayer(const TMarkupLayer&) = delete;
    TMarkupLayer& operator=(const TMarkupLayer&) = delete;

    TMarkupStyle Style;
    // Asks for the text of a text object (its text so far in text); false when cancelled.
    std::function<bool(std::string& text)> AskText;
    // The objects, the selection or what can be undone changed.
    std::function<void()> OnChange;

    const TMarkupDocument& Document() const { return document_; }
    // Steps taken on this picture since it came or was last saved whole.
    bool Unsaved() const { return document_.Unsaved(); }
    void MarkSaved() { document_.MarkSaved(); }
    // The picture was replaced: no objects, no steps, nothing kept aside.
    void Reset();

    // Pointer events on the shown picture, in display pixels.
    void MouseDown(int x, int y);
    void MouseMove(int x, int y);
    void MouseUp(int x, int y);
    // Paints the object being drawn and the selection's frame over the view.
    void PaintOver(HDC dc);

    void Undo();
    void Redo();
    // The selected object goes (Del).
    void DeleteSelection();
    // The band's colour, width or fill changed: the selected object takes them.
    void StyleChanged();
    // Step markers count from 1 again.
    void RestartSteps() { document_.RestartSteps(); }
    std::optional<std::size_t> Selection() const { return selected_; }
    // The selected text object's text asked for again.
    void EditSelectedText();

private:
    TMarkPoint ToPicture(int x, int y) const;
    double Scale() const;
    void InvalidateView(const TMarkRect& pictureArea);
    void InvalidateView(const TMarkArea& pictureArea);
    // Draws area of the picture anew: the pixels kept aside, then every object over it.
    void Redraw(TMarkRect area);
    void KeepOriginal();
    void Place(TMarkupObject object);
    void Redraw(const TMarkArea& area);
    void Commit(const TMarkArea& changed);
    void Select(std::optional<std::size_t> index);
    // The selected object's handle under picture point p.
    std::optional<std::size_t> HandleAt(TMarkPoint p) const;

    TImage& shown_;
    TImage& clean_;
    TMarkupDocument document_;
    std::unique_ptr<TBitmap> original_;  // the picture before the first object
    std::optional<TMarkupObject> drawing_;  // being drawn or moved
    std::optional<std::size_t> selected_;
    bool moving_ = false;  // drawing_ is the selected object being moved or resized
    std::optional<std::size_t> handle_;  // the handle being dragged, when resizing
    TMarkPoint grabbedAt_;
    TMarkArea previewShown_;  // where the preview was last painted, in picture pixels
};

}  // namespace kaptor
