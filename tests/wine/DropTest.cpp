// TFileDropTarget: WM_DROPFILES with a real drop block in global memory, as the shell sends it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "HookTestSupport.h"
#include "components/FileDropTarget.h"

using namespace kaptor;
using namespace kaptor::testing;
using namespace kaptor::testing::hooktest;

namespace {

// The block the shell hands over: DROPFILES, then the ANSI names, each NUL-ended, then a NUL.
HDROP MakeDrop(const std::vector<std::string>& names, POINT point) {
    std::size_t size = sizeof(DROPFILES) + 1;
    for (const auto& n : names) size += n.size() + 1;
    HGLOBAL mem = GlobalAlloc(GHND, size);
    auto* block = static_cast<DROPFILES*>(GlobalLock(mem));
    block->pFiles = sizeof(DROPFILES);
    block->pt = point;
    block->fNC = FALSE;
    block->fWide = FALSE;
    char* p = reinterpret_cast<char*>(block + 1);
    for (const auto& n : names) {
        std::memcpy(p, n.c_str(), n.size() + 1);
        p += n.size() + 1;
    }
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
}

// DragFinish gives the block back: its handle is no longer valid.
bool Released(HDROP drop) { return GlobalSize(drop) == 0; }

struct Drop {
    TComponent* Sender;
    std::vector<std::string> Files;
    int X, Y;
};

// A form with a drop target on its panel, built and loaded as the program's forms are.
class DropForm : public HookTestForm {
public:
    explicit DropForm(TComponent* owner) : HookTestForm(owner) {
        DropTarget = new TFileDropTarget(this);
        DropTarget->SetControl(Panel);
        DropTarget->OnFileDrop = [this](TComponent* sender, TStrings& files, int x, int y) {
            Drop d{sender, {}, x, y};
            for (int i = 0; i < files.Count(); ++i) d.Files.push_back(files[i]);
            Drops.push_back(d);
        };
        LoadedAll();
    }
    TFileDropTarget* DropTarget;
    std::vector<Drop> Drops;
};

bool AcceptsFiles(HWND wnd) { return (GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0; }

}  // namespace

TEST(DropTarget, OneDropGivesTheNamesInTheShellsOrderAndTheClientPoint) {
    TestApp();
    DropForm form(nullptr);
    HWND panel = form.Panel->Handle();
    EXPECT_TRUE(AcceptsFiles(panel));

    HDROP one = MakeDrop({"C:\\pics\\shot.bmp"}, {17, 23});
    EXPECT_EQ(SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(one), 0), 0);
    ASSERT_EQ(form.Drops.size(), 1u);
    EXPECT_EQ(form.Drops[0].Sender, form.DropTarget);
    EXPECT_EQ(form.Drops[0].Files, std::vector<std::string>{"C:\\pics\\shot.bmp"});
    EXPECT_EQ(form.Drops[0].X, 17);
    EXPECT_EQ(form.Drops[0].Y, 23);
    EXPECT_TRUE(Released(one));

    const std::vector<std::string> three = {"C:\\b.jpg", "C:\\a.bmp", "D:\\画像\\ｶﾞｿﾞｳ.gif"};
    HDROP many = MakeDrop(three, {150, 3});
    SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(many), 0);
    ASSERT_EQ(form.Drops.size(), 2u);
    EXPECT_EQ(form.Drops[1].Files, three);
    EXPECT_EQ(form.Drops[1].X, 150);
    EXPECT_EQ(form.Drops[1].Y, 3);
    EXPECT_TRUE(Released(many));
    // The drop is the target's alone: the control's own procedure never sees it.
    EXPECT_EQ(form.Panel->Drops, 0);
}

TEST(DropTarget, ANameLongerThanMaxPathArrivesWhole) {
    TestApp();
    DropForm form(nullptr);
    const std::string longName = "C:\\" + std::string(300, 'x') + "\\shot.bmp";
    HDROP drop = MakeDrop({longName, "C:\\short.bmp"}, {1, 2});
    SendMessageA(form.Panel->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_EQ(form.Drops.size(), 1u);
    const std::vector<std::string> expected = {longName, "C:\\short.bmp"};
    EXPECT_EQ(form.Drops[0].Files, expected);
}

TEST(DropTarget, WithoutAHandlerTheDropIsStillConsumedAndFinished) {
    TestApp();
    DropForm form(nullptr);
    form.DropTarget->OnFileDrop = nullptr;
    HDROP drop = MakeDrop({"C:\\a.bmp"}, {0, 0});
    EXPECT_EQ(SendMessageA(form.Panel->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0), 0);
    EXPECT_TRUE(Released(drop));
    EXPECT_EQ(form.Panel->Drops, 0);
}

TEST(DropTarget, AFailingHandlerIsShownAndTheDropStillFinished) {
    TestApp();
    TakeMessages();
    DropForm form(nullptr);
    form.DropTarget->OnFileDrop = [](TComponent*, TStrings&, int, int) { throw Exception("ｵｰﾌﾟﾝに失敗！"); };
    HDROP drop = MakeDrop({"C:\\a.bmp"}, {5, 5});
    SendMessageA(form.Panel->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    EXPECT_TRUE(Released(drop));
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "ｵｰﾌﾟﾝに失敗！");
}

TEST(DropTarget, AcceptDropRegistersAndUnregistersTheWindow) {
    TestApp();
    DropForm form(nullptr);
    HWND panel = form.Panel->Handle();
    ASSERT_TRUE(form.DropTarget->AcceptDrop());
    form.DropTarget->SetAcceptDrop(false);
    EXPECT_FALSE(AcceptsFiles(panel));
    form.DropTarget->SetAcceptDrop(true);
    EXPECT_TRUE(AcceptsFiles(panel));
}

TEST(DropTarget, TheRecreatedWindowIsRegisteredAndReceivesDrops) {
    TestApp();
    TakeMessages();
    DropForm form(nullptr);
    form.Panel->Recreate();
    HWND panel = form.Panel->Handle();
    EXPECT_FALSE(AcceptsFiles(panel));
    Pump();
    EXPECT_EQ(form.DropTarget->HookedWnd(), panel);
    EXPECT_TRUE(AcceptsFiles(panel));
    HDROP drop = MakeDrop({"C:\\again.bmp"}, {9, 8});
    SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_EQ(form.Drops.size(), 1u);
    EXPECT_EQ(form.Drops[0].Files, std::vector<std::string>{"C:\\again.bmp"});
    EXPECT_TRUE(Released(drop));
    EXPECT_TRUE(TakeMessages().empty());

    // Not accepting is remembered across the re-creation too.
    form.DropTarget->SetAcceptDrop(false);
    form.Panel->Recreate();
    Pump();
    EXPECT_EQ(form.DropTarget->HookedWnd(), form.Panel->Handle());
    EXPECT_FALSE(AcceptsFiles(form.Panel->Handle()));
}

TEST(DropTarget, FormTargetTakesDropsOnTheOwningForm) {
    TestApp();
    HookTestForm form(nullptr);
    auto* drop = new TFileDropTarget(&form);
    drop->SetTarget(THookTarget::htForm);
    std::vector<std::string> got;
    drop->OnFileDrop = [&](TComponent*, TStrings& files, int, int) { got.push_back(files[0]); };
    form.LoadedAll();
    EXPECT_EQ(drop->HookedWnd(), form.Handle());
    EXPECT_TRUE(AcceptsFiles(form.Handle()));
    EXPECT_FALSE(AcceptsFiles(form.Panel->Handle()));
    HDROP h = MakeDrop({"C:\\on-form.bmp"}, {3, 4});
    SendMessageA(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(h), 0);
    EXPECT_EQ(got, std::vector<std::string>{"C:\\on-form.bmp"});
    EXPECT_TRUE(Released(h));
}

TEST(DropTarget, AHandleThatIsNotOurMemoryIsIgnored) {
    // What another program may post: its own handles (meaningless here), freed ones, any value.
    TestApp();
    TakeMessages();
    DropForm form(nullptr);
    HWND panel = form.Panel->Handle();
    HGLOBAL freed = GlobalAlloc(GHND, 64);
    GlobalFree(freed);
    HGLOBAL freedFixed = GlobalAlloc(GMEM_FIXED, 64);
    GlobalFree(freedFixed);
    alignas(16) unsigned char onStack[64] = {};
    reinterpret_cast<DROPFILES*>(onStack)->pFiles = 0x7FFFFFF0;  // a header leading far away
    static const char text[] = "not a drop block at all";
    const std::vector<WPARAM> values = {0,
                                        1,
                                        0xFFFF,
                                        0x12345678,
                                        0x7FFF0000,
                                        0xDEAD0000,
                                        0xFFFFFFF0,
                                        reinterpret_cast<WPARAM>(freed),
                                        reinterpret_cast<WPARAM>(freedFixed),
                                        reinterpret_cast<WPARAM>(onStack),
                                        reinterpret_cast<WPARAM>(text),
                                        reinterpret_cast<WPARAM>(&form)};
    for (WPARAM v : values) EXPECT_EQ(SendMessageA(panel, WM_DROPFILES, v, 0), 0) << std::hex << v;
    EXPECT_TRUE(form.Drops.empty());
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(form.Panel->Drops, 0);
    // A real drop still arrives afterwards.
    HDROP drop = MakeDrop({"C:\\after.bmp"}, {1, 1});
    SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_EQ(form.Drops.size(), 1u);
    EXPECT_TRUE(Released(drop));
}

TEST(DropTarget, ABlockOfOursThatIsNoDropBlockIsNeitherReadNorReleased) {
    TestApp();
    TakeMessages();
    DropForm form(nullptr);
    HWND panel = form.Panel->Handle();
    // Each: the block's size, pFiles, wide names, and the bytes after the header.
    struct Case {
        const char* what;
        std::size_t size;
        DWORD pFiles;
        bool wide;
        std::string names;
    };
    const std::size_t head = sizeof(DROPFILES);
    const Case cases[] = {
        {"smaller than the header", 8, 0, false, ""},
        {"names before the header's end", head + 8, 4, false, std::string("a.bmp\0\0", 7)},
        {"names beyond the block", head + 8, 4096, false, std::string("a.bmp\0\0", 7)},
        {"names start at the very end", head, static_cast<DWORD>(head), false, ""},
        {"last name without its NUL", head + 5, static_cast<DWORD>(head), false, "a.bmp"},
        {"list without its closing NUL", head + 6, static_cast<DWORD>(head), false, std::string("a.bmp\0", 6)},
        {"wide list cut in a character", head + 5, static_cast<DWORD>(head), true, std::string("a\0b\0\0", 5)},
        {"no names at all", head + 1, static_cast<DWORD>(head), false, std::string("\0", 1)},
        {"a control character in a name", head + 8, static_cast<DWORD>(head), false, std::string("a\x01.bmp\0\0", 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // GMEM_FIXED: the block is exactly as large as asked, so nothing beyond it is zero.
        HGLOBAL mem = GlobalAlloc(GMEM_FIXED, c.size);
        ASSERT_NE(mem, nullptr);
        auto* bytes = static_cast<unsigned char*>(GlobalLock(mem));
        std::memset(bytes, 'x', c.size);
        if (c.size >= head) {
            auto* block = reinterpret_cast<DROPFILES*>(bytes);
            block->pFiles = c.pFiles;
            block->pt = POINT{1, 1};
            block->fNC = FALSE;
            block->fWide = c.wide;
            std::memcpy(bytes + head, c.names.data(), std::min(c.names.size(), c.size - head));
        }
        GlobalUnlock(mem);
        if (GlobalSize(mem) != c.size) {
            GlobalFree(mem);
            GTEST_SKIP() << "the allocator rounds block sizes up here";
        }
        SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
        EXPECT_TRUE(form.Drops.empty());
        EXPECT_EQ(GlobalSize(mem), c.size) << "released";
        GlobalFree(mem);
    }
    // A header whose flags are no BOOLs, before well-made names.
    HDROP odd = MakeDrop({"C:\\a.bmp"}, {1, 1});
    static_cast<DROPFILES*>(GlobalLock(odd))->fWide = 0x01000000;
    GlobalUnlock(odd);
    SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(odd), 0);
    EXPECT_TRUE(form.Drops.empty());
    EXPECT_FALSE(Released(odd));
    GlobalFree(odd);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(DropTarget, WideNamesArriveAsTheyWouldFromTheShell) {
    TestApp();
    DropForm form(nullptr);
    HWND panel = form.Panel->Handle();
    const std::wstring names = std::wstring(L"C:\\w1.bmp") + L'\0' + L"C:\\w2.jpg" + L'\0' + L'\0';
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* block = static_cast<DROPFILES*>(GlobalLock(mem));
    block->pFiles = sizeof(DROPFILES);
    block->pt = POINT{4, 6};
    block->fWide = TRUE;
    std::memcpy(block + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(mem);
    SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
    ASSERT_EQ(form.Drops.size(), 1u);
    const std::vector<std::string> expected = {"C:\\w1.bmp", "C:\\w2.jpg"};
    EXPECT_EQ(form.Drops[0].Files, expected);
    EXPECT_EQ(form.Drops[0].Y, 6);
    EXPECT_TRUE(Released(static_cast<HDROP>(mem)));
}
