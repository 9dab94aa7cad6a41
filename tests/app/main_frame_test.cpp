// The real main window, driven headless: playback modes, slider, grabbing,
// opening, folders of pictures, saving frames, and the options at exit.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/main_frame.h"
#include "app/reelcap_app.h"
#include "res/commands.h"
#include "settings/options_store.h"
#include "strip/view/thumb_strip.h"
#include "support/scripted_prompts.h"
#include "support/test_paths.h"
#include "playback/movie_player.h"

namespace fs = std::filesystem;

namespace {

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

std::vector<std::string> Labels(const CThumbStrip& strip) {
    std::vector<std::string> labels;
    for (int i = 0; i < strip.FrameCount(); ++i) labels.push_back(strip.Frames().At(i)->label);
    return labels;
}

// "PpSGC": which of Play, Pause, Stop, Grab All, Grab Current are enabled.
std::string Buttons(const CMainFrame& frame) {
    std::string s;
    for (int id : {ID_PLAY, ID_PAUSE, ID_STOP, ID_GRAB_ALL, ID_GRAB_CURRENT}) {
        s += frame.Action(id)->isEnabled() ? '1' : '0';
    }
    return s;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void SaveSmallJpeg(const std::string& path, uint8_t shade) {
    CDibImage image;
    ASSERT_TRUE(image.Create(8, 6));
    image.Fill(nullptr, MakeRgb(shade, shade, shade));
    ASSERT_TRUE(image.SaveJpeg(path, 90, false).ok);
}

}  // namespace

TEST(MainFrame, StartsEmptyWithTheSlidersOfThreeDurations) {
    CMainFrame frame;
    frame.show();
    QApplication::processEvents();
    EXPECT_EQ(frame.windowTitle(), "Reelcap");
    EXPECT_EQ(frame.size(), QSize(800, 600));
    EXPECT_EQ(Buttons(frame), "00000");
    EXPECT_EQ(frame.Mode(), NoMovie);
    EXPECT_EQ(frame.Strip().viewport()->height(), 103);
    EXPECT_EQ(frame.Slider().height(), 30);

    frame.SetSliderRange(100.0);
    EXPECT_EQ(frame.SliderScale(), 1.0f);
    EXPECT_EQ(frame.Slider().maximum(), 100);
    EXPECT_EQ(frame.Slider().pageStep(), 11);
    frame.SetSliderRange(40000.0);
    EXPECT_EQ(frame.SliderScale(), 10.0f);
    EXPECT_EQ(frame.Slider().maximum(), 4000);
    EXPECT_EQ(frame.Slider().pageStep(), 444);
    frame.SetSliderRange(300001.0);
    EXPECT_EQ(frame.SliderScale(), 100.0f);
    EXPECT_EQ(frame.Slider().maximum(), 3000);
    // Nonsense from a broken file never hangs the scale loop.
    frame.SetSliderRange(std::numeric_limits<double>::infinity());
    EXPECT_EQ(frame.Slider().maximum(), 0);
    // Without a movie the slider and the grab commands do nothing.
    frame.OnHScroll(TB_LINEDOWN);
    frame.OnGrabCurrent();
    EXPECT_EQ(frame.Strip().FrameCount(), 0);
}

TEST(MainFrame, PlaybackModesSliderStepsAndGrabAll) {
    ScriptedPrompts prompts;
    CMainFrame frame;
    frame.OpenMovie(Clip("long100.mp4"));
    ASSERT_EQ(frame.Mode(), ModePlaying);
    EXPECT_EQ(Buttons(frame), "01111");
    EXPECT_EQ(frame.Slider().maximum(), 100);
    EXPECT_EQ(frame.Details().durationText, "00:01:40");
    EXPECT_EQ(frame.Details().widthText, "64");

    frame.OnPause();
    EXPECT_EQ(frame.Mode(), ModePaused);
    EXPECT_EQ(Buttons(frame), "10111");
    frame.OnStop();
    EXPECT_EQ(frame.Mode(), ModeStopped);
    EXPECT_EQ(Buttons(frame), "10011");
    EXPECT_EQ(frame.Player()->GetCurrentPosition(), 0.0);

    // Line steps clamp at both ends; top and bottom go to the ends.
    frame.OnHScroll(TB_LINEUP);
    EXPECT_EQ(frame.Player()->GetCurrentPosition(), 0.0);
    frame.OnHScroll(TB_LINEDOWN);
    EXPECT_NEAR(frame.Player()->GetCurrentPosition(), 10.0, 1e-6);
    EXPECT_EQ(frame.Slider().value(), 10);
    frame.OnHScroll(TB_BOTTOM);
    EXPECT_NEAR(frame.Player()->GetCurrentPosition(), frame.Player()->GetDuration(), 1e-6);
    frame.OnHScroll(TB_LINEDOWN);
    EXPECT_NEAR(frame.Player()->GetCurrentPosition(), frame.Player()->GetDuration(), 1e-6);
    frame.OnHScroll(TB_TOP);
    EXPECT_EQ(frame.Player()->GetCurrentPosition(), 0.0);

    // A drag of a paused movie leaves it paused; of a playing one resumes it.
    frame.OnPlay();
    frame.Slider().setSliderPosition(50);
    frame.OnHScroll(TB_THUMBTRACK);
    EXPECT_EQ(frame.Mode(), ModePaused);
    EXPECT_NEAR(frame.Player()->GetCurrentPosition(), 50.0, 1e-6);
    frame.OnHScroll(TB_ENDTRACK);
    EXPECT_EQ(frame.Mode(), ModePlaying);
    frame.OnPause();
    frame.OnHScroll(TB_THUMBTRACK);
    frame.OnHScroll(TB_ENDTRACK);
    EXPECT_EQ(frame.Mode(), ModePaused);

    // Grab Current keeps the mode; Grab All stops, rewinds and appends.
    frame.OnGrabCurrent();
    ASSERT_EQ(frame.Strip().FrameCount(), 1);
    EXPECT_EQ(frame.Mode(), ModePaused);
    prompts.texts = {"4 frames"};
    frame.OnGrabAll();
    EXPECT_EQ(Labels(frame.Strip()),
              (std::vector<std::string>{Labels(frame.Strip())[0], "00:00:20", "00:00:40", "00:01:00",
                                        "00:01:20"}));
    EXPECT_EQ(prompts.prompts.back(), "Number of Frames to Extract: |30");
    EXPECT_EQ(frame.Mode(), ModeStopped);
    EXPECT_EQ(Buttons(frame), "10011");
    EXPECT_EQ(frame.Slider().value(), 80);

    // Text without digits: stored as 0, rewound, nothing grabbed.
    prompts.texts = {"abc"};
    frame.OnGrabAll();
    EXPECT_EQ(frame.Strip().FrameCount(), 5);
    EXPECT_EQ(frame.Player()->GetCurrentPosition(), 0.0);
    prompts.texts = {"\x18"};
    frame.OnGrabAll();
    EXPECT_EQ(prompts.prompts.back(), "Number of Frames to Extract: |0");
}

TEST(MainFrame, GrabAllThatCannotFitInMemoryIsRefusedBeforeAnything) {
    ScriptedPrompts prompts;
    CMainFrame frame;
    frame.OpenMovie(Clip("long100.mp4"));
    prompts.texts = {"2000000000"};
    frame.OnGrabAll();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("Choose fewer frames"), std::string::npos);
    EXPECT_EQ(frame.Strip().FrameCount(), 0);
    EXPECT_EQ(frame.Mode(), ModePlaying);
}

TEST(MainFrame, EndOfMovieStopsAndRewindsWithoutInput) {
    CMainFrame frame;
    frame.OpenMovie(Clip("noaudio.mp4"));
    ASSERT_EQ(frame.Mode(), ModePlaying);
    ASSERT_TRUE(WaitFor([&] { return frame.Mode() == ModeStopped; }, 15000));
    EXPECT_EQ(Buttons(frame), "10011");
    EXPECT_EQ(frame.Player()->GetCurrentPosition(), 0.0);
    EXPECT_EQ(frame.Slider().value(), 0);
}

TEST(MainFrame, FailedOpenKeepsTheDetailsAndLeavesNoMovie) {
    ScratchDir dir;
    ScriptedPrompts prompts;
    CMainFrame frame;
    // A movie named in Greek and Japanese opens and keeps its name.
    const std::string named = dir / "\xce\xa4\xce\xb1\xce\xb9\xce\xbd\xce\xaf\xce\xb1 \xe6\x98\xa0\xe7\x94\xbb.mp4";
    fs::copy_file(Clip("noaudio.mp4"), fs::u8path(named));
    frame.OpenMovie(named);
    ASSERT_EQ(frame.Mode(), ModePlaying);
    EXPECT_EQ(frame.Details().fileName, fs::u8path(named).filename().string());
    WriteFile(dir / "broken.mp4", std::string(4096, '\x5a'));
    frame.OpenMovie(dir / "broken.mp4");
    EXPECT_EQ(frame.Mode(), NoMovie);
    EXPECT_EQ(frame.Player(), nullptr);
    EXPECT_EQ(Buttons(frame), "00000");
    EXPECT_EQ(frame.Details().fileName, fs::u8path(named).filename().string());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Reelcap");
    EXPECT_FALSE(prompts.messages[0].text.empty());
}

TEST(MainFrame, LoadFolderSortsSkipsAndKeepsWhatIsThere) {
    ScratchDir scratch;
    ScriptedPrompts prompts;
    // Folder names in any script.
    const fs::path folder = scratch.path() / fs::u8path("\xe5\x86\x99\xe7\x9c\x9f \xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe");
    fs::create_directory(folder);
    struct {
        fs::path path;
        std::string operator/(const std::string& name) const { return (path / name).string(); }
    } dir{folder};
    SaveSmallJpeg(dir / "b.JPG", 10);
    SaveSmallJpeg(dir / "A.jpg", 20);
    SaveSmallJpeg(dir / "c.jpg", 30);
    WriteFile(dir / "bad.jpg", "not a picture");
    WriteFile(dir / "notes.txt", "ignored");
    fs::create_directory(dir.path / "x.jpg");
    ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);

    CMainFrame frame;
    frame.Strip().AddFrame(std::make_unique<CDibImage>(), "kept");
    frame.LoadFolder(dir.path.string());
    EXPECT_EQ(Labels(frame.Strip()), (std::vector<std::string>{"kept", "A.jpg", "b.JPG", "c.jpg"}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    const std::string& text = prompts.messages[0].text;
    EXPECT_NE(text.find("x.jpg: is a folder"), std::string::npos) << text;
    EXPECT_NE(text.find("pipe.jpg: is a named pipe"), std::string::npos) << text;
    EXPECT_NE(text.find("bad.jpg: "), std::string::npos) << text;

    frame.LoadFolder((dir / "missing").c_str());
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(frame.Strip().FrameCount(), 4);
}

TEST(MainFrame, SaveMultipleNamesFilesAndReportsFailures) {
    ScratchDir dir;
    ScriptedPrompts prompts;
    CMainFrame frame;
    auto frameOf = [](uint8_t shade) {
        auto image = std::make_unique<CDibImage>();
        image->Create(4, 4);
        image->Fill(nullptr, MakeRgb(shade, shade, shade));
        return image;
    };
    frame.Strip().AddFrame(frameOf(0), "a/b:c");
    frame.Strip().AddFrame(frameOf(50), "");
    frame.Strip().AddFrame(frameOf(100), "00:00:10");
    frame.Strip().AddFrame(frameOf(200), "00:00:10");
    frame.SaveMultiple(dir.path().string());
    EXPECT_TRUE(fs::exists(dir / "a-b-c.jpg"));
    EXPECT_TRUE(fs::exists(dir / ".jpg"));
    CDibImage later;
    ASSERT_TRUE(later.LoadJpeg(dir / "00-00-10.jpg").ok);
    EXPECT_GT(later.PixelAt(0, 0) & 0xFF, 150u);  // the later frame of the strip won
    EXPECT_TRUE(prompts.messages.empty());

    // A name that cannot be written is reported; the others are still written.
    fs::create_directory(dir.path() / "blocked.jpg");
    frame.Strip().AddFrame(frameOf(10), "blocked");
    frame.Strip().AddFrame(frameOf(10), "after");
    frame.SaveMultiple(dir.path().string());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("blocked.jpg"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "after.jpg"));
}

TEST(ReelcapApp, OptionsAreWrittenAtExitWithTheNewFrameCount) {
    ScratchDir dir;
    const std::string optionsPath = dir / "options.lyt";
    for (bool closeBox : {false, true}) {
        ScriptedPrompts prompts;
        int code = -1;
        {
            OptionsStore store(optionsPath);
            CReelcapApp app;
            ASSERT_TRUE(app.InitInstance({QString::fromStdString(Clip("long100.mp4"))}));
            CMainFrame& frame = *app.MainFrame();
            ASSERT_EQ(frame.Mode(), ModePlaying);
            prompts.texts = {closeBox ? "2" : "3"};
            frame.Action(ID_GRAB_ALL)->trigger();
            EXPECT_EQ(frame.Strip().FrameCount(), closeBox ? 2 : 3);
            QTimer::singleShot(0, [&] {
                if (closeBox) {
                    frame.close();
                } else {
                    frame.Action(ID_EXIT)->trigger();
                }
            });
            code = app.Run();
        }
        EXPECT_EQ(code, 0);
        SheetOptions saved{};
        std::ifstream in(optionsPath, std::ios::binary);
        in.read(reinterpret_cast<char*>(&saved), sizeof saved);
        EXPECT_EQ(saved.frameCount, closeBox ? 2 : 3);
    }
}

TEST(ReelcapApp, FileCommandsGoThroughTheirDialogs) {
    ScratchDir dir;
    ScriptedPrompts prompts;
    CReelcapApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.MainFrame();
    EXPECT_EQ(Buttons(frame), "00000");
    // Cancelled dialogs change nothing.
    frame.Action(ID_FILE_OPEN)->trigger();
    frame.Action(ID_OPEN_FOLDER)->trigger();
    EXPECT_EQ(frame.Mode(), NoMovie);
    prompts.paths = {Clip("noaudio.mp4")};
    frame.Action(ID_FILE_OPEN)->trigger();
    EXPECT_EQ(frame.Mode(), ModePlaying);
    frame.Action(ID_GRAB_CURRENT)->trigger();
    prompts.paths = {dir.path().string()};
    frame.Action(ID_SAVE_MULTIPLE)->trigger();
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    frame.Action(ID_FILE_CLOSE)->trigger();
    EXPECT_EQ(frame.Mode(), NoMovie);
    EXPECT_EQ(frame.Strip().FrameCount(), 1);
    EXPECT_EQ(frame.Details().fileName, "noaudio.mp4");
    frame.Action(ID_APP_ABOUT)->trigger();
    EXPECT_EQ(prompts.dialogsRun, 1);
    const auto& filters = CReelcapApp::MovieFilters();
    ASSERT_EQ(filters.size(), 6u);
    EXPECT_EQ(filters[0].name, "All Movies");
    EXPECT_EQ(filters[5].name, "All Files (*.*)");
}
