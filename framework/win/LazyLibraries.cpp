#include "framework/win/LazyLibraries.h"

#include <string>

#include "framework/base/SysUtils.h"

namespace kaptor {

FARPROC TLazyLibrary::Function(const char* function) {
    // Kept, never freed: see the header.
    if (!module_) module_ = LoadLibraryA(name_);
    if (!module_) throw Exception(std::string("cannot load ") + name_);
    if (FARPROC f = GetProcAddress(module_, function)) return f;
    throw Exception(std::string("no ") + function + " in " + name_);
}

namespace {

// Made before any code runs (constant initialisation) and trivially destroyed, so a static
// object's constructor or destructor may call through them too.
constinit TLazyLibrary Comdlg32("comdlg32.dll");
constinit TLazyLibrary Shell32("shell32.dll");
constinit TLazyLibrary Version("version.dll");
constinit TLazyLibrary Winmm("winmm.dll");
constinit TLazyLibrary Winspool("winspool.drv");

// The function of that name, typed as the system header declares it (F is its decltype, so
// naming it imports nothing).
template <typename F>
F* Find(TLazyLibrary& library, const char* name) {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(library.Function(name)));
}

}  // namespace

namespace lazy {

BOOL WINAPI ChooseColorA(LPCHOOSECOLORA cc) {
    static const auto f = Find<decltype(::ChooseColorA)>(Comdlg32, "ChooseColorA");
    return f(cc);
}
DWORD WINAPI CommDlgExtendedError() {
    static const auto f = Find<decltype(::CommDlgExtendedError)>(Comdlg32, "CommDlgExtendedError");
    return f();
}
BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA ofn) {
    static const auto f = Find<decltype(::GetOpenFileNameA)>(Comdlg32, "GetOpenFileNameA");
    return f(ofn);
}
BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA ofn) {
    static const auto f = Find<decltype(::GetSaveFileNameA)>(Comdlg32, "GetSaveFileNameA");
    return f(ofn);
}
BOOL WINAPI PrintDlgA(LPPRINTDLGA pd) {
    static const auto f = Find<decltype(::PrintDlgA)>(Comdlg32, "PrintDlgA");
    return f(pd);
}

void WINAPI DragFinish(HDROP drop) {
    static const auto f = Find<decltype(::DragFinish)>(Shell32, "DragFinish");
    f(drop);
}
UINT WINAPI DragQueryFileA(HDROP drop, UINT file, LPSTR name, UINT size) {
    static const auto f = Find<decltype(::DragQueryFileA)>(Shell32, "DragQueryFileA");
    return f(drop, file, name, size);
}
BOOL WINAPI DragQueryPoint(HDROP drop, POINT* point) {
    static const auto f = Find<decltype(::DragQueryPoint)>(Shell32, "DragQueryPoint");
    return f(drop, point);
}
BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    static const auto f = Find<decltype(::Shell_NotifyIconA)>(Shell32, "Shell_NotifyIconA");
    return f(message, data);
}

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    static const auto f = Find<decltype(::GetFileVersionInfoSizeA)>(Version, "GetFileVersionInfoSizeA");
    return f(file, handle);
}
BOOL WINAPI GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    static const auto f = Find<decltype(::GetFileVersionInfoA)>(Version, "GetFileVersionInfoA");
    return f(file, handle, size, data);
}
BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    static const auto f = Find<decltype(::VerQueryValueA)>(Version, "VerQueryValueA");
    return f(block, subBlock, buffer, length);
}

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
    static const auto f = Find<decltype(::PlaySoundA)>(Winmm, "PlaySoundA");
    return f(sound, module, flags);
}

BOOL WINAPI OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults) {
    static const auto f = Find<decltype(::OpenPrinterA)>(Winspool, "OpenPrinterA");
    return f(name, printer, defaults);
}
BOOL WINAPI ClosePrinter(HANDLE printer) {
    static const auto f = Find<decltype(::ClosePrinter)>(Winspool, "ClosePrinter");
    return f(printer);
}
BOOL WINAPI GetDefaultPrinterA(LPSTR buffer, LPDWORD size) {
    static const auto f = Find<decltype(::GetDefaultPrinterA)>(Winspool, "GetDefaultPrinterA");
    return f(buffer, size);
}
BOOL WINAPI EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                          LPDWORD returned) {
    static const auto f = Find<decltype(::EnumPrintersA)>(Winspool, "EnumPrintersA");
    return f(flags, name, level, buffer, size, needed, returned);
}
BOOL WINAPI GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    static const auto f = Find<decltype(::GetPrinterA)>(Winspool, "GetPrinterA");
    return f(printer, level, buffer, size, needed);
}
LONG WINAPI DocumentPropertiesA(HWND wnd, HANDLE printer, LPSTR device, PDEVMODEA out, PDEVMODEA in, DWORD mode) {
    static const auto f = Find<decltype(::DocumentPropertiesA)>(Winspool, "DocumentPropertiesA");
    return f(wnd, printer, device, out, in, mode);
}

}  // namespace lazy

}  // namespace kaptor
