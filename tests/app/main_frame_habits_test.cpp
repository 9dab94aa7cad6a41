// The real main window driven by keys and across runs: shortcuts, Recent
// Movies, the folders and window place remembered in the user's settings,
// and settings that cannot be written.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/main_frame.h"
#include "app/recent_movies.h"
#include "app/reelcap_app.h"
#include "app/user_settings.h"
#include "res/commands.h"
#include "settings/dialog/options_dlg.h"
#include "settings/options_store.h"
#include "strip/view/thumb_strip.h"
#include "support/scripted_prompts.h"
#include "support/test_paths.h"
#include "playback/movie_player.h"
#include "widgets/when_modal.h"

namespace fs = std::filesystem;

namespace {

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

std::string CopyClip(const std::string& name, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(Clip(name), to, fs::copy_options::overwrite_existing);
    return to.string();
}

// HOME points at a scratch folder and XDG_CONFIG_HOME is unset for one test,
// as for a user whose settings live in ~/.config.
class ScratchHome {
public:
    ScratchHome() : m_oldHome(Get("HOME")), m_oldConfig(Get("XDG_CONFIG_HOME")) {
        setenv("HOME", m_dir.path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    ~ScratchHome() {
        Put("HOME", m_oldHome);
        Put("XDG_CONFIG_HOME", m_oldConfig);
    }
    fs::path Path() const { return m_dir.path(); }
    fs::path SettingsFile() const { return m_dir.path() / ".config/reelcap/reelcap.conf"; }

private:
    static std::string Get(const char* name) { return std::getenv(name) ? std::getenv(name) : "\x18"; }
    static void Put(const char* name, const std::string& value) {
        if (value == "\x18") unsetenv(name); else setenv(name, value.c_str(), 1);
    }
    ScratchDir m_dir;
    std::string m_oldHome;
    std::string m_oldConfig;
};

void Activate(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

}  // namespace

TEST(DesktopHabits, EachShortcutReachesItsCommandOnlyWhenItsButtonWould) {
    ScratchDir dir;
    OptionsStore store(dir / "options.lyt");
    ScriptedPrompts prompts;
    CReelcapApp app;
    ASSERT_TRUE(app.InitInstance());
    CMainFrame& frame = *app.MainFrame();
    Activate(frame);
    // Menu texts stay; the keys come beside them and in the tooltips.
    EXPECT_EQ(frame.Action(ID_FILE_OPEN)->text(), "&Open File...");
    EXPECT_EQ(frame.Action(ID_OPTIONS)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(frame.Action(ID_PLAY)->toolTip(), "Play (Space)");
    EXPECT_EQ(frame.Action(ID_GRAB_ALL)->toolTip(), "Grab All Images... (Shift+G)");

    // Without a movie the playback and grab keys do nothing.
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Period, Qt::Key_G, Qt::Key_Right, Qt::Key_End}) {
        QTest::keyClick(&frame, key);
    }
    EXPECT_EQ(frame.Mode(), NoMovie);
    EXPECT_EQ(frame.Strip().FrameCount(), 0);
    EXPECT_TRUE(prompts.prompts.empty());

    prompts.paths = {Clip("long100.mp4")};
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(frame.Mode(), ModePlaying);
    // The keys reach the window whichever child has the focus.
    frame.Strip().setFocus();
    QTest::keyClick(&frame.Strip(), Qt::Key_Space);
    EXPECT_EQ(frame.Mode(), ModePaused);
    QTest::keyClick(&frame.Strip(), Qt::Key_Space);
    EXPECT_EQ(frame.Mode(), ModePlaying);
    QTest::keyClick(&frame.Slider(), Qt::Key_Period);
    EXPECT_EQ(frame.Mode(), ModeStopped);
    QTest::keyClick(&frame.Strip(), Qt::Key_Space);
    EXPECT_EQ(frame.Mode(), ModePlaying);
    QTest::keyClick(&frame, Qt::Key_Period);

    // The slider's keys step the movie as the slider does.
    const struct {
        Qt::Key key;
        double seconds;
    } steps[] = {{Qt::Key_Right, 10}, {Qt::Key_PageDown, 21}, {Qt::Key_Left, 11},
                 {Qt::Key_End, 100}, {Qt::Key_PageUp, 89}, {Qt::Key_Home, 0}};
    for (const auto& step : steps) {
        QTest::keyClick(&frame.Strip(), step.key);
        EXPECT_NEAR(frame.Player()->GetCurrentPosition(), step.seconds, 1.0) << step.key;
    }

    QTest::keyClick(&frame, Qt::Key_G);
    EXPECT_EQ(frame.Strip().FrameCount(), 1);
    prompts.texts = {"2"};
    QTest::keyClick(&frame, Qt::Key_G, Qt::ShiftModifier);
    EXPECT_EQ(frame.Strip().FrameCount(), 3);

    // Cancelled dialogs: each key opened its own.
    const size_t asked = prompts.startFolders.size();
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    WhenModalShown<COptionsDlg>([](COptionsDlg* d) { d->accept(); });
    QTest::keyClick(&frame, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(prompts.startFolders.size(), asked + 3);

    // While a dialog is open the window takes no keys.
    Activate(frame);
    bool optionsShown = false;
    WhenModalShown<COptionsDlg>([&](COptionsDlg* d) {
        optionsShown = true;
        QTest::keyClick(d, Qt::Key_G);
        QTest::keyClick(d, Qt::Key_W, Qt::ControlModifier);
        static_cast<QDialog*>(d)->reject();
    });
    QTest::keyClick(&frame, Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_TRUE(optionsShown);
    EXPECT_EQ(frame.Strip().FrameCount(), 3);
    EXPECT_NE(frame.Mode(), NoMovie);
    Activate(frame);

    QTest::keyClick(&frame, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(frame.Mode(), NoMovie);
    QTimer::singleShot(0, [&] { QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier); });
    QTimer::singleShot(10000, [] { QApplication::exit(7); });
    EXPECT_EQ(app.Run(), 0);
}

TEST(DesktopHabits, RecentMoviesNewestFirstAtMostEightAndGoneOnesLeave) {
    ScratchHome home;
    ScratchDir dir;
    const std::string a = CopyClip("noaudio.mp4", dir.path() / "a.mp4");
    const std::string b = CopyClip("noaudio.mp4", dir.path() / "b&c.mp4");
    ScriptedPrompts prompts;
    {
        CReelcapApp app;
        ASSERT_TRUE(app.InitInstance({QString::fromStdString(a)}));
        CRecentMoviesMenu& recent = *app.RecentMovies();
        prompts.paths = {b};
        app.MainFrame()->Action(ID_FILE_OPEN)->trigger();
        // A file that does not open is not a recent movie.
        prompts.paths = {(dir / "missing.mp4")};
        app.MainFrame()->Action(ID_FILE_OPEN)->trigger();
        EXPECT_EQ(recent.Movies(), QStringList({QString::fromStdString(b), QString::fromStdString(a)}));
        EXPECT_EQ(recent.Menu()->actions().at(0)->text(), "&1 " + QString::fromStdString(dir / "b&&c.mp4"));
        EXPECT_EQ(prompts.messages.size(), 1u);

        for (int i = 0; i < 7; ++i) recent.Note(dir / ("gone" + std::to_string(i) + ".mp4"));
        ASSERT_EQ(recent.Movies().size(), 8);
        EXPECT_EQ(recent.Movies().first(), QString::fromStdString(dir / "gone6.mp4"));
        EXPECT_EQ(recent.Movies().last(), QString::fromStdString(b));
        EXPECT_FALSE(recent.Movies().contains(QString::fromStdString(a)));
        // Again, from the menu: back on top, once.
        recent.Menu()->actions().last()->trigger();
        QApplication::processEvents();
        EXPECT_EQ(recent.Movies().first(), QString::fromStdString(b));
        EXPECT_EQ(recent.Movies().size(), 8);
        EXPECT_EQ(recent.Menu()->actions().size(), 8);
    }
    // The next run has the same list; a vanished movie chosen leaves it with a message.
    CReelcapApp app;
    ASSERT_TRUE(app.InitInstance());
    CRecentMoviesMenu& recent = *app.RecentMovies();
    ASSERT_EQ(recent.Movies().size(), 8);
    EXPECT_EQ(recent.Movies().first(), QString::fromStdString(b));
    fs::remove(b);
    prompts.messages.clear();
    recent.Menu()->actions().first()->trigger();
    QApplication::processEvents();
    EXPECT_EQ(app.MainFrame()->Mode(), NoMovie);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].text.find("b&c.mp4\" is no longer there"), std::string::npos);
    EXPECT_EQ(recent.Movies().size(), 7);
    EXPECT_FALSE(recent.Movies().contains(QString::fromStdString(b)));
    EXPECT_FALSE(std::ifstream(home.SettingsFile()).fail());
}

TEST(DesktopHabits, FoldersAndWindowPlaceAreRememberedAcrossRuns) {
    ScratchHome home;
    ScratchDir dir;
    OptionsStore store(dir / "options.lyt");
    const std::string movie = CopyClip("noaudio.mp4", dir.path() / "movies/m.mp4");
    for (const char* sub : {"pictures", "frames", "sheets"}) fs::create_directories(dir.path() / sub);
    {
        ScriptedPrompts prompts;
        CReelcapApp app;
        ASSERT_TRUE(app.InitInstance());
        CMainFrame& frame = *app.MainFrame();
        EXPECT_EQ(frame.size(), QSize(800, 600));
        prompts.paths = {movie, dir / "pictures", dir / "frames", dir / "sheets/s.jpg"};
        frame.Action(ID_FILE_OPEN)->trigger();
        frame.Action(ID_GRAB_CURRENT)->trigger();
        frame.Action(ID_OPEN_FOLDER)->trigger();
        frame.Action(ID_SAVE_MULTIPLE)->trigger();
        WhenModalShown<COptionsDlg>([](COptionsDlg* d) { d->accept(); });
        frame.Action(ID_FILE_SAVE)->trigger();
        ASSERT_TRUE(fs::exists(dir.path() / "sheets/s.jpg"));
        EXPECT_EQ(prompts.startFolders, std::vector<std::string>(4, ""));
        frame.setGeometry(30, 40, 500, 400);
    }
    {
        ScriptedPrompts prompts;
        CReelcapApp app;
        ASSERT_TRUE(app.InitInstance());
        CMainFrame& frame = *app.MainFrame();
        EXPECT_EQ(frame.geometry(), QRect(30, 40, 500, 400));
        for (int id : {ID_FILE_OPEN, ID_OPEN_FOLDER, ID_SAVE_MULTIPLE}) frame.Action(id)->trigger();
        EXPECT_EQ(prompts.startFolders, std::vector<std::string>({dir / "movies", dir / "pictures", dir / "frames"}));
        // Save File remembers only a sheet really written; it was, above.
        WhenModalShown<COptionsDlg>([](COptionsDlg* d) { d->accept(); });
        frame.Action(ID_FILE_SAVE)->trigger();
        ASSERT_EQ(prompts.startFolders.size(), 4u);
        EXPECT_EQ(prompts.startFolders[3], dir / "sheets");
        // A window place on no screen present is not restored.
        frame.setGeometry(5000, 5000, 500, 400);
    }
    fs::remove_all(dir.path() / "pictures");
    ScriptedPrompts prompts;
    CReelcapApp app;
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(app.MainFrame()->size(), QSize(800, 600));
    // A remembered folder that is gone opens the dialog where it would without one.
    app.MainFrame()->Action(ID_OPEN_FOLDER)->trigger();
    EXPECT_EQ(prompts.startFolders, std::vector<std::string>({""}));
}

TEST(DesktopHabits, UnwritableSettingsChangeNothingButMemoryAndSayItOnce) {
    ScratchHome home;
    ScratchDir dir;
    OptionsStore store(dir / "options.lyt");
    // A read-only config folder stops a normal user; root writes anyway, so
    // a file where the program's folder would go stops both.
    fs::create_directories(home.Path() / ".config");
    if (geteuid() == 0) {
        std::ofstream(home.Path() / ".config/reelcap") << "not a folder";
    } else {
        chmod((home.Path() / ".config").c_str(), 0555);
    }
    testing::internal::CaptureStderr();
    for (int run = 0; run < 2; ++run) {
        ScriptedPrompts prompts;
        CReelcapApp app;
        ASSERT_TRUE(app.InitInstance({QString::fromStdString(Clip("noaudio.mp4"))}));
        CMainFrame& frame = *app.MainFrame();
        EXPECT_EQ(frame.Mode(), ModePlaying);
        prompts.paths = {dir.path().string()};
        frame.Action(ID_SAVE_MULTIPLE)->trigger();
        EXPECT_TRUE(prompts.messages.empty());
        // Nothing was remembered from the first run.
        EXPECT_EQ(prompts.startFolders, std::vector<std::string>({""}));
        EXPECT_EQ(app.RecentMovies()->Movies().size(), 1);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    chmod((home.Path() / ".config").c_str(), 0755);
    const std::string line = "reelcap: the settings file";
    const size_t first = err.find(line);
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(line, first + 1), std::string::npos) << err;
}
