#include "app/recent_movies.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "app/app_message.h"
#include "app/user_settings.h"

namespace {

const QString kKey = QStringLiteral("recentMovies");

QString Absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

CRecentMoviesMenu::CRecentMoviesMenu(QMenu& fileMenu, QAction* before, QWidget* parent,
                                     std::function<void(const std::string&)> open)
    : QObject(&fileMenu), m_parent(parent), m_open(std::move(open)) {
    m_menu = new QMenu(QStringLiteral("Recent Movies"), &fileMenu);
    m_menu->setObjectName(QStringLiteral("recentMovies"));
    fileMenu.insertMenu(before, m_menu);
    // A hand-edited or foreign settings file may hold anything: keep the
    // non-empty names, once each, at most kMaxMovies.
    for (const QString& path : UserSettings::Value(kKey).toStringList()) {
        if (path.isEmpty() || m_movies.contains(path)) continue;
        m_movies.append(path);
        if (m_movies.size() == kMaxMovies) break;
    }
    Rebuild();
}

void CRecentMoviesMenu::Note(const std::string& path) {
    if (path.empty()) return;
    const QString absolute = Absolute(QString::fromStdString(path));
    m_movies.removeAll(absolute);
    m_movies.prepend(absolute);
    while (m_movies.size() > kMaxMovies) m_movies.removeLast();
    Store();
    Rebuild();
}

void CRecentMoviesMenu::Choose(int index) {
    if (index < 0 || index >= m_movies.size()) return;
    const QString path = m_movies[index];
    if (!QFileInfo(path).isFile()) {
        m_movies.removeAt(index);
        Store();
        Rebuild();
        ShowAppMessage(m_parent,
                       "The movie \"" + path.toStdString() +
                           "\" is no longer there. It has been removed from Recent Movies.",
                       Prompts::Icon::Warning);
        return;
    }
    // Opening it puts it back on top through Note.
    m_open(path.toStdString());
}

void CRecentMoviesMenu::Store() { UserSettings::SetValue(kKey, m_movies); }

void CRecentMoviesMenu::Rebuild() {
    m_menu->clear();
    for (int i = 0; i < m_movies.size(); ++i) {
        // "&1 /movies/a&&b.mp4": the number is the mnemonic, an "&" of the name stays text.
        QString text = m_movies[i];
        text.replace('&', QStringLiteral("&&"));
        QAction* action = m_menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(text));
        action->setStatusTip(QStringLiteral("Open this movie"));
        // Queued: opening rebuilds this menu, which must not delete the
        // action while it is still being triggered.
        const QString path = m_movies[i];
        connect(action, &QAction::triggered, this, [this, path] { Choose(int(m_movies.indexOf(path))); },
                Qt::QueuedConnection);
    }
    m_menu->setEnabled(!m_movies.isEmpty());
}
