// Building blocks of the player that need no movie: picture geometry, the grab
// block layout and the bounded queue between threads.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "image/gdi_types.h"
#include "playback/bounded_queue.h"
#include "decoding/frame_converter.h"
#include "decoding/video_image.h"

namespace {

// 3 x 2 picture with pixel value = 10 * row + column.
VideoImage Numbered() {
    VideoImage image;
    image.width = 3;
    image.height = 2;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.pixels.push_back(uint32_t(10 * y + x));
    return image;
}

TEST(VideoParts, RotationTurnsClockwise) {
    VideoImage quarter = Numbered();
    RotatePixels(quarter, 90);
    ASSERT_EQ(quarter.width, 2);
    ASSERT_EQ(quarter.height, 3);
    // Top row of the turned picture is the left column read bottom-up.
    EXPECT_EQ(quarter.pixels, (std::vector<uint32_t>{10, 0, 11, 1, 12, 2}));

    VideoImage half = Numbered();
    RotatePixels(half, 180);
    EXPECT_EQ(half.width, 3);
    EXPECT_EQ(half.pixels, (std::vector<uint32_t>{12, 11, 10, 2, 1, 0}));

    VideoImage threeQuarters = Numbered();
    RotatePixels(threeQuarters, 270);
    EXPECT_EQ(threeQuarters.width, 2);
    EXPECT_EQ(threeQuarters.pixels, (std::vector<uint32_t>{2, 12, 1, 11, 0, 10}));

    VideoImage none = Numbered();
    RotatePixels(none, 45);
    EXPECT_EQ(none.pixels, Numbered().pixels);
}

TEST(VideoParts, NonSquarePixelsAreWidenedNeverNarrowed) {
    int w = 0, h = 0;
    FrameConverter::DisplaySize(320, 240, AVRational{16, 11}, &w, &h);
    EXPECT_EQ(w, 465);
    EXPECT_EQ(h, 240);
    FrameConverter::DisplaySize(720, 480, AVRational{8, 9}, &w, &h);
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 540);
    FrameConverter::DisplaySize(320, 240, AVRational{0, 1}, &w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
}

TEST(VideoParts, GrabBlockIsHeaderAndBottomUpRows) {
    VideoImage image = Numbered();
    GrabBlock block = MakeGrabBlock(image);
    ASSERT_TRUE(block);
    BITMAPINFOHEADER header;
    std::memcpy(&header, block.get(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 3);
    EXPECT_EQ(header.biHeight, 2);
    EXPECT_EQ(header.biBitCount, 32);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biSizeImage, 24u);
    uint32_t firstStored;
    std::memcpy(&firstStored, block.get() + 40, 4);
    EXPECT_EQ(firstStored, 10u);  // the bottom row comes first

    EXPECT_FALSE(MakeGrabBlock(VideoImage{}));
}

TEST(VideoParts, QueueHonoursCountAndWeightCaps) {
    BoundedQueue<int> queue(3, 100);
    EXPECT_TRUE(queue.Push(1, 10));
    EXPECT_TRUE(queue.Push(2, 120));  // one entry may exceed the weight alone
    EXPECT_TRUE(queue.Full());
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0)), 1);
    EXPECT_TRUE(queue.Full());  // 120 alone is over the weight cap
    EXPECT_EQ(queue.TryPop(), 2);
    EXPECT_FALSE(queue.Full());
    EXPECT_EQ(queue.Weight(), 0u);
    EXPECT_FALSE(queue.TryPop());
}

TEST(VideoParts, AbortWakesAWaitingProducerAndConsumer) {
    BoundedQueue<int> queue(1, 1000);
    ASSERT_TRUE(queue.Push(1));
    bool pushed = true;
    std::thread producer([&] { pushed = queue.Push(2); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    queue.Abort();
    producer.join();
    EXPECT_FALSE(pushed);
    EXPECT_FALSE(queue.Pop(std::chrono::seconds(5)));  // returns at once
    queue.Restart();
    queue.Clear();
    EXPECT_TRUE(queue.Push(3));
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(10)), 3);
}

}  // namespace
