#pragma once
// The application: creates the main window, runs the event loop, and carries
// out the File and Help menu commands.
#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "widgets/prompts.h"

class CMainFrame;
class CRecentMoviesMenu;

class CReelcapApp : public QObject {
    Q_OBJECT
public:
    CReelcapApp();
    ~CReelcapApp() override;

    // Creates and shows the main window; `arguments` are the command line
    // after the program name: a movie given there is opened at once.
    bool InitInstance(const QStringList& arguments = {});
    // Runs until Exit or the window is closed; answers the exit code.
    int Run();

    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    CRecentMoviesMenu* RecentMovies() const { return m_recentMovies; }

    // The open dialog's filters, in order ("All Movies" first).
    static const std::vector<Prompts::FileFilter>& MovieFilters();

    void OnFileOpen();
    void OnOpenFolder();
    void OnFileSave();
    void OnSaveMultiple();
    void OnFileClose();
    void OnOptions();
    void OnAppAbout();
    void OnExit();

private:
    // A chosen folder, or "" when the chooser was cancelled.
    std::string BrowseForFolder(const std::string& startFolder);
    // Shortcuts, Recent Movies and the remembered window and folders.
    void AddDesktopHabits();

    std::unique_ptr<CMainFrame> m_mainFrame;
    CRecentMoviesMenu* m_recentMovies = nullptr;  // owned by the File menu
};
