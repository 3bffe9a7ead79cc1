#include <gtest/gtest.h>

#include "markup/MarkupDocument.h"

using namespace kaptor;

namespace {

TMarkupObject Box(int l, int t, int r, int b, TMarkupTool kind = TMarkupTool::Rectangle) {
    TMarkupObject o;
    o.kind = kind;
    o.points = {{l, t}, {r, b}};
    return o;
}

}  // namespace

TEST(MarkupDocument, UndoAndRedoGiveBackEachStepAndTheAreaItChanged) {
    TMarkupDocument d;
    // An outlined box changes its four edges only: the pen's half width and a margin around.
    const TMarkArea added = d.Add(Box(10, 10, 50, 40));
    EXPECT_EQ(added, (TMarkArea{{7, 7, 54, 14}, {7, 37, 54, 44}, {7, 14, 14, 37}, {47, 14, 54, 37}}));
    d.Replace(0, Box(100, 100, 110, 110));
    d.Add(Box(0, 0, 5, 5, TMarkupTool::Redact));
    d.Remove(1);
    EXPECT_TRUE(d.Unsaved());
    ASSERT_EQ(d.Objects().size(), 1u);
    EXPECT_EQ(d.Undo(), (TMarkArea{{0, 0, 5, 5}}));  // the redaction is back
    EXPECT_EQ(d.Objects().size(), 2u);
    EXPECT_EQ(d.Undo(), (TMarkArea{{0, 0, 5, 5}}));
    EXPECT_EQ(d.Undo(), (TMarkArea{{97, 97, 114, 114}, {7, 7, 54, 14}, {7, 37, 54, 44}, {7, 14, 14, 37}, {47, 14, 54, 37}}));
    EXPECT_EQ(d.Objects()[0], Box(10, 10, 50, 40));
    d.MarkSaved();
    EXPECT_FALSE(d.Unsaved());
    d.Undo();
    EXPECT_TRUE(d.Objects().empty());
    EXPECT_FALSE(d.Undo());
    EXPECT_TRUE(d.Redo() && d.Redo());
    EXPECT_EQ(d.Objects()[0], Box(100, 100, 110, 110));
    d.Add(Box(1, 1, 2, 2));  // a new step ends what could be redone
    EXPECT_FALSE(d.CanRedo());
    d.Clear();
    EXPECT_FALSE(d.CanUndo() || d.Unsaved());
}

TEST(MarkupDocument, StepMarkersCountOnAndRestart) {
    TMarkupDocument d;
    TMarkupObject step = Box(5, 5, 5, 5, TMarkupTool::Step);
    for (int i = 0; i < 3; ++i) {
        step.step = d.NextStep();
        d.Add(step);
    }
    EXPECT_EQ(d.Objects()[2].step, 3);
    d.Undo();
    EXPECT_EQ(d.NextStep(), 3);
    d.RestartSteps();
    EXPECT_EQ(d.NextStep(), 1);
}

TEST(MarkupGeometry, PixelateBlocksAreNeverSmallerThanTheTextBeneath) {
    EXPECT_EQ(PixelateBlock({0, 0, 200, 10}), 12);
    EXPECT_EQ(PixelateBlock({0, 0, 200, 40}), 20);  // a line of 40-pixel text: two blocks high
    EXPECT_TRUE(Hits(Box(10, 10, 50, 40), {10, 25}, 2));
    EXPECT_FALSE(Hits(Box(10, 10, 50, 40), {30, 25}, 2));  // inside an outline
    TMarkupObject filled = Box(10, 10, 50, 40, TMarkupTool::Ellipse);
    filled.filled = true;
    EXPECT_TRUE(Hits(filled, {30, 25}, 2));
    // A corner dragged past the opposite one: the shape turns over that corner.
    EXPECT_EQ(Area(WithHandleAt(filled, 2, {0, 5})), (TMarkRect{0, 5, 10, 10}));
    EXPECT_EQ(WithHandleAt(Box(1, 2, 3, 4, TMarkupTool::Arrow), 0, {9, 9}).points, (std::vector<TMarkPoint>{{9, 9}, {3, 4}}));
    // A stroke stretches with its box: its bottom-right corner dragged from (30, 20) to (50, 40).
    TMarkupObject pen = Box(10, 10, 30, 20, TMarkupTool::Pen);
    pen.points.insert(pen.points.begin() + 1, TMarkPoint{20, 15});
    EXPECT_EQ(WithHandleAt(pen, 2, {50, 40}).points, (std::vector<TMarkPoint>{{10, 10}, {30, 25}, {50, 40}}));
}
