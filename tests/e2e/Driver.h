// Operating Kaptor32.exe from another process: starting it in a folder of its own, finding
// its windows, pressing keys, clicking, reading window texts and status panels, reading
// the screen and the clipboard.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Waits until pred holds, pumping our own messages; false on time-out.
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 10000);
void Sleep(int ms);
// The performance counter in milliseconds, the same in every process, for tests that time a
// wait: the tick count is the wine server's, which a loaded machine updates late.
long long Milliseconds();

// A fresh copy of the program in its own temporary folder, so its INI file is its own.
class Program {
public:
    // ini: the text of Kaptor.INI to put beside the exe, or empty for none. output: a file
    // that gets the program's standard output and error, or empty for ours.
    explicit Program(const std::string& ini = "", const std::string& args = "", const std::string& output = "");
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string IniPath() const { return dir_ + "Kaptor.INI"; }
    std::string ReadIni() const;
    HWND MainWindow() const { return main_; }
    bool Running() const;
    // Waits for the main window to exist (visible or not) and returns it.
    HWND WaitMainWindow(bool visible = true, int timeoutMs = 15000);
    // Closes the program the way a user would; kills it if it does not go.
    void Close();
    DWORD Pid() const { return pi_.dwProcessId; }
    // The exit status once the program has ended (our windows kept alive meanwhile);
    // STILL_ACTIVE when it has not within the time.
    DWORD ExitCode(int timeoutMs = 30000) const;

private:
    std::string dir_;
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

// Top-level windows of a process with a given class (empty: any) and visible state.
std::vector<HWND> WindowsOf(DWORD pid, const std::string& className = "", bool visibleOnly = true);
HWND FindChild(HWND parent, const std::string& className, int index = 0);
std::string WindowText(HWND wnd);
std::string ClassOf(HWND wnd);
RECT ClientRectOnScreen(HWND wnd);

// Text of a status bar panel of another process.
std::string StatusPanel(HWND statusBar, int index);
// Presses a key (with modifiers) for the foreground window.
void PressKey(WORD vk, bool ctrl = false, bool shift = false, bool alt = false);
void TypeText(const std::string& ascii);
void Click(int screenX, int screenY, bool right = false, bool dbl = false);
void MoveMouse(int screenX, int screenY);
// Left button pressed at the first point, moved in steps to the second, released there
// after whileHeld ran.
void Drag(int x1, int y1, int x2, int y2, const std::function<void()>& whileHeld = {});
bool Activate(HWND wnd);

// Screen pixels: one pixel, or a rectangle as 0x00RRGGBB values row by row.
COLORREF ScreenPixel(int x, int y);
std::vector<std::uint32_t> ScreenPixels(const RECT& r);
// With KAPTOR_E2E_SHOTS naming a folder, saves the screen there as NAME.bmp.
void SaveShot(const std::string& name);
// Writes w x h pixels (0x00RRGGBB, rows top to bottom) as a 32-bit bitmap file.
void WriteBmpFile(const std::string& path, int w, int h, const std::vector<std::uint32_t>& px);
// The same, as NAME in the temporary folder, each pixel from pixel(x, y); returns its path.
std::string WriteTempBmp(const std::string& name, int w, int h, const std::function<std::uint32_t(int, int)>& pixel);

// A window of ours with a known picture: four colour quadrants and a one-pixel grid.
class TestPattern {
public:
    TestPattern(const std::string& title, int x, int y, int w, int h);
    ~TestPattern();
    HWND Handle() const { return wnd_; }
    // Raises the window and waits until the screen shows the whole pattern (nothing else
    // over it, painted); false on time-out.
    bool Shown(int timeoutMs = 10000) const;
    // The colour the pattern has at client point (x, y).
    static std::uint32_t ColorAt(int x, int y, int w, int h);

private:
    HWND wnd_ = nullptr;
};

// Reads a message box of the program: its text, then presses the given button id.
std::string AnswerMessageBox(DWORD pid, int button = IDOK, int timeoutMs = 10000);

// ---- pictures in files and on the clipboard (pixels as 0x00RRGGBB, rows top to bottom)

struct Pixels {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Data;
    std::uint32_t At(int x, int y) const { return Data[static_cast<std::size_t>(y) * Width + x]; }
};

// Waits for a dialog of the process with the given title.
HWND WaitDialog(DWORD pid, const std::string& title, int timeoutMs = 10000);
// Fills a save dialog as a user would: picks the file type entry (1-based), types the name,
// presses OK; true once the dialog has gone.
bool AnswerSaveDialog(HWND dialog, const std::string& fileName, int typeEntry);

// An uncompressed 24- or 32-bit bitmap file; false if it is not one.
bool ReadBmpFile(const std::string& path, Pixels& out);
// Any picture file the system's image decoders read (JPEG among them).
bool DecodePictureFile(const std::string& path, Pixels& out);
// Why the last DecodePictureFile failed: the step, GDI+'s status and the file's size then.
const std::string& DecodeFailure();
// The first bytes of a file (fewer if it is shorter).
std::vector<std::uint8_t> FileStart(const std::string& path, std::size_t count);

// The clipboard, owned by a hidden window of ours while we write it.
bool EmptyClipboardNow();
bool PutClipboardText(const std::string& text);
// Puts a device-dependent bitmap of the pixels on the clipboard as CF_BITMAP.
bool PutClipboardBitmap(const Pixels& picture);
bool ClipboardHas(UINT format);
// Reads CF_BITMAP; false if there is none.
bool ReadClipboardBitmap(Pixels& out);
// The bytes of a memory format (a registered one such as "PNG"); false if there are none.
bool ReadClipboardBytes(UINT format, std::vector<std::uint8_t>& out);

// ---- the main window's picture: capture, range mode, two clicks

// The view's picture control and the status bar of the main window.
HWND PictureControl(HWND main);
// Panel 0's text for a picture of that size.
std::string SizeText(int w, int h);
// A list box's lines in another process, fetched as UTF-16 across the process boundary and
// turned back into the program's code page.
std::vector<std::string> ListBoxLines(HWND list);
HWND MainStatusBar(HWND main);
// The picture as Ctrl+C copies it (the whole picture when no range is fixed).
bool CopyPicture(HWND main, Pixels& out);
// F5 with the main window in front; true once panel 0 shows the screen's size and the
// window is back.
bool CaptureWholeScreen(HWND main);
// The range tool button (the first push button on the bars); true once it stays down.
bool EnterRangeMode(HWND main);
// Two clicks on the picture at 100 % (view not scrolled), with a move to the second corner
// between them; true once panel 2 shows the range's size.
bool MarkRange(HWND main, int x1, int y1, int x2, int y2);
// The frame of the range (x1, y1)-(x2, y2) is on the screen in the colour (0x00RRGGBB),
// checked at its four corners; waits for it a little.
bool FrameShown(HWND main, const RECT& range, std::uint32_t color);

}  // namespace e2e
