#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "exchange/FileNamePattern.h"
#include "exchange/Save.h"
#include "settings/Settings.h"
#include "framework/base/SysUtils.h"

using namespace kaptor;

namespace {

// An INI file in memory that records the order of writes and can refuse the n-th one.
class MemoryIni : public TCustomIniFile {
public:
    MemoryIni() : TCustomIniFile("C:\\Tools\\Kaptor.INI") {}
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override {
        auto it = values.find(section + "/" + key);
        return it == values.end() ? def : it->second;
    }
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override {
        if (static_cast<int>(written.size()) == failAt) ThrowWriteError();
        values[section + "/" + key] = value;
        written.push_back(key + "=" + value);
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> written;
    int failAt = -1;
};

}  // namespace

TEST(SettingsRead, MissingKeysGiveTheDefaults) {
    MemoryIni ini;
    TSettings s;
    LoadSettings(ini, s);
    TSettings expected;
    expected.Wait = 1;
    expected.HideForm = expected.ShowBar = expected.ShowStsBar = expected.ShowCursor = true;
    EXPECT_EQ(s, expected);
}

TEST(SettingsRead, IntegerAndBooleanRules) {
    struct Case {
        const char* wait;
        int expected;
    } cases[] = {{"0x10", 16}, {"0X1a", 26}, {"$10", 16}, {"abc", 1}, {"-3", -3}, {"0x", 1}, {"", 1},
                 {"0xZ", 1},   {"12 ", 1},  {"1200", 1200}};
    for (const auto& c : cases) {
        MemoryIni ini;
        ini.values["Kaptor32/Wait"] = c.wait;
        ini.values["Kaptor32/RunCapture"] = "2";
        ini.values["Kaptor32/ShowBar"] = "yes";
        ini.values["Kaptor32/Show Cursor"] = "0";
        TSettings s;
        LoadSettings(ini, s);
        EXPECT_EQ(s.Wait, c.expected) << c.wait;
        EXPECT_TRUE(s.RunCapture);
        EXPECT_TRUE(s.ShowBar);  // "yes" is no integer: the true default
        EXPECT_FALSE(s.ShowCursor);
    }
}

TEST(SettingsWrite, TheElevenKeysInWriteOrderThenTheLaterOnes) {
    MemoryIni ini;
    TSettings s;
    s.Wait = -5;
    s.HideForm = true;
    s.ShowCursor = true;
    s.ShowCountdown = true;
    s.SaveAfterCapture = true;
    s.SaveFolder = "D:\\Shots";
    s.MonitorUnderPointer = true;
    SaveSettings(ini, s);
    const std::vector<std::string> expected = {
        "Wait=-5",          "RunCapture=0",     "HideForm=1",           "ShowBar=0",
        "ShowStsBar=0",     "Start TrayIcon=0", "End TrayIcon=0",       "Capture Client=0",
        "Show After Capturing=0", "Capture Control=0", "Show Cursor=1", "Hot Keys=0", "Show Countdown=1",
        "Copy After Capture=0", "Save After Capture=1", "Save Folder=D:\\Shots", "Save Name=Kaptor%Y%m%d-%H%M%S-%n.png",
        "Monitor Under Pointer=1", "Markup Tool=1", "Markup Colour=255", "Markup Width=3"};
    EXPECT_EQ(ini.written, expected);
    TSettings back;
    LoadSettings(ini, back);
    EXPECT_EQ(back, s);
}

TEST(SettingsWrite, FailureStopsAtThatKeyAndKeepsEarlierOnes) {
    MemoryIni ini;
    ini.failAt = 4;  // "ShowStsBar"
    TSettings s;
    try {
        SaveSettings(ini, s);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, Format(texts::CannotWrite, "C:\\Tools\\Kaptor.INI"));
    }
    EXPECT_EQ(ini.written.size(), 4u);
    EXPECT_EQ(ini.values.count("Kaptor32/ShowBar"), 1u);
    EXPECT_EQ(ini.values.count("Kaptor32/ShowStsBar"), 0u);
}

TEST(SaveName, PartsAreFilledUnsafeCharactersReplacedAndTheCounterSkipsTakenNames) {
    // "ソ" is 0x83 0x5C in Shift-JIS: its second byte is a backslash that must stay.
    const TCaptureNameParts parts{2026, 1, 2, 3, 4, 5, "Window", "a\\b/c:d*e?f\"g<h>i|j\t\x83\x5C. "};
    EXPECT_EQ(ExpandCaptureName("%Y%m%d-%H%M%S_%k_%t", parts, 1), "20260102-030405_Window_a_b_c_d_e_f_g_h_i_j_\x83\x5C");
    EXPECT_EQ(ExpandCaptureName("%n%%%x%", parts, 12), "012%%x%");
    for (const auto& [title, name] : {std::pair{"con ", "_con .png"}, {"Com7", "_Com7.png"}, {"COM10", "COM10.png"}}) {
        TCaptureNameParts device;  // a window whose title is a device's name
        device.title = title;
        EXPECT_EQ(ExpandCaptureName("%t.png", device, 1), name);
    }
    TCaptureNameParts pairs = parts;
    pairs.title.assign(99, '\x83');  // cut at 80 bytes, between pairs
    EXPECT_EQ(ExpandCaptureName("%t.png", pairs, 1), std::string(80, '\x83') + ".png");

    std::set<std::string> taken = {"C:\\S\\shot-001.png", "C:\\S\\shot-002.png", "C:\\S\\x.jpg", "C:\\S\\x-2.jpg"};
    const auto exists = [&taken](const std::string& name) { return taken.count(name) > 0; };
    EXPECT_EQ(FreeCaptureName("C:\\S\\", "shot-%n.png", parts, exists), "C:\\S\\shot-003.png");
    EXPECT_EQ(FreeCaptureName("C:\\S\\", "x.jpg", parts, exists), "C:\\S\\x-3.jpg");
    EXPECT_EQ(FreeCaptureName("C:\\S\\", "x.txt.", parts, exists), "C:\\S\\x.txt.png");
    EXPECT_EQ(CaptureFolder("", "C:\\P\\"), "C:\\P\\");
    EXPECT_EQ(CaptureFolder("shots", "C:\\P\\"), "C:\\P\\shots\\");
    for (const char* absolute : {"D:\\S", "\\\\host\\S", "\\S\\"})
        EXPECT_EQ(CaptureFolder(absolute, "C:\\P\\").substr(0, 2), std::string(absolute).substr(0, 2));
    EXPECT_EQ(SaveTypeOfName("a.JPEG"), SaveTypeJpeg);
    EXPECT_EQ(SaveTypeOfName("a.Bmp"), SaveTypeBitmap);
}
