#pragma once
// The one main window: toolbar with the playback and grab buttons, position
// slider, video area, strip of grabbed frames and status bar. It owns the movie
// player while a movie is open, keeps the playback mode and carries out the
// playback, grab and file operations on the movie and the strip.
#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/op_result.h"
#include "sheet/movie_details.h"

enum class FramePick;
class CMoviePlayer;
class CThumbStrip;
class CVideoArea;
class QAction;
class QLabel;
class QSlider;
class QTimer;
class QToolBar;

enum PlayMode { NoMovie, ModeStopped, ModePlaying, ModePaused };

// The slider's scroll codes, as the classic track bar numbers them.
enum SliderCode {
    TB_LINEUP = 0,
    TB_LINEDOWN = 1,
    TB_PAGEUP = 2,
    TB_PAGEDOWN = 3,
    TB_THUMBPOSITION = 4,
    TB_THUMBTRACK = 5,
    TB_TOP = 6,
    TB_BOTTOM = 7,
    TB_ENDTRACK = 8,
};

// Player event that only refreshes the toolbar.
constexpr long EC_STEP_COMPLETE = 0x24;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;
    static constexpr int kSliderHeight = 30;
    // The strip's drawing area; its scroll bar comes on top of this.
    static constexpr int kStripClientHeight = 103;
    static constexpr int kLineSeconds = 10;

    CMainFrame();
    ~CMainFrame() override;

    // ---- playback (toolbar) ----
    void OnPlay();
    void OnPause();
    void OnStop();
    // One event from the player, taken when its descriptor is readable.
    void OnGraphEvent();
    void UpdateToolbar();
    void OnTimer();
    void OnHScroll(int code);

    // ---- grabbing (toolbar) ----
    void OnGrabCurrent();
    void OnGrabAll();

    // ---- file operations ----
    // Opens `path` (UTF-8) in a new player and plays it; a failure shows the
    // player's reason and leaves no movie open.
    void OpenMovie(const std::string& path);
    void CloseMovie();
    // Adds the folder's JPEG files to the strip, sorted by name; what could not
    // be loaded is listed in one message.
    void LoadFolder(const std::string& folder);
    // Writes every frame as "<folder>/<label>.jpg"; failures listed at the end.
    void SaveMultiple(const std::string& folder);

    // ---- slider ----
    void SetSliderRange(double duration);
    void SetSliderPos(double seconds);
    void SeekBy(double delta);

    // ---- layout and video ----
    void LayoutChildren();
    // The area between slider and strip, in this window's coordinates.
    QRect GetVideoRect() const;
    void PlaceVideo();

    // ---- state ----
    PlayMode Mode() const { return m_playMode; }
    CMoviePlayer* Player() const { return m_player.get(); }
    const MovieDetails& Details() const { return m_details; }
    CThumbStrip& Strip() const { return *m_strip; }
    QSlider& Slider() const { return *m_slider; }
    float SliderScale() const { return m_sliderScale; }
    // The menu or toolbar action of a command id; null for an unknown id.
    QAction* Action(int id) const;

signals:
    // A movie opened successfully, by whatever way (menu, drop, argument).
    void MovieOpened(const std::string& path);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    // Grab All's frames at `positions`, added to the strip as they come, with
    // the progress box; `last` gets the position of the last frame added.
    // `pick`: the frames at those times, the best near each, or one per shot.
    OpResult GrabPositions(const std::vector<double>& positions, double& last, FramePick pick);
    void WatchPlayerEvents();
    void StopWatchingPlayerEvents();
    // While a long command runs its own progress loop, the player's events
    // wait for the command to end, as they would behind any modal dialog.
    class EventPause {
    public:
        explicit EventPause(CMainFrame& frame);
        ~EventPause();
        EventPause(const EventPause&) = delete;
        EventPause& operator=(const EventPause&) = delete;

    private:
        QPointer<QSocketNotifier> m_notifier;  // may go with the movie meanwhile
    };

    QToolBar* m_toolBar = nullptr;
    QSlider* m_slider = nullptr;
    CVideoArea* m_videoArea = nullptr;
    CThumbStrip* m_strip = nullptr;
    QTimer* m_timer = nullptr;
    std::map<int, QAction*> m_actions;
    std::unique_ptr<CMoviePlayer> m_player;
    std::unique_ptr<QSocketNotifier> m_eventNotifier;
    bool m_grabbing = false;        // Grab All's frames are being taken
    bool m_closeAfterGrab = false;  // the window was asked to close meanwhile
    float m_sliderScale = 1.0f;
    PlayMode m_playMode = NoMovie;
    MovieDetails m_details;
    bool m_tracking = false;
    bool m_resumeAfterTracking = false;
};
