#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "app/video_area.h"
#include "support/test_paths.h"
#include "playback/movie_player.h"

namespace {

TEST(VideoArea, PlayerPictureIsLetterboxedWithBlackBars) {
    CMoviePlayer player;
    player.SetSoundEnabled(false);
    ASSERT_EQ(player.Open((TestDataDir() / "noaudio.mp4").string()), 0);
    const VideoImagePtr picture = player.CurrentPicture();
    ASSERT_TRUE(picture);
    QImage canvas(400, 400, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        PaintLetterboxed(painter, canvas.rect(), picture.get());
    }
    // 320 x 240 fits as 400 x 300, centred: bars of 50 rows above and below.
    EXPECT_EQ(canvas.pixel(200, 10), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(200, 390), qRgb(0, 0, 0));
    EXPECT_NE(canvas.pixel(200, 200), qRgb(0, 0, 0));
    EXPECT_NE(canvas.pixel(200, 60), qRgb(255, 255, 255));
    // Without a picture the whole area is black.
    QPainter painter(&canvas);
    PaintLetterboxed(painter, canvas.rect(), nullptr);
    painter.end();
    EXPECT_EQ(canvas.pixel(200, 200), qRgb(0, 0, 0));
}

}  // namespace
