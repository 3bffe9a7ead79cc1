// The text of a markup text object, typed (the IME's composition included) in a box of
// several lines.
#pragma once

#include <string>

#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

class TMarkupTextDialog : public TForm {
public:
    explicit TMarkupTextDialog(TComponent* owner);
    // Shows text for editing; false when cancelled. Lines are separated by '\n'.
    bool Ask(std::string& text);

    TEdit* Text;
    TButton* OkButton;
    TButton* DismissButton;
};

}  // namespace kaptor
