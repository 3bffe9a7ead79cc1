// A drop target for files from the shell: hooks a control's window (or its form's), registers
// it with the shell and turns each WM_DROPFILES into one OnFileDrop event.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>

#include "components/ControlHook.h"
#include "framework/base/Classes.h"

namespace kaptor {

// Files: the dropped names in the shell's order, valid during the event only. X, Y: the drop
// point in client coordinates of the hooked window.
using TFileDropEvent = std::function<void(TComponent* sender, TStrings& files, int x, int y)>;

class TFileDropTarget : public TControlHook {
public:
    explicit TFileDropTarget(TComponent* owner);

    using TControlHook::SetTarget;
    using TControlHook::Target;

    TFileDropEvent OnFileDrop;

    bool AcceptDrop() const { return acceptDrop_; }
    void SetAcceptDrop(bool accept);

    void Loaded() override;

protected:
    void ControlChanged(int reason) override;
    void HookedWndProc(TMessage& message) override;
    virtual void DoFileDrop(HDROP drop);

private:
    void UpdateDragAccept();

    bool acceptDrop_ = true;
};

}  // namespace kaptor
