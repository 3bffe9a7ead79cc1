// The progress form of GIF loading: a needle gauge that ShowProgress moves and hides at the
// end, and ProgressHook, the process-wide procedure the decoder's row hook reaches (at most
// once a frame).
#pragma once

#include "framework/win/Forms.h"
#include "gif/Gauge.h"

namespace kaptor {

class TProgressForm : public TForm {
public:
    explicit TProgressForm(TComponent* owner);

    // fraction 0 to 1: shown (if hidden) with the gauge at fraction x 100, rounded half to
    // even; above 0.9999 the form hides.
    void ShowProgress(float fraction);

    TGauge* Gauge;
};

// Created at start-up without an owner and hidden (TGifSupport), its window made when first
// shown or asked for; null otherwise.
extern TProgressForm* ProgressForm;

// Takes a fraction from 0 to 1. Null until InstallProgressHook.
using TProgressHook = void (*)(float fraction);
extern TProgressHook ProgressHook;
// Sets ProgressHook to: ShowProgress on ProgressForm (when there is one), then let the
// application run its pending messages.
void InstallProgressHook();

}  // namespace kaptor
