// The help file reader, the viewer's answers to the help commands, and F1 context help.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "TestApp.h"
#include "app/FD_Kaptor2.h"
#include "app/F_Kaptor.h"
#include "app/HelpViewer.h"
#include "app/Settings.h"
#include "framework/base/SysUtils.h"
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
    "@keywords 保存;ｷｬﾌﾟﾁｬｰ\r\n"
    "@keywords 印刷\r\n"
    "本文その1\r\n"
    "本文その2\r\n"
    "@topic 100500 環境設定\r\n"
    "@keywords 待ち時間\r\n"
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
    EXPECT_EQ(main->Keywords, (std::vector<std::string>{"保存", "ｷｬﾌﾟﾁｬｰ", "印刷"}));
    EXPECT_EQ(f.Find(100300), nullptr);
    const auto index = f.Index();
    ASSERT_EQ(index.size(), 4u);
    for (size_t i = 1; i < index.size(); ++i) EXPECT_LE(index[i - 1].first, index[i].first);
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

TEST(ContextHelp, F1SendsTheContextOfTheWindowAndUsesProgramDirAfterTheFirstCommand) {
    TKaptor32& w = MainWindow();
    if (!OptionDlg) Application->CreateForm<TOptionDlg>();
    std::vector<std::pair<std::string, ULONG_PTR>> sent;
    const auto saved = Application->OnHelp;
    const std::string savedFile = Application->HelpFile;
    Application->OnHelp = [&](const std::string& file, UINT command, ULONG_PTR data) {
        if (command == HELP_CONTEXT) sent.emplace_back(file, data);
        return true;
    };
    Application->HelpFile = ".\\Kaptor.hlp";
    auto f1 = [](HWND form, HWND control) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.hItemHandle = control;
        SendMessageA(form, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    };
    f1(w.Handle(), w.ScrollBox1->Handle());
    f1(OptionDlg->Handle(), OptionDlg->CheckBox3->Handle());
    w.PM_HelpClick(&w);  // the first help command moves the file into ProgramDir
    f1(w.Handle(), w.StatusBar1->Handle());
    Application->OnHelp = saved;
    Application->HelpFile = savedFile;
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], std::make_pair(std::string(".\\Kaptor.hlp"), ULONG_PTR{100100}));
    EXPECT_EQ(sent[1], std::make_pair(std::string(".\\Kaptor.hlp"), ULONG_PTR{100500}));
    EXPECT_EQ(sent[2], std::make_pair(ProgramDir + "Kaptor.hlp", ULONG_PTR{100100}));
}

}  // namespace
