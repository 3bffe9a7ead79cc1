#include <gtest/gtest.h>

#include "app/CommandLine.h"

using namespace kaptor;

namespace {
TCaptureSwitches Read(std::vector<std::string> args) { return ReadSwitches(args); }
}  // namespace

TEST(CommandLine, SwitchesInAnyCaseGiveTheRequestAndComeBackWhenPacked) {
    const TCaptureSwitches s = Read({"/Capture=Window:Doc = 1 - メモ帳", "/DELAY=1200", "/save=C:\\a b\\x.JPEG", "/copy", "/quit"});
    EXPECT_EQ(s.kind, TRequestedCapture::Window);
    EXPECT_EQ(s.title, "Doc = 1 - メモ帳");  // the title keeps its case and its '='
    EXPECT_EQ(s.delay, 1200);
    EXPECT_TRUE(s.save && s.copy && s.quiet);
    EXPECT_EQ(s.saveTo, "C:\\a b\\x.JPEG");
    EXPECT_EQ(UnpackSwitches(PackSwitches(s)), s);

    const TCaptureSwitches plain = Read({"/capture=last", "/save"});
    EXPECT_EQ(plain.kind, TRequestedCapture::LastRegion);
    EXPECT_FALSE(plain.delay || plain.copy || plain.quiet);
    EXPECT_TRUE(plain.save && plain.saveTo.empty());  // the options' folder and pattern
    EXPECT_EQ(UnpackSwitches(PackSwitches(plain)), plain);
}

TEST(CommandLine, ABadLineIsRefusedNamingTheSwitchAndQuietWhenItAsksToQuit) {
    const std::vector<std::vector<std::string>> bad = {
        {"/capture=screens"}, {"/capture=window:"}, {"/capture"}, {"/capture=screen", "/capture=active"},
        {"/capture=screen", "/delay=1201"}, {"/capture=screen", "/delay=-1"}, {"/capture=screen", "/delay="},
        {"/capture=screen", "/save=x.gif"}, {"/capture=screen", "/save="}, {"/capture=screen", "/copy=1"},
        {"/capture=screen", "/help"}, {"/capture=screen", "shot.png"}, {"/delay=1"}, {}};
    for (const auto& args : bad) {
        try {
            Read(args);
            ADD_FAILURE() << (args.empty() ? "(none)" : args.back());
        } catch (const ECommandLine& e) {
            const std::string text = e.what();
            EXPECT_NE(text.find(texts::SwitchUsage), std::string::npos);
            // The switch at fault is named (a line without /capture says that instead).
            const bool named = !args.empty() && args[0] != "/delay=1";
            if (named) {
                EXPECT_NE(text.find("［" + args.back() + "］"), std::string::npos) << text;
            }
            EXPECT_FALSE(e.quiet);
        }
    }
    try {
        Read({"/quit", "/capture=nothing"});
        ADD_FAILURE();
    } catch (const ECommandLine& e) {
        EXPECT_TRUE(e.quiet);  // the script gets no message box
    }
}
