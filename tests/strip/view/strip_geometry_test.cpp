#include "strip/view/strip_geometry.h"

#include <gtest/gtest.h>

namespace {

StripGeometry Client(int width, int height) {
    StripGeometry g;
    g.SetClientSize(width, height);
    return g;
}

}  // namespace

TEST(StripGeometry, CellSizeFollowsClientHeight) {
    const StripGeometry g = Client(400, 103);
    EXPECT_EQ(g.ThumbHeight(), 89);
    EXPECT_EQ(g.ThumbWidth(), 118);  // 89 * 1.3333334f truncated
    EXPECT_EQ(g.Pitch(), 126);
    EXPECT_EQ(g.ContentWidth(10), 1268);
    // Widths come from single-precision 4/3, truncated toward zero.
    EXPECT_EQ(Client(400, 14 + 3).ThumbWidth(), 4);
    EXPECT_EQ(Client(400, 14 + 75).ThumbWidth(), 100);
}

TEST(StripGeometry, ClientLowerThanLabelBandGivesEmptyCells) {
    const StripGeometry g = Client(300, 10);
    EXPECT_EQ(g.ThumbHeight(), 0);
    EXPECT_EQ(g.ThumbWidth(), 0);
    EXPECT_EQ(g.Pitch(), 8);
    EXPECT_EQ(g.FrameAt(20), 2);  // still well defined
}

TEST(StripGeometry, ContentWidthIsNeverBelowClientWidth) {
    const StripGeometry g = Client(400, 103);
    EXPECT_EQ(g.ContentWidth(0), 400);
    EXPECT_EQ(g.ContentWidth(3), 400);  // 8 + 3 * 126 = 386
    EXPECT_EQ(g.ContentWidth(4), 512);
    EXPECT_EQ(g.MaxScroll(3), 0);
    EXPECT_EQ(g.MaxScroll(4), 112);
    EXPECT_EQ(g.ClampScroll(-5, 4), 0);
    EXPECT_EQ(g.ClampScroll(500, 4), 112);
    EXPECT_EQ(g.ContentWidth(1000), 126008);
}

TEST(StripGeometry, HitAreaIsGapPlusThumbnail) {
    const StripGeometry g = Client(400, 103);
    EXPECT_EQ(g.FrameAt(0), 0);    // gap before frame 0
    EXPECT_EQ(g.FrameAt(125), 0);  // last column of frame 0
    EXPECT_EQ(g.FrameAt(126), 1);  // gap before frame 1 belongs to frame 1
    EXPECT_EQ(g.FrameAt(133), 1);
    EXPECT_EQ(g.FrameAt(-1), -1);  // floor, not truncation
    EXPECT_EQ(g.FrameAt(-126), -1);
    EXPECT_EQ(g.FrameAt(-127), -2);
}

TEST(StripGeometry, NearestBoundaryAndMarker) {
    const StripGeometry g = Client(400, 103);
    EXPECT_EQ(g.BoundaryAt(62), 0);
    EXPECT_EQ(g.BoundaryAt(63), 1);  // exactly half way rounds up
    EXPECT_EQ(g.BoundaryAt(100), 1);
    EXPECT_EQ(g.BoundaryAt(200), 2);
    EXPECT_EQ(g.BoundaryAt(-63), 0);
    EXPECT_EQ(g.BoundaryAt(-64), -1);
    EXPECT_EQ(g.MarkerX(0), 4);
    EXPECT_EQ(g.MarkerX(2), 256);
}

TEST(StripGeometry, ThumbnailAndLabelBoxes) {
    const StripGeometry g = Client(400, 103);
    EXPECT_EQ(g.ThumbRect(0), QRect(8, 0, 118, 89));
    EXPECT_EQ(g.ThumbRect(2), QRect(260, 0, 118, 89));
    // Label box: left g + i * pitch, right W + i * pitch, 14 high under the cell.
    const QRect label = g.LabelRect(1);
    EXPECT_EQ(label.left(), 134);
    EXPECT_EQ(label.left() + label.width(), 118 + 126);
    EXPECT_EQ(label.top(), 89);
    EXPECT_EQ(label.height(), 14);
}
