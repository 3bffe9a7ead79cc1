// The one application object the in-process tests share, and helpers to drive it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"

namespace kaptor {
class TMainWindow;
}

namespace kaptor::testing {

// Creates the application on first use; message boxes are recorded, not shown.
TApplication& TestApp();
// The program's main window, created once (waiting, hiding and the cursor overlay off) and
// shared by every test that needs it; it is the application's main form.
TMainWindow& MainWindow();
// Texts of the message boxes shown since the last call.
std::vector<std::string> TakeMessages();
// Lets pending messages run (posted and sent), a few rounds.
void Pump(int rounds = 3);
// The performance counter in milliseconds, for tests that time a wait: the tick count is the
// wine server's, which a loaded machine updates late (a one-second sleep once read as 947 ms).
long long Milliseconds();
// Whether the pointer is at (x, y).
bool PointerAt(int x, int y);
// The pointer at (x, y), with cursor as the thread's cursor; false if either did not take.
// Under Wine the display may report an older position a moment after the move, so the
// position must hold for a while before it counts.
bool PlacePointer(HCURSOR cursor, int x, int y);

}  // namespace kaptor::testing
