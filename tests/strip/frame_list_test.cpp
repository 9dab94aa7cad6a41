// The captured frame list: order, ownership, selection, relabelling and moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "strip/frame_list.h"

namespace {

std::unique_ptr<CDibImage> MakeImage(int width, int height, COLORREF color = 0) {
    auto image = std::make_unique<CDibImage>();
    EXPECT_TRUE(image->Create(width, height));
    image->Fill(nullptr, color);
    return image;
}

std::vector<std::string> Labels(const FrameList& list) {
    std::vector<const CDibImage*> images;
    std::vector<const char*> labels;
    list.GetFrames(images, labels);
    return {labels.begin(), labels.end()};
}

// A, B, C with the thumbnail size of the strip's default cell.
class FrameListTest : public ::testing::Test {
protected:
    void SetUp() override {
        list.SetThumbSize(96, 72);
        list.SetRelayoutHook([this] { ++relayouts; });
    }
    void AddAbc() {
        for (const char* label : {"A", "B", "C"}) list.AddFrame(MakeImage(32, 24), label);
        relayouts = 0;
    }

    FrameList list;
    int relayouts = 0;
};

TEST_F(FrameListTest, AddFrameCopiesLabelTakesImageAndMakesThumbnail) {
    auto image = MakeImage(320, 240, MakeRgb(200, 100, 50));
    const CDibImage* raw = image.get();
    char label[] = "00:00:05";
    list.AddFrame(std::move(image), label);
    std::strcpy(label, "reused!!");  // the caller's buffer may change at once

    ASSERT_EQ(list.Count(), 1);
    const CapturedFrame* frame = list.At(0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->label, "00:00:05");
    EXPECT_EQ(frame->image.get(), raw);
    ASSERT_NE(frame->thumbnail, nullptr);
    EXPECT_EQ(frame->thumbnail->Width(), 96);
    EXPECT_EQ(frame->thumbnail->Height(), 72);
    // A uniform frame shrinks to a uniform thumbnail of the same colour.
    const uint32_t packed = frame->thumbnail->PixelAt(48, 36);
    EXPECT_EQ(packed, 0xC86432u);  // 0x00RRGGBB
    EXPECT_EQ(relayouts, 1);
}

TEST_F(FrameListTest, GetFramesBorrowsInOrderAndDoesNotAccumulate) {
    std::vector<const CDibImage*> images;
    std::vector<const char*> labels;
    list.GetFrames(images, labels);
    EXPECT_TRUE(images.empty());
    EXPECT_TRUE(labels.empty());

    AddAbc();
    list.GetFrames(images, labels);
    list.GetFrames(images, labels);
    ASSERT_EQ(images.size(), 3u);
    ASSERT_EQ(labels.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(images[k], list.At(k)->image.get());
        EXPECT_EQ(labels[k], list.At(k)->label.c_str());
    }
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(FrameListTest, AddFrameAcceptsEmptyAndNullLabelsAndLongLabels) {
    const std::string longLabel(100000, 'x');
    list.AddFrame(MakeImage(8, 8), "");
    list.AddFrame(MakeImage(8, 8), nullptr);
    list.AddFrame(MakeImage(8, 8), longLabel.c_str());
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"", "", longLabel}));
}

TEST_F(FrameListTest, EmptyOrMissingImageStillGetsACell) {
    list.AddFrame(std::make_unique<CDibImage>(), "empty");
    list.AddFrame(nullptr, "none");
    ASSERT_EQ(list.Count(), 2);
    for (int k = 0; k < 2; ++k) {
        ASSERT_NE(list.At(k)->image, nullptr);
        EXPECT_EQ(list.At(k)->thumbnail->Width(), 96);
        EXPECT_EQ(list.At(k)->thumbnail->Height(), 72);
    }
}

TEST_F(FrameListTest, MoveFrameBoundarySemantics) {
    struct Case {
        int from, k;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {0, 2, {"B", "A", "C"}}, {0, 3, {"B", "C", "A"}}, {2, 0, {"C", "A", "B"}},
        {1, 2, {"A", "B", "C"}}, {1, 1, {"A", "B", "C"}}, {0, 1, {"A", "B", "C"}},
        {2, 3, {"A", "B", "C"}}, {1, 0, {"B", "A", "C"}}, {0, 4, {"A", "B", "C"}},
        {0, -1, {"A", "B", "C"}}, {3, 0, {"A", "B", "C"}}, {-1, 0, {"A", "B", "C"}},
    };
    for (const Case& c : cases) {
        FrameList moved;
        int calls = 0;
        moved.SetRelayoutHook([&] { ++calls; });
        for (const char* label : {"A", "B", "C"}) moved.AddFrame(MakeImage(4, 4), label);
        std::vector<const CDibImage*> before, after;
        std::vector<const char*> labels;
        moved.GetFrames(before, labels);
        calls = 0;

        moved.MoveFrame(c.from, c.k);
        EXPECT_EQ(Labels(moved), c.expected) << "from " << c.from << " to " << c.k;
        EXPECT_EQ(moved.Count(), 3);
        EXPECT_EQ(calls, 0) << "the caller lays out after a move";
        // The same records moved, nothing was copied.
        moved.GetFrames(after, labels);
        for (const CDibImage* image : before) {
            EXPECT_NE(std::find(after.begin(), after.end(), image), after.end());
        }
    }
}

TEST_F(FrameListTest, DeleteSelectedRemovesThatRecordEvenWithEqualLabels) {
    list.AddFrame(MakeImage(4, 4), "same");
    list.AddFrame(MakeImage(4, 4), "same");
    list.AddFrame(MakeImage(4, 4), "other");
    const CDibImage* first = list.At(0)->image.get();
    const CDibImage* third = list.At(2)->image.get();
    relayouts = 0;

    list.SetSelected(1);
    ASSERT_EQ(list.Selected(), list.At(1));
    list.DeleteSelectedFrame();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0)->image.get(), first);
    EXPECT_EQ(list.At(1)->image.get(), third);
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_EQ(relayouts, 1);

    // Nothing selected: nothing deleted.
    list.DeleteSelectedFrame();
    EXPECT_EQ(list.Count(), 2);
}

TEST_F(FrameListTest, SelectionOutOfRangeClears) {
    AddAbc();
    list.SetSelected(2);
    EXPECT_EQ(list.Selected(), list.At(2));
    list.SetSelected(3);
    EXPECT_EQ(list.Selected(), nullptr);
    list.SetSelected(0);
    list.SetSelected(-1);
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.At(3), nullptr);
}

TEST_F(FrameListTest, SelectionFollowsTheRecordAcrossMoves) {
    AddAbc();
    list.SetSelected(0);  // A
    list.MoveFrame(0, 3);
    list.DeleteSelectedFrame();
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"B", "C"}));
}

TEST_F(FrameListTest, DeleteAllEmptiesClearsSelectionAndLaysOut) {
    list.DeleteAllFrames();  // on an empty list it still lays out
    EXPECT_EQ(relayouts, 1);
    AddAbc();
    list.SetSelected(1);
    list.DeleteAllFrames();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_EQ(relayouts, 1);
    EXPECT_TRUE(Labels(list).empty());
}

TEST_F(FrameListTest, ReplaceSelectedLabelTakesTextAsTyped) {
    AddAbc();
    list.SetSelected(1);
    list.ReplaceSelectedLabel("");
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"A", "", "C"}));
    list.ReplaceSelectedLabel("  a/b:c?  ");
    EXPECT_EQ(list.At(1)->label, "  a/b:c?  ");
    EXPECT_EQ(relayouts, 2);

    list.SetSelected(-1);
    list.ReplaceSelectedLabel("ignored");
    EXPECT_EQ(Labels(list), (std::vector<std::string>{"A", "  a/b:c?  ", "C"}));
    EXPECT_EQ(relayouts, 2);
}

TEST_F(FrameListTest, SetThumbSizeRemakesThumbnailsWithoutLayingOut) {
    list.AddFrame(MakeImage(320, 240, MakeRgb(10, 20, 30)), "A");
    relayouts = 0;
    list.SetThumbSize(48, 36);
    EXPECT_EQ(list.ThumbWidth(), 48);
    EXPECT_EQ(list.ThumbHeight(), 36);
    EXPECT_EQ(list.At(0)->thumbnail->Width(), 48);
    EXPECT_EQ(list.At(0)->thumbnail->Height(), 36);
    // Area averaging over fractional footprints may lose one step to truncation.
    const uint32_t packed = list.At(0)->thumbnail->PixelAt(24, 18);
    EXPECT_NEAR(int(packed >> 16), 10, 1);
    EXPECT_NEAR(int((packed >> 8) & 0xFF), 20, 1);
    EXPECT_NEAR(int(packed & 0xFF), 30, 1);
    EXPECT_EQ(relayouts, 0);

    list.AddFrame(MakeImage(320, 240), "B");
    EXPECT_EQ(list.At(1)->thumbnail->Width(), 48);
}

TEST(FrameListLifetime, DestructionDoesNotCallTheHook) {
    int calls = 0;
    {
        FrameList list;
        list.SetThumbSize(16, 12);
        list.AddFrame(MakeImage(4, 4), "A");
        list.SetRelayoutHook([&] { ++calls; });
    }
    EXPECT_EQ(calls, 0);
}

}  // namespace
