#pragma once
// What the program remembers between runs for this user: recent movies, the
// folders of the file dialogs, the window's place. Kept with QSettings in
// "<config folder>/reelcap/reelcap.conf" (the config folder is
// $XDG_CONFIG_HOME, else ~/.config), never in options.lyt, whose fixed record
// has no room for it.
//
// Memory between runs is a convenience: a settings file that cannot be read
// or written changes nothing but that, and is told once per process as one
// line on stderr, never in a message box.
#include <QString>
#include <QVariant>

namespace UserSettings {

// The settings file, looked up again at each call so that a changed HOME or
// XDG_CONFIG_HOME takes effect at once.
QString FilePath();

// The stored value; invalid when missing or when the file cannot be read.
QVariant Value(const QString& key);

// Stores and writes at once, so that nothing depends on a clean exit.
void SetValue(const QString& key, const QVariant& value);

}  // namespace UserSettings
