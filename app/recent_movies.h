#pragma once
// File > Recent Movies: the last movies opened, newest first, kept between
// runs in the user's settings. Choosing one opens it again; one that is gone
// is taken off the list with a message.
#include <QObject>
#include <QStringList>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QWidget;

class CRecentMoviesMenu : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxMovies = 8;

    // Adds the submenu to `fileMenu` before `before` (null: at the end);
    // `open` opens a chosen movie; messages are shown over `parent`.
    CRecentMoviesMenu(QMenu& fileMenu, QAction* before, QWidget* parent,
                      std::function<void(const std::string&)> open);

    // A movie was opened: it goes to the top, once, and the list keeps at
    // most kMaxMovies.
    void Note(const std::string& path);
    // Opens the list's entry `index` as its menu item does.
    void Choose(int index);

    const QStringList& Movies() const { return m_movies; }
    QMenu* Menu() const { return m_menu; }

private:
    void Store();
    void Rebuild();

    QMenu* m_menu = nullptr;
    QWidget* m_parent = nullptr;
    std::function<void(const std::string&)> m_open;
    QStringList m_movies;
};
