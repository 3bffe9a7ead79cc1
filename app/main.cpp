// Program entry: the cut cursor, the application object, the command line (a picture file,
// or a capture for a script, handed to the program already running when there is one), the
// windows in their order, the message loop.
#include <windows.h>

#include "app/AboutBox.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "app/OptionsDialog.h"
#include "capture/WindowListDialog.h"
#include "gif/GifBitmap.h"

using namespace kaptor;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    try {
        TApplication app;
        TGifSupport gifSupport;  // "gif" picture format and the GIF forms, before any other form
        // Cursor 1 is the range mode's cut cursor.
        Screen->SetCursor(1, LoadCursorA(instance, "CUT"));
        app.SetTitle("Kaptor32");
        if (SwitchLine(__argc, __argv)) {
            try {
                StartUpRequest = ReadStartSwitches(__argc, __argv);
            } catch (const ECommandLine& e) {
                // Nothing is captured. A script that asked for no window gets no message box
                // to wait on: the text goes to its standard error.
                if (e.quiet)
                    TellCaller({TExitStatus::BadSwitch, e.what(), {}});
                else
                    ShowMessage(e.what());
                return static_cast<int>(TExitStatus::BadSwitch);
            }
            // One program on the desktop: one tray icon, one set of hot keys.
            TRequestResult handed;
            if (HandOver(*StartUpRequest, handed)) {
                // The running program has shown what a user should see, unless it never took
                // the request.
                if (StartUpRequest->quiet)
                    TellCaller(handed);
                else if (handed.status == TExitStatus::NoAnswer)
                    ShowMessage(handed.message);
                return static_cast<int>(handed.status);
            }
        }
        app.CreateForm<TMainWindow>();
        app.CreateForm<TOptionsDialog>();
        app.CreateForm<TAboutBox>();
        app.CreateForm<TWindowListDialog>();
        app.Run();
        const int status = TheMainWindow ? TheMainWindow->ExitStatus() : 0;
        app.DestroyForms();
        return status;
    } catch (const std::exception& e) {
        // Only a failure to set up the application itself gets here.
        MessageBoxA(nullptr, e.what(), "Kaptor32", MB_OK | MB_ICONERROR);
        return 1;
    }
}
