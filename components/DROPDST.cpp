#include "components/DROPDST.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>


namespace kaptor {

TDropDst::TDropDst(TComponent* owner) : TControlHook(owner) {}

void TDropDst::SetAcceptDrop(bool accept) {
    if (accept == acceptDrop_) return;
    acceptDrop_ = accept;
    UpdateDragAccept();
}

void TDropDst::Loaded() {
    TControlHook::Loaded();
    UpdateDragAccept();
}

void TDropDst::ControlChanged(int reason) {
    TControlHook::ControlChanged(reason);
    UpdateDragAccept();
}

void TDropDst::UpdateDragAccept() {
    if (HookedWnd()) DragAcceptFiles(HookedWnd(), acceptDrop_);
}

void TDropDst::HookedWndProc(TMessage& message) {
    if (message.Msg != WM_DROPFILES) {
        TControlHook::HookedWndProc(message);
        return;
    }
    // The drop is ours alone: not passed on, result 0, and the handle released whatever the
    // handler did.
    auto drop = reinterpret_cast<HDROP>(message.WParam);
    try {
        DoFileDrop(drop);
    } catch (...) {
        ShowCallbackError();
    }
    DragFinish(drop);
}

void TDropDst::DoFileDrop(HDROP drop) {
    if (!OnFileDrop) return;
    TStringList files;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Sized by the name's own length: a name cut at MAX_PATH could name another file.
        const UINT length = DragQueryFileA(drop, i, nullptr, 0);
        std::string name(std::max<UINT>(length + 1, MAX_PATH), '\0');
        DragQueryFileA(drop, i, name.data(), static_cast<UINT>(name.size()));
        name.resize(std::strlen(name.c_str()));
        files.Add(std::move(name));
    }
    POINT point{0, 0};
    DragQueryPoint(drop, &point);
    OnFileDrop(this, files, point.x, point.y);
}

}  // namespace kaptor
