#include "gif/ProgressForm.h"

#include <cmath>

namespace kaptor {

TProgressForm* ProgressForm = nullptr;
TProgressHook ProgressHook = nullptr;

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner, "TProgressForm", TFormWindow::OnDemand) {
    SetCaption("Progress");
    SetBounds(0, 0, 275, 157);
    Gauge = new TGauge(this);
    Gauge->Name = "Gauge1";
    Gauge->SetParent(this);
    Gauge->SetAlign(TAlign::alClient);
    Gauge->SetKind(TGaugeKind::gkNeedle);
    Gauge->SetForeColor(RGB(0, 0, 255));
    Gauge->SetProgress(0);
}

void TProgressForm::ShowProgress(float fraction) {
    if (fraction <= 0.9999f) {
        if (!Visible()) Show();
        // nearbyint rounds halves to even in the default rounding mode.
        Gauge->SetProgress(static_cast<int>(std::nearbyint(fraction * 100.0)));
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
