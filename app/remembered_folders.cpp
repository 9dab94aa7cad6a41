#include "app/remembered_folders.h"

#include <QDir>
#include <QFileInfo>

#include "app/user_settings.h"

namespace {

QString Key(FolderKind kind) {
    switch (kind) {
        case FolderKind::Movies: return QStringLiteral("folders/movies");
        case FolderKind::Pictures: return QStringLiteral("folders/pictures");
        case FolderKind::Sheets: return QStringLiteral("folders/sheets");
        case FolderKind::Frames: return QStringLiteral("folders/frames");
    }
    return QStringLiteral("folders/other");
}

}  // namespace

std::string StartFolder(FolderKind kind) {
    const QString folder = UserSettings::Value(Key(kind)).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
    return folder.toStdString();
}

void RememberFileFolder(FolderKind kind, const std::string& file) {
    if (file.empty()) return;
    RememberFolder(kind, QFileInfo(QString::fromStdString(file)).absolutePath().toStdString());
}

void RememberFolder(FolderKind kind, const std::string& folder) {
    if (folder.empty()) return;
    const QString absolute = QDir::cleanPath(QFileInfo(QString::fromStdString(folder)).absoluteFilePath());
    // Unchanged folders are not written again at every open.
    if (UserSettings::Value(Key(kind)).toString() == absolute) return;
    UserSettings::SetValue(Key(kind), absolute);
}
