// The "file already exists" dialog: replace it, keep it, or choose another name.
#pragma once

#include <string>

#include "framework/win/Dialogs.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

class TCanSaveDialog : public TForm {
public:
    explicit TCanSaveDialog(TComponent* owner);

    // The save dialog starts from FileName; confirmed, the form closes with modal result 1
    // and keeps the chosen name, cancelled with 3.
    void SaveAsButtonClick(TComponent* sender);

    TLabel* FilenameLabel;
    TLabel* Label2;
    TImage* Image1;
    TButton* Button1;
    TButton* Button3;
    TButton* SaveAsButton;
    TSaveDialog* SaveDialog;
    std::string FileName;
};

// Created at start-up without an owner (TGifSupport); null otherwise.
extern TCanSaveDialog* CanSaveDialog;

}  // namespace kaptor
