// The gauge (property rules, range errors, clamping, repainting, the five kinds as drawn)
// and the GIF support forms as start-up makes and exit frees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <memory>

#include "TestApp.h"
#include "framework/base/SysUtils.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Handles.h"
#include "gif/ProgressForm.h"
#include "gif/Gauge.h"
#include "gif/GifBitmap.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EInvalidOperation& e) {
        return e.Message;
    }
    return "(no error)";
}

// A shown form with a gauge on it, for the tests that need a window.
struct GaugeOnForm {
    GaugeOnForm() {
        TestApp();
        form = std::make_unique<TForm>(nullptr);
        form->SetBounds(20, 20, 200, 200);
        gauge = new TGauge(form.get());
        gauge->SetParent(form.get());
        form->Show();
        Pump(1);
    }
    // Whether the gauge has asked to be painted since the last call.
    bool WantsPaint() {
        const bool dirty = GetUpdateRect(gauge->Handle(), nullptr, FALSE) != 0;
        ValidateRect(gauge->Handle(), nullptr);
        return dirty;
    }
    std::unique_ptr<TForm> form;
    TGauge* gauge;
};

}  // namespace

TEST(Gauge, DefaultsAndRangeRulesWithTheirErrorTexts) {
    TestApp();
    TGauge g(nullptr);
    EXPECT_EQ(100, g.Width());
    EXPECT_EQ(100, g.Height());
    EXPECT_EQ(TGaugeKind::gkHorizontalBar, g.Kind());
    EXPECT_TRUE(g.ShowText());
    EXPECT_EQ(TGaugeBorderStyle::bsSingle, g.BorderStyle());
    EXPECT_EQ(RGB(0, 0, 0), g.ForeColor());
    EXPECT_EQ(RGB(255, 255, 255), g.BackColor());
    EXPECT_EQ(0, g.MinValue());
    EXPECT_EQ(100, g.MaxValue());
    EXPECT_EQ(0, g.Progress());

    EXPECT_EQ(Format("%d から %d の間の値でなければなりません", -2147483647, 99), ErrorOf([&] { g.SetMinValue(101); }));
    EXPECT_EQ("-2147483647 から 99 の間の値でなければなりません", ErrorOf([&] { g.SetMinValue(101); }));
    EXPECT_EQ("1 から 2147483647 の間の値でなければなりません", ErrorOf([&] { g.SetMaxValue(-1); }));
    EXPECT_EQ(0, g.MinValue());
    EXPECT_EQ(100, g.MaxValue());
    // Equal bounds are allowed, and give 0 %.
    g.SetProgress(40);
    g.SetMinValue(100);
    EXPECT_EQ(100, g.Progress());  // moved along with the lower bound
    EXPECT_EQ(0, g.PercentDone());
    g.SetMinValue(0);
    g.SetMaxValue(30);
    EXPECT_EQ(30, g.Progress());  // and with the upper one
    // While a form is being built, bounds may cross for a moment.
    g.SetLoading(true);
    g.SetMinValue(50);
    EXPECT_EQ(50, g.MinValue());
    g.SetMaxValue(200);
    g.SetLoading(false);
    EXPECT_EQ("-2147483647 から 199 の間の値でなければなりません", ErrorOf([&] { g.SetMinValue(INT_MAX); }));
}

TEST(Gauge, ProgressIsClampedAndPercentDoneTruncates) {
    TestApp();
    TGauge g(nullptr);
    g.SetProgress(150);
    EXPECT_EQ(100, g.Progress());
    g.SetProgress(-5);
    EXPECT_EQ(0, g.Progress());
    g.SetMaxValue(3);
    g.SetProgress(2);
    EXPECT_EQ(66, g.PercentDone());
    g.AddProgress(5);
    EXPECT_EQ(3, g.Progress());
    EXPECT_EQ(100, g.PercentDone());
    // The widest range does not overflow.
    g.SetMinValue(INT_MIN);
    g.SetMaxValue(INT_MAX);
    g.SetProgress(0);
    EXPECT_EQ(50, g.PercentDone());
    g.SetMinValue(-10);
    g.SetMaxValue(10);
    g.SetProgress(-5);
    EXPECT_EQ(25, g.PercentDone());
}

TEST(Gauge, RepaintsOnlyWhenPercentDoneOrAPaintedPropertyChanges) {
    GaugeOnForm f;
    TGauge& g = *f.gauge;
    g.SetMaxValue(1000);
    f.WantsPaint();
    g.SetProgress(5);  // still 0 %
    EXPECT_FALSE(f.WantsPaint());
    EXPECT_EQ(5, g.Progress());
    g.SetProgress(10);  // 1 %
    EXPECT_TRUE(f.WantsPaint());
    g.SetProgress(19);  // still 1 %
    EXPECT_FALSE(f.WantsPaint());

    g.SetKind(TGaugeKind::gkHorizontalBar);  // unchanged
    EXPECT_FALSE(f.WantsPaint());
    g.SetKind(TGaugeKind::gkPie);
    EXPECT_TRUE(f.WantsPaint());
    g.SetForeColor(RGB(0, 0, 0));
    EXPECT_FALSE(f.WantsPaint());
    g.SetForeColor(RGB(1, 0, 0));
    EXPECT_TRUE(f.WantsPaint());
    g.SetBackColor(RGB(1, 2, 3));
    EXPECT_TRUE(f.WantsPaint());
    g.SetShowText(false);
    EXPECT_TRUE(f.WantsPaint());
    g.SetBorderStyle(TGaugeBorderStyle::bsNone);
    EXPECT_TRUE(f.WantsPaint());
    g.SetBorderStyle(TGaugeBorderStyle::bsNone);
    EXPECT_FALSE(f.WantsPaint());
}

namespace {

struct Painted {
    explicit Painted(TGauge& g) { g.PaintTo(bitmap); }
    COLORREF At(int x, int y) { return bitmap.Canvas().Pixels(x, y); }
    TBitmap bitmap;
};

constexpr COLORREF kFore = RGB(0, 0, 255), kBack = RGB(255, 255, 0), kFace = RGB(0, 128, 0);

void Prepare(TGauge& g, TGaugeKind kind, int progress) {
    g.SetKind(kind);
    g.SetShowText(false);
    g.SetForeColor(kFore);
    g.SetBackColor(kBack);
    g.SetColor(kFace);
    g.SetProgress(progress);
}

}  // namespace

TEST(Gauge, BarsFillFromTheLeftAndFromTheBottomInsideTheBorder) {
    TestApp();
    TGauge g(nullptr);
    Prepare(g, TGaugeKind::gkHorizontalBar, 50);
    {
        Painted p(g);
        EXPECT_EQ(RGB(0, 0, 0), p.At(0, 50));   // the single border
        EXPECT_EQ(RGB(0, 0, 0), p.At(99, 99));
        EXPECT_EQ(kFore, p.At(1, 50));          // 98 x 0.5 = 49 columns: 1 to 49
        EXPECT_EQ(kFore, p.At(49, 98));
        EXPECT_EQ(kBack, p.At(50, 50));
        EXPECT_EQ(kBack, p.At(98, 1));
    }
    g.SetProgress(1);  // 98 x 0.01 is below one column: nothing
    EXPECT_EQ(kBack, Painted(g).At(1, 50));
    g.SetProgress(100);
    EXPECT_EQ(kFore, Painted(g).At(98, 50));

    Prepare(g, TGaugeKind::gkVerticalBar, 25);  // 24 rows from the bottom: 75 to 98
    {
        Painted p(g);
        EXPECT_EQ(kFore, p.At(50, 98));
        EXPECT_EQ(kFore, p.At(1, 75));
        EXPECT_EQ(kBack, p.At(50, 74));
    }
    g.SetBorderStyle(TGaugeBorderStyle::bsNone);
    Prepare(g, TGaugeKind::gkText, 70);
    {
        Painted p(g);
        EXPECT_EQ(kBack, p.At(0, 0));
        EXPECT_EQ(kBack, p.At(99, 99));
        EXPECT_EQ(kBack, p.At(50, 50));
    }
}

TEST(Gauge, PieAndNeedleDrawTheirShapes) {
    TestApp();
    TGauge g(nullptr);
    Prepare(g, TGaugeKind::gkPie, 0);
    {
        Painted p(g);
        EXPECT_EQ(kFace, p.At(3, 3));     // corner outside the ellipse
        EXPECT_EQ(kBack, p.At(50, 50));   // empty dial
        EXPECT_EQ(kFore, p.At(50, 1));    // outline
    }
    g.SetProgress(25);  // the quarter from twelve to three o'clock
    {
        Painted p(g);
        EXPECT_EQ(kFore, p.At(70, 30));
        EXPECT_EQ(kBack, p.At(30, 30));
        EXPECT_EQ(kBack, p.At(70, 70));
        EXPECT_EQ(kBack, p.At(30, 70));
    }
    g.SetProgress(75);
    {
        Painted p(g);
        EXPECT_EQ(kFore, p.At(70, 70));
        EXPECT_EQ(kFore, p.At(30, 70));
        EXPECT_EQ(kBack, p.At(30, 30));
    }

    Prepare(g, TGaugeKind::gkNeedle, 0);
    {
        Painted p(g);
        EXPECT_EQ(kFace, p.At(3, 5));     // above the half disc, in a corner
        EXPECT_EQ(kBack, p.At(50, 60));   // inside it, no needle
        EXPECT_EQ(kFore, p.At(50, 98));   // the bottom line
    }
    g.SetProgress(50);  // straight up from the middle of the bottom
    {
        Painted p(g);
        EXPECT_EQ(kFore, p.At(50, 60));
        EXPECT_EQ(kFore, p.At(50, 20));
        EXPECT_EQ(kBack, p.At(35, 60));
    }
}

TEST(Gauge, TextIsInvertedOverBothColours) {
    TestApp();
    TGauge g(nullptr);
    Prepare(g, TGaugeKind::gkHorizontalBar, 50);
    Painted plain(g);
    g.SetShowText(true);
    Painted text(g);
    int inverted = 0, other = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            const COLORREF a = plain.At(x, y), b = text.At(x, y);
            if (a == b) continue;
            if (b == (a ^ 0xFFFFFF)) ++inverted;
            else ++other;
        }
    EXPECT_GT(inverted, 20);  // "50%" is some dozens of pixels
    EXPECT_EQ(0, other);
    // Both halves of the bar carry part of the text.
    bool onFore = false, onBack = false;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            if (text.At(x, y) == (kFore ^ 0xFFFFFF)) onFore = true;
            if (text.At(x, y) == (kBack ^ 0xFFFFFF)) onBack = true;
        }
    EXPECT_TRUE(onFore);
    EXPECT_TRUE(onBack);
}

TEST(GifForms, StartUpMakesTheHiddenProgressFormAndExitFreesIt) {
    TestApp();
    const long handlesBefore = OwnedGdiHandles();
    HWND progress = nullptr;
    {
        TGifSupport support;
        ASSERT_NE(nullptr, ProgressForm);
        EXPECT_EQ(nullptr, ProgressForm->Owner());
        progress = ProgressForm->Handle();

        EXPECT_EQ("Progress", ProgressForm->Caption());
        EXPECT_FALSE(ProgressForm->Visible());
        EXPECT_FALSE(IsWindowVisible(progress));
        EXPECT_EQ(TGaugeKind::gkNeedle, ProgressForm->Gauge->Kind());
        EXPECT_EQ(RGB(0, 0, 255), ProgressForm->Gauge->ForeColor());
        EXPECT_EQ(TAlign::alClient, ProgressForm->Gauge->Align());
        EXPECT_EQ(ProgressForm->ClientWidth(), ProgressForm->Gauge->Width());
        EXPECT_EQ(ProgressForm->ClientHeight(), ProgressForm->Gauge->Height());

        // TPicture knows the format from now on.
        bool found = false;
        for (const TFileFormat& f : TPicture::FileFormats())
            if (f.Extension == "gif") found = f.Description == "GIF-Format";
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(nullptr, ProgressForm);
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_EQ(handlesBefore, OwnedGdiHandles());
}

TEST(GifForms, ShowProgressShowsSetsRoundedPercentAndHidesAtTheEnd) {
    TestApp();
    TProgressForm form(nullptr);
    form.AfterConstruction();
    form.ShowProgress(0.125f);  // 12.5: halves go to the even neighbour
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(12, form.Gauge->Progress());
    form.ShowProgress(0.375f);
    EXPECT_EQ(38, form.Gauge->Progress());
    form.ShowProgress(0.9999f);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(100, form.Gauge->Progress());
    form.ShowProgress(1.0f);
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(100, form.Gauge->Progress());  // left as it was
    form.ShowProgress(0.0f);
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(0, form.Gauge->Progress());
}
