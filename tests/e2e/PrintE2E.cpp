// Printing from outside through the real print dialog onto the PDF printer: the page is
// rendered with pdftoppm and measured. A framed range, the whole picture, a cancelled
// dialog, and a session without any printer.
#include <gtest/gtest.h>

#include <windows.h>

#include <winspool.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "Driver.h"
#include "tests/wine/PrintTestSupport.h"

using namespace e2e;

namespace {

constexpr int RenderDpi = 100;
const char* const NoPrinterText = "既定のﾌﾟﾘﾝﾀが選択されていません";

void Put16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(x & 0xFF);
    v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// A w x h 24-bit bitmap file: left half dark blue, right half dark green.
std::string HalvesFile(const std::string& name, int w, int h) {
    const int stride = (w * 3 + 3) & ~3;
    std::vector<std::uint8_t> v{'B', 'M'};
    Put32(v, 54 + stride * h);
    Put32(v, 0);
    Put32(v, 54);
    Put32(v, 40);
    Put32(v, w);
    Put32(v, h);
    Put16(v, 1);
    Put16(v, 24);
    for (int i = 0; i < 6; ++i) Put32(v, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x < w / 2) v.insert(v.end(), {160, 0, 0});
            else v.insert(v.end(), {0, 110, 0});
        }
        v.resize(v.size() + stride - w * 3, 0);
    }
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string path = std::string(base) + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(v.data()), v.size());
    return path;
}

bool PictureShown(HWND main, int w, int h) {
    return WaitFor([&] {
        RECT r{};
        GetClientRect(PictureControl(main), &r);
        return r.right == w && r.bottom == h;
    }, 8000);
}

HWND WaitDialog(DWORD pid) {
    HWND dialog = nullptr;
    WaitFor([&] {
        auto boxes = WindowsOf(pid, "#32770");
        dialog = boxes.empty() ? nullptr : boxes.front();
        return dialog != nullptr;
    }, 10000);
    return dialog;
}

// Ctrl+P in the main window, then the print dialog's OK or Cancel.
bool PrintThroughDialog(HWND main, DWORD pid, int button) {
    if (!Activate(main)) return false;
    PressKey('P', true);
    HWND dialog = WaitDialog(pid);
    if (!dialog) return false;
    Sleep(300);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    return WaitFor([&] { return !IsWindow(dialog); }, 8000);
}

::testing::AssertionResult PagePrinted(const std::set<std::string>& before, printtest::Page& page) {
    const std::string pdf = printtest::WaitNewPdf(before, 30000, [] {});
    if (pdf.empty()) return ::testing::AssertionFailure() << "no new PDF in " << printtest::PdfDir();
    std::string error;
    if (!printtest::RenderPdf(pdf, RenderDpi, page, &error)) return ::testing::AssertionFailure() << error;
    return ::testing::AssertionSuccess();
}

// The picture of w x h screen pixels (96 per inch) at the page's top-left corner; the queue's
// printable area is the whole sheet.
void ExpectPictureAtTopLeft(const printtest::Page& page, int w, int h) {
    EXPECT_EQ(page.Pages, 1);
    const RECT ink = printtest::InkBox(page);
    ASSERT_FALSE(IsRectEmpty(&ink)) << "the page is blank";
    EXPECT_LE(ink.left, 1);
    EXPECT_LE(ink.top, 1);
    EXPECT_NEAR(ink.right - ink.left, w * RenderDpi / 96.0, 2);
    EXPECT_NEAR(ink.bottom - ink.top, h * RenderDpi / 96.0, 2);
    const int midY = (ink.top + ink.bottom) / 2;
    EXPECT_EQ(page.At(ink.left + 8, midY) & 0xFFFF00, 0u) << std::hex << page.At(ink.left + 8, midY);  // blue
    EXPECT_EQ(page.At(ink.right - 8, midY) & 0xFF00FF, 0u) << std::hex << page.At(ink.right - 8, midY);  // green
}

// Printers this session knows (winspool is not linked into the driver: loaded here).
int PrinterCount() {
    HMODULE spool = LoadLibraryA("winspool.drv");
    if (!spool) return -1;
    using Enum = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    auto enumPrinters = reinterpret_cast<Enum>(reinterpret_cast<void*>(GetProcAddress(spool, "EnumPrintersA")));
    DWORD needed = 0, count = 0;
    if (enumPrinters) {
        enumPrinters(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
        std::vector<BYTE> buffer(needed ? needed : 1);
        if (needed && !enumPrinters(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, buffer.data(), needed,
                                    &needed, &count))
            count = 0;
    }
    FreeLibrary(spool);
    return static_cast<int>(count);
}

// This test program, filtered, in a new Wine session whose CUPS client finds no scheduler.
// True when it passed there; output holds what it printed.
bool RunInSessionWithoutPrinters(const std::string& filter, std::string& output) {
    const std::string root = KAPTOR_SOURCE_DIR;
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string self = printtest::UnixPath(exe);
    const std::string dir = self.substr(0, self.rfind('/'));
    const std::string log = dir + "/noprinter-session.log", rc = dir + "/noprinter-session.rc";
    const std::string winLog = std::string(exe).substr(0, std::string(exe).rfind('\\')) + "\\noprinter-session.log";
    const std::string winRc = winLog.substr(0, winLog.size() - 4) + ".rc";
    DeleteFileA(winRc.c_str());
    const char* home = std::getenv("HOME");
    std::string command = "/bin/sh -c \"env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME='" +
                          std::string(home ? home : "/root") +
                          "' CUPS_SERVER=/nonexistent/kaptor-no-cups.sock KAPTOR_NO_PRINTER_SESSION=1 KAPTOR_WINEPREFIX='" +
                          dir + "/noprinter-prefix' bash '" + root + "/scripts/winrun' --timeout 300 -- wine '" + self +
                          "' --gtest_filter='" + filter + "' > '" + log + "' 2>&1; echo $? > '" + rc + ".tmp'; mv '" +
                          rc + ".tmp' '" + rc + "'\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        output = "cannot start /bin/sh";
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // A new prefix is made on the first run: allow for it.
    const bool finished = WaitFor([&] { return printtest::FileSize(winRc) >= 0; }, 400000);
    std::ifstream in(winLog);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!finished) return false;
    std::ifstream code(winRc);
    int status = -1;
    code >> status;
    return status == 0 && output.find("[  PASSED  ] 1 test") != std::string::npos;
}

}  // namespace

TEST(PrintE2E, FramedRangePrintsAtScreenSizeAndTheFrameComesBack) {
    const std::string file = HalvesFile("k10range.bmp", 400, 300);
    Program p("[Kaptor32]\r\nWait=0\r\n", "\"" + file + "\"");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(PictureShown(w, 400, 300));
    ASSERT_TRUE(EnterRangeMode(w));
    const RECT range{100, 50, 300, 150};
    ASSERT_TRUE(MarkRange(w, range.left, range.top, range.right, range.bottom));
    ASSERT_TRUE(FrameShown(w, range, 0xFF0000));

    const auto before = printtest::PdfFiles();
    ASSERT_TRUE(PrintThroughDialog(w, p.Pid(), IDOK));
    printtest::Page page;
    ASSERT_TRUE(PagePrinted(before, page));
    // 200 x 100 at 96 per inch: 2.08 x 1.04 inches.
    ExpectPictureAtTopLeft(page, 200, 100);

    EXPECT_TRUE(FrameShown(w, range, 0xFF0000));
    EXPECT_EQ(StatusPanel(MainStatusBar(w), 2), "範囲 : 200 x 100");
    EXPECT_TRUE(WindowsOf(p.Pid(), "TForm2", false).empty());
    EXPECT_TRUE(p.Running());
}

TEST(PrintE2E, CancelPrintsNothingThenTheWholePictureGoesOnThePage) {
    const std::string file = HalvesFile("k10whole.bmp", 300, 200);
    Program p("[Kaptor32]\r\nWait=0\r\n", "\"" + file + "\"");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(PictureShown(w, 300, 200));

    auto before = printtest::PdfFiles();
    ASSERT_TRUE(PrintThroughDialog(w, p.Pid(), IDCANCEL));
    EXPECT_TRUE(printtest::WaitNewPdf(before, 5000, [] {}).empty());
    EXPECT_TRUE(WindowsOf(p.Pid(), "TForm2", false).empty());

    ASSERT_TRUE(PrintThroughDialog(w, p.Pid(), IDOK));
    printtest::Page page;
    ASSERT_TRUE(PagePrinted(before, page));
    ExpectPictureAtTopLeft(page, 300, 200);
    EXPECT_TRUE(PictureShown(w, 300, 200));
}

// Wine reads the printers from CUPS once per session, in the session's first process, so
// "no printer at all" needs a session of its own: a private prefix beside this program and
// a CUPS client that finds no scheduler. The test runs itself there through the harness;
// the scheduler and every other session keep their printers.
TEST(PrintE2E, WithoutAnyPrinterBothDialogsReportItAndTheProgramGoesOn) {
    if (!std::getenv("KAPTOR_NO_PRINTER_SESSION")) {
        std::string output;
        ASSERT_TRUE(RunInSessionWithoutPrinters("PrintE2E.WithoutAnyPrinter*", output)) << output;
        return;
    }
    ASSERT_EQ(PrinterCount(), 0) << "this session was meant to have no printer";
    const std::string file = HalvesFile("k10none.bmp", 120, 90);
    Program p("[Kaptor32]\r\nWait=0\r\n", "\"" + file + "\"");
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(PictureShown(w, 120, 90));

    ASSERT_TRUE(Activate(w));
    PressKey('P', true);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), NoPrinterText);
    EXPECT_TRUE(WaitFor([&] { return WindowsOf(p.Pid(), "TForm2", false).empty(); }, 3000));

    // File menu, printer setup.
    ASSERT_TRUE(Activate(w));
    PressKey('F', false, false, true);
    Sleep(300);
    PressKey('U');
    EXPECT_EQ(AnswerMessageBox(p.Pid()), NoPrinterText);

    // Still working: the print command asks again and says the same.
    ASSERT_TRUE(Activate(w));
    PressKey('P', true);
    EXPECT_EQ(AnswerMessageBox(p.Pid()), NoPrinterText);
    EXPECT_TRUE(p.Running());
    EXPECT_TRUE(PictureShown(w, 120, 90));
    EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty());
}
