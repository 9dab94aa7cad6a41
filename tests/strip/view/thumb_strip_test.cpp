#include "strip/view/thumb_strip.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <string>

#include "image/dib_image.h"
#include "widgets/input_box.h"
#include "widgets/when_modal.h"

namespace {

std::unique_ptr<CDibImage> Solid(COLORREF color, int width = 64, int height = 48) {
    auto image = std::make_unique<CDibImage>();
    image->Create(width, height);
    image->Fill(nullptr, color);
    return image;
}

// A strip whose popup menu is answered by the test instead of a modal run.
class TestStrip : public CThumbStrip {
public:
    QString choice;  // item text to pick; empty dismisses the menu
    int popups = 0;
    QPoint popupPos;
    QStringList items;

protected:
    QAction* RunPopupMenu(QMenu& menu, const QPoint& globalPos) override {
        ++popups;
        popupPos = globalPos;
        items.clear();
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            items << (action->isSeparator() ? QStringLiteral("-") : action->text());
            if (!action->isSeparator() && action->text() == choice) chosen = action;
        }
        return chosen;
    }
};

class StripTest : public ::testing::Test {
protected:
    // Shows the strip with a client area of the given size (the scroll bar
    // comes on top of the height).
    void ShowWithClient(int width, int height) {
        strip.show();
        const int bar = strip.height() - strip.viewport()->height();
        strip.resize(width, height + bar);
        QCoreApplication::processEvents();
        ASSERT_EQ(strip.viewport()->width(), width);
        ASSERT_EQ(strip.viewport()->height(), height);
    }
    void AddFrames(const std::vector<std::string>& labels) {
        static const COLORREF colors[] = {MakeRgb(200, 0, 0), MakeRgb(0, 160, 0),
                                          MakeRgb(0, 0, 220), MakeRgb(200, 200, 0)};
        int i = 0;
        for (const std::string& label : labels) strip.AddFrame(Solid(colors[i++ % 4]), label.c_str());
    }
    std::vector<std::string> Labels() const {
        std::vector<const CDibImage*> images;
        std::vector<const char*> labels;
        strip.GetFrames(images, labels);
        return {labels.begin(), labels.end()};
    }
    QWidget* View() { return strip.viewport(); }
    QImage Shot() { return View()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Press(Qt::MouseButton button, int x, int y = 40) {
        QTest::mousePress(View(), button, {}, QPoint(x, y));
    }
    void DragMove(int x, int y = 40) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), View()->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(View(), &move);
    }
    void Release(int x, int y = 40) { QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(x, y)); }

    TestStrip strip;
};

bool IsBlack(QRgb c) { return qRed(c) < 40 && qGreen(c) < 40 && qBlue(c) < 40; }
bool Near(QRgb c, int r, int g, int b) {
    return std::abs(qRed(c) - r) <= 3 && std::abs(qGreen(c) - g) <= 3 && std::abs(qBlue(c) - b) <= 3;
}

}  // namespace

TEST_F(StripTest, GeometryOfA103PixelClient) {
    ShowWithClient(400, 103);
    EXPECT_EQ(strip.ThumbWidth(), 118);
    EXPECT_EQ(strip.ThumbHeight(), 89);
    EXPECT_EQ(strip.Geometry().Pitch(), 126);
    EXPECT_EQ(strip.ContentWidth(), 400);
    QScrollBar* bar = strip.horizontalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->isEnabled());  // everything fits

    AddFrames({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    EXPECT_EQ(strip.ContentWidth(), 1268);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 1268 - 400);
    // New thumbnails are made at the cell size.
    EXPECT_EQ(strip.Frames().At(9)->thumbnail->Width(), 118);
    EXPECT_EQ(strip.Frames().At(9)->thumbnail->Height(), 89);
}

TEST_F(StripTest, RowShowsThumbnailsOnWindowBackground) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B"});
    const QImage shot = Shot();
    EXPECT_TRUE(Near(shot.pixel(8 + 50, 40), 200, 0, 0));
    EXPECT_TRUE(Near(shot.pixel(134 + 50, 40), 0, 160, 0));
    const QColor base = strip.palette().color(QPalette::Base);
    EXPECT_EQ(QColor(shot.pixel(130, 40)), base);  // gap before frame 1
    EXPECT_EQ(QColor(shot.pixel(300, 40)), base);  // past the last frame
}

TEST_F(StripTest, RightClickInGapSelectsFollowingThumbnailAndOpensMenu) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    strip.choice = QStringLiteral("Delete");
    Press(Qt::RightButton, 126 + 3, 20);  // in the gap before frame 1
    ASSERT_EQ(strip.popups, 1);
    EXPECT_EQ(strip.items, QStringList({"Change Label", "-", "Delete", "Delete All"}));
    EXPECT_EQ(strip.popupPos, View()->mapToGlobal(QPoint(129, 20)));
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "C"}));
}

TEST_F(StripTest, RightClickPastLastFrameDoesNothing) {
    ShowWithClient(386, 103);  // content exactly as wide as the row
    AddFrames({"A", "B", "C"});
    strip.choice = QStringLiteral("Delete All");
    Press(Qt::RightButton, 380);  // the rightmost 8 pixels, past the last thumbnail
    EXPECT_EQ(strip.popups, 0);
    EXPECT_EQ(strip.Frames().Selected(), nullptr);
    EXPECT_EQ(Labels().size(), 3u);
}

TEST_F(StripTest, DeleteAllFromMenuEmptiesAndResetsScroll) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C", "D", "E"});
    strip.horizontalScrollBar()->setValue(100);
    ASSERT_EQ(strip.ScrollPos(), 100);
    strip.choice = QStringLiteral("Delete All");
    Press(Qt::RightButton, 10);
    EXPECT_TRUE(Labels().empty());
    EXPECT_EQ(strip.ScrollPos(), 0);
    EXPECT_EQ(strip.ContentWidth(), 400);
    EXPECT_FALSE(strip.horizontalScrollBar()->isEnabled());
}

TEST_F(StripTest, DismissedMenuChangesNothing) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B"});
    Press(Qt::RightButton, 140);
    EXPECT_EQ(strip.popups, 1);
    EXPECT_EQ(strip.Frames().Selected(), strip.Frames().At(1));
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B"}));
}

TEST_F(StripTest, DragShowsMarkerAndDropsOnNearestBoundary) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    Press(Qt::LeftButton, 10);
    EXPECT_EQ(strip.DragIndex(), 0);
    DragMove(200);
    EXPECT_EQ(strip.DropMarkerX(), 2 * 126 + 4);
    QImage shot = Shot();
    // Two black columns at the marker and one left of it, labels included.
    for (int y : {5, 50, 95}) {
        EXPECT_TRUE(IsBlack(shot.pixel(256, y))) << y;
        EXPECT_TRUE(IsBlack(shot.pixel(255, y))) << y;
    }
    EXPECT_FALSE(IsBlack(shot.pixel(257, 50)));
    Release(200);
    EXPECT_EQ(Labels(), std::vector<std::string>({"B", "A", "C"}));
    EXPECT_EQ(strip.DropMarkerX(), -1);
    EXPECT_EQ(strip.DragIndex(), -1);
    shot = Shot();
    EXPECT_FALSE(IsBlack(shot.pixel(256, 50)));
    EXPECT_FALSE(IsBlack(shot.pixel(255, 50)));
}

TEST_F(StripTest, DropOnOwnBoundaryLeavesOrderAndHidesMarker) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    Press(Qt::LeftButton, 10);
    DragMove(100);
    EXPECT_EQ(strip.DropMarkerX(), 126 + 4);
    Release(100);  // boundary 1, just after frame 0
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B", "C"}));
    EXPECT_EQ(strip.DropMarkerX(), -1);
    EXPECT_FALSE(IsBlack(Shot().pixel(130, 50)));
}

TEST_F(StripTest, OnlyXDecidesTheDrop) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    Press(Qt::LeftButton, 300);  // frame 2
    DragMove(10, -300);
    Release(10, 500);  // far below the strip, boundary 0
    EXPECT_EQ(Labels(), std::vector<std::string>({"C", "A", "B"}));
}

TEST_F(StripTest, DropLeftOfFirstFrameEndsDragWithNothingMoved) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    Press(Qt::LeftButton, 140);
    DragMove(-200);
    EXPECT_EQ(strip.DropMarkerX(), -1);
    Release(-200);
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B", "C"}));
    EXPECT_EQ(strip.DragIndex(), -1);
    EXPECT_EQ(strip.DropMarkerX(), -1);
}

TEST_F(StripTest, PressPastLastFrameShowsMarkerButMovesNothing) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    Press(Qt::LeftButton, 390);
    EXPECT_EQ(strip.DragIndex(), -1);
    EXPECT_EQ(strip.Frames().Selected(), nullptr);
    DragMove(380);
    EXPECT_EQ(strip.DropMarkerX(), 3 * 126 + 4);
    DragMove(399);  // boundary 3 still
    Release(10);
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B", "C"}));
    EXPECT_EQ(strip.DropMarkerX(), -1);
}

TEST_F(StripTest, EmptyStripMarkerOnlyAtLeftEnd) {
    ShowWithClient(400, 103);
    Press(Qt::LeftButton, 10);
    DragMove(30);
    EXPECT_EQ(strip.DropMarkerX(), 4);
    DragMove(200);
    EXPECT_EQ(strip.DropMarkerX(), -1);
    Release(30);
    EXPECT_TRUE(Labels().empty());
}

TEST_F(StripTest, MoveWithoutLeftButtonHidesMarker) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B"});
    Press(Qt::LeftButton, 10);
    DragMove(200);
    ASSERT_EQ(strip.DropMarkerX(), 256);
    QMouseEvent move(QEvent::MouseMove, QPointF(220, 40), View()->mapToGlobal(QPointF(220, 40)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(View(), &move);
    EXPECT_EQ(strip.DropMarkerX(), -1);
    Release(220);
    EXPECT_EQ(Labels(), std::vector<std::string>({"B", "A"}));
}

TEST_F(StripTest, DeleteDuringDragMovesNoOtherFrame) {
    ShowWithClient(600, 103);
    AddFrames({"A", "B", "C", "D"});
    Press(Qt::LeftButton, 260);  // drag C
    strip.choice = QStringLiteral("Delete");
    Press(Qt::RightButton, 10);  // delete A while the left button is held
    Release(10);
    EXPECT_EQ(Labels(), std::vector<std::string>({"B", "C", "D"}));
}

TEST_F(StripTest, ScrollStepsAndClamping) {
    ShowWithClient(452, 103);  // four frames: content 512, 60 wider than the window
    AddFrames({"A", "B", "C", "D"});
    QScrollBar* bar = strip.horizontalScrollBar();
    ASSERT_TRUE(bar->isEnabled());
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(strip.ScrollPos(), 50);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(strip.ScrollPos(), 60);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(strip.ScrollPos(), 60);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(strip.ScrollPos(), 10);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(strip.ScrollPos(), 5);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(strip.ScrollPos(), 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(strip.ScrollPos(), 5);
    // Jumps to an end are not strip commands.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(strip.ScrollPos(), 5);
    // Dragging the thumb scrolls live.
    bar->setSliderDown(true);
    bar->setSliderPosition(33);
    EXPECT_EQ(strip.ScrollPos(), 33);
    bar->setSliderDown(false);
}

TEST_F(StripTest, ScrolledViewShowsAndHitsContentCoordinates) {
    ShowWithClient(452, 103);
    AddFrames({"A", "B", "C", "D"});
    strip.horizontalScrollBar()->setValue(60);
    // Frame 3 (yellow) starts at content x 386, client x 326.
    const QImage shot = Shot();
    EXPECT_TRUE(Near(shot.pixel(330, 40), 200, 200, 0));
    EXPECT_TRUE(Near(shot.pixel(310, 40), 0, 0, 220));  // end of frame 2
    strip.choice = QStringLiteral("Delete");
    Press(Qt::RightButton, 330);
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B", "C"}));
    // The row shrank to the window: the position is clamped back.
    EXPECT_EQ(strip.ScrollPos(), 0);
}

TEST_F(StripTest, LongLabelIsCutInStripButWholeInList) {
    ShowWithClient(400, 103);
    const std::string label = "A rather long label that cannot possibly fit";
    AddFrames({label, "short"});
    const QString shown = strip.ShownLabel(0);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("...")));
    EXPECT_TRUE(QString::fromStdString(label).startsWith(shown.chopped(3)));
    EXPECT_LT(shown.size(), int(label.size()));
    EXPECT_EQ(strip.ShownLabel(1), QStringLiteral("short"));
    EXPECT_EQ(Labels()[0], label);

    // Text is drawn inside the box and does not run into the gap after it.
    const QImage shot = Shot();
    const QColor base = strip.palette().color(QPalette::Base);
    int dark = 0;
    for (int y = 89; y < 101; ++y)
        for (int x = 8; x < 118; ++x) dark += qGray(shot.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
    for (int y = 89; y < 101; ++y)
        for (int x = 118; x < 134; ++x)
            EXPECT_EQ(QColor(shot.pixel(x, y)), base) << x << "," << y;
}

TEST_F(StripTest, MultiLineLabelShowsFirstLine) {
    ShowWithClient(400, 103);
    AddFrames({"top\nbottom"});
    EXPECT_EQ(strip.ShownLabel(0), QStringLiteral("top"));
    EXPECT_EQ(Labels()[0], "top\nbottom");
}

TEST_F(StripTest, ChangeLabelOkReplacesLabel) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B", "C"});
    strip.choice = QStringLiteral("Change Label");
    QString prompt, initial, selected;
    WhenModalShown<CInputBox>([&](CInputBox* box) {
        prompt = box->findChild<QLabel*>(QStringLiteral("prompt"))->text();
        auto* edit = box->findChild<QLineEdit*>(QStringLiteral("edit"));
        initial = edit->text();
        selected = edit->selectedText();
        QTest::keyClicks(edit, "New name");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    Press(Qt::RightButton, 140);
    EXPECT_EQ(prompt, QStringLiteral("Change Label To: "));
    EXPECT_EQ(initial, QStringLiteral("B"));
    EXPECT_EQ(selected, QStringLiteral("B"));
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "New name", "C"}));
}

TEST_F(StripTest, ChangeLabelCancelKeepsLabel) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B"});
    strip.choice = QStringLiteral("Change Label");
    WhenModalShown<CInputBox>([](CInputBox* box) {
        auto* edit = box->findChild<QLineEdit*>(QStringLiteral("edit"));
        QTest::keyClicks(edit, "zzz");
        QTest::keyClick(edit, Qt::Key_Escape);
    });
    Press(Qt::RightButton, 10);
    EXPECT_EQ(Labels(), std::vector<std::string>({"A", "B"}));
}

TEST_F(StripTest, ChangeLabelToEmptyText) {
    ShowWithClient(400, 103);
    AddFrames({"A"});
    strip.choice = QStringLiteral("Change Label");
    WhenModalShown<CInputBox>([](CInputBox* box) {
        auto* edit = box->findChild<QLineEdit*>(QStringLiteral("edit"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    Press(Qt::RightButton, 10);
    EXPECT_EQ(Labels(), std::vector<std::string>({""}));
}

TEST_F(StripTest, CellChangeRemakesThumbnails) {
    ShowWithClient(400, 103);
    AddFrames({"A", "B"});
    ShowWithClient(400, 63);
    EXPECT_EQ(strip.ThumbHeight(), 49);
    EXPECT_EQ(strip.ThumbWidth(), 65);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(strip.Frames().At(i)->thumbnail->Width(), 65);
        EXPECT_EQ(strip.Frames().At(i)->thumbnail->Height(), 49);
    }
    EXPECT_EQ(strip.ContentWidth(), 400);
    const QImage shot = Shot();
    EXPECT_TRUE(Near(shot.pixel(8 + 60, 30), 200, 0, 0));
    EXPECT_TRUE(Near(shot.pixel(81 + 30, 30), 0, 160, 0));
}

TEST_F(StripTest, ThousandFramesScrollToTheEndAndDrawOnlyWhatIsSeen) {
    ShowWithClient(600, 103);
    for (int i = 0; i < 1000; ++i)
        strip.AddFrame(Solid(i == 999 ? MakeRgb(0, 0, 220) : MakeRgb(90, 90, 90), 16, 12),
                       std::to_string(i).c_str());
    EXPECT_EQ(strip.ContentWidth(), 126008);
    QScrollBar* bar = strip.horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 126008 - 600);
    bar->setValue(bar->maximum());
    const QImage shot = Shot();
    // The last thumbnail ends at content x 126000, client x 592.
    EXPECT_TRUE(Near(shot.pixel(590, 40), 0, 0, 220));
    EXPECT_TRUE(Near(shot.pixel(474, 40), 0, 0, 220));
    EXPECT_TRUE(Near(shot.pixel(460, 40), 90, 90, 90));
    EXPECT_LE(strip.DrawnTileCount(), 4);
    // Hit testing and dropping work at the far end as well.
    Press(Qt::LeftButton, 500);
    EXPECT_EQ(strip.DragIndex(), 999);
    Release(20);
    std::vector<std::string> labels = Labels();
    EXPECT_EQ(labels[995], "999");
}
