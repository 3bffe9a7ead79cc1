// The common dialogs: the seams tests answer them through, the filter text, and the real
// save dialog driven from a second thread (as a user would fill it in).
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <thread>

#include "TestApp.h"
#include "framework/win/Dialogs.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

struct HookReset {
    ~HookReset() {
        TColorDialog::ExecuteHook = nullptr;
        TOpenDialog::ExecuteHook = nullptr;
        TSaveDialog::ExecuteHook = nullptr;
    }
};

struct FindDialog {
    DWORD thread;
    HWND found = nullptr;
};

BOOL CALLBACK FindDialogWindow(HWND wnd, LPARAM lp) {
    auto* find = reinterpret_cast<FindDialog*>(lp);
    char cls[32] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (std::string(cls) == "#32770" && IsWindowVisible(wnd)) {
        find->found = wnd;
        return FALSE;
    }
    return TRUE;
}

// The visible dialog box of the thread, waiting up to ten seconds; null if none came.
HWND WaitForDialog(DWORD thread, HWND not_this = nullptr) {
    for (int i = 0; i < 200; ++i) {
        FindDialog find{thread};
        EnumThreadWindows(thread, FindDialogWindow, reinterpret_cast<LPARAM>(&find));
        if (find.found && find.found != not_this) return find.found;
        Sleep(50);
    }
    return nullptr;
}

// The file name box of an explorer-style file dialog.
HWND FileNameBox(HWND dialog) {
    for (int id : {0x480 /* edt1 */, 0x47C /* cmb13 */}) {
        HWND box = GetDlgItem(dialog, id);
        if (box && IsWindowVisible(box)) {
            if (HWND inner = FindWindowExA(box, nullptr, "Edit", nullptr)) return inner;
            return box;
        }
    }
    return nullptr;
}

// A child dialog template in memory: one static control, id 1000, where a preview would go.
struct PreviewTemplate {
    alignas(4) unsigned char bytes[128] = {};
    PreviewTemplate() {
        auto* t = reinterpret_cast<DLGTEMPLATE*>(bytes);
        t->style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK | DS_CONTROL;
        t->cdit = 1;
        t->cx = 100;
        t->cy = 40;
        auto* w = reinterpret_cast<WORD*>(t + 1);
        *w++ = 0;  // no menu
        *w++ = 0;  // standard class
        *w++ = 0;  // no title
        if (reinterpret_cast<std::uintptr_t>(w) % 4) ++w;
        auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(w);
        item->style = WS_CHILD | WS_VISIBLE | SS_LEFT;
        item->x = 4;
        item->y = 4;
        item->cx = 90;
        item->cy = 30;
        item->id = 1000;
        w = reinterpret_cast<WORD*>(item + 1);
        *w++ = 0xFFFF;
        *w++ = 0x0082;  // STATIC
        for (const wchar_t* c = L"preview"; *c; ++c) *w++ = static_cast<WORD>(*c);
        *w++ = 0;
        *w++ = 0;  // no creation data
    }
};

// An open dialog with a part of its own, as the picture dialogs add their preview.
class PreviewOpenDialog : public TOpenDialog {
public:
    using TOpenDialog::TOpenDialog;
    std::vector<UINT> Seen;
    bool PreviewFound = false;

protected:
    void PrepareTemplate(OPENFILENAMEA& ofn) override {
        ofn.Flags |= OFN_ENABLETEMPLATEHANDLE;
        ofn.hInstance = reinterpret_cast<HINSTANCE>(template_.bytes);
    }
    UINT_PTR DialogMessage(HWND child, UINT msg, WPARAM, LPARAM) override {
        if (msg == WM_INITDIALOG) {
            Seen.push_back(msg);
            PreviewFound = GetDlgItem(child, 1000) != nullptr;
        }
        return 0;
    }

private:
    PreviewTemplate template_;
};

std::string TempFolder() {
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, path);
    std::string folder = std::string(path) + "kaptor_dialogs\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

TEST(ColorDialog, TheSeamAnswersLikeTheDialog) {
    TestApp();
    HookReset reset;
    TColorDialog dialog(nullptr);
    dialog.Color = RGB(128, 128, 128);
    COLORREF offered = 0;
    TColorDialog::ExecuteHook = [&](TColorDialog& d) {
        offered = d.Color;
        d.Color = RGB(255, 0, 0);
        return true;
    };
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(offered, RGB(128, 128, 128));
    EXPECT_EQ(dialog.Color, RGB(255, 0, 0));
    // Cancelled: the colour stays, whatever the answer touched.
    TColorDialog::ExecuteHook = [](TColorDialog& d) {
        d.Color = RGB(0, 0, 255);
        return false;
    };
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Color, RGB(255, 0, 0));
}

TEST(FileDialogs, EachKindHasItsOwnSeam) {
    TestApp();
    HookReset reset;
    TOpenDialog open(nullptr);
    TSaveDialog save(nullptr);
    save.FileName = "C:\\old.bmp";
    save.FilterIndex = 1;
    int opened = 0, saved = 0;
    TOpenDialog::ExecuteHook = [&](TOpenDialog& d) {
        ++opened;
        d.FileName = "C:\\pic.jpg";
        return true;
    };
    TSaveDialog::ExecuteHook = [&](TSaveDialog& d) {
        ++saved;
        d.FileName = "C:\\new.jpg";
        d.FilterIndex = 2;
        return false;  // cancelled after changing the type
    };
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName, "C:\\pic.jpg");
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(save.FileName, "C:\\old.bmp");
    EXPECT_EQ(save.FilterIndex, 1);
}

TEST(FileDialogs, FilterTextKeepsDoubleByteCharacters) {
    const std::string plain = TOpenDialog::FilterBuffer("ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg");
    EXPECT_EQ(plain, std::string("ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)\0*.bmp\0JPEG(*.jpg;*.jpeg)\0*.jpg;*.jpeg\0\0", 55));
    // "ポ" is 0x83 0x7C in Shift-JIS: its second byte is "|" but no separator.
    const std::string kana = TOpenDialog::FilterBuffer("ポ|*.p");
    EXPECT_EQ(kana, std::string("\x83\x7C\0*.p\0\0", 8));
}

TEST(FileDialogs, TheRealSaveDialogTakesTypeNameAndAsksBeforeOverwriting) {
    TestApp();
    HookReset reset;
    const std::string folder = TempFolder();
    const std::string existing = folder + "exists.jpg";
    std::ofstream(existing) << "x";
    DeleteFileA((folder + "shot.jpg").c_str());

    TSaveDialog dialog(nullptr);
    dialog.Filter = "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|JPEG(*.jpg;*.jpeg)|*.jpg;*.jpeg";
    dialog.DefaultExt = "bmp";
    dialog.FilterIndex = 2;
    dialog.InitialDir = folder;
    dialog.Options |= ofOverwritePrompt;

    const DWORD ui = GetCurrentThreadId();
    std::atomic<int> typeShown{-1};
    std::atomic<bool> prompted{false};
    std::thread user([&] {
        HWND box = WaitForDialog(ui);
        if (!box) return;
        typeShown = static_cast<int>(SendMessageA(GetDlgItem(box, 0x470 /* cmb1 */), CB_GETCURSEL, 0, 0));
        // First an existing name: the dialog asks; "No" keeps it open.
        SendMessageA(FileNameBox(box), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("exists"));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        if (HWND ask = WaitForDialog(ui, box)) {
            prompted = true;
            PostMessageA(ask, WM_COMMAND, IDNO, 0);
        }
        Sleep(300);
        SendMessageA(FileNameBox(box), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("shot"));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    const bool confirmed = dialog.Execute();
    user.join();

    EXPECT_EQ(typeShown, 1);  // the second entry of the type list
    EXPECT_TRUE(prompted);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(dialog.FilterIndex, 2);
    EXPECT_TRUE(SameText(dialog.FileName, folder + "shot.jpg")) << dialog.FileName;
    ASSERT_EQ(dialog.Files.size(), 1u);
    DeleteFileA(existing.c_str());
}

TEST(FileDialogs, ATemplateAndTheEventsReachTheDialogObject) {
    TestApp();
    HookReset reset;
    PreviewOpenDialog dialog(nullptr);
    dialog.Filter = "画像ﾌｧｲﾙ (*.bmp;*.jpg;*.jpeg)|*.bmp;*.jpg;*.jpeg";
    dialog.InitialDir = TempFolder();
    dialog.FileName = "before.bmp";
    std::vector<std::string> events;
    HWND shownIn = nullptr;
    dialog.OnShow = [&](TComponent*) {
        events.push_back("show");
        shownIn = dialog.DialogHandle();
    };
    dialog.OnClose = [&](TComponent*) { events.push_back("close"); };

    const DWORD ui = GetCurrentThreadId();
    HWND seenByUser = nullptr;
    std::thread user([&] {
        seenByUser = WaitForDialog(ui);
        if (seenByUser) PostMessageA(seenByUser, WM_COMMAND, IDCANCEL, 0);
    });
    const bool confirmed = dialog.Execute();
    user.join();

    EXPECT_FALSE(confirmed);
    EXPECT_EQ(dialog.FileName, "before.bmp");
    ASSERT_NE(seenByUser, nullptr);
    EXPECT_EQ(shownIn, seenByUser);
    EXPECT_TRUE(dialog.PreviewFound);
    EXPECT_EQ(dialog.Seen, std::vector<UINT>{WM_INITDIALOG});
    const std::vector<std::string> expected = {"show", "close"};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(dialog.DialogHandle(), nullptr);
}
