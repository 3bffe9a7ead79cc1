// The system DLLs the first painted window does not need (common dialogs, the shell, the
// spooler, version resources, sounds), loaded when one of their functions is first called
// instead of before WinMain: importing them made a start take half as long again. Call these
// in place of the functions of the same name; each is looked up once.
#pragma once

#include <windows.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <winspool.h>

namespace kaptor {

// One DLL, loaded at the first Function call and kept to the end of the process: the tray
// icon's static clean-up still calls the shell after every other object is gone.
class TLazyLibrary {
public:
    explicit constexpr TLazyLibrary(const char* name) : name_(name) {}
    TLazyLibrary(const TLazyLibrary&) = delete;
    TLazyLibrary& operator=(const TLazyLibrary&) = delete;
    // The function's address; throws Exception when the DLL or the function is missing.
    FARPROC Function(const char* function);

private:
    const char* name_;
    HMODULE module_ = nullptr;
};

namespace lazy {
// comdlg32
BOOL WINAPI ChooseColorA(LPCHOOSECOLORA cc);
DWORD WINAPI CommDlgExtendedError();
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn);
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn);
BOOL WINAPI PrintDlgA(LPPRINTDLGA pd);
// shell32
void WINAPI DragFinish(HDROP drop);
UINT WINAPI DragQueryFileA(HDROP drop, UINT file, LPSTR name, UINT size);
BOOL WINAPI DragQueryPoint(HDROP drop, POINT* point);
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data);
// version
DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle);
BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);
// winmm
BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);
// winspool
BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL WINAPI ClosePrinter(HANDLE printer);
BOOL WINAPI GetDefaultPrinterA(LPSTR buffer, LPDWORD size);
BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned);
BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
LONG WINAPI DocumentPropertiesA(HWND wnd, HANDLE printer, LPSTR device, PDEVMODEA out, PDEVMODEA in, DWORD mode);
}  // namespace lazy

}  // namespace kaptor
