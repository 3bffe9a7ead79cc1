// Whole-screen capture at its limits: no memory left for the screen's bitmap, and where the
// cursor overlay puts the cursor (its image's corner at the pointer, bounds inclusive).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TestApp.h"
#include "app/MainWindow.h"
#include "settings/Settings.h"
#include "framework/win/Bitmap.h"
#include "framework/win/Handles.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

// Reserves address space in blocks of minBytes and more until no such block is left, so
// nothing of that size can be allocated until the guard ends. (Asking the system for blocks
// finds the space Wine keeps for its own allocator too, which a walk over the free regions
// would miss.) Some of the last blocks are then hollowed out to holes just smaller than
// minBytes: the display connection and the heap must still find room for their own
// buffers, or the X library ends the process.
class AddressSpaceFull {
public:
    explicit AddressSpaceFull(SIZE_T minBytes) {
        constexpr SIZE_T granule = 64 * 1024;
        minBytes = (minBytes + granule - 1) / granule * granule;
        std::vector<void*> smallest;
        for (SIZE_T size = std::max<SIZE_T>(minBytes, 256u << 20);; size = std::max(minBytes, size / 2)) {
            while (void* b = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
                (size == minBytes ? smallest : blocks_).push_back(b);
            if (size == minBytes) break;
        }
        for (std::size_t i = 0; i < smallest.size(); ++i) {
            auto* b = static_cast<char*>(smallest[i]);
            if (i >= smallest.size() - std::min<std::size_t>(smallest.size(), 32) && VirtualFree(b, 0, MEM_RELEASE)) {
                // Both ends stay reserved, so the hole cannot join a free neighbour.
                for (char* end : {b, b + minBytes - granule})
                    if (void* e = VirtualAlloc(end, granule, MEM_RESERVE, PAGE_NOACCESS)) blocks_.push_back(e);
            } else {
                blocks_.push_back(b);
            }
        }
    }
    ~AddressSpaceFull() {
        for (void* b : blocks_) VirtualFree(b, 0, MEM_RELEASE);
    }
    AddressSpaceFull(const AddressSpaceFull&) = delete;
    AddressSpaceFull& operator=(const AddressSpaceFull&) = delete;
    std::size_t Blocks() const { return blocks_.size(); }

private:
    std::vector<void*> blocks_;
};

bool CanReserve(SIZE_T bytes) {
    void* b = VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS);
    if (b) VirtualFree(b, 0, MEM_RELEASE);
    return b != nullptr;
}

bool CaptureButtonsEnabled(TMainWindow& m) { return m.Enabled(TCommandId::CaptureWholeScreen, TPlace::ToolBar) && m.Enabled(TCommandId::CaptureChosenWindow, TPlace::ToolBar); }

// F5 as the user presses it: through the message loop, whose shortcut handling runs the
// capture and whose error boundary reports what it raises.
void PressF5(TMainWindow& m) {
    SetForegroundWindow(m.Handle());
    PostMessageA(m.Handle(), WM_KEYDOWN, VK_F5, 1);
    Application->ProcessMessages();
}

struct Restore {
    TSettings saved = Settings;
    ~Restore() {
        Settings = saved;
        TMainWindow& m = MainWindow();
        ShowWindow(Application->Handle(), SW_SHOW);
        m.Show();
        Pump();
    }
};

}  // namespace

// Run by the test below in a process of its own (hence disabled here): with the address space
// full, a process that has already run many tests can find no room for the display
// connection's buffers, and the X library then ends the whole process.
TEST(CaptureLimitsOwnProcess, DISABLED_NoMemoryForTheScreenBitmapShowsTheErrorAndTheProgramGoesOn) {
    TMainWindow& m = MainWindow();
    Restore restore;
    Settings.HideForm = true;  // the harder case: the window is hidden when the copy fails
    Settings.Wait = 0;
    Settings.ShowCursor = false;
    TakeMessages();
    const SIZE_T screenBytes = static_cast<SIZE_T>(Screen->Width()) * Screen->Height() * 4;
    const long gdi = OwnedGdiHandles();
    {
        AddressSpaceFull full(screenBytes);
        ASSERT_GT(full.Blocks(), 0u);
        ASSERT_FALSE(CanReserve(screenBytes));
        PressF5(m);
    }
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{"メモリが不足しています"});
    ASSERT_TRUE(CanReserve(screenBytes));
    EXPECT_TRUE(CaptureButtonsEnabled(m));
    EXPECT_TRUE(m.Enabled(TCommandId::CaptureActiveWindow, TPlace::ToolBar));
    // The user can see the program again and carry on.
    EXPECT_TRUE(IsWindowVisible(m.Handle()));
    EXPECT_TRUE(IsWindowVisible(Application->Handle()));
    EXPECT_EQ(OwnedGdiHandles(), gdi);

    Settings.HideForm = false;
    PressF5(m);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(m.View().NaturalSize().cx, Screen->Width());
    EXPECT_EQ(m.View().Shown().Picture().Width(), Screen->Width());
    EXPECT_EQ(m.View().CleanCopy().Picture().Height(), Screen->Height());
    EXPECT_EQ(m.StatusText(0),
              "ｻｲｽﾞ : " + IntToStr(Screen->Width()) + " x " + IntToStr(Screen->Height()));
    EXPECT_TRUE(CaptureButtonsEnabled(m));
}

TEST(CaptureLimits, NoMemoryForTheScreenBitmapInAProcessOfItsOwn) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "a 64-bit process's address space is too large to fill";
    char exe[MAX_PATH] = {}, temp[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string log = std::string(temp) + "capture-limits-" + std::to_string(GetCurrentProcessId()) + ".log";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    std::string command = std::string("\"") + exe +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=CaptureLimitsOwnProcess.*";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi{};
    // The child must not write its report over ours: a crash of this run would then leave a
    // report of the child's one passing test behind.
    SetEnvironmentVariableA("GTEST_OUTPUT", nullptr);
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out);
    ASSERT_TRUE(started);
    const bool ended = WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(pi.hProcess, 99);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::ifstream in(log, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    DeleteFileA(log.c_str());
    EXPECT_TRUE(ended);
    EXPECT_EQ(code, 0u) << text;
    EXPECT_NE(text.find("[  PASSED  ] 1 test."), std::string::npos) << text;
}

namespace {

constexpr COLORREF White = RGB(255, 255, 255);

// A cursor of our own: a solid black 32 x 32 square with its hot spot in the middle, so a
// hot-spot subtraction would show as a shift of 16 pixels.
class SquareCursor {
public:
    SquareCursor() {
        const int w = GetSystemMetrics(SM_CXCURSOR), h = GetSystemMetrics(SM_CYCURSOR);
        std::vector<std::uint8_t> andMask(static_cast<std::size_t>(w / 8) * h, 0x00);  // opaque
        std::vector<std::uint8_t> xorMask(andMask.size(), 0x00);                          // black
        cursor_.reset(CreateCursor(GetModuleHandleA(nullptr), w / 2, h / 2, w, h, andMask.data(), xorMask.data()));
    }
    HCURSOR Handle() const { return cursor_.get(); }

private:
    UniqueIcon cursor_;  // a made cursor is freed as an icon
};

// A white picture of the given size as the current one.
void InstallWhite(TMainWindow& m, int w, int h) {
    TBitmap b(w, h);
    b.Canvas().Brush.Color = clWhite;
    b.Canvas().FillRect(RECT{0, 0, w, h});
    m.View().Install(b);
}

// The overlay with the pointer at (x, y); tried again if the pointer moved meanwhile, which
// is the display's doing, not the overlay's.
template <class Overlay>
bool OverlayAt(TMainWindow& m, HCURSOR cursor, int x, int y, Overlay overlay) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        InstallWhite(m, 400, 300);
        if (!PlacePointer(cursor, x, y)) continue;
        overlay();
        if (PointerAt(x, y)) return true;
    }
    return false;
}

// The bounding box of every pixel of the picture that is no longer white; empty if none.
RECT Touched(TMainWindow& m) {
    TBitmap& b = m.View().Shown().Picture().Bitmap();
    RECT r{b.Width(), b.Height(), 0, 0};
    for (int y = 0; y < b.Height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(b.ScanLine(y));
        for (int x = 0; x < b.Width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0xFFFFFF) {
                r.left = std::min<LONG>(r.left, x);
                r.top = std::min<LONG>(r.top, y);
                r.right = std::max<LONG>(r.right, x + 1);
                r.bottom = std::max<LONG>(r.bottom, y + 1);
            }
    }
    if (r.right <= r.left) r = RECT{0, 0, 0, 0};
    return r;
}

::testing::AssertionResult DrawnAt(TMainWindow& m, int x, int y) {
    const RECT r = Touched(m);
    const int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
    if (r.left == x && r.top == y && r.right == x + w && r.bottom == y + h) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cursor drawn over (" << r.left << "," << r.top << ")-(" << r.right << ","
                                         << r.bottom << "), expected its corner at (" << x << "," << y << ")";
}

bool NothingDrawn(TMainWindow& m) {
    const RECT r = Touched(m);
    return r.right == r.left;
}

}  // namespace

TEST(CursorOverlay, WholeScreenPutsTheImageCornerAtThePointer) {
    TMainWindow& m = MainWindow();
    SquareCursor cursor;
    ASSERT_NE(cursor.Handle(), nullptr);
    ASSERT_TRUE(OverlayAt(m, cursor.Handle(), 50, 60, [&] { DrawPointerCursor(m.View().Shown().Canvas()); }));
    EXPECT_TRUE(DrawnAt(m, 50, 60));  // not at (34, 44): the hot spot is not subtracted
    // The corner may lie anywhere; only what falls inside the picture is drawn.
    ASSERT_TRUE(OverlayAt(m, cursor.Handle(), 390, 295, [&] { DrawPointerCursor(m.View().Shown().Canvas()); }));
    const RECT r = Touched(m);
    EXPECT_EQ(r.left, 390);
    EXPECT_EQ(r.top, 295);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 300);
}

TEST(CursorOverlay, CaptureRectangleCountsItsBoundsOnAllFourSides) {
    TMainWindow& m = MainWindow();
    SquareCursor cursor;
    ASSERT_NE(cursor.Handle(), nullptr);
    const RECT area{100, 80, 300, 200};
    struct Case {
        int x, y;
        bool drawn;
    };
    const Case cases[] = {
        {100, 80, true},   // top-left corner
        {300, 200, true},  // right and bottom themselves still count
        {300, 80, true},  {100, 200, true}, {99, 120, false}, {301, 120, false},
        {150, 79, false}, {150, 201, false}, {180, 130, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(OverlayAt(m, cursor.Handle(), c.x, c.y, [&] { DrawPointerCursor(m.View().Shown().Canvas(), &area); })) << c.x << "," << c.y;
        if (c.drawn)
            EXPECT_TRUE(DrawnAt(m, c.x - area.left, c.y - area.top)) << "pointer " << c.x << "," << c.y;
        else
            EXPECT_TRUE(NothingDrawn(m)) << "pointer " << c.x << "," << c.y;
    }
}

TEST(CursorOverlay, NoCursorDrawsNothingAndLeaksNothing) {
    TMainWindow& m = MainWindow();
    SquareCursor cursor;
    ASSERT_NE(cursor.Handle(), nullptr);
    InstallWhite(m, 200, 150);
    SetCursorPos(20, 20);
    Pump(1);
    SetCursor(nullptr);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    DrawPointerCursor(m.View().Shown().Canvas());
    EXPECT_TRUE(NothingDrawn(m));
    // Every overlay frees its copy of the cursor.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(PlacePointer(cursor.Handle(), 20, 20));
        DrawPointerCursor(m.View().Shown().Canvas());
    }
    EXPECT_TRUE(DrawnAt(m, 20, 20));
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
}
