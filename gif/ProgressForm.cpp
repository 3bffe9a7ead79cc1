#include "gif/ProgressForm.h"

#include <cmath>

namespace kaptor {

TProgressForm* ProgressForm = nullptr;
TProgressHook ProgressHook = nullptr;

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner, "TProgressForm") {
    SetCaption("Progress");
    SetBounds(0, 0, 275, 157);
    Gauge1 = new TGauge(this);
    Gauge1->Name = "Gauge1";
    Gauge1->SetParent(this);
    Gauge1->SetAlign(TAlign::alClient);
    Gauge1->SetKind(TGaugeKind::gkNeedle);
    Gauge1->SetForeColor(RGB(0, 0, 255));
    Gauge1->SetProgress(0);
}

void TProgressForm::ShowProgress(float fraction) {
    if (fraction <= 0.9999f) {
        if (!Visible()) Show();
        // nearbyint rounds halves to even in the default rounding mode.
        Gauge1->SetProgress(static_cast<int>(std::nearbyint(fraction * 100.0)));
    } else {
        Hide();
    }
}

namespace {

void ShowProgressAndPump(float fraction) {
    if (ProgressForm) ProgressForm->ShowProgress(fraction);
    if (Application) Application->ProcessMessages();
}

}  // namespace

void InstallProgressHook() { ProgressHook = &ShowProgressAndPump; }

}  // namespace kaptor
