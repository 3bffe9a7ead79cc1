// The picture control (TImage), the scrolling container it lives in (TScrollBox) and the
// timer (TTimer).
#pragma once

#include "framework/win/Controls.h"
#include "framework/win/Picture.h"

namespace kaptor {

// Shows a picture, stretched to the control's own size when Stretch is on. Drawing on its
// Canvas draws into the picture's bitmap, and only what changed is repainted.
class TImage : public TCustomControl {
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;

    TPicture& Picture() { return picture_; }
    // The picture's bitmap canvas. An empty picture first gets a new bitmap of the control's
    // current size.
    TCanvas& Canvas();
    bool Stretch = false;
    // Stretched smaller than the picture: each display pixel the mean of the pixels it stands
    // for; false: the nearest one, as a plain stretch shows it.
    bool AverageWhenSmaller = true;
    bool IncrementalDisplay = false;
    // Draws over the picture after each paint (the paint DC, clipped to what is painted).
    std::function<void(HDC dc)> OnPaintOver;

protected:
    void CreateParamsFor(CreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void Paint(HDC dc, const RECT& update) override;
    void Resized() override;

private:
    void PictureChanged(const RECT* r);
    // The display rectangle that shows picture rectangle r.
    RECT ToDisplay(const RECT& r) const;
    TPicture picture_;
};

// A container whose scroll bars follow its children's extent and scroll them live.
class TScrollBox : public TCustomControl {
public:
    explicit TScrollBox(TComponent* owner);
    int HorzPosition() const { return hpos_; }
    int VertPosition() const { return vpos_; }
    void ScrollTo(int x, int y);

protected:
    void CreateParamsFor(CreateParams& params) override;
    LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
    void ControlBoundsChanged(TWinControl* child) override;
    void Resized() override;

private:
    void UpdateScrollBars();
    void OnScroll(int bar, WORD code);
    int hpos_ = 0, vpos_ = 0;
    bool updating_ = false;
};

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* owner);
    ~TTimer() override;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    UINT Interval() const { return interval_; }
    void SetInterval(UINT interval);
    TNotifyEvent OnTimer;

private:
    void Update();
    void Stop();
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    UINT_PTR id_ = 0;  // the running thread timer's, 0 when stopped
    bool enabled_ = true;
    UINT interval_ = 1000;
};

}  // namespace kaptor
