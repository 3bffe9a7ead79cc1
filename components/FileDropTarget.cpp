#include "components/FileDropTarget.h"
#include "framework/win/LazyLibraries.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>


namespace kaptor {

namespace {

// True when every byte of [p, p + n) lies in committed memory of ours that can be read.
bool Readable(const void* p, SIZE_T n) {
    auto at = reinterpret_cast<ULONG_PTR>(p);
    const ULONG_PTR end = at + n;
    if (end < at) return false;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info)) return false;
        if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
            !(info.Protect & (PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY)))
            return false;
        at = reinterpret_cast<ULONG_PTR>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

// The names start at pFiles, each ends with a NUL of the names' width, and an empty name ends
// the list; all of it inside the block. At least one name, and no control characters in any
// (no file name has them): memory that merely happens to look like a header does not pass.
bool NamesEndInside(const unsigned char* block, SIZE_T size, SIZE_T start, bool wide) {
    const SIZE_T unit = wide ? 2 : 1;
    auto code = [&](SIZE_T at) { return wide ? block[at] | (block[at + 1] << 8) : block[at]; };
    SIZE_T at = start;
    int names = 0;
    for (;;) {
        if (at + unit > size) return false;
        if (code(at) == 0) return names > 0;
        for (; at + unit <= size && code(at) != 0; at += unit)
            if (code(at) < 0x20) return false;
        if (at + unit > size) return false;
        at += unit;
        ++names;
    }
}

// Whether the handle of a WM_DROPFILES is a drop block in our own memory. The message can be
// posted by any program with any value in it, and the shell's functions read through the
// handle unchecked: a value that is not our memory (a handle of the sending process, say)
// crashes them.
bool IsDropBlock(HDROP drop) {
    // The handle itself is read by the memory functions (the block header or the handle's
    // entry around it), so that much must be ours before they are asked.
    const auto value = reinterpret_cast<ULONG_PTR>(drop);
    if (value < 0x10000 || !Readable(reinterpret_cast<const void*>(value - 16), 32)) return false;
    const SIZE_T size = GlobalSize(drop);
    if (size < sizeof(DROPFILES)) return false;
    const auto* block = static_cast<const unsigned char*>(GlobalLock(drop));
    if (!block) return false;
    bool ok = false;
    if (Readable(block, size)) {
        const auto* header = reinterpret_cast<const DROPFILES*>(block);
        ok = header->pFiles >= sizeof(DROPFILES) && header->pFiles < size && (header->fNC == 0 || header->fNC == 1) &&
             (header->fWide == 0 || header->fWide == 1) &&
             NamesEndInside(block, size, header->pFiles, header->fWide == 1);
    }
    GlobalUnlock(drop);
    return ok;
}

}  // namespace

TFileDropTarget::TFileDropTarget(TComponent* owner) : TControlHook(owner) {}

void TFileDropTarget::SetAcceptDrop(bool accept) {
    if (accept == acceptDrop_) return;
    acceptDrop_ = accept;
    UpdateDragAccept();
}

void TFileDropTarget::Loaded() {
    TControlHook::Loaded();
    UpdateDragAccept();
}

void TFileDropTarget::ControlChanged(int reason) {
    TControlHook::ControlChanged(reason);
    UpdateDragAccept();
}

void TFileDropTarget::UpdateDragAccept() {
    // Accepting dropped files is this style (what DragAcceptFiles sets): shell32 is loaded
    // when the first drop comes, not at start.
    HWND wnd = HookedWnd();
    if (!wnd) return;
    const LONG_PTR style = GetWindowLongPtrA(wnd, GWL_EXSTYLE);
    const LONG_PTR wanted = acceptDrop_ ? style | WS_EX_ACCEPTFILES : style & ~static_cast<LONG_PTR>(WS_EX_ACCEPTFILES);
    if (wanted != style) SetWindowLongPtrA(wnd, GWL_EXSTYLE, wanted);
}

void TFileDropTarget::HookedWndProc(TMessage& message) {
    if (message.Msg != WM_DROPFILES) {
        TControlHook::HookedWndProc(message);
        return;
    }
    // The drop is ours alone: not passed on, result 0, and the handle released whatever the
    // handler did.
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    // Anything else is left alone, unread and unreleased: it may be memory in use elsewhere.
    if (!IsDropBlock(drop)) return;
    try {
        DoFileDrop(drop);
    } catch (...) {
        ShowCallbackError();
    }
    lazy::DragFinish(drop);
}

void TFileDropTarget::DoFileDrop(HDROP drop) {
    if (!OnFileDrop) return;
    TStringList files;
    const UINT count = lazy::DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Sized by the name's own length: a name cut at MAX_PATH could name another file.
        const UINT length = lazy::DragQueryFileA(drop, i, nullptr, 0);
        std::string name(std::max<UINT>(length + 1, MAX_PATH), '\0');
        lazy::DragQueryFileA(drop, i, name.data(), static_cast<UINT>(name.size()));
        name.resize(std::strlen(name.c_str()));
        files.Add(std::move(name));
    }
    POINT point{0, 0};
    lazy::DragQueryPoint(drop, &point);
    OnFileDrop(this, files, point.x, point.y);
}

}  // namespace kaptor
