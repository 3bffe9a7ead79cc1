// The picture view: the picture as shown (stretched to the zoom, with the range frame drawn on
// it), its hidden clean copy, the picture's own size, the zoom box and the range being marked.
// It alone writes them. What the window shows about them (status panels, the commands range
// mode switches) it learns through TPictureViewListener.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/win/Controls.h"
#include "framework/win/Graphics.h"

namespace kaptor {

class TBitmap;
class TImage;
class TMarkupLayer;
class TPopupMenu;
class TScrollBox;
class TSpinEdit;

namespace texts {
// Copy, save and print refuse a range with no area: nothing could be written.
inline constexpr const char* EmptyRange = "範囲の幅または高さが 0 です。範囲を指定し直してください";
}

// What the window does for the view.
class TPictureViewListener {
public:
    // Panel 0 the picture's size, 1 the pointer's position, 2 the range's size.
    virtual void ShowStatus(int panel, const std::string& text) = 0;
    // The commands that range mode switches: which of its two buttons is down, its menu
    // items, resize and the zoom box (zoom and resize work on the whole picture, not while a
    // range is being marked).
    virtual void RangeModeSwitched(bool on) = 0;
    // A picture is there: the commands that work on one become usable.
    virtual void EnablePictureCommands() = 0;
    // Markup mode on or off, or its objects or steps changed.
    virtual void MarkupChanged() = 0;

protected:
    ~TPictureViewListener() = default;
};

// The range being marked: two clicks at 100 %, the band between them, the frame once fixed.
struct TRangeMarking {
    bool Dragging = false;  // the first corner placed, the band follows the pointer
    bool Fixed = false;     // the second corner placed: Rect is the range
    RECT Rect{0, 0, 0, 0};
    POINT Start{0, 0}, End{0, 0};
    // Where the first click lay in the visible part, and that part's size: the view is
    // scrolled on once when the first corner lay at an edge.
    POINT ScrollRef{0, 0};
    SIZE ViewSize{0, 0};
};

class TPictureView {
public:
    // shown lies in area; clean is never visible; zoomBox is the zoom in per cent. The view
    // takes their mouse and change events.
    TPictureView(TImage& shown, TImage& clean, TSpinEdit& zoomBox, TScrollBox& area, TPictureViewListener& listener);
    ~TPictureView();
    TPictureView(const TPictureView&) = delete;
    TPictureView& operator=(const TPictureView&) = delete;

    TImage& Shown() { return shown_; }
    // The picture without band or frame, taken now if it was not yet.
    TImage& CleanCopy() {
        KeepCleanCopy();
        return clean_;
    }
    // The area the picture lies in, scrolled when it is larger.
    TScrollBox& Area() { return area_; }
    // The zoom box's value, and a value chosen in it as the user would (the view follows).
    int ZoomBoxValue() const;
    void ChooseZoom(int zoom);
    bool ZoomBoxEnabled() const;
    // The picture's own size, before zoom.
    SIZE NaturalSize() const { return natural_; }
    // Stands for a picture of another size, for the zoom and resize that follow.
    void OverrideNaturalSize(SIZE size) { natural_ = size; }
    bool HasPicture() const { return hasPicture_; }
    // The menu the shown picture offers once there is one.
    void SetContextMenu(TPopupMenu* menu) { contextMenu_ = menu; }

    // Makes a copy of bitmap the picture, shown at 100 % with the zoom box at 100; the other
    // overload holds bitmap itself (a picture just read, which nothing else holds, is not
    // copied once more).
    void Install(TBitmap& bitmap);
    void Install(std::unique_ptr<TBitmap> bitmap);
    // The new picture: size pixels from origin of source, drawOver drawing on it (the
    // cursor) before the clean copy is taken. False when the copy failed: the previous
    // picture is back.
    bool CopyFrom(HDC source, POINT origin, SIZE size, const std::function<void(TCanvas&)>& drawOver);
    // The shown picture goes (its memory with it) before a new one is made.
    void DropPicture();
    // A new picture is there: its commands, its context menu and its size in the status bar.
    void AnnouncePicture();
    void ShowPictureSize();
    // No range is being marked and the view takes no room, as at start-up.
    void ResetView();

    // The shown picture at zoom % of the natural size; zoom 0 keeps the view as it is. False
    // when the control could not take the size.
    bool SetZoom(int zoom);
    // The zoom box to 100 % (the view follows through the box's change event).
    void ZoomToFullSize();
    // Resamples the picture to the zoom box's size and makes it the picture at 100 %; errors
    // are shown as "例外ｴﾗｰ！：［...］" and leave the picture as it was.
    void ResampleToZoom();

    // Range mode: entered at 100 %, left with the picture restored from the clean copy.
    void BeginRange();
    void EndRange();
    // Leaves range mode without restoring the picture (which is about to be replaced).
    void LeaveRangeMode() { ApplyRangeMode(false); }
    bool RangeMode() const { return rangeMode_; }
    // Range mode on and the second corner placed: the commands then work on the range only.
    bool RangeFramed() const { return rangeMode_ && marking_.Fixed; }
    // The framed range has no width or no height.
    bool RangeEmpty() const;
    const TRangeMarking& Marking() const { return marking_; }
    void MouseDown(TMouseButton button, int x, int y);
    void MouseMove(int x, int y);
    // The rubber band between two corners, drawn with an inverting pen: drawn twice it is gone.
    void DrawBand(POINT a, POINT b);

    // Markup mode: the pointer draws markup on the picture at any zoom; range mode is left.
    void BeginMarkup();
    void EndMarkup();
    bool MarkupMode() const { return markupMode_; }
    TMarkupLayer& Markup() { return *markup_; }
    // Markup placed on this picture since it came.
    bool MarkupUnsaved() const;

    // The framed range cut from the clean copy; the shown picture is left without its frame.
    std::unique_ptr<TBitmap> CutRange();
    // The frame around the marked range, in the frame colour.
    void DrawRangeFrame();
    // The shown picture from the clean copy (no frame, no band).
    void ShowCleanCopy();
    // The frame drawn anew on the clean picture (after a change of its colour).
    void RedrawRangeFrame();

private:
    void ApplyRangeMode(bool on);
    // The clean copy is taken when something first draws on the shown picture (a range's
    // band or frame, markup) or asks for it, not with every new picture: an open, paste or
    // capture that is only looked at, saved or copied never copies its pixels once more.
    void CleanCopyDue() { cleanDue_ = true; }
    void KeepCleanCopy();
    void TakeCleanCopy();
    // The shown picture, about to be replaced, becomes the clean copy itself when that was
    // never taken: what a failed capture goes back to, without a copy.
    void HandPictureToCleanCopy();
    // The shown picture's canvas for drawing the band and the frame on it.
    TCanvas& DrawingCanvas();
    void ShowPointer(int x, int y);
    void MouseUp(int x, int y);
    // The picture is replaced: its markup goes with it.
    void ForgetMarkup();

    TImage& shown_;
    TImage& clean_;
    TSpinEdit& zoomBox_;
    TScrollBox& area_;
    TPictureViewListener& listener_;
    TPopupMenu* contextMenu_ = nullptr;
    SIZE natural_{0, 0};
    bool hasPicture_ = false;
    bool cleanDue_ = false;  // the clean copy is still to be taken from the shown picture
    bool rangeMode_ = false;
    TRangeMarking marking_;
    std::unique_ptr<TMarkupLayer> markup_;
    bool markupMode_ = false;
};

}  // namespace kaptor
