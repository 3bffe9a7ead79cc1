// Program entry: the cut cursor, the application object, the windows in their order, the
// message loop.
#include <windows.h>

#include "app/AboutBox.h"
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
        app.CreateForm<TMainWindow>();
        app.CreateForm<TOptionsDialog>();
        app.CreateForm<TAboutBox>();
        app.CreateForm<TWindowListDialog>();
        app.Run();
        app.DestroyForms();
    } catch (const std::exception& e) {
        // Only a failure to set up the application itself gets here.
        MessageBoxA(nullptr, e.what(), "Kaptor32", MB_OK | MB_ICONERROR);
        return 1;
    }
    return 0;
}
