#include "components/CTLHOOK.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/win/Forms.h"

namespace kaptor {

// ---------------------------------------------------------------- TObjectInstance

static_assert(sizeof(void*) == 4, "the window procedure thunks are i686 code");

namespace {

// One thunk:  pop eax / push self / push eax / jmp entry.
// The caller's return address moves above the inserted `self`, so the entry point sees
// (self, wnd, msg, wp, lp); being stdcall it removes all five, which leaves the stack as the
// caller expects of a four-argument window procedure.
constexpr std::size_t SlotSize = 16;
constexpr std::size_t CodeSize = 12;

struct SlotPool {
    std::vector<unsigned char*> free;
    long live = 0;
};

SlotPool& Pool() {
    static SlotPool pool;
    return pool;
}

unsigned char* AllocSlot() {
    SlotPool& pool = Pool();
    if (pool.free.empty()) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t size = info.dwPageSize;
        // Pages are never given back: any slot on them may be live or abandoned.
        auto* page = static_cast<unsigned char*>(
            VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ));
        if (!page) throw EOutOfMemory();
        for (std::size_t off = size; off >= SlotSize; off -= SlotSize) pool.free.push_back(page + off - SlotSize);
    }
    unsigned char* slot = pool.free.back();
    pool.free.pop_back();
    ++pool.live;
    return slot;
}

void FreeSlot(unsigned char* slot) {
    SlotPool& pool = Pool();
    pool.free.push_back(slot);
    --pool.live;
}

bool WriteSlot(unsigned char* slot, const void* self, const void* target) {
    unsigned char code[CodeSize];
    const auto selfValue = reinterpret_cast<std::uint32_t>(self);
    const auto jump = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(target) -
                                                reinterpret_cast<std::uintptr_t>(slot + CodeSize));
    code[0] = 0x58;  // pop eax
    code[1] = 0x68;  // push imm32
    std::memcpy(code + 2, &selfValue, 4);
    code[6] = 0x50;  // push eax
    code[7] = 0xE9;  // jmp rel32
    std::memcpy(code + 8, &jump, 4);
    // Writable only while written; the page stays executable throughout, as other thunks on
    // it may be running further up the stack.
    DWORD old = 0;
    if (!VirtualProtect(slot, SlotSize, PAGE_EXECUTE_READWRITE, &old)) return false;
    std::memcpy(slot, code, CodeSize);
    VirtualProtect(slot, SlotSize, PAGE_EXECUTE_READ, &old);
    FlushInstructionCache(GetCurrentProcess(), slot, SlotSize);
    return true;
}

LRESULT CALLBACK ForwardEntry(void* previous, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallWindowProcA(reinterpret_cast<WNDPROC>(previous), wnd, msg, wp, lp);
}

}  // namespace

TObjectInstance::TObjectInstance(Entry entry, void* self) {
    unsigned char* slot = AllocSlot();
    if (!WriteSlot(slot, self, reinterpret_cast<const void*>(entry))) {
        FreeSlot(slot);
        throw EOutOfMemory();
    }
    code_ = slot;
}

TObjectInstance::~TObjectInstance() {
    if (code_) FreeSlot(code_);
}

TObjectInstance::TObjectInstance(TObjectInstance&& other) noexcept : code_(std::exchange(other.code_, nullptr)) {}

TObjectInstance& TObjectInstance::operator=(TObjectInstance&& other) noexcept {
    if (this != &other) {
        if (code_) FreeSlot(code_);
        code_ = std::exchange(other.code_, nullptr);
    }
    return *this;
}

void TObjectInstance::Abandon(WNDPROC previous) {
    if (!code_) return;
    // Should the code stay as it was, the slot still must never be reused: it is left alone.
    WriteSlot(code_, reinterpret_cast<const void*>(previous), reinterpret_cast<const void*>(&ForwardEntry));
    --Pool().live;  // the slot is the window's now, never reused
    code_ = nullptr;
}

long TObjectInstance::LiveCount() { return Pool().live; }

void RestoreWndProc(HWND wnd, TObjectInstance& ours, WNDPROC previous) {
    if (!ours || !wnd || !IsWindow(wnd)) return;
    const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
    if (current == ours.Proc()) SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    else ours.Abandon(previous);
}

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
        if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            throw Exception("ｳｨﾝﾄﾞｳｸﾗｽ TControlHookUtil を登録できません");
        return "TControlHookUtil";
    }();
    return name;
}

}  // namespace

TControlHook::TControlHook(TComponent* owner) : TComponent(owner) {
    newWndProc_ = TObjectInstance(&HookEntry, this);
    // A message-only window: it needs no place on the desktop, only a queue to be posted to.
    utilWnd_ = CreateWindowExA(0, UtilClass(&UtilWndProc), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, MainInstance(),
                               nullptr);
    if (!utilWnd_) throw Exception("ｳｨﾝﾄﾞｳを作成できません (TControlHookUtil)");
    detail::CountHandle(HandleKind::Window, +1);
    // Nothing can be posted to it before this is set.
    SetWindowLongPtrA(utilWnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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
        if (hookedWnd_) Hook(false);
        TWinControl* t = FindTarget();
        if (!t) {
            if (target_ == THookTarget::htForm) throw Exception("フック先を特定できません。");
            return;
        }
        t->FreeNotification(this);
        // A control without a parent has no window yet, and so nothing to hook.
        HWND wnd = t->Handle();
        if (!wnd) return;
        if (!newWndProc_) newWndProc_ = TObjectInstance(&HookEntry, this);
        // Every window has a procedure: 0 means the window cannot be subclassed from here.
        const auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(wnd, GWLP_WNDPROC));
        if (!old) return;
        hookedWnd_ = wnd;
        oldWndProc_ = old;
        if (!SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(newWndProc_.Proc()))) hookedWnd_ = nullptr;
        return;
    }
    if (!hookedWnd_) return;
    // Restored whenever our procedure is still the window's own, even when the target has
    // changed meanwhile (a freed control, an owner chain being torn down): a window left
    // holding our procedure would call into a freed component.
    RestoreWndProc(hookedWnd_, newWndProc_, oldWndProc_);
    hookedWnd_ = nullptr;
}

LRESULT CALLBACK TControlHook::HookEntry(void* self, HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* hook = static_cast<TControlHook*>(self);
    try {
        return hook->HookProc(wnd, msg, wp, lp);
    } catch (...) {
        ShowCallbackError();
    }
    return 0;
}

LRESULT TControlHook::HookProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    const WNDPROC old = oldWndProc_;
    // A window we no longer hook (should our code still be called for one): straight on.
    if (wnd != hookedWnd_) return CallWindowProcA(old, wnd, msg, wp, lp);
    if (msg == WM_DESTROY) {
        // Hooked again once the window exists anew, if it is being re-created at all. The
        // window hears of its end from its own procedure, after the unhook.
        PostMessageA(utilWnd_, WM_REHOOK, 0, 0);
        Hook(false);
        return CallWindowProcA(old, wnd, msg, wp, lp);
    }
    TMessage message{msg, wp, lp, 0};
    HookedWndProc(message);
    return message.Result;
}

void TControlHook::HookedWndProc(TMessage& message) {
    message.Result = CallWindowProcA(oldWndProc_, hookedWnd_, message.Msg, message.WParam, message.LParam);
}

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
