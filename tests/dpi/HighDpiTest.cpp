// The program on a screen of more than 96 dots per inch: captures see the real pixels, and
// every form is laid out in 96-dpi units and scaled by the screen's logical resolution when
// it is created. ./test runs this program at 144 dpi on a 1920 x 1080 display; at 96 dpi the
// same checks say that nothing changes.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "TestApp.h"
#include "app/OptionsDialog.h"
#include "exchange/PrintPage.h"
#include "app/AboutBox.h"
#include "app/MainWindow.h"
#include "app/HelpViewer.h"
#include "settings/Settings.h"
#include "capture/WindowListDialog.h"
#include "capture/RegionSelector.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ComCtrls.h"
#include "framework/win/Spin.h"
#include "framework/win/StdCtrls.h"
#include "gif/ProgressForm.h"
#include "resources/resource.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

int Dpi() {
    TestApp();
    return Screen->PixelsPerInch();
}
int Scaled(int designed) { return MulDiv(designed, Dpi(), 96); }

std::string Panel(TMainWindow& w, int i) { return w.StatusText(i); }

struct Settled {
    TSettings saved = Settings;
    Settled() {
        Settings.Wait = 0;
        Settings.HideForm = false;
        Settings.ShowCursor = false;
        Settings.ShowAfterCapturing = true;
        Settings.CaptureClient = false;
        Settings.CaptureControl = false;
    }
    ~Settled() { Settings = saved; }
};

// The screen shows colour at every other pixel of r.
bool ScreenShows(const RECT& r, COLORREF colour) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    TBitmap shot(w, h);
    {
        WindowDC screen(nullptr);
        if (!BitBlt(shot.Canvas().Handle(), 0, 0, w, h, screen.get(), r.left, r.top, SRCCOPY)) return false;
    }
    for (int y = 0; y < h; y += 2)
        for (int x = 0; x < w; x += 2)
            if (shot.Canvas().Pixels(x, y) != colour) return false;
    return w > 0 && h > 0;
}

// A plain window filled with one colour, placed in physical pixels.
class ColourWindow {
public:
    ColourWindow(COLORREF colour, DWORD style, DWORD exStyle, int x, int y, int w, int h)
        : colour_(colour), brush_(CreateSolidBrush(colour)) {
        static const char* const cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "KaptorDpiColour";
            wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
            RegisterClassA(&wc);
            return "KaptorDpiColour";
        }();
        handle_ = CreateWindowExA(exStyle, cls, "DPI test window", style, x, y, w, h, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        SetClassLongPtrA(handle_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush_.get()));
        ShowWindow(handle_, SW_SHOW);
        SetForegroundWindow(handle_);
        RedrawWindow(handle_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump(5);
    }
    ~ColourWindow() {
        DestroyWindow(handle_);
        Pump();
    }
    ColourWindow(const ColourWindow&) = delete;
    ColourWindow& operator=(const ColourWindow&) = delete;
    HWND Handle() const { return handle_; }
    // Waits until the screen shows the window's colour over its whole client area: what is
    // read there is then ours, whatever else the session shows or is still starting.
    bool Shown(int timeoutMs = 10000) const {
        RECT r;
        GetClientRect(handle_, &r);
        MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        for (const DWORD start = GetTickCount(); !ScreenShows(r, colour_); Pump(1))
            if (GetTickCount() - start > static_cast<DWORD>(timeoutMs)) return false;
        return true;
    }

private:
    COLORREF colour_;
    UniqueBrush brush_;
    HWND handle_ = nullptr;
};

TBitmap& PictureOf(TMainWindow& w) {
    auto* bitmap = dynamic_cast<TBitmap*>(w.View().Shown().Picture().Graphic());
    if (!bitmap) throw Exception("no picture");
    return *bitmap;
}

}  // namespace

// ---------------------------------------------------------------- the screen

TEST(HighDpiScreen, IsTheScreenTheHarnessSetAndSeenInPhysicalPixels) {
    const int dpi = Dpi();
    if (const char* want = std::getenv("KAPTOR_DPI")) {
        EXPECT_EQ(dpi, std::atoi(want));
    }
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (const char* geometry = std::getenv("KAPTOR_SCREEN")) {
        int w = 0, h = 0;
        ASSERT_EQ(std::sscanf(geometry, "%dx%d", &w, &h), 2) << geometry;
        EXPECT_EQ(sw, w);
        EXPECT_EQ(sh, h);
    }
    // The program declares itself DPI-aware, so nothing is scaled down for it.
    EXPECT_NE(GetAwarenessFromDpiAwarenessContext(GetThreadDpiAwarenessContext()), DPI_AWARENESS_UNAWARE);
    // GDI's screen is as large as the metrics say.
    WindowDC screen(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen.get(), HORZRES), sw);
    EXPECT_EQ(GetDeviceCaps(screen.get(), VERTRES), sh);
    EXPECT_EQ(GetDeviceCaps(screen.get(), LOGPIXELSX), dpi);
}

// ---------------------------------------------------------------- captures

TEST(HighDpiCapture, WholeScreenIsTheScreenPixelForPixel) {
    TMainWindow& w = MainWindow();
    Settled settled;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    // Near the bottom-right corner, beyond what a screen scaled down by 1.5 would reach.
    const COLORREF colour = RGB(20, 180, 60);
    ColourWindow corner(colour, WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, sw - 160, sh - 300, 160, 120);
    ASSERT_TRUE(corner.Shown());
    w.Execute(TCommandId::CaptureWholeScreen);
    Pump();
    EXPECT_EQ(w.View().NaturalSize().cx, sw);
    EXPECT_EQ(w.View().NaturalSize().cy, sh);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : " + std::to_string(sw) + " x " + std::to_string(sh));
    TBitmap& picture = PictureOf(w);
    ASSERT_EQ(picture.Width(), sw);
    ASSERT_EQ(picture.Height(), sh);
    EXPECT_EQ(picture.Canvas().Pixels(sw - 1, sh - 300), colour);
    EXPECT_EQ(picture.Canvas().Pixels(sw - 160, sh - 181), colour);
    // Everywhere outside our own window (which now shows the picture) it is what the screen shows.
    RECT own;
    GetWindowRect(w.Handle(), &own);
    WindowDC screen(nullptr);
    int compared = 0, differing = 0;
    for (int y = 3; y < sh; y += 41) {
        for (int x = 5; x < sw; x += 37) {
            if (PtInRect(&own, POINT{x, y})) continue;
            ++compared;
            if (picture.Canvas().Pixels(x, y) != GetPixel(screen.get(), x, y)) ++differing;
        }
    }
    EXPECT_GT(compared, (sw / 37) * (sh / 41) / 3);  // most of the screen is not ours
    EXPECT_EQ(differing, 0) << "of " << compared << " points";
}

// The selector is driven by posted mouse messages: its coordinates are screen pixels, and the
// pixel where the button goes up is inside (one past the screen's edge counts as the edge).
void CALLBACK DragOnSelector(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND selector = FindWindowA(RegionSelectorClass, nullptr);
    if (!selector || !IsWindowVisible(selector)) return;
    KillTimer(nullptr, timer);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    PostMessageA(selector, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(sw - 160, sh - 300));
    PostMessageA(selector, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(sw - 80, sh - 240));
    PostMessageA(selector, WM_LBUTTONUP, 0, MAKELPARAM(sw, sh - 181));
}

TEST(HighDpiCapture, RegionIsInScreenPixels) {
    TMainWindow& w = MainWindow();
    Settled settled;
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    const COLORREF colour = RGB(20, 60, 180);
    ColourWindow corner(colour, WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, sw - 160, sh - 300, 160, 120);
    Pump();
    SetTimer(nullptr, 0, 100, DragOnSelector);
    w.Execute(TCommandId::CaptureRegion);
    Pump();
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : 160 x 120");
    TBitmap& picture = PictureOf(w);
    ASSERT_EQ(picture.Width(), 160);
    ASSERT_EQ(picture.Height(), 120);
    for (POINT p : {POINT{0, 0}, POINT{159, 0}, POINT{0, 119}, POINT{159, 119}, POINT{80, 60}})
        EXPECT_EQ(picture.Canvas().Pixels(p.x, p.y), colour) << p.x << "," << p.y;
}

TEST(HighDpiCapture, ActiveWindowIsItsPhysicalWindowSize) {
    TMainWindow& w = MainWindow();
    Settled settled;
    const COLORREF colour = RGB(200, 40, 150);
    // On 1920 x 1080: 1300 x 760, more than a screen scaled down by 1.5 could show.
    const int width = GetSystemMetrics(SM_CXSCREEN) * 2 / 3 + 20, height = GetSystemMetrics(SM_CYSCREEN) * 2 / 3 + 40;
    ColourWindow target(colour, WS_OVERLAPPEDWINDOW, 0, 100, 120, width, height);
    ASSERT_EQ(GetForegroundWindow(), target.Handle());
    ASSERT_TRUE(target.Shown());
    RECT r;
    GetWindowRect(target.Handle(), &r);
    ASSERT_EQ(r.right - r.left, width);
    ASSERT_EQ(r.bottom - r.top, height);
    w.Execute(TCommandId::CaptureActiveWindow);
    Pump();
    EXPECT_EQ(w.View().NaturalSize().cx, width);
    EXPECT_EQ(w.View().NaturalSize().cy, height);
    EXPECT_EQ(Panel(w, 0), "ｻｲｽﾞ : " + std::to_string(width) + " x " + std::to_string(height));
    TBitmap& picture = PictureOf(w);
    ASSERT_EQ(picture.Width(), width);
    // The client area's far corner is in the picture where it lies in the window.
    RECT client;
    GetClientRect(target.Handle(), &client);
    POINT corner{client.right - 2, client.bottom - 2};
    ClientToScreen(target.Handle(), &corner);
    EXPECT_EQ(picture.Canvas().Pixels(corner.x - r.left, corner.y - r.top), colour);
}

TEST(HighDpiCapture, CursorIsDrawnAtTheSizeTheScreenShowsIt) {
    TMainWindow& w = MainWindow();
    Settled settled;
    Settings.ShowCursor = true;
    const int sh = GetSystemMetrics(SM_CYSCREEN);
    // A white field under a known cursor (the arrow): what the overlay adds is the cursor.
    // It lies beside the program's window, not on it: under Wine the program's window, once
    // brought to the front, is drawn over a top-most window of ours too, and a capture must
    // not find it in the field.
    const RECT fieldRect{4, sh / 2 - 100, 204, sh / 2 + 100};
    RECT mainRect, overlap;
    GetWindowRect(w.Handle(), &mainRect);
    ASSERT_FALSE(IntersectRect(&overlap, &fieldRect, &mainRect)) << "no room for the field beside the window";
    ColourWindow field(RGB(255, 255, 255), WS_POPUP, WS_EX_TOPMOST | WS_EX_TOOLWINDOW, fieldRect.left, fieldRect.top,
                       200, 200);
    const POINT at{fieldRect.left + 50, fieldRect.top + 50};
    const HCURSOR arrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    ASSERT_TRUE(PlacePointer(arrow, at.x, at.y)) << "the pointer did not stay where it was put";
    ASSERT_TRUE(field.Shown()) << "the screen under the pointer is not only our white field";
    HICON shown = GetCursor();
    ASSERT_NE(shown, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(shown, &info));
    BITMAP mask{};
    GetObjectA(info.hbmMask, sizeof mask, &mask);
    const int cursorW = mask.bmWidth, cursorH = info.hbmColor ? mask.bmHeight : mask.bmHeight / 2;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_GE(cursorW, Scaled(32) * 3 / 4) << "the system cursor is not scaled with the screen";
    RecordProperty("cursor_width", cursorW);

    // Taken again if the display moved the pointer meanwhile: the overlay draws the cursor
    // where the pointer is, and the scan below must start there.
    for (int attempt = 0; attempt < 3; ++attempt) {
        w.Execute(TCommandId::CaptureWholeScreen);
        if (PointerAt(at.x, at.y)) break;
        PlacePointer(arrow, at.x, at.y);
    }
    ASSERT_TRUE(PointerAt(at.x, at.y)) << "the pointer did not stay where it was put";
    const POINT p = at;
    TBitmap& picture = PictureOf(w);
    // Non-white pixels of the overlay: none outside the cursor's own square.
    int right = -1, bottom = -1;
    for (int y = p.y; y < p.y + 150; ++y)
        for (int x = p.x; x < p.x + 150; ++x)
            if (picture.Canvas().Pixels(x, y) != RGB(255, 255, 255)) {
                right = std::max(right, x - static_cast<int>(p.x));
                bottom = std::max(bottom, y - static_cast<int>(p.y));
            }
    EXPECT_GE(right, 0) << "no cursor drawn";
    EXPECT_LT(right, cursorW);
    EXPECT_LT(bottom, cursorH);
}

// ---------------------------------------------------------------- forms

namespace {

HFONT FontOf(HWND wnd) { return reinterpret_cast<HFONT>(SendMessageA(wnd, WM_GETFONT, 0, 0)); }

int FontHeight(HWND wnd) {
    LOGFONTA lf{};
    HFONT font = FontOf(wnd);
    if (!font || !GetObjectA(font, sizeof lf, &lf)) return 0;
    return std::abs(static_cast<int>(lf.lfHeight));
}

SIZE TextExtent(HWND wnd, const std::string& text) {
    WindowDC dc(wnd);
    ScopedSelect font(dc.get(), FontOf(wnd));
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

std::string WindowText(HWND wnd) {
    char text[512] = {};
    GetWindowTextA(wnd, text, sizeof text);
    std::string s = text;
    // An accelerator's ampersand is not drawn.
    if (auto at = s.find('&'); at != std::string::npos) s.erase(at, 1);
    return s;
}

// Every shown control lies inside its parent's client area, its caption fits it, and its
// font is the form's font scaled with the screen.
void CheckControls(TWinControl& parent, const std::string& form) {
    RECT area;
    GetClientRect(parent.Handle(), &area);
    MapWindowPoints(parent.Handle(), nullptr, reinterpret_cast<POINT*>(&area), 2);
    for (TWinControl* c : parent.Controls()) {
        // The form itself need not be shown: its controls' own visibility counts.
        if (!c->HandleAllocated() || !c->Visible()) continue;
        const std::string name = form + "." + (c->Name.empty() ? std::string("?") : c->Name);
        RECT r;
        GetWindowRect(c->Handle(), &r);
        EXPECT_TRUE(r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom)
            << name << " (" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ") outside ("
            << area.left << "," << area.top << ")-(" << area.right << "," << area.bottom << ")";
        const std::string text = WindowText(c->Handle());
        const bool captioned = dynamic_cast<TLabel*>(c) || dynamic_cast<TButton*>(c) || dynamic_cast<TCheckBox*>(c);
        if (captioned && !text.empty()) {
            const SIZE extent = TextExtent(c->Handle(), text);
            int room = r.right - r.left;
            if (dynamic_cast<TCheckBox*>(c)) room -= GetSystemMetrics(SM_CXMENUCHECK);
            if (dynamic_cast<TButton*>(c)) room -= 4;
            EXPECT_LE(extent.cx, room) << name << " cuts off \"" << text << "\"";
            EXPECT_LE(extent.cy, r.bottom - r.top) << name << " cuts off \"" << text << "\" at the bottom";
        }
        if (c->ParentFont && FontOf(c->Handle())) {
            EXPECT_EQ(FontHeight(c->Handle()), Scaled(12)) << name;
        }
        if (auto* spin = dynamic_cast<TSpinEdit*>(c)) {
            // Its arrows scaled too, down the whole right side of the box.
            RECT box, arrows;
            GetClientRect(c->Handle(), &box);
            GetWindowRect(spin->UpDownHandle(), &arrows);
            MapWindowPoints(nullptr, c->Handle(), reinterpret_cast<POINT*>(&arrows), 2);
            EXPECT_GE(arrows.right - arrows.left, Scaled(16)) << name;
            EXPECT_TRUE(arrows.right == box.right && arrows.top == 0 && arrows.bottom == box.bottom) << name;
        }
        CheckControls(*c, form);
    }
}

void CheckForm(TForm& form, const std::string& name, int designWidth, int designHeight) {
    SCOPED_TRACE(name);
    CheckControls(form, name);  // first: the window is made, as for a dialog first shown
    EXPECT_EQ(form.ClientWidth(), Scaled(designWidth));
    EXPECT_EQ(form.ClientHeight(), Scaled(designHeight));
}

template <class T>
std::unique_ptr<T> Made() {
    TestApp();
    std::unique_ptr<T> form(new T(nullptr));
    form->AfterConstruction();
    return form;
}

}  // namespace

TEST(HighDpiForms, DialogsAreTheirDesignScaledWithNothingCutOff) {
    MainWindow();  // first: it is the main form
    if (!TheOptionsDialog) TestApp().CreateForm<TOptionsDialog>();
    if (!AboutBox) TestApp().CreateForm<TAboutBox>();
    if (!WindowList) TestApp().CreateForm<TWindowListDialog>();
    CheckForm(*TheOptionsDialog, "TOptionDlg", 305, 441);
    CheckForm(*AboutBox, "TAboutBox", 247, 115);
    CheckForm(*WindowList, "TApDlg", 479, 255);
    // At 144 dpi one and a half times, halves rounded up.
    if (Dpi() == 144) {
        EXPECT_EQ(TheOptionsDialog->ClientWidth(), 458);
        EXPECT_EQ(TheOptionsDialog->ClientHeight(), 662);
        EXPECT_EQ(AboutBox->ClientWidth(), 371);
        EXPECT_EQ(AboutBox->ClientHeight(), 173);
    }
    // The About box's bold title and version keep their own sizes, scaled.
    EXPECT_EQ(FontHeight(AboutBox->ProductName->Handle()), Scaled(19));
    EXPECT_EQ(FontHeight(AboutBox->Version->Handle()), Scaled(12));
}

TEST(HighDpiForms, AboutIconFillsItsScaledImageAndKeepsItsTransparency) {
    MainWindow();
    if (!AboutBox) TestApp().CreateForm<TAboutBox>();
    AboutBox->Show();
    SetWindowPos(AboutBox->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    AboutBox->Repaint();
    Pump(5);
    TImage& image = *AboutBox->Icon;
    ASSERT_EQ(image.Width(), Scaled(32));
    RECT r;
    GetWindowRect(image.Handle(), &r);
    WindowDC screen(nullptr);
    const int n = Scaled(32);
    // The icon's red corner marks reach the control's far corner, not only its first 32 pixels.
    int redFar = 0;
    for (int y = n - n / 8; y < n; ++y)
        for (int x = n - n / 8; x < n; ++x) {
            const COLORREF c = GetPixel(screen.get(), r.left + x, r.top + y);
            if (GetRValue(c) > 160 && GetGValue(c) < 100 && GetBValue(c) < 100) ++redFar;
        }
    EXPECT_GT(redFar, 0);
    // Between the corner marks the panel shows through, not a black square.
    const COLORREF panel = GetPixel(screen.get(), r.left - 2, r.top + n / 2);
    EXPECT_EQ(GetPixel(screen.get(), r.left + n / 2, r.top + 1), panel);
    AboutBox->Hide();
}

TEST(HighDpiForms, HelpViewerAndGifFormsAreScaled) {
    auto help = Made<THelpViewer>();
    CheckForm(*help, "THelpViewer", 680, 400);
    // The progress form is designed by its outer size: what lies inside the system's frame
    // is scaled, and the gauge fills it.
    auto progress = Made<TProgressForm>();
    RECT outer;
    GetWindowRect(progress->Handle(), &outer);
    const int frameWidth = outer.right - outer.left - progress->ClientWidth();
    const int frameHeight = outer.bottom - outer.top - progress->ClientHeight();
    EXPECT_EQ(progress->ClientWidth(), Scaled(275 - frameWidth));
    EXPECT_EQ(progress->ClientHeight(), Scaled(157 - frameHeight));
    CheckControls(*progress, "TProgressForm");
    EXPECT_EQ(progress->Gauge->Width(), progress->ClientWidth());
}

TEST(HighDpiForms, MainWindowBarsAndGlyphsAreScaled) {
    TMainWindow& w = MainWindow();
    EXPECT_EQ(w.ClientWidth(), Scaled(594));
    EXPECT_EQ(w.ClientHeight(), Scaled(348));
    Settings.ShowBar = true;
    w.ShowBars();
    w.Realign();
    Pump();
    // The bars as the user's tools see them: the band holds the tool bar and the zoom band.
    HWND band = FindWindowExA(w.Handle(), nullptr, "ReBarWindow32", nullptr);
    HWND toolBar = FindWindowExA(band, nullptr, "ToolbarWindow32", nullptr);
    HWND zoomBand = nullptr;
    for (HWND c = GetWindow(band, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (c != toolBar) zoomBand = c;
    ASSERT_NE(toolBar, nullptr);
    ASSERT_NE(TWinControl::FromHandle(zoomBand), nullptr);
    CheckControls(*TWinControl::FromHandle(zoomBand), "TKaptor32");
    // Tool-bar glyphs: the image list the bar draws from is 24-pixel glyphs scaled.
    auto images = reinterpret_cast<HIMAGELIST>(SendMessageA(toolBar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    int gw = 0, gh = 0;
    ImageList_GetIconSize(images, &gw, &gh);
    EXPECT_EQ(gw, Scaled(24));
    EXPECT_EQ(gh, Scaled(24));
    EXPECT_EQ(ImageList_GetImageCount(images), 12);
    const LRESULT button = SendMessageA(toolBar, TB_GETBUTTONSIZE, 0, 0);
    EXPECT_GE(LOWORD(button), Scaled(52));
    EXPECT_GE(HIWORD(button), Scaled(40));
    // The range buttons' glyphs grow with their buttons (the range button comes first).
    auto glyph = reinterpret_cast<HICON>(SendMessageA(GetWindow(zoomBand, GW_CHILD), BM_GETIMAGE, IMAGE_ICON, 0));
    ASSERT_NE(glyph, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(glyph, &info));
    BITMAP bm{};
    GetObjectA(info.hbmMask, sizeof bm, &bm);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    UniqueBitmap designed(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_RANGE),
                                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    ASSERT_TRUE(designed);
    BITMAP source{};
    GetObjectA(designed.get(), sizeof source, &source);
    EXPECT_EQ(bm.bmWidth, Scaled(source.bmWidth));
    // Status panels keep their share of the bar.
    HWND status = FindWindowExA(w.Handle(), nullptr, STATUSCLASSNAMEA, nullptr);
    const int parts = static_cast<int>(SendMessageA(status, SB_GETPARTS, 0, 0));
    ASSERT_EQ(parts, 4);
    int edges[4] = {};
    SendMessageA(status, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], Scaled(120));
    // The markup band, shown in markup mode, holds its buttons and width box whole.
    TBitmap picture(40, 30);
    w.View().Install(picture);
    w.Execute(TCommandId::Markup);
    Pump();
    int bands = 0;
    RECT square{};  // made when markup mode first starts, scaled as the window's own controls
    for (TWinControl* c : w.Controls())
        if (HWND b = c->Visible() ? FindWindowExA(c->Handle(), nullptr, nullptr, "□") : nullptr)
            CheckControls(*c, "TKaptor32"), ++bands, GetWindowRect(b, &square);
    EXPECT_EQ(bands, 1);
    EXPECT_EQ(square.right - square.left, Scaled(25));
    w.Execute(TCommandId::Markup);
}

// ---------------------------------------------------------------- the page form

TEST(HighDpiPage, PageFormCountsTheScreensPixelsPerInchAndCoversTheScreen) {
    MainWindow();
    TShownPrintPage page;
    Pump();
    // A picture of n screen pixels prints n / PixelsPerInch inches wide: its size on the screen.
    EXPECT_EQ(page->PixelsPerInch, Dpi());
    // Maximised without a border, the page is the whole screen in physical pixels.
    EXPECT_EQ(page->ClientWidth(), GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(page->ClientHeight(), GetSystemMetrics(SM_CYSCREEN));
    auto image = page->GetFormImage();
    EXPECT_EQ(image->Width(), GetSystemMetrics(SM_CXSCREEN));
}
