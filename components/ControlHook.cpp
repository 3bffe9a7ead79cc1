#include "components/ControlHook.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "framework/win/Forms.h"
#include "framework/win/WindowTable.h"

namespace kaptor {

// ---------------------------------------------------------------- TWindowSubclass

namespace {
long liveLinks = 0;
LRESULT CALLBACK ChainEntry(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
}  // namespace

// The links of one window, the first attached first, and the procedure they stand in front
// of. Kept while a message runs through it, and while something hooked the window after us
// (that procedure still calls ours): it then only forwards.
struct TWindowChain {
    WNDPROC original = nullptr;
    std::vector<TWindowSubclass*> links;
    int running = 0;  // messages running through it now
    bool destroyed = false;

    // Every hooked window's chain (never destroyed, like the windows' controls).
    static TWindowTable<TWindowChain>& All() {
        static auto* table = new TWindowTable<TWindowChain>;
        return *table;
    }
    static TWindowChain* Of(HWND wnd) { return All().Find(wnd); }

    // The message to the link below `index` (the window's own procedure below the first).
    LRESULT Pass(std::size_t index, HWND wnd, TMessage& message) {
        if (index == 0) return CallWindowProcA(original, wnd, message.Msg, message.WParam, message.LParam);
        TWindowSubclass* link = links[index - 1];
        ++running;
        struct Done {
            int& running;
            ~Done() { --running; }
        } done{running};
        try {
            link->handler_(link->self_, message);
        } catch (...) {
            ShowCallbackError();
        }
        return message.Result;
    }

    // Gone once nothing uses it: the window's own procedure back, when it is still ours to
    // give back, and its entry in the table with it.
    static void Release(HWND wnd, TWindowChain* chain) {
        if (!chain->links.empty() || chain->running || chain->destroyed) return;
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC)) != &ChainEntry) return;
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chain->original));
        All().Remove(wnd);
        delete chain;
    }
};

namespace {

LRESULT CALLBACK ChainEntry(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    TWindowChain* chain = TWindowChain::Of(wnd);
    if (!chain) return DefWindowProcA(wnd, msg, wp, lp);
    TMessage message{msg, wp, lp, 0};
    // Counted for the whole message: the window may be destroyed inside it.
    ++chain->running;
    const LRESULT result = chain->Pass(chain->links.size(), wnd, message);
    if (msg == WM_NCDESTROY) chain->destroyed = true;
    if (--chain->running) return result;
    if (chain->destroyed) {
        // The window's last message has been: the chain goes with it.
        TWindowChain::All().Remove(wnd);
        for (TWindowSubclass* link : chain->links) link->Detach();
        delete chain;
    } else {
        TWindowChain::Release(wnd, chain);
    }
    return result;
}

}  // namespace

bool TWindowSubclass::Attach(HWND wnd) {
    Detach();
    if (!wnd || !IsWindow(wnd)) return false;
    TWindowChain* chain = TWindowChain::Of(wnd);
    if (!chain) {
        // Every window has a procedure: 0 means it cannot be subclassed from here.
        const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
        if (!original) return false;
        auto owned = std::make_unique<TWindowChain>();
        owned->original = original;
        TWindowChain::All().Add(wnd, owned.get());
        if (!SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChainEntry))) {
            TWindowChain::All().Remove(wnd);
            return false;
        }
        chain = owned.release();
    }
    chain->links.push_back(this);
    wnd_ = wnd;
    ++liveLinks;
    return true;
}

void TWindowSubclass::Detach() {
    if (!wnd_) return;
    const HWND wnd = std::exchange(wnd_, nullptr);
    --liveLinks;
    TWindowChain* chain = IsWindow(wnd) ? TWindowChain::Of(wnd) : nullptr;
    if (!chain) return;
    std::erase(chain->links, this);
    TWindowChain::Release(wnd, chain);
}

std::size_t TWindowSubclass::Place(const TWindowChain& chain) const {
    const auto at = std::find(chain.links.begin(), chain.links.end(), this);
    return at == chain.links.end() ? 0 : static_cast<std::size_t>(at - chain.links.begin());
}

LRESULT TWindowSubclass::CallNext(const TMessage& message) const {
    TWindowChain* chain = wnd_ ? TWindowChain::Of(wnd_) : nullptr;
    if (!chain) return 0;
    TMessage passed = message;
    passed.Result = 0;
    return chain->Pass(Place(*chain), wnd_, passed);
}

LRESULT TWindowSubclass::DetachAndCallNext(const TMessage& message) {
    const HWND wnd = wnd_;
    TWindowChain* chain = wnd ? TWindowChain::Of(wnd) : nullptr;
    if (!chain) return 0;
    const std::size_t place = Place(*chain);
    // The chain stays while this message runs through it (running counts it).
    Detach();
    TMessage passed = message;
    passed.Result = 0;
    return chain->Pass(place, wnd, passed);
}

long TWindowSubclass::LiveCount() { return liveLinks; }

void ShowCallbackError() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            if (Application) Application->HandleException(e);
        } catch (...) {
            if (Application) Application->HandleException(Exception("?"));
        }
    } catch (...) {
        // The display itself failed (no memory for the text): nothing more can be done here.
    }
}

// ---------------------------------------------------------------- TControlHook

namespace {

const char* UtilClass(WNDPROC proc) {
    static const char* const name = [proc] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = MainInstance();
        wc.lpszClassName = "TControlHookUtil";
        // Asked for inside a window's destruction: no exception, the window is then not made.
        if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return static_cast<const char*>(nullptr);
        return "TControlHookUtil";
    }();
    return name;
}

}  // namespace

TControlHook::TControlHook(TComponent* owner) : TComponent(owner) {}

HWND TControlHook::UtilWnd() {
    if (utilWnd_) return utilWnd_;
    const char* utilClass = UtilClass(&UtilWndProc);
    if (!utilClass) return nullptr;
    // A message-only window: it needs no place on the desktop, only a queue to be posted to.
    utilWnd_ = CreateWindowExA(0, utilClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(), nullptr);
    if (!utilWnd_) return nullptr;
    detail::CountHandle(HandleKind::Window, +1);
    // Nothing can be posted to it before this is set.
    SetWindowLongPtrA(utilWnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return utilWnd_;
}

TControlHook::~TControlHook() {
    Hook(false);
    if (utilWnd_) {
        // A re-hook request still queued goes with the window.
        SetWindowLongPtrA(utilWnd_, GWLP_USERDATA, 0);
        DestroyWindow(utilWnd_);
        detail::CountHandle(HandleKind::Window, -1);
    }
}

void TControlHook::SetControl(TWinControl* control) {
    Hook(false);
    control_ = control;
    // Whatever is hooked, the reference must never outlive the control.
    if (control_) control_->FreeNotification(this);
    Hook(true);
}

void TControlHook::SetTarget(THookTarget target) {
    Hook(false);
    target_ = target;
    Hook(true);
}

void TControlHook::Loaded() {
    TComponent::Loaded();
    SetControl(control_);
}

void TControlHook::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr && component == control_)
        ControlChanged(ccControlRemoved);
}

void TControlHook::ControlChanged(int reason) {
    if (reason == ccControlRemoved) control_ = nullptr;  // the hook stays until its window goes
    else Hook(true);
}

TWinControl* TControlHook::FindTarget() const {
    if (target_ == THookTarget::htControl) return control_;
    const TComponent* c = control_ ? static_cast<const TComponent*>(control_) : this;
    for (; c; c = c->Owner())
        if (auto* form = dynamic_cast<TForm*>(const_cast<TComponent*>(c))) return form;
    return nullptr;
}

void TControlHook::Hook(bool enable) {
    if (enable) {
        // Never chain onto ourselves: whatever is hooked goes first.
        link_.Detach();
        TWinControl* t = FindTarget();
        if (!t) {
            if (target_ == THookTarget::htForm) throw Exception("フック先を特定できません。");
            return;
        }
        t->FreeNotification(this);
        // A control without a parent has no window yet, and so nothing to hook.
        HWND wnd = t->Handle();
        if (!wnd) return;
        link_.Attach(wnd);
        return;
    }
    link_.Detach();
}

void TControlHook::HookEntry(void* self, TMessage& message) {
    auto* hook = static_cast<TControlHook*>(self);
    if (message.Msg == WM_DESTROY) {
        // Hooked again once the window exists anew, if it is being re-created at all. The
        // window hears of its end from its own procedure, after the unhook.
        if (HWND util = hook->UtilWnd()) PostMessageA(util, WM_REHOOK, 0, 0);
        message.Result = hook->link_.DetachAndCallNext(message);
        return;
    }
    hook->HookedWndProc(message);
}

void TControlHook::HookedWndProc(TMessage& message) { message.Result = link_.CallNext(message); }

LRESULT CALLBACK TControlHook::UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_REHOOK) {
        if (auto* hook = reinterpret_cast<TControlHook*>(GetWindowLongPtrA(wnd, GWLP_USERDATA))) {
            try {
                hook->ControlChanged(ccRehook);
            } catch (...) {
                ShowCallbackError();
            }
        }
    }
    return DefWindowProcA(wnd, msg, wp, lp);
}

}  // namespace kaptor
