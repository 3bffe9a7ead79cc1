// TControlHook: hooking a control's or a form's window, unhooking, following a re-created
// window, forgetting a freed control, and hooks stacked on one window.
#include <gtest/gtest.h>

#include <vector>

#include "HookTestSupport.h"
#include "components/ControlHook.h"

using namespace kaptor;
using namespace kaptor::testing;
using namespace kaptor::testing::hooktest;

namespace {

// Counts the probes it sees before passing them on; can be told to fail on them.
class RecordingHook : public TControlHook {
public:
    using TControlHook::TControlHook;
    using TControlHook::ControlChanged;
    using TControlHook::Hook;
    using TControlHook::SetTarget;
    using TControlHook::Target;
    int Probes = 0;
    bool FailOnProbe = false;
    std::vector<RecordingHook*>* Order = nullptr;  // where each hook notes that it saw a probe

protected:
    void HookedWndProc(TMessage& message) override {
        if (message.Msg == WM_PROBE) {
            ++Probes;
            if (Order) Order->push_back(this);
            if (FailOnProbe) throw Exception("probe failed");
        }
        TControlHook::HookedWndProc(message);
    }
};

LRESULT Probe(HWND wnd) { return SendMessageA(wnd, WM_PROBE, 0, 0); }

}  // namespace

TEST(ControlHook, HookingAndUnhookingPutTheOriginalProcedureBack) {
    TestApp();
    HookTestForm form(nullptr);
    HWND panel = form.Panel->Handle();
    const WNDPROC original = WndProcOf(panel);
    auto* hook = new RecordingHook(&form);

    hook->SetControl(form.Panel);
    EXPECT_EQ(hook->HookedWnd(), panel);
    EXPECT_NE(WndProcOf(panel), original);
    EXPECT_EQ(Probe(panel), 42);  // the hook's result is the old procedure's
    EXPECT_EQ(hook->Probes, 1);
    EXPECT_EQ(form.Panel->Probes, 1);

    hook->SetControl(nullptr);
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    EXPECT_EQ(WndProcOf(panel), original);
    EXPECT_EQ(Probe(panel), 42);
    EXPECT_EQ(hook->Probes, 1);
    EXPECT_EQ(form.Panel->Probes, 2);

    // Freeing a hooked component unhooks too.
    hook->SetControl(form.Panel);
    delete hook;
    EXPECT_EQ(WndProcOf(panel), original);
    EXPECT_EQ(Probe(panel), 42);
}

TEST(ControlHook, HookingAgainNeverChainsOntoItself) {
    TestApp();
    HookTestForm form(nullptr);
    HWND panel = form.Panel->Handle();
    const WNDPROC original = WndProcOf(panel);
    auto* hook = new RecordingHook(&form);
    hook->SetControl(form.Panel);

    hook->Hook(true);
    hook->ControlChanged(TControlHook::ccRehook);
    hook->SetControl(form.Panel);
    EXPECT_EQ(hook->HookedWnd(), panel);
    EXPECT_EQ(Probe(panel), 42);
    EXPECT_EQ(hook->Probes, 1);
    EXPECT_EQ(form.Panel->Probes, 1);

    hook->Hook(false);
    EXPECT_EQ(WndProcOf(panel), original);
}

TEST(ControlHook, FollowsTheControlWhenItsWindowIsRecreated) {
    TestApp();
    TakeMessages();
    HookTestForm form(nullptr);
    auto* hook = new RecordingHook(&form);
    hook->SetControl(form.Panel);
    HWND before = form.Panel->Handle();

    form.Panel->Recreate();
    HWND after = form.Panel->Handle();
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(IsWindow(before));
    // Unhooked when the old window went; hooked again only once the request is handled.
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    EXPECT_EQ(Probe(after), 42);
    EXPECT_EQ(hook->Probes, 0);

    Pump();
    EXPECT_EQ(hook->HookedWnd(), after);
    EXPECT_EQ(Probe(after), 42);
    EXPECT_EQ(hook->Probes, 1);
    EXPECT_EQ(form.Panel->Probes, 2);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(ControlHook, AFreedControlIsForgottenAndNothingIsHookedAgain) {
    TestApp();
    TakeMessages();
    HookTestForm form(nullptr);
    auto* hook = new RecordingHook(&form);
    hook->SetControl(form.Panel);

    delete form.Panel;
    EXPECT_EQ(hook->Control(), nullptr);
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    Pump();  // the re-hook request of the destroyed window
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    hook->ControlChanged(TControlHook::ccRehook);
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST(ControlHook, WithoutAControlNothingIsHookedAndNothingFails) {
    TestApp();
    HookTestForm form(nullptr);
    RecordingHook hook(&form);
    EXPECT_NO_THROW(hook.SetControl(nullptr));
    EXPECT_NO_THROW(hook.Hook(true));
    EXPECT_EQ(hook.HookedWnd(), nullptr);
    // A control that has no parent has no window to hook yet.
    ProbePanel loose(nullptr);
    hook.SetControl(&loose);
    EXPECT_EQ(hook.HookedWnd(), nullptr);
}

TEST(ControlHook, FormTargetHooksTheFormThatOwnsTheControlOrTheComponent) {
    TestApp();
    HookTestForm own(nullptr);
    HookTestForm other(nullptr);
    const WNDPROC ownOriginal = WndProcOf(own.Handle());
    const WNDPROC otherOriginal = WndProcOf(other.Handle());
    auto* hook = new RecordingHook(&own);

    hook->SetTarget(THookTarget::htForm);
    EXPECT_EQ(hook->HookedWnd(), own.Handle());
    EXPECT_NE(WndProcOf(own.Handle()), ownOriginal);

    // With a control: its owner chain decides, not the component's.
    hook->SetControl(other.Panel);
    EXPECT_EQ(hook->HookedWnd(), other.Handle());
    EXPECT_EQ(WndProcOf(own.Handle()), ownOriginal);
    EXPECT_EQ(Probe(other.Handle()), 0);  // the form itself does not answer probes
    EXPECT_EQ(hook->Probes, 1);
    delete hook;
    EXPECT_EQ(WndProcOf(other.Handle()), otherOriginal);
}

// With the form as target only the form is watched; the control must be too, or a freed
// control would stay behind as a dangling reference.
TEST(ControlHook, FormTargetStillForgetsAFreedControlOfAnotherOwner) {
    TestApp();
    HookTestForm own(nullptr);
    HookTestForm other(nullptr);
    auto* hook = new RecordingHook(&own);
    hook->SetTarget(THookTarget::htForm);
    hook->SetControl(other.Panel);
    ASSERT_EQ(hook->HookedWnd(), other.Handle());
    delete other.Panel;
    EXPECT_EQ(hook->Control(), nullptr);
    EXPECT_EQ(hook->HookedWnd(), other.Handle());  // the hook stays until the form's window goes
    hook->SetControl(nullptr);
    EXPECT_EQ(hook->HookedWnd(), own.Handle());
}

TEST(ControlHook, FormTargetWithoutAFormFailsAndHooksNothing) {
    TestApp();
    TComponent root(nullptr);
    auto* hook = new RecordingHook(&root);
    try {
        hook->SetTarget(THookTarget::htForm);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "フック先を特定できません。");
    }
    EXPECT_EQ(hook->HookedWnd(), nullptr);
}

TEST(ControlHook, AFailedRehookIsShownAndGoesNoFurther) {
    TestApp();
    TakeMessages();
    TComponent root(nullptr);
    auto* hook = new RecordingHook(&root);
    auto* form = new HookTestForm(nullptr);
    hook->SetControl(form->Panel);
    hook->SetTarget(THookTarget::htForm);
    ASSERT_EQ(hook->HookedWnd(), form->Handle());

    // The form's window goes: the posted re-hook finds no form above the component.
    delete form;
    EXPECT_EQ(hook->Control(), nullptr);
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    Pump();
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "フック先を特定できません。");
}

TEST(ControlHook, AnErrorInTheHookedProcedureStaysInsideTheWindowProcedure) {
    TestApp();
    TakeMessages();
    HookTestForm form(nullptr);
    auto* hook = new RecordingHook(&form);
    hook->SetControl(form.Panel);
    hook->FailOnProbe = true;
    EXPECT_EQ(Probe(form.Panel->Handle()), 0);
    const auto shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "probe failed");
    hook->FailOnProbe = false;
    EXPECT_EQ(Probe(form.Panel->Handle()), 42);
}

TEST(ControlHook, HooksStackedOnOneWindowComeOffInAnyOrder) {
    TestApp();
    const long instances = TWindowSubclass::LiveCount();
    HookTestForm form(nullptr);
    HWND panel = form.Panel->Handle();
    const WNDPROC original = WndProcOf(panel);
    auto* first = new RecordingHook(&form);
    auto* second = new RecordingHook(&form);
    std::vector<RecordingHook*> order;
    first->Order = second->Order = &order;
    first->SetControl(form.Panel);
    second->SetControl(form.Panel);
    EXPECT_EQ(Probe(panel), 42);
    EXPECT_EQ(first->Probes, 1);
    EXPECT_EQ(second->Probes, 1);
    // The latest hook sees a message first.
    EXPECT_EQ(order, (std::vector<RecordingHook*>{second, first}));

    // The first goes while the second still passes messages to it.
    delete first;
    EXPECT_EQ(second->HookedWnd(), panel);
    EXPECT_EQ(Probe(panel), 42);
    EXPECT_EQ(second->Probes, 2);
    EXPECT_EQ(form.Panel->Probes, 2);

    delete second;
    EXPECT_EQ(Probe(panel), 42);
    EXPECT_EQ(form.Panel->Probes, 3);
    EXPECT_EQ(WndProcOf(panel), original);
    EXPECT_EQ(TWindowSubclass::LiveCount(), instances);

    // In the usual order everything comes off cleanly.
    auto* a = new RecordingHook(&form);
    auto* b = new RecordingHook(&form);
    const WNDPROC base = WndProcOf(panel);
    a->SetControl(form.Panel);
    b->SetControl(form.Panel);
    delete b;
    delete a;
    EXPECT_EQ(WndProcOf(panel), base);
}

// The hook stays on a form after its control is freed; freeing the component must still take
// it off that form, though the component's own owner chain now leads to another form.
TEST(ControlHook, AHookLeftOnAnotherFormIsTakenOffWhenTheComponentGoes) {
    TestApp();
    HookTestForm owner(nullptr);
    HookTestForm hooked(nullptr);
    const WNDPROC original = WndProcOf(hooked.Handle());
    auto* hook = new RecordingHook(&owner);
    hook->SetControl(hooked.Panel);
    hook->SetTarget(THookTarget::htForm);
    ASSERT_EQ(hook->HookedWnd(), hooked.Handle());

    delete hooked.Panel;
    EXPECT_EQ(hook->Control(), nullptr);
    EXPECT_EQ(hook->HookedWnd(), hooked.Handle());
    delete hook;
    EXPECT_EQ(WndProcOf(hooked.Handle()), original);
    EXPECT_EQ(SendMessageA(hooked.Handle(), WM_NULL, 0, 0), 0);
}

// While a form is built its controls may get their parents (and windows) after the hook is
// told its control; the hook is placed once loading is over.
TEST(ControlHook, LoadedHooksAControlThatGotItsWindowLater) {
    TestApp();
    HookTestForm form(nullptr);
    auto* late = new ProbePanel(&form);
    auto* hook = new RecordingHook(&form);
    ASSERT_TRUE(hook->Loading());
    hook->SetControl(late);
    EXPECT_EQ(hook->HookedWnd(), nullptr);
    late->SetParent(&form);
    form.LoadedAll();
    EXPECT_FALSE(hook->Loading());
    EXPECT_EQ(hook->HookedWnd(), late->Handle());
    EXPECT_EQ(Probe(late->Handle()), 42);
    EXPECT_EQ(hook->Probes, 1);
}

TEST(ControlHook, ComponentsReleaseTheirWindowAndProcedure) {
    TestApp();
    const long windows = OwnedHandles(HandleKind::Window);
    const long instances = TWindowSubclass::LiveCount();
    {
        HookTestForm form(nullptr);
        for (int i = 0; i < 20; ++i) {
            auto* hook = new RecordingHook(&form);
            hook->SetControl(form.Panel);
            EXPECT_TRUE(IsWindow(hook->UtilWnd()));
            if (i % 2) delete hook;  // the rest go with the form
        }
    }
    EXPECT_EQ(OwnedHandles(HandleKind::Window), windows);
    EXPECT_EQ(TWindowSubclass::LiveCount(), instances);
}
