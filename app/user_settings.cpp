#include "app/user_settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <cstdio>

namespace {

bool g_warned = false;

void WarnOnce(const QString& path, const char* what) {
    if (g_warned) return;
    g_warned = true;
    std::fprintf(stderr,
                 "reelcap: the settings file %s cannot be %s; recent movies, folders and the "
                 "window's place are not remembered\n",
                 qPrintable(path), what);
}

}  // namespace

namespace UserSettings {

QString FilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // Without a config folder (no HOME either) the file goes next to nothing
    // readable: an empty path that QSettings treats as unwritable.
    if (folder.isEmpty()) return {};
    return folder + QStringLiteral("/reelcap/reelcap.conf");
}

QVariant Value(const QString& key) {
    const QString path = FilePath();
    if (path.isEmpty()) {
        WarnOnce(QStringLiteral("(no config folder)"), "found");
        return {};
    }
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        WarnOnce(path, "read");
        return {};
    }
    return settings.value(key);
}

void SetValue(const QString& key, const QVariant& value) {
    const QString path = FilePath();
    if (path.isEmpty()) {
        WarnOnce(QStringLiteral("(no config folder)"), "found");
        return;
    }
    QSettings settings(path, QSettings::IniFormat);
    // A file that could not be parsed is left as it is, not replaced by this
    // one value.
    if (settings.status() != QSettings::NoError) {
        WarnOnce(path, "read");
        return;
    }
    settings.setValue(key, value);
    settings.sync();
    if (settings.status() != QSettings::NoError) WarnOnce(path, "written");
}

}  // namespace UserSettings
