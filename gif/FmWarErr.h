// The warning form: a message in a scrolling memo with two (hidden) answer buttons. Only
// the class exists; nothing creates it.
#pragma once

#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

// A multi-line edit with a vertical scroll bar.
class TWarningMemo : public TEdit {
public:
    using TEdit::TEdit;

protected:
    void CreateParamsFor(CreateParams& params) override;
};

class TWarningForm : public TForm {
public:
    explicit TWarningForm(TComponent* owner);

    TWarningMemo* Memo1;
    TButton* OKBtn;
    TButton* CancelBtn;
};

}  // namespace kaptor
