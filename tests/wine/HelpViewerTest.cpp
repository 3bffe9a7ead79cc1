// The help file reader, the viewer's answers to the help commands, and F1 context help.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "TestApp.h"
#include "app/OptionsDialog.h"
#include "app/MainWindow.h"
#include "app/HelpText.h"
#include "app/HelpViewer.h"
#include "capture/WindowListDialog.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Handles.h"
#include "framework/win/SysWin.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

const std::string Good =
    "KAPTOR32 HELP 1\r\n"
    "# a comment\r\n"
    "@contents 目次\r\n"
    "はじめに\r\n"
    "@topic 100100 ﾒｲﾝｳｨﾝﾄﾞｳ\r\n"
    "@keywords 保存=ほぞん;ｷｬﾌﾟﾁｬｰ\r\n"
    "@keywords 印刷 = いんさつ\r\n"
    "本文その1\r\n"
    "本文その2\r\n"
    "@topic 100500 環境設定\r\n"
    "@keywords 待ち時間=まちじかん\r\n"
    "設定の説明\r\n";

std::string ErrorOf(const std::string& text) {
    try {
        ParseHelpFile(text, "X.hlp");
    } catch (const Exception& e) {
        return e.Message;
    }
    return "";
}

TEST(HelpFile, ReadsContentsTopicsAndKeywords) {
    const THelpFile f = ParseHelpFile(Good, "X.hlp");
    EXPECT_EQ(f.Contents.Title, "目次");
    EXPECT_EQ(f.Contents.Text, "はじめに\r\n");
    ASSERT_EQ(f.Topics.size(), 2u);
    const THelpTopic* main = f.Find(100100);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->Title, "ﾒｲﾝｳｨﾝﾄﾞｳ");
    EXPECT_EQ(main->Text, "本文その1\r\n本文その2\r\n");
    EXPECT_EQ(main->Keywords, (std::vector<THelpKeyword>{{"保存", "ほぞん"}, {"ｷｬﾌﾟﾁｬｰ", "ｷｬﾌﾟﾁｬｰ"}, {"印刷", "いんさつ"}}));
    EXPECT_EQ(f.Find(100300), nullptr);
    std::vector<std::string> index;
    for (const auto& entry : f.Index()) index.push_back(entry.first.Word);
    EXPECT_EQ(index, (std::vector<std::string>{"印刷", "ｷｬﾌﾟﾁｬｰ", "保存", "待ち時間"}));  // by reading
}

TEST(HelpFile, DamagedFilesAreRefusedWithTheirNameAndLine) {
    EXPECT_EQ(ErrorOf(""), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (1 行目)");
    EXPECT_EQ(ErrorOf("MZ\x90\x00garbage"), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (1 行目)");
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\n@topic 1 a\n"), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (2 行目)");  // no contents
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\n@contents c\n@topic abc t\n"), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (3 行目)");
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\n@contents c\n@topic 5 a\n@topic 5 b\n"),
              "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (4 行目)");
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\n@contents c\n@picture x\n"), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (3 行目)");
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\ntext before a page\n@contents c\n"),
              "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (2 行目)");
    EXPECT_EQ(ErrorOf("KAPTOR32 HELP 1\n@contents c\n@keywords a\n"), "ﾍﾙﾌﾟﾌｧｲﾙ X.hlp が壊れています (3 行目)");
}

TEST(HelpFile, TheShippedFileHasTheThreeTopicsAndAnIndex) {
    // Built beside the program, which the test program sits beside.
    const THelpFile f = LoadHelpFile(ExtractFilePath(ExeName()) + "Kaptor.hlp");
    EXPECT_FALSE(f.Contents.Text.empty());
    for (int context : {100100, 100300, 100500}) {
        const THelpTopic* t = f.Find(context);
        ASSERT_NE(t, nullptr) << context;
        EXPECT_FALSE(t->Title.empty());
        EXPECT_GT(t->Text.size(), 100u) << context;
        EXPECT_FALSE(t->Keywords.empty()) << context;
    }
    EXPECT_EQ(f.Find(100500)->Title, "環境設定");
    // Shift-JIS: the title's nine half-width katakana (voiced mark included) are single bytes.
    EXPECT_EQ(f.Find(100100)->Title, "ﾒｲﾝｳｨﾝﾄﾞｳ");
    EXPECT_EQ(f.Find(100100)->Title.size(), 9u);
}

TEST(HelpText, ReadingsSortInTheOrderOfAJapaneseIndex) {
    const std::vector<std::string> sorted = {"Kaptor.INI", "ｱｸﾃｨﾌﾞ", "いんさつ", "うぃんどういちらん", "ｳｨﾝﾄﾞｳのせんたく",
                                             "かあど", "ｶｰﾄﾞ", "がめん", "かんき", "きどう", "ｷｬﾌﾟﾁｬｰ", "はは", "ぱぱ"};
    std::vector<std::string> v(sorted.rbegin(), sorted.rend());
    std::sort(v.begin(), v.end(), [](const std::string& a, const std::string& b) { return ReadingLess(a, b); });
    EXPECT_EQ(v, sorted);
}

TEST(HelpText, LinesWrapWhereJapaneseAllowsAndKeepTheirColumn) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(WrapLine("画像は BMP または JPEG で保存します", 12), (Lines{"画像は BMP", "または JPEG", "で保存します"}));
    EXPECT_EQ(WrapLine("ﾌｧｲﾙ Kaptor.INI に保存", 10), (Lines{"ﾌｧｲﾙ", "Kaptor.INI", "に保存"}));
    EXPECT_EQ(WrapLine("あいうえお、かきくけこ。", 10), (Lines{"あいうえ", "お、かきく", "けこ。"}));
    EXPECT_EQ(WrapLine("  F5   画面全体をｷｬﾌﾟﾁｬｰします。", 16), (Lines{"  F5   画面全体", "       をｷｬﾌﾟﾁｬｰ", "       します。"}));
    EXPECT_EQ(WrapLine("  ｷｬﾌﾟﾁｬｰ前に待つ秒数です", 12), (Lines{"  ｷｬﾌﾟﾁｬｰ前", "  に待つ秒数", "  です"}));
}

TEST(HelpFile, TheShippedContentsKeepColumnsAndTheIndexFollowsTheReadings) {
    TestApp();  // the dialog is made by the application, which a test run alone has not yet
    if (!WindowList) Application->CreateForm<TWindowListDialog>();
    ASSERT_TRUE(HelpViewerCommand(ExtractFilePath(ExeName()) + "Kaptor.hlp", HELP_FINDER, 0));
    // Half-width and full-width characters of the text take one and two equal columns.
    WindowDC dc(HelpViewer->Text->Handle());
    ScopedSelect font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(HelpViewer->Text->Handle(), WM_GETFONT, 0, 0)));
    SIZE zero{}, kana{}, kanji{};
    GetTextExtentPoint32A(dc.get(), "0", 1, &zero);
    GetTextExtentPoint32A(dc.get(), "ｱ", 1, &kana);
    GetTextExtentPoint32A(dc.get(), "字", 2, &kanji);
    EXPECT_EQ(kana.cx, zero.cx);
    EXPECT_EQ(kanji.cx, 2 * zero.cx);
    // The second column of the contents' list starts in one place.
    std::istringstream text(HelpViewer->Text->Caption());
    std::set<int> starts;
    for (std::string line; std::getline(text, line);)
        if (line.rfind("  ・", 0) == 0) starts.insert(TextColumns(line.substr(0, line.find_first_not_of(' ', line.find("  ", 2)))));
    EXPECT_EQ(starts.size(), 1u);
    const THelpFile shipped = LoadHelpFile(ExtractFilePath(ExeName()) + "Kaptor.hlp");
    const auto index = shipped.Index();
    ASSERT_GE(index.size(), 5u);
    std::string first;  // words in Latin letters first, then the readings' order
    for (int i = 0; i < 5; ++i) first += (i ? "," : "") + index[i].first.Word;
    EXPECT_EQ(first, "F8,Kaptor.INI,PrintScreen,ｱｸﾃｨﾌﾞｳｨﾝﾄﾞｳ,印刷");
    // The window-list topic names the capture button as the dialog labels it.
    std::string button = WindowList->CaptureButton->Caption();
    button.erase(button.find('&'), 1);
    ASSERT_TRUE(HelpViewer->ShowTopic(100300));
    EXPECT_NE(HelpViewer->Text->Caption().find("「" + button + "」"), std::string::npos) << button;
    HelpViewer->Hide();
}

class HelpViewerCommands : public ::testing::Test {
protected:
    void SetUp() override {
        MainWindow();
        char tmp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, tmp), 0u);
        path_ = std::string(tmp) + "kaptor-help-" + std::to_string(GetCurrentProcessId()) + ".hlp";
        std::ofstream(path_, std::ios::binary) << Good;
        TakeMessages();
    }
    void TearDown() override {
        if (HelpViewer) HelpViewer->Hide();
        DeleteFileA(path_.c_str());
    }
    std::string path_;
};

TEST_F(HelpViewerCommands, EachCommandOpensItsPlace) {
    ASSERT_TRUE(HelpViewerCommand(path_, HELP_CONTEXT, 100500));
    ASSERT_NE(HelpViewer, nullptr);
    EXPECT_TRUE(IsWindowVisible(HelpViewer->Handle()));
    EXPECT_EQ(HelpViewer->Caption(), "Kaptor32 ﾍﾙﾌﾟ - 環境設定");
    EXPECT_EQ(HelpViewer->Text->Caption(), "設定の説明\r\n");

    ASSERT_TRUE(HelpViewerCommand(path_, HELP_FINDER, 0));
    EXPECT_FALSE(HelpViewer->IndexMode());
    EXPECT_EQ(HelpViewer->Current()->Title, "目次");
    EXPECT_EQ(HelpViewer->List->Items().Count(), 3);

    ASSERT_TRUE(HelpViewerCommand(path_, HELP_KEY, 0));
    EXPECT_TRUE(HelpViewer->IndexMode());
    EXPECT_EQ(HelpViewer->Caption(), "Kaptor32 ﾍﾙﾌﾟ - ｷｰﾜｰﾄﾞ");
    EXPECT_EQ(HelpViewer->List->Items().Count(), 4);
    EXPECT_TRUE(HelpViewer->KeywordEdit->Focused());
    // Typing a keyword selects the first that starts with it and shows its topic.
    HelpViewer->KeywordEdit->SetText("待ち");
    Pump();
    EXPECT_EQ(HelpViewer->Current()->Context, 100500);

    const std::string keyword = "印刷";
    ASSERT_TRUE(HelpViewerCommand(path_, HELP_KEY, reinterpret_cast<ULONG_PTR>(keyword.c_str())));
    EXPECT_EQ(HelpViewer->Current()->Context, 100100);

    ASSERT_TRUE(HelpViewerCommand(path_, HELP_QUIT, 0));
    EXPECT_FALSE(IsWindowVisible(HelpViewer->Handle()));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(HelpViewerCommands, MissingDamagedOrIncompleteFilesAreReportedAndNothingOpens) {
    if (HelpViewer) HelpViewer->Hide();
    EXPECT_FALSE(HelpViewerCommand(path_ + ".none", HELP_FINDER, 0));
    std::ofstream(path_, std::ios::binary) << "not a help file";
    EXPECT_FALSE(HelpViewerCommand(path_, HELP_CONTEXT, 100100));
    std::ofstream(path_, std::ios::binary) << Good;
    EXPECT_FALSE(HelpViewerCommand(path_, HELP_CONTEXT, 100300));
    const auto messages = TakeMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "ﾍﾙﾌﾟﾌｧｲﾙ " + path_ + ".none が見つかりません");
    EXPECT_EQ(messages[1], "ﾍﾙﾌﾟﾌｧｲﾙ " + path_ + " が壊れています (1 行目)");
    EXPECT_EQ(messages[2], "ﾍﾙﾌﾟﾌｧｲﾙ " + path_ + " にﾄﾋﾟｯｸ 100300 がありません");
    EXPECT_TRUE(HelpViewer == nullptr || !IsWindowVisible(HelpViewer->Handle()));
}

TEST(ContextHelp, F1SendsTheContextOfTheWindowWithTheHelpFileBesideTheProgram) {
    TMainWindow& w = MainWindow();
    if (!TheOptionsDialog) Application->CreateForm<TOptionsDialog>();
    std::vector<std::pair<std::string, ULONG_PTR>> sent;
    const auto saved = Application->OnHelp;
    Application->OnHelp = [&](const std::string& file, UINT command, ULONG_PTR data) {
        if (command == HELP_CONTEXT) sent.emplace_back(file, data);
        return true;
    };
    // Before any help command, and with the current folder moved away (as the open dialog does).
    char oldDir[MAX_PATH], tmp[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, oldDir), 0u);
    ASSERT_NE(GetTempPathA(MAX_PATH, tmp), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(tmp));
    auto f1 = [](HWND form, HWND control) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.hItemHandle = control;
        SendMessageA(form, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    };
    f1(w.Handle(), w.View().Area().Handle());
    f1(TheOptionsDialog->Handle(), TheOptionsDialog->TrayAtStartBox->Handle());
    // F1 on a highlighted menu item: its command's topic (the region captures have their own).
    HMENU captures = GetSubMenu(GetMenu(w.Handle()), 1);
    for (int item : {0, 3}) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_MENUITEM;
        info.iCtrlId = static_cast<int>(GetMenuItemID(captures, item));
        SendMessageA(w.Handle(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    SetCurrentDirectoryA(oldDir);
    Application->OnHelp = saved;
    const std::string beside = ExtractFilePath(ExeName()) + "Kaptor.hlp";
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0], std::make_pair(beside, ULONG_PTR{100100}));
    EXPECT_EQ(sent[1], std::make_pair(beside, ULONG_PTR{100500}));
    EXPECT_EQ(sent[2], std::make_pair(beside, ULONG_PTR{100100}));  // whole screen
    EXPECT_EQ(sent[3], std::make_pair(beside, ULONG_PTR{100110}));  // region
}

}  // namespace
