// TAboutBox, the modal "ﾊﾞｰｼﾞｮﾝ情報" box: the file version read from the program's own
// version resource each time it is shown, and a two-frame icon animation started by a
// double-click on the icon.
#pragma once

#include <string>

#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "framework/win/StdCtrls.h"

namespace kaptor {

class TAboutBox : public TForm {
public:
    explicit TAboutBox(TComponent* owner);

    TPanel* AboutPanel;
    // The icons are there once the box's window is made.
    TImage* Icon;  // the visible icon
    TLabel *Description, *ProductName, *Version, *DoubleClickHint;
    TImage* FrameA;  // frame A; never visible
    TImage* FrameB;  // frame B; never visible
    TImage* RestingIcon;  // the resting icon; never visible
    TButton* OKButton;
    TTimer* AnimationTimer;

    void FormShow(TComponent* sender);
    void ReadVersion();  // of the running program
    void ReadVersion(const std::string& path);
    // One string of the version resource read by ReadVersion, with a leading blank, or empty.
    std::string GetStringInfo(const std::string& name);
    void IconDoubleClicked(TComponent* sender);
    void AnimationTick(TComponent* sender);
    void FormCloseQuery(TComponent* sender, bool& canClose);
    void OkClicked(TComponent* sender);

protected:
    void CreateWnd() override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
};

extern TAboutBox* AboutBox;
// 0 or 1: which frame the next timer tick leaves behind.
extern int AnimationPhase;
// The last "FileVersion" read, without the leading blank's label.
extern std::string FileVersionText;

}  // namespace kaptor
