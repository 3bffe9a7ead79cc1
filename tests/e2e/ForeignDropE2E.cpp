// A WM_DROPFILES posted by another program: its handle names that program's memory (or
// nothing at all) and must not bring the program down.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "Driver.h"

using namespace e2e;

TEST(ForeignDrop, HandlesThatAreNotTheProgramsOwnAreIgnored) {
    Program p;
    HWND w = p.WaitMainWindow();
    ASSERT_NE(w, nullptr);
    HWND view = FindChild(w, "TScrollBox");
    ASSERT_NE(view, nullptr);

    // A well-made drop block, but in our memory, not the program's.
    const std::string name = "C:\\nowhere\\shot.bmp";
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + name.size() + 2);
    auto* block = static_cast<DROPFILES*>(GlobalLock(mem));
    block->pFiles = sizeof(DROPFILES);
    block->pt = POINT{20, 20};
    std::memcpy(block + 1, name.c_str(), name.size() + 1);
    const auto pointer = reinterpret_cast<WPARAM>(block);
    GlobalUnlock(mem);
    for (WPARAM value : {reinterpret_cast<WPARAM>(mem), pointer, static_cast<WPARAM>(0x12345678),
                         static_cast<WPARAM>(0xDEAD0000)}) {
        SCOPED_TRACE(value);
        PostMessageA(view, WM_DROPFILES, value, 0);
        Sleep(500);
        ASSERT_TRUE(p.Running()) << "the program ended";
        DWORD_PTR result = 0;
        EXPECT_NE(SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result), 0) << "no answer";
        EXPECT_TRUE(WindowsOf(p.Pid(), "#32770").empty()) << "a message box appeared";
    }
    GlobalFree(mem);
    // Nothing was opened.
    EXPECT_EQ(StatusPanel(FindChild(w, "msctls_statusbar32"), 0), "");
    p.Close();
    EXPECT_FALSE(p.Running());
}
