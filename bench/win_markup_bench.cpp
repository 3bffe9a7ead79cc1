// Markup on a 4096 x 4096 picture at 100 %, in a maximised-size window: a pointer move while
// a shape is dragged, and an undo, against one full copy of the picture (the restore from the
// clean copy that the band benchmark uses too).
#include <windows.h>

#include <cstdio>

#include "WinTiming.h"
#include "app/MainWindow.h"
#include "framework/win/Bitmap.h"
#include "framework/win/ExtCtrls.h"
#include "framework/win/Forms.h"
#include "view/MarkupLayer.h"
#include "view/PictureView.h"

using namespace kaptor;
using bench::RunInterleaved;
using bench::Timed;

void InstallBenchDesktop(TMainWindow& form, int w, int h);  // win_bench.cpp
void PumpBench();                                            // win_bench.cpp

void BenchMarkup(TMainWindow& form) {
    std::printf("markup: 4096 x 4096 picture at 100 %%, window 1024 x 768\n");
    const RECT before{form.Left(), form.Top(), form.Left() + form.Width(), form.Top() + form.Height()};
    form.SetBounds(0, 0, 1024, 768);
    InstallBenchDesktop(form, 4096, 4096);
    TPictureView& view = form.View();
    TMarkupLayer& markup = view.Markup();
    form.Execute(TCommandId::Markup);
    PumpBench();
    Timed copy("one full copy of the picture (restore)", [&] {
        view.Shown().Picture().Assign(view.CleanCopy().Picture());
        GdiFlush();
    });
    // A drag from (8, 8) to the far corner, the pointer moving by a pixel each time.
    auto dragging = [&](TMarkupTool tool) {
        markup.Style.tool = tool;
        view.MouseDown(TMouseButton::mbLeft, 8, 8);
        int x = 4088;
        return [&view, x]() mutable {
            x = x == 4088 ? 4087 : 4088;
            view.MouseMove(x, 4088);
            PumpBench();
        };
    };
    auto release = [&] {
        view.Shown().OnMouseUp(nullptr, TMouseButton::mbLeft, 0, 4088, 4088);
        PumpBench();
    };
    // Each step undone and done again: two steps a call.
    auto undoRedo = [&] {
        form.Execute(TCommandId::UndoMarkup);
        form.Execute(TCommandId::RedoMarkup);
        PumpBench();
    };

    Timed moveBox("pointer move dragging a box (edges repaint)", dragging(TMarkupTool::Rectangle));
    auto t = RunInterleaved({&moveBox, &copy});
    release();
    Timed undoBox("undo + redo of that box", undoRedo);
    const auto u = RunInterleaved({&undoBox, &copy});
    form.Execute(TCommandId::UndoMarkup);
    Timed moveArrow("pointer move dragging an arrow (all that shows)", dragging(TMarkupTool::Arrow));
    const auto a = RunInterleaved({&moveArrow, &copy});
    release();
    form.Execute(TCommandId::UndoMarkup);
    // The worst undo: a redaction over the whole picture, drawn anew all over.
    markup.Style.tool = TMarkupTool::Redact;
    view.MouseDown(TMouseButton::mbLeft, 0, 0);
    view.MouseMove(4096, 4096);
    view.Shown().OnMouseUp(nullptr, TMouseButton::mbLeft, 0, 4096, 4096);
    PumpBench();
    Timed undoAll("undo + redo of a redaction of the whole picture", undoRedo);
    const auto w = RunInterleaved({&undoAll, &copy});

    form.Execute(TCommandId::Markup);
    form.SetBounds(before.left, before.top, before.right - before.left, before.bottom - before.top);
    PumpBench();
    bench::PrintRatio("markup: pointer move dragging a box / full copy", t[0].Median, t[1].Median);
    bench::PrintRatio("markup: pointer move dragging an arrow / full copy", a[0].Median, a[1].Median);
    bench::PrintRatio("markup: one undo of a box (half of undo + redo) / full copy", u[0].Median / 2, u[1].Median);
    bench::PrintRatio("markup: one undo of a whole-picture redaction / full copy", w[0].Median / 2, w[1].Median);
}
