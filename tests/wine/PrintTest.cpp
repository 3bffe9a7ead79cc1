// Printing in process, on the real PDF printer: what lands on the page (position, size,
// content) for a range, a zoomed picture and range mode without a range; cancel; the desktop
// print; failures of the printer; handles over repeated prints.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "PrintTestSupport.h"
#include "RangeTestSupport.h"
#include "exchange/PrintPage.h"
#include "framework/win/Dialogs.h"
#include "framework/win/Printers.h"
#include "view/PictureView.h"

using namespace kaptor;
using namespace kaptor::testing;

namespace {

constexpr int RenderDpi = 100;
constexpr COLORREF Blue = RGB(0, 0, 160), Green = RGB(0, 110, 0);

// Left half dark blue, right half dark green: both far from the page's white.
TMainWindow& WithHalves(int w, int h) {
    TMainWindow& form = WithPattern(w, h);
    TBitmap bitmap(w, h);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Color = Blue;
    canvas.FillRect(RECT{0, 0, w / 2, h});
    canvas.Brush.Color = Green;
    canvas.FillRect(RECT{w / 2, 0, w, h});
    form.View().Install(bitmap);
    return form;
}

// Picture pixels at 96 per inch as rendered page pixels.
double OnPage(int screenPixels) { return screenPixels * static_cast<double>(RenderDpi) / Screen->PixelsPerInch(); }

bool Near(std::uint32_t rgb, COLORREF expected, int tolerance = 40) {
    return std::abs(static_cast<int>((rgb >> 16) & 0xFF) - GetRValue(expected)) <= tolerance &&
           std::abs(static_cast<int>((rgb >> 8) & 0xFF) - GetGValue(expected)) <= tolerance &&
           std::abs(static_cast<int>(rgb & 0xFF) - GetBValue(expected)) <= tolerance;
}

class PrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = &MainWindow();
        Printer().Reset();
        if (Printer().Printers().empty()) GTEST_SKIP() << "no printer: run scripts/printer.sh";
        TPrintDialog::ExecuteHook = [this](TPrintDialog&) {
            ++asked_;
            return confirm_;
        };
        before_ = printtest::PdfFiles();
    }
    void TearDown() override {
        TPrintDialog::ExecuteHook = nullptr;
        TPrinterSetupDialog::ExecuteHook = nullptr;
        Printer().Reset();
        if (form_ && form_->Down(TCommandId::EnterRange)) form_->Execute(TCommandId::LeaveRange);
        if (form_) form_->View().SetZoom(100);
        TakeMessages();
    }

    // The page of the job just printed: a fatal failure unless there is a PDF and its page is
    // the printer's sheet.
    void PrintedPage(printtest::Page& page) {
        const std::string pdf = printtest::WaitNewPdf(before_, 30000, [] { Pump(1); });
        ASSERT_FALSE(pdf.empty()) << "no PDF in " << printtest::PdfDir();
        before_.insert(pdf.substr(printtest::PdfDir().size()));
        std::string error;
        ASSERT_TRUE(printtest::RenderPdf(pdf, RenderDpi, page, &error)) << error;
        ASSERT_NEAR(page.Width, MulDiv(Printer().DeviceCaps(PHYSICALWIDTH), RenderDpi, Printer().DeviceCaps(LOGPIXELSX)), 2);
        ASSERT_NEAR(page.Height, MulDiv(Printer().DeviceCaps(PHYSICALHEIGHT), RenderDpi, Printer().DeviceCaps(LOGPIXELSY)), 2);
    }

    // The printable area's top-left corner on the rendered page.
    POINT Origin() {
        const int dpiX = Printer().DeviceCaps(LOGPIXELSX), dpiY = Printer().DeviceCaps(LOGPIXELSY);
        return POINT{MulDiv(Printer().DeviceCaps(PHYSICALOFFSETX), RenderDpi, dpiX),
                     MulDiv(Printer().DeviceCaps(PHYSICALOFFSETY), RenderDpi, dpiY)};
    }

    void ExpectPicture(const printtest::Page& page, int screenW, int screenH) {
        EXPECT_EQ(page.Pages, 1);
        const RECT ink = printtest::InkBox(page);
        ASSERT_FALSE(IsRectEmpty(&ink)) << "the page is blank";
        const POINT origin = Origin();
        EXPECT_NEAR(ink.left, origin.x, 1);
        EXPECT_NEAR(ink.top, origin.y, 1);
        EXPECT_NEAR(ink.right - ink.left, OnPage(screenW), 2);
        EXPECT_NEAR(ink.bottom - ink.top, OnPage(screenH), 2);
    }

    TMainWindow* form_ = nullptr;
    std::set<std::string> before_;
    bool confirm_ = true;
    int asked_ = 0;
};

TEST_F(PrintTest, RangePrintsOnlyTheRangeAtScreenSizeAndTheFrameComesBack) {
    TMainWindow& form = WithHalves(400, 300);
    Frame(form, 100, 50, 300, 150);  // 200 x 100: 2.08 x 1.04 inches at 96 per inch
    const COLORREF frame = static_cast<COLORREF>(Settings.FrameColour);
    ASSERT_EQ(Pixel(form, 100, 50), frame);

    form.Execute(TCommandId::Print);
    EXPECT_EQ(asked_, 1);
    EXPECT_EQ(CurrentPrintPage, nullptr);
    // Range mode and the selection as they were, the frame drawn again.
    EXPECT_TRUE(form.Down(TCommandId::EnterRange));
    EXPECT_TRUE(form.View().Marking().Fixed);
    EXPECT_EQ(Pixel(form, 100, 50), frame);
    EXPECT_EQ(Pixel(form, 299, 149), frame);
    EXPECT_EQ(form.View().CleanCopy().Canvas().Pixels(100, 50), Blue);

    printtest::Page page;
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    ASSERT_NO_FATAL_FAILURE(ExpectPicture(page, 200, 100));
    // The range's left half is blue, its right half green: the range, not the picture's corner.
    const RECT ink = printtest::InkBox(page);
    const int midY = (ink.top + ink.bottom) / 2;
    EXPECT_TRUE(Near(page.At(ink.left + 10, midY), Blue)) << std::hex << page.At(ink.left + 10, midY);
    EXPECT_TRUE(Near(page.At(ink.right - 10, midY), Green)) << std::hex << page.At(ink.right - 10, midY);
    // No frame pixel on the page.
    EXPECT_FALSE(Near(page.At(ink.left, ink.top), static_cast<COLORREF>(Settings.FrameColour), 60));
}

TEST_F(PrintTest, ZoomedPictureAndRangeModeWithoutRangePrintTheWholePictureAsDisplayed) {
    TMainWindow& form = WithHalves(400, 300);
    form.View().SetZoom(50);
    ASSERT_EQ(form.View().Shown().Width(), 200);
    form.Execute(TCommandId::Print);
    printtest::Page page;
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    ExpectPicture(page, 200, 150);

    form.View().SetZoom(100);
    Frame(form, 10, 10, 50, 50);
    LeftDown(form, 60, 60);  // a new band: range mode on, no range fixed
    ASSERT_TRUE(form.View().Marking().Dragging);
    form.Execute(TCommandId::Print);
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    ExpectPicture(page, 400, 300);
    EXPECT_TRUE(form.View().Marking().Dragging);
}

TEST_F(PrintTest, CancelPrintsNothingAndLeavesThePicture) {
    TMainWindow& form = WithHalves(120, 80);
    confirm_ = false;
    form.Execute(TCommandId::Print);
    EXPECT_EQ(asked_, 1);
    EXPECT_EQ(CurrentPrintPage, nullptr);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_TRUE(printtest::WaitNewPdf(before_, 4000, [] { Pump(1); }).empty());
    EXPECT_EQ(Pixel(form, 10, 10), Blue);
    EXPECT_EQ(form.View().Shown().Width(), 120);
}

TEST_F(PrintTest, EmptyRangeIsRefusedLikeCopyAndSaveAndNestedPageFormsUnwindInOrder) {
    TMainWindow& form = WithHalves(120, 80);
    Frame(form, 30, 20, 30, 60);  // one column: no width
    form.Execute(TCommandId::Print);
    EXPECT_EQ(asked_, 0);
    EXPECT_EQ(TakeMessages(), std::vector<std::string>{texts::EmptyRange});
    EXPECT_TRUE(form.View().Marking().Fixed);

    // A second command started while the first one's dialog lets messages run.
    {
        TShownPrintPage outer;
        {
            TShownPrintPage inner;
            EXPECT_EQ(CurrentPrintPage, &*inner);
        }
        EXPECT_EQ(CurrentPrintPage, &*outer);
    }
    EXPECT_EQ(CurrentPrintPage, nullptr);
}

TEST_F(PrintTest, DesktopPrintKeepsTheViewAndFillsThePageFromItsTopLeft) {
    TMainWindow& form = WithHalves(64, 48);
    form.Execute(TCommandId::PrintDesktop);
    EXPECT_EQ(asked_, 1);
    EXPECT_EQ(form.View().Shown().Width(), 64);
    EXPECT_EQ(Pixel(form, 5, 5), Blue);
    EXPECT_EQ(Pixel(form, 60, 5), Green);
    printtest::Page page;
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    EXPECT_EQ(page.Pages, 1);
    // The screen is wider than the A4 page at the same physical size: cut off at the right.
    ASSERT_GT(OnPage(Screen->Width()), page.Width);
    // The view's picture where the screen shows it, at the screen's physical size.
    POINT at{0, 0};
    ClientToScreen(form.View().Shown().Handle(), &at);
    const POINT origin = Origin();
    const auto onPage = [&](int sx, int sy) {
        return page.At(origin.x + static_cast<int>(OnPage(sx)), origin.y + static_cast<int>(OnPage(sy)));
    };
    EXPECT_TRUE(Near(onPage(at.x + 12, at.y + 24), Blue)) << std::hex << onPage(at.x + 12, at.y + 24);
    EXPECT_TRUE(Near(onPage(at.x + 52, at.y + 24), Green)) << std::hex << onPage(at.x + 52, at.y + 24);
}

TEST_F(PrintTest, PrinterFailureEndsTheJobReleasesThePageAndPutsTheFrameBack) {
    TMainWindow& form = WithHalves(300, 200);
    Frame(form, 20, 20, 120, 70);
    Printer().SelectPrinter("KaptorNoSuchPrinter", "", nullptr);
    // The first failure settles the picture's own drawing objects (restore and frame).
    EXPECT_THROW(form.Execute(TCommandId::Print), EPrinter);
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    EXPECT_THROW(form.Execute(TCommandId::Print), EPrinter);
    EXPECT_EQ(CurrentPrintPage, nullptr);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(Pixel(form, 20, 20), static_cast<COLORREF>(Settings.FrameColour));
    EXPECT_TRUE(form.View().Marking().Fixed);
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
    EXPECT_EQ(FindWindowA("TForm2", nullptr), nullptr);

    // The next print on the default printer works again.
    Printer().Reset();
    form.Execute(TCommandId::Print);
    printtest::Page page;
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    ExpectPicture(page, 100, 50);
}

TEST_F(PrintTest, RepeatedPrintsOwnNoMoreHandles) {
    TMainWindow& form = WithHalves(90, 60);
    form.Execute(TCommandId::Print);  // first use may create lasting objects
    printtest::Page page;
    ASSERT_NO_FATAL_FAILURE(PrintedPage(page));
    const long gdi = OwnedGdiHandles(), user = OwnedUserHandles();
    for (int i = 0; i < 3; ++i) {
        form.Execute(TCommandId::Print);
        form.Execute(TCommandId::PrintDesktop);
    }
    EXPECT_EQ(OwnedGdiHandles(), gdi);
    EXPECT_EQ(OwnedUserHandles(), user);
    EXPECT_EQ(asked_, 7);
    for (int i = 0; i < 6; ++i) ASSERT_NO_FATAL_FAILURE(PrintedPage(page)) << "job " << i + 2;
}

TEST_F(PrintTest, PrinterObjectRefusesMisuseAndAbortsQuietly) {
    EXPECT_THROW(Printer().EndDoc(), EPrinter);
    EXPECT_THROW(Printer().Handle(), EPrinter);
    {
        TPrintJob job(Printer());
        EXPECT_TRUE(Printer().Printing());
        EXPECT_THROW(Printer().BeginDoc(), EPrinter);
        EXPECT_THROW(Printer().SelectPrinter("PDF", "", nullptr), EPrinter);
        // The job's device context is the printer's: its resolution, not the screen's.
        EXPECT_EQ(GetDeviceCaps(Printer().Handle(), LOGPIXELSX), Printer().DeviceCaps(LOGPIXELSX));
        EXPECT_GT(Printer().DeviceCaps(LOGPIXELSX), Screen->PixelsPerInch());
        EXPECT_GT(Printer().PageWidth(), 0);
        Printer().Abort();  // the guard has nothing left to end
    }
    EXPECT_FALSE(Printer().Printing());
    EXPECT_TRUE(printtest::WaitNewPdf(before_, 3000, [] { Pump(1); }).empty());

    // The setup dialog keeps the printer the user leaves; a cancelled one changes nothing.
    const std::string name = Printer().PrinterName();
    TPrinterSetupDialog::ExecuteHook = [](TPrinterSetupDialog&) { return false; };
    MainWindow().Execute(TCommandId::PrinterSetup);
    EXPECT_EQ(Printer().PrinterName(), name);
}

}  // namespace
