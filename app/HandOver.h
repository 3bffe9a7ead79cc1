// A capture asked for on the command line, between the program's entry, the program already
// running and the script that started it: which command lines are switches, handing a
// request to the running program (WM_COPYDATA to its "TKaptor32" window) and waiting for its
// answer, and telling the script what came of it.
#pragma once

#include <windows.h>

#include <string>

#include "app/CommandLine.h"

namespace kaptor {

namespace texts {
inline constexpr const char* NoAnswer = "起動中の Kaptor32 が応答しません";
}

// What came of a request.
struct TRequestResult {
    TExitStatus status = TExitStatus::Done;
    std::string message;  // what went wrong, as the user would have been told
    std::string savedTo;  // the file the picture went to
};

// WM_COPYDATA's dwData for a request (wParam: the window the answer goes to; lpData: the
// packed switches) and for its answer (dwData: AnswerTag + the exit status; wParam: the
// answering window; lpData: the file saved to, NUL, the message).
inline constexpr ULONG_PTR RequestTag = 0x4B505431;  // "KPT1"
inline constexpr ULONG_PTR AnswerTag = 0x4B505400;

// The command line is switches: its first argument begins with '/' and names no file (a
// picture file, even one whose path begins with '/', opens as before).
bool SwitchLine(int argc, char** argv);
// The switches of the command line, a save file made a full path against the current
// folder (the running program has another). Throws ECommandLine.
TCaptureSwitches ReadStartSwitches(int argc, char** argv);

// Hands the request to the program already running and waits for its answer; false when
// none runs or the one running is ending. A program that does not answer the hand-over, or
// ends before it answers the request, gives TExitStatus::NoAnswer.
bool HandOver(const TCaptureSwitches& switches, TRequestResult& result);
// The bytes a WM_COPYDATA carries, either way; none when it came without data.
std::string CopiedText(const COPYDATASTRUCT& data);
// The running program's answer to a second start's window.
void Answer(HWND to, HWND from, const TRequestResult& result);

// What a quiet request tells the script: the message on its standard error, the saved file
// on its standard output (or the console it was started from); nothing when it has neither.
void TellCaller(const TRequestResult& result);

}  // namespace kaptor
