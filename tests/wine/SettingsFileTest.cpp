// The settings store against real INI files through the Windows profile API.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "settings/Settings.h"
#include "framework/base/SysUtils.h"
#include "framework/win/IniFile.h"
#include "framework/win/SysWin.h"

using namespace kaptor;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, tmp), 0u);
        dir_ = std::string(tmp) + "kaptor-settings-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        path_ = dir_ + SettingsFileName;
        DeleteFileA(path_.c_str());
        saved_ = ProgramDir;
        ProgramDir = dir_;
    }
    void TearDown() override {
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(dir_.c_str());
        ProgramDir = saved_;
    }
    void WriteFile(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    std::string ReadFile() {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists() { return GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string dir_, path_, saved_;
};

}  // namespace

TEST_F(SettingsFile, NoFileGivesDefaultsAndCreatesNothing) {
    Settings = TSettings{};
    LoadSettings();
    EXPECT_EQ(Settings.Wait, 1);
    EXPECT_TRUE(Settings.HideForm);
    EXPECT_FALSE(Settings.RunCapture);
    EXPECT_TRUE(Settings.ShowBar);
    EXPECT_TRUE(Settings.ShowStsBar);
    EXPECT_FALSE(Settings.StartTrayIcon || Settings.EndTrayIcon || Settings.CaptureClient ||
                 Settings.ShowAfterCapturing || Settings.CaptureControl);
    EXPECT_TRUE(Settings.ShowCursor);
    EXPECT_FALSE(Exists());
}

TEST_F(SettingsFile, ReadsTheValuesAsWrittenByHand) {
    for (auto [text, expected] : {std::pair{"0x10", 16}, {"$10", 16}, {"abc", 1}, {"-3", -3}}) {
        WriteFile(std::string("[Kaptor32]\r\nWait=") + text + "\r\nRunCapture=2\r\nShowBar=yes\r\nStart TrayIcon=1\r\n");
        LoadSettings();
        EXPECT_EQ(Settings.Wait, expected) << text;
        EXPECT_TRUE(Settings.RunCapture);
        EXPECT_TRUE(Settings.ShowBar);
        EXPECT_TRUE(Settings.StartTrayIcon);
    }
}

// A section is read whole and answered key by key: each answer must be the one the profile
// API gives for that key alone, on a file written by hand with every oddity it allows.
TEST_F(SettingsFile, KeysReadFromTheWholeSectionAreWhatTheProfileApiGivesForEachAlone) {
    WriteFile("[Other]\r\nWait=7\r\n[Kaptor32]\r\n  Wait  =  \" 5 \"  \r\nwaIT=9\r\nRunCapture='1'\r\n"
              "ShowBar=\"\r\nHideForm\r\nStart TrayIcon=\"\"\r\n; Comment=1\r\nMixed=\"a'\r\nLong=" +
              std::string(1100, 'x') + "\r\nEmpty=\r\n[kaptor32]\r\nLater=1\r\n");
    TIniFile ini(path_);
    for (const char* key : {"Wait", "WAIT", " Wait ", "RunCapture", "ShowBar", "HideForm", "Start TrayIcon",
                            "; Comment", "Mixed", "Long", "Empty", "Later", "Missing", "Other"})
        for (const char* def : {"", "d", "def  ", "   "}) {
            char alone[1024];
            const DWORD n = GetPrivateProfileStringA("Kaptor32", key, def, alone, sizeof alone, path_.c_str());
            EXPECT_EQ(ini.ReadString("Kaptor32", key, def), std::string(alone, n)) << key << " / '" << def << "'";
        }
    // A key written through the same object is read back as written, not as first read.
    ini.WriteString("Kaptor32", "Wait", "12");
    EXPECT_EQ(ini.ReadInteger("Kaptor32", "Wait", 0), 12);
}

TEST_F(SettingsFile, SaveWritesTheElevenKeysInWriteOrderThenTheLaterOnesOnANewFile) {
    Settings = TSettings{};
    Settings.Wait = 3;
    Settings.CaptureControl = true;
    SaveSettings();
    const std::string expected =
        "[Kaptor32]\r\nWait=3\r\nRunCapture=0\r\nHideForm=0\r\nShowBar=0\r\nShowStsBar=0\r\n"
        "Start TrayIcon=0\r\nEnd TrayIcon=0\r\nCapture Client=0\r\nShow After Capturing=0\r\n"
        "Capture Control=1\r\nShow Cursor=0\r\nHot Keys=0\r\nShow Countdown=0\r\n"
        "Copy After Capture=0\r\nSave After Capture=0\r\nSave Folder=\r\nSave Name=Kaptor%Y%m%d-%H%M%S-%n.png\r\n"
        "Monitor Under Pointer=0\r\n"
        "Markup Tool=1\r\nMarkup Colour=255\r\nMarkup Width=3\r\n";
    EXPECT_EQ(ReadFile(), expected);
    TSettings written = Settings;
    Settings = TSettings{};
    LoadSettings();
    EXPECT_EQ(Settings, written);
}

// A settings file that cannot be written. Read-only attributes do not stop root under Wine
// (the tests run as root in CI), so the file name is taken by a folder instead.
TEST_F(SettingsFile, UnwritableFileRaisesTheWriteErrorWithItsPath) {
    ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
    Settings = TSettings{};
    try {
        SaveSettings();
        RemoveDirectoryA(path_.c_str());
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, Format(texts::CannotWrite, path_.c_str()));
    }
    EXPECT_TRUE(RemoveDirectoryA(path_.c_str()));
}

TEST(ProgramDirectory, IsTheExecutablesFolderWhateverTheCurrentDirectory) {
    char before[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, before);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    ASSERT_TRUE(SetCurrentDirectoryA(tmp));
    const std::string exe = ExeName();
    SetCurrentDirectoryA(before);
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(SameText(ExtractFileName(exe), "wine_tests.exe")) << exe;
    EXPECT_NE(ExtractFilePath(exe), std::string(tmp));
    EXPECT_EQ(ExtractFilePath(exe).back(), '\\');
}
