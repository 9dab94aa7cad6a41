// reelcap-sheet run as a program on the generated clips: sizes, options,
// failures that stay with their movie, names, and --skip-blank.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "grabbing/grab_sequence.h"
#include "grabbing/segment_grabber.h"
#include "grabbing/target_grabs.h"
#include "image/dib_image.h"
#include "settings/sheet_options.h"
#include "sheet/sheet_layout.h"
#include "support/sheet_program.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

using Outcome = SheetRun;

Outcome Sheet(const std::vector<std::string>& args, const fs::path& folder = fs::current_path()) {
    return RunSheetProgram(args, {}, folder.string());
}

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

std::string CopyClip(const std::string& name, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(Clip(name), to);
    return to.string();
}

FrameSize SizeOf(const std::string& jpeg) {
    CDibImage image;
    EXPECT_TRUE(image.LoadJpeg(jpeg)) << jpeg;
    return {image.Width(), image.Height()};
}

// The sheet size the layout gives for n frames of w x h, details block off.
FrameSize LayoutSize(const SheetOptions& options, int n, int w, int h) {
    SheetLayout layout;
    EXPECT_TRUE(ComputeSheetLayout(std::vector<FrameSize>(size_t(n), FrameSize{w, h}), options, nullptr, layout));
    return {layout.sheetWidth, layout.sheetHeight};
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) names.insert(entry.path().filename().string());
    return names;
}

int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

// Bug reports quote these lines: both programs print the same ones, with the
// libraries really loaded, without a display and without creating options.lyt.
TEST(CliTest, BothProgramsPrintTheSameVersionLines) {
    ScratchDir dir;
    auto versionOf = [&](const char* program) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
        process.start(program, {"--version"});
        process.waitForFinished(60000);
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << program;
        EXPECT_EQ(process.exitCode(), 0) << program;
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString sheet = versionOf(REELCAP_SHEET_PROGRAM);
    EXPECT_EQ(versionOf(REELCAP_PROGRAM), sheet);
    const QRegularExpression lines(QStringLiteral(
        "^Reelcap \\d+\\.\\d+\\S*\n"
        "FFmpeg \\S+: libavformat \\d+\\.\\d+\\.\\d+, libavcodec \\d+\\.\\d+\\.\\d+, .*libswresample \\d+\\.\\d+\\.\\d+\n"
        "Qt 6\\.\\d+\\.\\d+\n"
        "libjpeg-turbo \\d+\\.\\d+\\.\\d+.*\n$"));
    EXPECT_TRUE(lines.match(sheet).hasMatch()) << sheet.toStdString();
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(CliTest, SheetSizeFollowsOptionsFileThenFlags) {
    ScratchDir dir;
    const std::string movie = CopyClip("noaudio.mp4", dir.path() / "m.mp4");  // 320 x 240
    SheetOptions options{};
    options.SetDefaults();
    options.showDetails = 0;

    Outcome run = Sheet({"-n", "7", "--no-details", movie});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;  // stderr is no terminal: silent
    FrameSize got = SizeOf(movie + ".jpg");
    FrameSize want = LayoutSize(options, 7, 320, 240);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);

    // An options file in the current folder is used and never written.
    options.columns = 3;
    options.tileWidth = 100;
    options.tileHeight = 60;
    options.gapWidth = options.gapHeight = 4;
    options.frameCount = 5;
    {
        std::ofstream file(dir / "options.lyt", std::ios::binary);
        file.write(reinterpret_cast<const char*>(&options), sizeof options);
    }
    const auto written = fs::last_write_time(dir / "options.lyt");
    run = Sheet({"-y", "m.mp4"}, dir.path());
    ASSERT_EQ(run.code, 0) << run.err;
    got = SizeOf(movie + ".jpg");
    want = LayoutSize(options, 5, 320, 240);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(fs::last_write_time(dir / "options.lyt"), written);
    EXPECT_EQ(fs::file_size(dir / "options.lyt"), kSheetOptionsFileSize);

    // Grab All stores whatever count was typed, 0 and below too: such a count
    // is no choice and the built-in 30 stands; -n 0 typed here is still wrong.
    for (const int stored : {0, -7}) {
        options.frameCount = stored;
        {
            std::ofstream file(dir / "options.lyt", std::ios::binary);
            file.write(reinterpret_cast<const char*>(&options), sizeof options);
        }
        run = Sheet({"-y", "m.mp4"}, dir.path());
        ASSERT_EQ(run.code, 0) << stored << ": " << run.err;
        got = SizeOf(movie + ".jpg");
        want = LayoutSize(options, 30, 320, 240);
        EXPECT_EQ(got.width, want.width) << stored;
        EXPECT_EQ(got.height, want.height) << stored;
        EXPECT_EQ(Sheet({"-y", "-n", "0", "m.mp4"}, dir.path()).code, 2) << stored;
    }

    // --options from elsewhere, each flag over it.
    fs::rename(dir / "options.lyt", dir / "mine.lyt");
    run = Sheet({"-y", "--options", dir / "mine.lyt", "-c", "2", "--tile", "50x50", "--gap", "0", "-n", "3", movie});
    ASSERT_EQ(run.code, 0) << run.err;
    options.columns = 2;
    options.tileWidth = options.tileHeight = 50;
    options.gapWidth = options.gapHeight = 0;
    got = SizeOf(movie + ".jpg");
    want = LayoutSize(options, 3, 320, 240);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_FALSE(fs::exists(dir / "options.lyt"));  // nothing creates it either
}

TEST(CliTest, BadValuesStopBeforeAnyMovieIsRead) {
    ScratchDir dir;
    const std::string movie = CopyClip("noaudio.mp4", dir.path() / "m.mp4");
    const std::string second = CopyClip("noaudio.mp4", dir.path() / "n.mp4");
    // Arguments, and the flag the message must name.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"-c", "0"}, "--columns"},       {{"--columns", "abc"}, "--columns"}, {{"--tile", "0x10"}, "--tile"},
        {{"--tile", "10"}, "--tile"},     {{"-n", "0"}, "--frames"},           {{"--frames", "abc"}, "--frames"},
        {{"-q", "101"}, "--quality"},     {{"--quality", "-1"}, "--quality"},  {{"--gap", "-3"}, "--gap"},
        {{"-j", "0"}, "--jobs"},          {{"--bogus"}, "bogus"},              {{"--options", dir / "no.lyt"}, "--options"},
        {{"-o", dir / "x.jpg", second}, "--output"},
    };
    for (auto [args, flag] : bad) {
        args.push_back(movie);
        const Outcome run = Sheet(args);
        EXPECT_EQ(run.code, 2) << flag;
        EXPECT_NE(run.err.find(flag), std::string::npos) << flag << ": " << run.err;
    }
    EXPECT_EQ(Sheet({}).code, 2);
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"m.mp4", "n.mp4"}));
}

TEST(CliTest, FailedMoviesReportOneLineEachAndLeaveNothing) {
    ScratchDir dir;
    const std::string good1 = CopyClip("h264_aac.mp4", dir.path() / "good1.mp4");
    const std::string good2 = CopyClip("mpeg2.mpg", dir.path() / "good2.mpg");
    const std::string audio = CopyClip("audioonly.m4a", dir.path() / "sound.mp4");
    const std::string junk = (dir.path() / "junk.avi").string();
    const std::string empty = (dir.path() / "empty.MKV").string();  // extensions in any case
    {
        std::ofstream out(junk, std::ios::binary);
        std::mt19937 random(7);
        for (int i = 0; i < 100000; ++i) out.put(char(random()));
        std::ofstream touch(empty);
        std::ofstream notes(dir / "notes.txt");  // no movie extension: not searched
    }
    const Outcome run = Sheet({"-j", "2", "-n", "4", "--frames-dir", dir / "frames", dir.path().string(),
                           dir / "missing.mp4"});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(Lines(run.err), 4) << run.err;
    for (const std::string& bad : {audio, junk, empty, (dir.path() / "missing.mp4").string()}) {
        EXPECT_NE(run.err.find(bad + ": "), std::string::npos) << bad << " in " << run.err;
        EXPECT_FALSE(fs::exists(bad + ".jpg"));
    }
    EXPECT_TRUE(fs::exists(good1 + ".jpg"));
    EXPECT_TRUE(fs::exists(good2 + ".jpg"));
    // Only the good movies' outputs: no partial sheets, frames or hidden files.
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"good1.mp4", "good1.mp4.jpg", "good2.mpg", "good2.mpg.jpg",
                                                        "sound.mp4", "junk.avi", "empty.MKV", "notes.txt", "frames"}));
    EXPECT_EQ(Names(dir.path() / "frames"), (std::set<std::string>{"good1.mp4", "good2.mpg"}));
}

// A frame count beyond any sheet, in a process whose memory is limited as a
// container's is: refused for each movie before anything of that count is
// made, one line each, while the run goes on. Where the count fits one
// movie's pictures and not another's, the one makes its sheet.
TEST(CliTest, FrameCountsBeyondAnySheetFailTheirMovieOnly) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not mix with the sanitizer";
#endif
    ScratchDir dir;
    const std::string wide = CopyClip("noaudio.mp4", dir.path() / "wide.mp4");    // 320 x 240
    const std::string tall = CopyClip("rotated.mp4", dir.path() / "tall.mp4");    // 240 x 320
    const std::string other = CopyClip("noaudio.mp4", dir.path() / "other.mp4");
    // Room for the program and its threads, far from a list of 300 million frames.
    const rlim_t limit = (rlim_t(1) << 30) + (rlim_t(128) << 20) * std::thread::hardware_concurrency();
    struct Case {
        std::vector<std::string> args;
        std::set<std::string> made;
        std::set<std::string> failed;
    };
    // 500 tiles of 148 x 111 in one column fit 65500 pixels; of 111 x 148 they do not.
    const Case cases[] = {
        {{"-n", "300000000", "-j", "2", wide, other}, {}, {wide, other}},
        {{"-n", "300000000", "--frames-dir", dir / "f", wide}, {}, {wide}},
        {{"-n", "500", "--tile", "148x148", "-c", "1", "--gap", "0", "--no-details", "--no-shadow", tall, wide},
         {wide},
         {tall}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), {"-y", "--report", "-"});
        const Outcome run = RunSheetProgram(args, {}, dir.path().string(), [limit] {
            const rlimit bounded{limit, limit};
            setrlimit(RLIMIT_AS, &bounded);
        });
        const std::string name = c.args[0] + " " + c.args[1];
        EXPECT_EQ(run.code, 1) << name << ": " << run.err;
        EXPECT_EQ(Lines(run.err), int(c.failed.size())) << name << ": " << run.err;
        EXPECT_EQ(Lines(run.out), int(c.made.size() + c.failed.size())) << name << ": report " << run.out;
        for (const std::string& movie : c.failed) {
            EXPECT_NE(run.err.find(movie + ": The sheet would be"), std::string::npos) << name << ": " << run.err;
            EXPECT_FALSE(fs::exists(movie + ".jpg")) << name;
        }
        for (const std::string& movie : c.made) EXPECT_TRUE(fs::exists(movie + ".jpg")) << name;
    }
    EXPECT_FALSE(fs::exists(dir / "f"));
}

TEST(CliTest, ExistingOutputNeedsOverwriteAndFrameFilesAreNamedByLabel) {
    ScratchDir dir;
    const std::string movie = CopyClip("long100.mp4", dir.path() / "long.mp4");
    const std::string sheet = (dir.path() / "out" / "long.mp4.jpg").string();
    ASSERT_EQ(Sheet({"-n", "4", "-O", dir / "out", "--frames-dir", dir / "f", movie}).code, 0);
    // 100 s in 5 steps: Save Multiple's names of the labels.
    EXPECT_EQ(Names(dir.path() / "f" / "long.mp4"),
              (std::set<std::string>{"00-00-20.jpg", "00-00-40.jpg", "00-01-00.jpg", "00-01-20.jpg"}));

    const auto before = fs::last_write_time(sheet);
    Outcome run = Sheet({"-n", "4", "-O", dir / "out", movie});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
    EXPECT_EQ(fs::last_write_time(sheet), before);
    // A frame file in the way refuses the movie as a whole: no sheet either.
    run = Sheet({"-n", "4", "-o", dir / "other.jpg", "--frames-dir", dir / "f", movie});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "other.jpg"));

    run = Sheet({"-y", "-n", "2", "--no-labels", "-O", dir / "out", movie});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_LT(SizeOf(sheet).width, 400);  // two tiles now

    // -y replaces frame files only when the movie succeeds: a sheet that cannot
    // be moved in (a folder in its place) puts the old frames back.
    // A frame file that is a link is written through, and what it leads to
    // comes back too; no second name is left anywhere.
    const std::string frame = (dir.path() / "f" / "long.mp4" / "00-00-40.jpg").string();
    const std::string oldFrame = FileBytes(frame);
    const fs::path linked = dir.path() / "f" / "long.mp4" / "00-01-00.jpg";
    fs::create_directories(dir.path() / "keep");
    { std::ofstream(dir.path() / "keep" / "real.jpg") << "mine"; }
    fs::remove(linked);
    fs::create_symlink(dir.path() / "keep" / "real.jpg", linked);
    fs::create_directories(dir.path() / "taken.jpg" / "inside");
    run = Sheet({"-y", "-q", "20", "-n", "4", "-o", dir / "taken.jpg", "--frames-dir", dir / "f", movie});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(FileBytes(frame), oldFrame);
    EXPECT_EQ(Names(dir.path() / "f" / "long.mp4"),
              (std::set<std::string>{"00-00-20.jpg", "00-00-40.jpg", "00-01-00.jpg", "00-01-20.jpg"}));
    EXPECT_TRUE(fs::is_symlink(linked));
    EXPECT_EQ(FileBytes(dir / "keep/real.jpg"), "mine");
    EXPECT_EQ(Names(dir.path() / "keep"), std::set<std::string>{"real.jpg"});
}

// Without frame files the frames are kept at their tiles' size from the moment
// they are grabbed; the sheet must not change by a byte for it, whether the
// tiles shrink or enlarge the pictures, with square or anamorphic pixels.
TEST(CliTest, FramesKeptAtTileSizeGiveTheSameSheet) {
    ScratchDir dir;
    for (const char* clip : {"h264_aac.mp4", "anamorphic.mp4", "rotated.mp4"}) {
        // Without gaps, tiles at the sheet's edge come out a pixel smaller.
        for (std::vector<std::string> layout : {std::vector<std::string>{"--tile", "148x111"},
                                                {"--tile", "500x400"}, {"--tile", "43x33", "--gap", "0", "-c", "4"}}) {
            SCOPED_TRACE(std::string(clip) + " " + layout[1]);
            const std::string full = dir / "full.jpg";
            const std::string small = dir / "small.jpg";
            std::vector<std::string> args{"-y", "-n", "12", "-o", full, "--frames-dir", dir / "f", Clip(clip)};
            args.insert(args.begin(), layout.begin(), layout.end());
            ASSERT_EQ(Sheet(args).code, 0);
            args = {"-y", "-n", "12", "-o", small, Clip(clip)};
            args.insert(args.begin(), layout.begin(), layout.end());
            ASSERT_EQ(Sheet(args).code, 0);
            EXPECT_TRUE(FileBytes(full) == FileBytes(small));
        }
    }
}

TEST(CliTest, Utf8NamesAndRecursiveSearch) {
    ScratchDir dir;
    const std::string name = "Кино 電影 ταινία.mp4";
    CopyClip("noaudio.mp4", dir.path() / "sub" / name);
    Outcome run = Sheet({"-n", "2", "-O", dir / "out", dir.path().string()});
    EXPECT_EQ(run.code, 1);  // the movie sits one level down
    EXPECT_NE(run.err.find("no movie files"), std::string::npos) << run.err;
    run = Sheet({"-r", "-n", "2", "-O", dir / "out", dir.path().string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir.path() / "out" / (name + ".jpg")));

    // Folder names that are not UTF-8 and differ only in those bytes: each
    // flag keeps its own.
    const std::string sheets = dir.path().string() + "/s\xe9";
    const std::string frames = dir.path().string() + "/f\xe8";
    run = Sheet({"-n", "2", "-O", sheets, "--frames-dir=" + frames, dir.path().string() + "/sub/" + name});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(fs::exists(sheets + "/" + name + ".jpg"));
    EXPECT_TRUE(fs::is_directory(frames + "/" + name));
}

TEST(CliTest, SkipBlankTakesTheFirstLaterPictureWithinAQuarterStep) {
    ScratchDir dir;
    const std::string movie = Clip("blank_gaps.mp4");  // 9.6 s, frames at 2.4, 4.8 and 7.2 s
    ASSERT_EQ(Sheet({"-n", "3", "-o", dir / "plain.jpg", "--frames-dir", dir / "plain", movie}).code, 0);
    EXPECT_EQ(Names(dir.path() / "plain" / "blank_gaps.mp4"),
              (std::set<std::string>{"00-00-02.jpg", "00-00-04.jpg", "00-00-07.jpg"}));

    const Outcome run = Sheet({"--skip-blank", "-n", "3", "-o", dir / "skip.jpg", "--frames-dir", dir / "skip", movie});
    ASSERT_EQ(run.code, 0) << run.err;
    const fs::path frames = dir.path() / "skip" / "blank_gaps.mp4";
    // Black from 4.6 to 5.16 s: the picture at 5.2 s, labelled with its time.
    // Black from 6.92 to 8.0 s is longer than a quarter step: the black one stays.
    EXPECT_EQ(Names(frames), (std::set<std::string>{"00-00-02.jpg", "00-00-05.jpg", "00-00-07.jpg"}));
    CDibImage picture;
    ASSERT_TRUE(picture.LoadJpeg((frames / "00-00-05.jpg").string()));
    EXPECT_FALSE(IsNearlyUniform(picture));
    ASSERT_TRUE(picture.LoadJpeg((frames / "00-00-07.jpg").string()));
    EXPECT_TRUE(IsNearlyUniform(picture));
    ASSERT_TRUE(picture.LoadJpeg((dir.path() / "plain" / "blank_gaps.mp4" / "00-00-04.jpg").string()));
    EXPECT_TRUE(IsNearlyUniform(picture));
}

// Grab All's steps with the blank test on: every step still starts from its
// own target, whatever pictures were tried after the last one.
TEST(CliTest, SkipBlankKeepsTheStepsOfGrabAll) {
    SegmentGrabber grabber;
    int32_t width = 0, height = 0;
    ASSERT_TRUE(OpenGrabSource(grabber, Clip("blank_gaps.mp4"), width, height));
    const double duration = grabber.Info().duration;
    const std::vector<double> positions = EvenStepPositions(0.0, duration, 3);
    ASSERT_EQ(positions.size(), 3u);
    for (size_t k = 0; k < positions.size(); ++k) EXPECT_NEAR(positions[k], 2.4 * double(k + 1), 1e-6) << k;
    std::vector<std::string> labels;
    TargetGrabHooks hooks;
    hooks.take = [&](size_t, GrabbedFrame frame) { labels.push_back(frame.label); };
    hooks.rejects = IsNearlyUniform;
    // 2.4 s apart; 4.8 s is black up to 5.16 s, the picture of 5.2 s replaces it.
    ASSERT_TRUE(GrabTargets(grabber, positions, EvenStepLimits(0.0, duration, 3, kBlankLookAhead), hooks));
    EXPECT_EQ(labels, (std::vector<std::string>{"00:00:02", "00:00:05", "00:00:07"}));
}
