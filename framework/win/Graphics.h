// Colours, pens, brushes and the canvas: drawing over a device context, and TGraphic, the
// base of every picture kind (bitmap, icon, JPEG, metafile). The canvas reports each change
// with the rectangle it touched, so an image control repaints a rubber band, not a picture.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/base/Classes.h"
#include "framework/win/Handles.h"

namespace kaptor {

namespace texts {
inline constexpr const char* NoCanvasHandle = "ｷｬﾝﾊﾞｽに描画できません";
}

// A colour as Windows stores it, 0x00BBGGRR; with the top bit set, the low byte names a
// system colour (COLOR_BTNFACE ...) looked up when the colour is used.
using TColor = COLORREF;

inline constexpr TColor clSystemColor = 0x80000000u;
inline constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                        clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                        clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                        clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                        clLtGray = 0xC0C0C0, clDkGray = 0x808080;
inline constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR,
                        clBackground = clSystemColor | COLOR_BACKGROUND,
                        clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION,
                        clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION,
                        clMenu = clSystemColor | COLOR_MENU, clWindow = clSystemColor | COLOR_WINDOW,
                        clWindowFrame = clSystemColor | COLOR_WINDOWFRAME,
                        clMenuText = clSystemColor | COLOR_MENUTEXT,
                        clWindowText = clSystemColor | COLOR_WINDOWTEXT,
                        clCaptionText = clSystemColor | COLOR_CAPTIONTEXT,
                        clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE,
                        clHighlight = clSystemColor | COLOR_HIGHLIGHT,
                        clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT,
                        clBtnFace = clSystemColor | COLOR_BTNFACE, clBtnShadow = clSystemColor | COLOR_BTNSHADOW,
                        clGrayText = clSystemColor | COLOR_GRAYTEXT, clBtnText = clSystemColor | COLOR_BTNTEXT,
                        clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT,
                        cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW, cl3DLight = clSystemColor | COLOR_3DLIGHT,
                        clInfoText = clSystemColor | COLOR_INFOTEXT, clInfoBk = clSystemColor | COLOR_INFOBK;

// The plain RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);

// Raster operations of the pen (SetROP2).
enum TPenMode {
    pmBlack = R2_BLACK,
    pmWhite = R2_WHITE,
    pmNop = R2_NOP,
    pmNot = R2_NOT,
    pmCopy = R2_COPYPEN,
    pmNotCopy = R2_NOTCOPYPEN,
    pmMergePenNot = R2_MERGEPENNOT,
    pmMaskPenNot = R2_MASKPENNOT,
    pmMergeNotPen = R2_MERGENOTPEN,
    pmMaskNotPen = R2_MASKNOTPEN,
    pmMerge = R2_MERGEPEN,
    pmNotMerge = R2_NOTMERGEPEN,
    pmMask = R2_MASKPEN,
    pmNotMask = R2_NOTMASKPEN,
    pmXor = R2_XORPEN,
    pmNotXor = R2_NOTXORPEN,
};

enum TPenStyle {
    psSolid = PS_SOLID,
    psDash = PS_DASH,
    psDot = PS_DOT,
    psDashDot = PS_DASHDOT,
    psDashDotDot = PS_DASHDOTDOT,
    psClear = PS_NULL,
    psInsideFrame = PS_INSIDEFRAME,
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

// Raster operations of Draw, StretchDraw and CopyRect (the ROP codes of BitBlt).
using TCopyMode = DWORD;
inline constexpr TCopyMode cmBlackness = BLACKNESS, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY,
                           cmMergePaint = MERGEPAINT, cmNotSrcCopy = NOTSRCCOPY, cmNotSrcErase = NOTSRCERASE,
                           cmPatCopy = PATCOPY, cmPatInvert = PATINVERT, cmPatPaint = PATPAINT,
                           cmSrcAnd = SRCAND, cmSrcCopy = SRCCOPY, cmSrcErase = SRCERASE,
                           cmSrcInvert = SRCINVERT, cmSrcPaint = SRCPAINT, cmWhiteness = WHITENESS;

// Pen and brush are plain settings; the canvas makes (and re-makes) the GDI objects from
// them when it draws, so setting a field needs no handle.
struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

// A change of a picture: the rectangle that changed, or null when all of it may have
// changed (new content or new size).
using TChangeEvent = std::function<void(const RECT* changed)>;

class TGraphic;

// Drawing on a device context. A plain TCanvas draws on a DC it is given and does not own
// (a window's paint DC, a printer); a bitmap's canvas draws on the bitmap's memory DC.
// The canvas owns the pen and brush objects it selects and puts the DC's own back before
// it lets go of the DC.
class TCanvas {
public:
    TCanvas() = default;
    explicit TCanvas(HDC dc) { SetHandle(dc); }
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The DC drawn on (we don't own it). A bitmap's canvas creates its DC here when needed;
    // that DC is valid until the bitmap's Handle is taken or its size or format changes.
    // Drawing on it directly (BitBlt from the screen) is not reported to OnChange: tell the
    // bitmap with Modified.
    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return dc_ != nullptr; }

    TPen Pen;
    TBrush Brush;
    TCopyMode CopyMode = cmSrcCopy;
    POINT PenPos() const { return penPos_; }

    void MoveTo(int x, int y);
    // A line to (x, y) without its end point, as GDI draws it.
    void LineTo(int x, int y);
    // Outline with the pen, filled with the brush.
    void Rectangle(int left, int top, int right, int bottom);
    void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
    // One pixel wide border in the brush, columns left..right-1 and rows top..bottom-1.
    void FrameRect(const RECT& r);
    void FillRect(const RECT& r);
    // The graphic at its own size with its top-left at (x, y).
    void Draw(int x, int y, TGraphic& graphic);
    // The graphic scaled into r.
    void StretchDraw(const RECT& r, TGraphic& graphic);
    // StretchBlt of srcRect of source into dest with CopyMode.
    void CopyRect(const RECT& dest, TCanvas& source, const RECT& srcRect);

    TColor Pixels(int x, int y);  // CLR_INVALID outside the drawing surface
    void SetPixels(int x, int y, TColor color);

    // Told after every drawing operation, with the rectangle it may have touched.
    TChangeEvent OnChange;

protected:
    // A canvas that makes its DC on demand (a bitmap's) overrides this to set one.
    virtual void CreateHandle() {}
    virtual void Changed(const RECT& r);
    // Puts the DC's own pen and brush back and deletes ours; the DC stays attached.
    void DeselectObjects();

private:
    HDC RequireHandle();
    void RequirePen();
    void RequireBrush();

    HDC dc_ = nullptr;
    POINT penPos_{0, 0};
    UniquePen pen_;
    TPen penMade_;  // the settings pen_ was made from
    UniqueBrush brush_;
    TBrush brushMade_;
    HGDIOBJ oldPen_ = nullptr;
    HGDIOBJ oldBrush_ = nullptr;
};

// A picture of some kind. Copies go through Assign; the registry of TPicture creates
// graphics by file extension.
class TGraphic {
public:
    TGraphic() = default;
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // The class name as the user sees it in the cannot-assign message.
    virtual const char* ClassName() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    // Draws the whole graphic into r of the canvas.
    virtual void Draw(TCanvas& canvas, const RECT& r) = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // Copies the source's content into this graphic; a kind that cannot take it raises
    // EConvertError "<source class> を <this class> に代入することはできません".
    virtual void Assign(const TGraphic& source);
    // Null empties the graphic.
    void Assign(const TGraphic* source);
    // Gives dest this graphic's content as dest.Assign(*this) would; a kind that holds its
    // pixels in a bitmap hands them over to a bitmap instead of copying them, and is left
    // empty.
    virtual void MoveInto(TGraphic& dest) { dest.Assign(*this); }
    // Drops the content.
    virtual void Clear() = 0;
    // A new graphic of the same kind holding a copy of this one.
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
    // The palette the graphic is drawn with, or null (we keep it).
    virtual HPALETTE Palette() const { return nullptr; }

    TChangeEvent OnChange;

protected:
    // The other half of Assign: this graphic copied into dest, when this kind knows how.
    virtual void AssignTo(TGraphic& dest) const;
    [[noreturn]] void AssignError(const TGraphic& source) const;
    void Changed(const RECT* r = nullptr);
};

namespace detail {
// Raises the failure of the last GDI call: EOutOfMemory when Windows gives no reason (GDI
// mostly fails for lack of memory), otherwise EInvalidGraphicOperation with Windows' text.
// GDI sets no error on success, so callers clear it (SetLastError(0)) before the calls
// whose failure they report.
[[noreturn]] void RaiseLastGdiError();
}  // namespace detail

}  // namespace kaptor
