// reelcap-sheet --vtt run as a program on the generated clips: the pictures
// behind the cues (exact frames, key frames, rotation and pixel aspect), cues
// and sprites of a long movie, nothing left after a failure, bad usage, and
// the files read back by a real web browser.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "grabbing/grab_sequence.h"
#include "image/dib_image.h"
#include "sheet/webvtt.h"
#include "support/sheet_program.h"
#include "support/test_paths.h"
#include "decoding/key_frame_index.h"
#include "playback/movie_player.h"

namespace fs = std::filesystem;

namespace {

using Outcome = SheetRun;

Outcome Sheet(const std::vector<std::string>& args) { return RunSheetProgram(args); }

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

using Cue = VttCue;

// The cues of a WebVTT file as this tool writes them; a line that fits no
// expected form fails the test.
std::vector<Cue> ReadCues(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const VttReading reading = ReadVtt(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    EXPECT_TRUE(reading.header) << path;
    for (const std::string& line : reading.stray) ADD_FAILURE() << "not a cue line: " << line;
    return reading.cues;
}

// The tile of `cue` cut out of its sprite (beside the WebVTT file).
std::unique_ptr<CDibImage> TileOf(const fs::path& folder, const Cue& cue) {
    CDibImage sprite;
    EXPECT_TRUE(sprite.LoadJpeg((folder / cue.file).string())) << cue.file;
    auto tile = std::make_unique<CDibImage>();
    tile->Create(cue.width, cue.height);
    const RECT rect{cue.x, cue.y, cue.x + cue.width, cue.y + cue.height};
    tile->Blit(0, 0, &rect, sprite);
    return tile;
}

// Mean difference per channel of two pictures of one size, 0-255.
double Difference(const CDibImage& a, const CDibImage& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    if (a.Width() != b.Width() || a.Height() != b.Height()) return 255.0;
    double sum = 0.0;
    for (int row = 0; row < a.Height(); ++row)
        for (int i = 0; i < a.Width() * 3; ++i) sum += std::abs(int(a.StoredRow(row)[i]) - int(b.StoredRow(row)[i]));
    return sum / (double(a.Width()) * a.Height() * 3.0);
}

// The exact frame the player shows at `seconds`, scaled to a tile.
class Frames {
public:
    explicit Frames(const std::string& movie) {
        m_player.SetSoundEnabled(false);
        EXPECT_EQ(m_player.Open(movie), 0) << m_player.GetLastErrorText();
    }
    CMoviePlayer& Player() { return m_player; }
    std::unique_ptr<CDibImage> At(double seconds, int w, int h) {
        EXPECT_TRUE(m_player.SetPosition(seconds, true));
        const VideoImagePtr picture = m_player.CurrentPicture();
        GrabbedFrame frame = picture ? FrameOfPicture(*picture, seconds) : GrabbedFrame{};
        auto tile = std::make_unique<CDibImage>();
        tile->Create(w, h);
        if (frame.image) tile->StretchFrom(nullptr, *frame.image);
        return tile;
    }

private:
    CMoviePlayer m_player;
};

}  // namespace

// Every tile is the frame shown at its cue's start, not the one before or
// after it (an off-by-one seek shows as a closer neighbour).
TEST(VttTest, EachTileIsTheExactFrameAtItsCueStart) {
    ScratchDir dir;
    const Outcome run = Sheet({"--vtt", "--interval", "0.52", "--grid", "4x2", "-q", "100", "-O",
                               dir.path().string(), Clip("h264_aac.mp4")});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<Cue> cues = ReadCues(dir / "h264_aac.mp4.vtt");
    ASSERT_EQ(cues.size(), 8u);  // 4.0 s in steps of 0.52 s
    Frames frames(Clip("h264_aac.mp4"));
    const double frame = frames.Player().GetFrameDuration();
    for (const Cue& cue : cues) {
        SCOPED_TRACE(cue.startMs);
        ASSERT_EQ(cue.width, 320);
        ASSERT_EQ(cue.height, 240);
        const auto tile = TileOf(dir.path(), cue);
        const double at = double(cue.startMs) / 1000.0;
        const double exact = Difference(*tile, *frames.At(at, cue.width, cue.height));
        EXPECT_LT(exact, 6.0);  // JPEG's own loss at quality 100 with halved colour
        if (at >= frame) EXPECT_LT(exact, Difference(*tile, *frames.At(at - frame, cue.width, cue.height)));
        EXPECT_LT(exact, Difference(*tile, *frames.At(at + frame, cue.width, cue.height)));
    }
}

// Turned and anamorphic pictures: the tile has the shape the window shows,
// and holds that picture (not the stored one squeezed into it).
TEST(VttTest, RotatedAndAnamorphicTilesKeepTheDisplayShape) {
    ScratchDir dir;
    for (const auto& [clip, height] : {std::pair{"rotated.mp4", 426}, std::pair{"anamorphic.mp4", 166}}) {
        SCOPED_TRACE(clip);
        const Outcome run = Sheet({"--vtt", "-q", "100", "-O", dir.path().string(), Clip(clip)});
        ASSERT_EQ(run.code, 0) << run.err;
        const std::vector<Cue> cues = ReadCues(dir / (std::string(clip) + ".vtt"));
        ASSERT_EQ(cues.size(), 1u);  // two seconds: shorter than one interval
        EXPECT_EQ(cues[0].startMs, 0);
        EXPECT_NEAR(double(cues[0].endMs), 2000.0, 50.0);
        EXPECT_EQ(cues[0].width, 320);
        EXPECT_EQ(cues[0].height, height);
        CDibImage sprite;
        ASSERT_TRUE(sprite.LoadJpeg(dir / cues[0].file));
        EXPECT_EQ(sprite.Width(), 320);
        EXPECT_EQ(sprite.Height(), height);
        Frames frames(Clip(clip));
        EXPECT_LT(Difference(*TileOf(dir.path(), cues[0]), *frames.At(0.0, 320, height)), 3.0);
    }
}

// With --keyframes a cue that holds a key frame shows that key frame, one
// that holds none its exact start: every picture lies inside its own cue.
TEST(VttTest, KeyframesPickTheFirstKeyFrameInsideEachCue) {
    const KeyFrameTimes keys = ReadKeyFrameTimes(Clip("long100.mp4"));
    ASSERT_TRUE(keys.error.empty()) << keys.error;
    for (double t : {0.0, 10.0, 20.0, 50.0, 90.0})  // a key frame every 250 frames at 25 fps
        EXPECT_TRUE(std::any_of(keys.times.begin(), keys.times.end(), [&](double k) { return std::fabs(k - t) < 1e-3; }))
            << t;
    // A stop asked for while the 2,500 packets are read ends the reading early.
    int asked = 0;
    const KeyFrameTimes stopped = ReadKeyFrameTimes(Clip("long100.mp4"), nullptr, [&] { return ++asked < 2; });
    EXPECT_EQ(stopped.error, "interrupted");
    EXPECT_EQ(asked, 2);
    EXPECT_LT(stopped.times.size(), keys.times.size());

    ScratchDir dir;
    const Outcome run = Sheet({"--vtt", "--keyframes", "--interval", "4", "--thumb-width", "64", "-q", "100", "-O",
                               dir.path().string(), Clip("long100.mp4")});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<Cue> cues = ReadCues(dir / "long100.mp4.vtt");
    ASSERT_EQ(cues.size(), 25u);
    Frames frames(Clip("long100.mp4"));
    const double frame = frames.Player().GetFrameDuration();
    int keyed = 0;
    for (const Cue& cue : cues) {
        SCOPED_TRACE(cue.startMs);
        const double start = double(cue.startMs) / 1000.0;
        double want = start;
        for (double k : keys.times) {
            if (k >= start - 1e-6 && k < double(cue.endMs) / 1000.0) {
                want = k;
                ++keyed;
                break;
            }
        }
        const auto tile = TileOf(dir.path(), cue);
        const double chosen = Difference(*tile, *frames.At(want, cue.width, cue.height));
        EXPECT_LT(chosen, 12.0);  // a tiny picture's JPEG loss
        // The key frame, not the cue's start, where the two differ; not a
        // picture further on (neighbours are too alike at this size to tell).
        if (want > start + 0.5) EXPECT_LT(chosen, Difference(*tile, *frames.At(start, cue.width, cue.height)));
        EXPECT_LT(chosen, Difference(*tile, *frames.At(want + 12 * frame, cue.width, cue.height)));
    }
    EXPECT_GE(keyed, 10);
}

// 100 cues over 3 x 3 sprites: twelve sprites, the last holding one tile;
// contiguous cues from 0 to the end, each box inside its own sprite.
TEST(VttTest, LongMovieSpillsIntoFurtherSprites) {
    ScratchDir dir;
    const Outcome run = Sheet({"--vtt", "--interval", "1", "--grid", "3x3", "--thumb-width", "16", "-o",
                               dir / "thumbs.vtt", Clip("long100.mp4")});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<Cue> cues = ReadCues(dir / "thumbs.vtt");
    ASSERT_EQ(cues.size(), 100u);
    std::set<std::string> expected{"thumbs.vtt"};
    for (int s = 1; s <= 12; ++s) expected.insert("thumbs-" + std::to_string(s) + ".jpg");
    EXPECT_EQ(Names(dir.path()), expected);
    int64_t end = 0;
    for (size_t i = 0; i < cues.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cues[i].startMs, end);
        EXPECT_GT(cues[i].endMs, cues[i].startMs);
        end = cues[i].endMs;
        EXPECT_EQ(cues[i].file, "thumbs-" + std::to_string(i / 9 + 1) + ".jpg");
        CDibImage sprite;
        ASSERT_TRUE(sprite.LoadJpeg(dir / cues[i].file));
        EXPECT_LE(cues[i].x + cues[i].width, sprite.Width());
        EXPECT_LE(cues[i].y + cues[i].height, sprite.Height());
    }
    EXPECT_EQ(end, 100000);
    CDibImage last;
    ASSERT_TRUE(last.LoadJpeg(dir / "thumbs-12.jpg"));
    EXPECT_EQ(last.Width(), 16);
    EXPECT_EQ(last.Height(), 12);
}

// A failed movie leaves no WebVTT file and no sprite: neither when it cannot
// be read, nor when a sprite's name is taken, nor when the WebVTT file
// cannot be moved in after its sprites were.
TEST(VttTest, AFailedMovieLeavesNothingBehind) {
    ScratchDir dir;
    {
        std::ofstream junk(dir / "junk.mp4");
        junk << "not a movie at all";
    }
    Outcome run = Sheet({"--vtt", "--quiet", dir / "junk.mp4", Clip("audioonly.m4a"), "-O", dir / "out"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("audioonly.m4a: no picture"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(dir.path() / "out"));

    // A sprite name taken without -y: the old file stays, nothing else appears.
    { std::ofstream(dir.path() / "out" / "long100.mp4-2.jpg") << "mine"; }
    run = Sheet({"--vtt", "--interval", "1", "--grid", "5x5", "-O", dir / "out", Clip("long100.mp4")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
    EXPECT_EQ(Names(dir.path() / "out"), std::set<std::string>{"long100.mp4-2.jpg"});

    // The WebVTT file goes in last; when it cannot, the sprites moved in
    // before it are taken back out, and the old sprite -y replaced is back.
    fs::create_directory(dir.path() / "out" / "long100.mp4.vtt");
    run = Sheet({"--vtt", "-y", "--interval", "1", "--grid", "5x5", "-O", dir / "out", Clip("long100.mp4")});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(Names(dir.path() / "out"), (std::set<std::string>{"long100.mp4-2.jpg", "long100.mp4.vtt"}));
    EXPECT_EQ(FileBytes(dir / "out/long100.mp4-2.jpg"), "mine");
    EXPECT_TRUE(fs::is_directory(dir.path() / "out" / "long100.mp4.vtt"));

    // A finished run keeps no second names of what it replaced.
    fs::remove(dir.path() / "out" / "long100.mp4.vtt");
    run = Sheet({"--vtt", "-y", "--interval", "1", "--grid", "5x5", "-O", dir / "out", Clip("long100.mp4")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(FileBytes(dir / "out/long100.mp4-2.jpg"), "mine");
    for (const auto& entry : fs::directory_iterator(dir.path() / "out"))
        EXPECT_EQ(entry.path().filename().string().find(".old"), std::string::npos) << entry.path();
    // Made again with fewer sprites: those only the old file pointed to go,
    // but never a file of someone else's that a cue was edited to show.
    {
        std::ofstream vtt(dir.path() / "out" / "long100.mp4.vtt", std::ios::app);
        vtt << "\n00:01:40.000 --> 00:01:41.000\nposter.jpg#xywh=0,0,1,1\n";
    }
    { std::ofstream(dir.path() / "out" / "poster.jpg") << "poster"; }
    run = Sheet({"--vtt", "-y", "--interval", "50", "-O", dir / "out", Clip("long100.mp4")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Names(dir.path() / "out"),
              (std::set<std::string>{"long100.mp4-1.jpg", "long100.mp4.vtt", "poster.jpg"}));

    // A sprite wider than a JPEG file can be is refused by its size, before
    // a movie's worth of pictures is decoded only to fail at the write.
    run = Sheet({"--vtt", "--interval", "1", "--grid", "40x1", "--thumb-width", "1920", "-O", dir / "wide",
                 Clip("long100.mp4")});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("larger than a JPEG file can be"), std::string::npos) << run.err;
    EXPECT_TRUE(!fs::exists(dir.path() / "wide") || fs::is_empty(dir.path() / "wide"));

    // -y writes through a link in the WebVTT file's place, as sheets do; the
    // sprites go beside the link, where its relative URLs lead.
    fs::create_directories(dir.path() / "real");
    fs::create_directories(dir.path() / "served");
    { std::ofstream(dir.path() / "real" / "t.vtt") << "old"; }
    fs::create_symlink(dir.path() / "real" / "t.vtt", dir.path() / "served" / "t.vtt");
    run = Sheet({"--vtt", "-y", "--interval", "50", "-o", dir / "served/t.vtt", Clip("long100.mp4")});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "served" / "t.vtt"));
    EXPECT_EQ(FileBytes(dir / "real/t.vtt").rfind("WEBVTT", 0), 0u);
    EXPECT_TRUE(fs::exists(dir.path() / "served" / "t-1.jpg"));
}

// Ten hours in a file of six pictures: an interval that would make more
// thumbnails than a movie may have fails that movie before a cue is made or
// a picture decoded, and the other movies of the run still get theirs.
TEST(VttTest, TooManyThumbnailsFailTheirMovieBeforeDecoding) {
    ScratchDir dir;
    const std::string hours = Clip("sparse10h.mp4");  // 36000.04 s
    const std::string shorter = Clip("noaudio.mp4");  // 2 s
    struct Case {
        const char* interval;
        bool refused;  // the ten hours
        size_t cues;   // of the ten hours when made
    };
    // 0.36 s makes 100001 cues, one more than a movie may have.
    const Case cases[] = {{"0.01", true, 0}, {"0.36", true, 0}, {"3600", false, 11}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        const fs::path out = dir.path() / c.interval;
        const Outcome run = Sheet({"--vtt", "--interval", c.interval, "-O", out.string(), hours, shorter});
        EXPECT_EQ(run.code, c.refused ? 1 : 0) << run.err;
        EXPECT_TRUE(fs::exists(out / "noaudio.mp4.vtt"));
        if (c.refused) {
            EXPECT_NE(run.err.find(hours + ": "), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("more than the 100000"), std::string::npos) << run.err;
            EXPECT_NE(run.err.find("at least 0.361 s"), std::string::npos) << run.err;
            for (const std::string& name : Names(out)) EXPECT_EQ(name.rfind("noaudio.mp4", 0), 0u) << name;
        } else {
            EXPECT_EQ(ReadCues((out / "sparse10h.mp4.vtt").string()).size(), c.cues);
        }
    }
}

// Bad values are refused with exit status 2 before any movie is read.
TEST(VttTest, BadThumbnailFlagsAreUsageErrors) {
    ScratchDir dir;
    const std::string movie = Clip("noaudio.mp4");
    const std::vector<std::vector<std::string>> cases{
        {"--vtt", "--interval", "0"},      {"--vtt", "--interval", "-5"},   {"--vtt", "--interval", "abc"},
        {"--vtt", "--interval", "0.0001"}, {"--vtt", "--grid", "0x3"},      {"--vtt", "--grid", "3"},
        {"--vtt", "--thumb-width", "15"},  {"--vtt", "--thumb-width", "1921"}, {"--keyframes"},
        {"--interval", "5"},               {"--vtt", "--frames-dir", dir / "f"},
    };
    for (std::vector<std::string> args : cases) {
        SCOPED_TRACE(args.back());
        args.insert(args.end(), {"-O", dir.path().string(), movie});
        const Outcome run = Sheet(args);
        EXPECT_EQ(run.code, 2) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// A real browser loads the WebVTT file as a metadata track: its cues must be
// the ones written, and every box must lie inside the sprite as the browser
// decodes it.
TEST(VttTest, ABrowserReadsTheCuesAndSprites) {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed (tools/setup.sh installs it)";
    ScratchDir dir;
    const Outcome run = Sheet({"--vtt", "--interval", "7", "--grid", "4x3", "-O", dir.path().string(),
                               Clip("long100.mp4")});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<Cue> written = ReadCues(dir / "long100.mp4.vtt");
    ASSERT_EQ(written.size(), 15u);
    {
        std::ofstream page(dir / "page.html");
        page << R"(<!DOCTYPE html>
<html><body><video preload="none"><track id="t" kind="metadata" src="long100.mp4.vtt"></video>
<pre id="out">pending</pre>
<script>
const t = document.getElementById('t');
const result = {cues: null, sizes: {}};
function show() { document.getElementById('out').textContent = JSON.stringify(result); }
t.addEventListener('error', () => { result.error = 'the track did not load'; show(); });
t.addEventListener('load', () => {
  result.cues = Array.from(t.track.cues).map(c => ({start: c.startTime, end: c.endTime, text: c.text}));
  for (const c of result.cues) {
    const file = c.text.split('#')[0];
    if (file in result.sizes) continue;
    result.sizes[file] = null;
    const img = new Image();
    img.onload = () => { result.sizes[file] = [img.naturalWidth, img.naturalHeight]; show(); };
    img.onerror = () => { result.sizes[file] = 'error'; show(); };
    img.src = new URL(file, document.baseURI).href;
  }
  show();
});
t.track.mode = 'hidden';
</script></body></html>)";
    }
    QTemporaryDir profile;
    QProcess browser;
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                             "--disable-component-update", "--disable-sync", "--no-first-run",
                             "--user-data-dir=" + profile.path(), "--allow-file-access-from-files",
                             "--virtual-time-budget=10000", "--dump-dom",
                             QString::fromStdString("file://" + (dir / "page.html"))});
    ASSERT_TRUE(browser.waitForFinished(90000)) << "chromium did not finish";
    const std::string dom = browser.readAllStandardOutput().toStdString();
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dom, m, std::regex(R"(<pre id="out">(.*)</pre>)"))) << dom;
    const QJsonObject result = QJsonDocument::fromJson(QByteArray::fromStdString(m[1])).object();
    ASSERT_FALSE(result.contains("error")) << m[1];
    const QJsonArray cues = result["cues"].toArray();
    ASSERT_EQ(cues.size(), qsizetype(written.size())) << m[1];
    const QJsonObject sizes = result["sizes"].toObject();
    for (qsizetype i = 0; i < cues.size(); ++i) {
        SCOPED_TRACE(i);
        const QJsonObject cue = cues[i].toObject();
        const Cue& want = written[size_t(i)];
        EXPECT_NEAR(cue["start"].toDouble(), double(want.startMs) / 1000.0, 1e-6);
        EXPECT_NEAR(cue["end"].toDouble(), double(want.endMs) / 1000.0, 1e-6);
        const std::string text = cue["text"].toString().toStdString();
        EXPECT_EQ(text, want.file + "#xywh=" + std::to_string(want.x) + "," + std::to_string(want.y) + "," +
                            std::to_string(want.width) + "," + std::to_string(want.height));
        const QJsonArray size = sizes[QString::fromStdString(want.file)].toArray();
        ASSERT_EQ(size.size(), 2) << "the browser could not decode " << want.file;
        EXPECT_LE(want.x + want.width, size[0].toInt());
        EXPECT_LE(want.y + want.height, size[1].toInt());
    }
    EXPECT_EQ(cues.last().toObject()["end"].toDouble(), 100.0);
}
