#include "gif/FmCanSav.h"

#include "framework/win/Handles.h"

namespace kaptor {

TCanSaveDialog* CanSaveDialog = nullptr;

TCanSaveDialog::TCanSaveDialog(TComponent* owner) : TForm(owner, "TCanSaveDialog") {
    SetCaption("Save");
    SetBorderStyle(TBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    SetClientSize(268, 147);
    DialogKeys = true;

    Image1 = new TImage(this);
    Image1->Name = "Image1";
    Image1->SetParent(this);
    Image1->SetBounds(16, 16, 34, 34);
    {
        // Any warning-style picture: the system's warning icon on the dialog face.
        TBitmap& bitmap = Image1->Picture().Bitmap();
        bitmap.SetSize(34, 34);
        HDC dc = bitmap.Canvas().Handle();
        RECT r{0, 0, 34, 34};
        UniqueBrush face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        FillRect(dc, &r, face.get());
        DrawIcon(dc, 1, 1, LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING)));
        bitmap.Modified();
    }

    FilenameLabel = new TLabel(this);
    FilenameLabel->Name = "FilenameLabel";
    FilenameLabel->SetParent(this);
    FilenameLabel->SetBounds(64, 16, 196, 16);
    FilenameLabel->SetCaption("filename already exists.");

    Label2 = new TLabel(this);
    Label2->Name = "Label2";
    Label2->SetParent(this);
    Label2->SetBounds(64, 40, 196, 16);
    Label2->SetCaption("Do you want to replace it?");

    Button1 = new TButton(this);
    Button1->Name = "Button1";
    Button1->SetParent(this);
    Button1->SetBounds(16, 80, 75, 25);
    Button1->SetCaption("&Yes");
    Button1->ModalResult = 1;

    Button3 = new TButton(this);
    Button3->Name = "Button3";
    Button3->SetParent(this);
    Button3->SetBounds(97, 80, 75, 25);
    Button3->SetCaption("&No");
    Button3->ModalResult = 3;

    SaveAsButton = new TButton(this);
    SaveAsButton->Name = "SaveAsButton";
    SaveAsButton->SetParent(this);
    SaveAsButton->SetBounds(16, 112, 236, 25);
    SaveAsButton->SetCaption("&Change filename");
    SaveAsButton->OnClick = [this](TComponent* sender) { SaveAsButtonClick(sender); };

    SaveDialog = new TSaveDialog(this);
    SaveDialog->Name = "SaveDialog";
    SaveDialog->Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
}

void TCanSaveDialog::SaveAsButtonClick(TComponent*) {
    SaveDialog->FileName = FileName;
    if (SaveDialog->Execute()) {
        FileName = SaveDialog->FileName;
        ModalResult = 1;
    } else {
        ModalResult = 3;
    }
}

}  // namespace kaptor
