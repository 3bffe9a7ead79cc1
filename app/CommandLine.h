// The command line for scripts: a capture asked for by switches, beside the start-up picture
// file. Portable: it reads and writes texts only; the program's entry decides which of the
// two a command line is, runs the request or hands it to the program already running.
//
//   Kaptor32 /capture=screen|active|region|last|window:TITLE [/delay=N] [/save[=FILE]]
//            [/copy] [/quit]
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/base/SysUtils.h"

namespace kaptor {

namespace texts {
inline constexpr const char* BadSwitch = "ｽｲｯﾁが正しくありません：［%s］";
inline constexpr const char* NoCaptureSwitch = "ｷｬﾌﾟﾁｬｰの種類(/capture=)がありません";
inline constexpr const char* SwitchUsage =
    "使い方:\r\n"
    "/capture=screen|active|region|last|window:ﾀｲﾄﾙ\r\n"
    "[/delay=秒] [/save[=ﾌｧｲﾙ名]] [/copy] [/quit]\r\n"
    "ﾌｧｲﾙ名の拡張子: .png .bmp .jpg";
}  // namespace texts

// What the program's exit status says about a request. Scripts test these numbers: they
// never change meaning.
enum class TExitStatus : int {
    Done = 0,
    BadSwitch = 1,      // nothing captured, nothing written
    CaptureFailed = 2,  // the capture failed or the user cancelled it
    NoWindow = 3,       // no window has the title
    SaveFailed = 4,
    CopyFailed = 5,
    NoAnswer = 6,  // the program already running did not answer, or ended first
};

enum class TRequestedCapture { WholeScreen, ActiveWindow, Region, LastRegion, Window };

// A capture asked for by switches.
struct TCaptureSwitches {
    TRequestedCapture kind = TRequestedCapture::WholeScreen;
    std::string title;         // Window: the title, exactly as the window shows it
    std::optional<int> delay;  // seconds; none: the options' delay
    bool save = false;
    std::string saveTo;  // empty: into the options' folder under their name pattern
    bool copy = false;
    bool quiet = false;  // /quit: no window, no message box; the program ends when done

    bool operator==(const TCaptureSwitches&) const = default;
};

// A bad command line: the text says which switch and how to write them.
class ECommandLine : public Exception {
public:
    using Exception::Exception;
    bool quiet = false;  // /quit was among the switches: the message goes to no window
};

// The switches of args (the command line without the program's name); the switch names and
// capture kinds in any case. Throws ECommandLine for an unknown or repeated switch, a bad
// value, a save file whose extension names no type we write, or no /capture.
TCaptureSwitches ReadSwitches(const std::vector<std::string>& args);

// The switches as one text for the program already running (the save file must be a full
// path by then), and back.
std::string PackSwitches(const TCaptureSwitches& switches);
TCaptureSwitches UnpackSwitches(const std::string& packed);

}  // namespace kaptor
