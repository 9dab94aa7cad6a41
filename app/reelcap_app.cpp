#include "app/reelcap_app.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include "app/about_dialog.h"
#include "app/main_frame.h"
#include "decoding/movie_files.h"
#include "app/recent_movies.h"
#include "app/remembered_folders.h"
#include "app/sheet_commands.h"
#include "app/shortcuts.h"
#include "app/window_geometry.h"
#include "res/commands.h"
#include "strip/view/thumb_strip.h"

CReelcapApp::CReelcapApp() = default;

CReelcapApp::~CReelcapApp() {
    if (m_mainFrame) SaveWindowGeometry(*m_mainFrame);
}

const std::vector<Prompts::FileFilter>& CReelcapApp::MovieFilters() {
    static const std::vector<Prompts::FileFilter> filters = [] {
        // "All Movies" lists today's common containers besides the classic
        // ones, so that most movies on this desktop are offered.
        Prompts::FileFilter all{"All Movies", {}};
        // Names here are matched with letter case: cameras write "CLIP.MP4".
        for (const std::string& extension : MovieExtensions()) all.patterns.push_back("*" + extension);
        for (const std::string& extension : MovieExtensions()) {
            all.patterns.push_back("*" + QString::fromStdString(extension).toUpper().toStdString());
        }
        return std::vector<Prompts::FileFilter>{
            all,
            {"Windows Media Files (*.asf;*.wmv)", {"*.asf", "*.wmv"}},
            {"Mpeg Files (*.mpg;*.mpeg)", {"*.mpg", "*.mpeg"}},
            {"Video CD Files (*.dat)", {"*.dat"}},
            {"QuickTime Files (*.mov;*.qt)", {"*.mov", "*.qt"}},
            {"All Files (*.*)", {"*"}},
        };
    }();
    return filters;
}

bool CReelcapApp::InitInstance(const QStringList& arguments) {
    m_mainFrame = std::make_unique<CMainFrame>();
    const std::pair<int, void (CReelcapApp::*)()> handlers[] = {
        {ID_FILE_OPEN, &CReelcapApp::OnFileOpen},         {ID_OPEN_FOLDER, &CReelcapApp::OnOpenFolder},
        {ID_FILE_SAVE, &CReelcapApp::OnFileSave},         {ID_SAVE_MULTIPLE, &CReelcapApp::OnSaveMultiple},
        {ID_FILE_CLOSE, &CReelcapApp::OnFileClose},       {ID_OPTIONS, &CReelcapApp::OnOptions},
        {ID_EXIT, &CReelcapApp::OnExit},                  {ID_APP_ABOUT, &CReelcapApp::OnAppAbout},
    };
    for (const auto& [id, handler] : handlers) {
        connect(m_mainFrame->Action(id), &QAction::triggered, this, handler);
    }
    AddDesktopHabits();
    m_mainFrame->show();
    if (!arguments.isEmpty() && !arguments.first().isEmpty()) {
        m_mainFrame->OpenMovie(arguments.first().toStdString());
    }
    return true;
}

int CReelcapApp::Run() { return QApplication::exec(); }

void CReelcapApp::AddDesktopHabits() {
    CMainFrame& frame = *m_mainFrame;
    RestoreWindowGeometry(frame);
    InstallShortcuts(frame);
    // Recent Movies goes below Open Folder, with the other ways of opening.
    QAction* openFolder = frame.Action(ID_OPEN_FOLDER);
    for (QAction* top : frame.menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (!menu || !menu->actions().contains(openFolder)) continue;
        const QList<QAction*> items = menu->actions();
        const qsizetype next = items.indexOf(openFolder) + 1;
        m_recentMovies = new CRecentMoviesMenu(*menu, next < items.size() ? items[next] : nullptr, &frame,
                                               [this](const std::string& path) { m_mainFrame->OpenMovie(path); });
        break;
    }
    connect(&frame, &CMainFrame::MovieOpened, this, [this](const std::string& path) {
        if (m_recentMovies) m_recentMovies->Note(path);
        RememberFileFolder(FolderKind::Movies, path);
    });
}

std::string CReelcapApp::BrowseForFolder(const std::string& startFolder) {
    return Prompts::Current().ChooseFolder(m_mainFrame.get(), "", startFolder);
}

void CReelcapApp::OnFileOpen() {
    const std::string path =
        Prompts::Current().OpenFileName(m_mainFrame.get(), MovieFilters(), StartFolder(FolderKind::Movies));
    if (path.empty()) return;
    // The folder is where the user went, even if this file does not open.
    RememberFileFolder(FolderKind::Movies, path);
    m_mainFrame->OpenMovie(path);
}

void CReelcapApp::OnOpenFolder() {
    const std::string folder = BrowseForFolder(StartFolder(FolderKind::Pictures));
    if (folder.empty()) return;
    RememberFolder(FolderKind::Pictures, folder);
    m_mainFrame->LoadFolder(folder);
}

void CReelcapApp::OnSaveMultiple() {
    const std::string folder = BrowseForFolder(StartFolder(FolderKind::Frames));
    if (folder.empty()) return;
    RememberFolder(FolderKind::Frames, folder);
    m_mainFrame->SaveMultiple(folder);
}

void CReelcapApp::OnFileSave() {
    std::vector<const CDibImage*> frames;
    std::vector<const char*> labels;
    m_mainFrame->Strip().GetFrames(frames, labels);
    const std::string path = RunSaveFileCommand(m_mainFrame.get(), frames, labels, m_mainFrame->Details(),
                                                StartFolder(FolderKind::Sheets));
    RememberFileFolder(FolderKind::Sheets, path);
}

void CReelcapApp::OnOptions() { RunOptionsCommand(m_mainFrame.get()); }

void CReelcapApp::OnFileClose() {
    m_mainFrame->CloseMovie();
    m_mainFrame->repaint();
}

void CReelcapApp::OnAppAbout() {
    CAboutDlg about(m_mainFrame.get());
    Prompts::Current().RunDialog(about);
}

void CReelcapApp::OnExit() { QApplication::exit(0); }
