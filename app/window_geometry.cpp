#include "app/window_geometry.h"

#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include "app/user_settings.h"

namespace {

const QString kRectKey = QStringLiteral("window/geometry");
const QString kMaximizedKey = QStringLiteral("window/maximized");
// Smaller than this is a broken value, not a window anybody used.
constexpr int kMinSide = 100;

}  // namespace

bool FitsOnScreens(const QRect& rect, const QList<QRect>& screens) {
    if (!rect.isValid()) return false;
    QRegion area;
    for (const QRect& screen : screens) area += screen;
    return QRegion(rect).subtracted(area).isEmpty();
}

void SaveWindowGeometry(const QWidget& window) {
    // The normal geometry: a maximized window comes back maximized over the
    // size it had before.
    UserSettings::SetValue(kRectKey, window.normalGeometry());
    UserSettings::SetValue(kMaximizedKey, window.isMaximized());
}

void RestoreWindowGeometry(QWidget& window) {
    const QRect rect = UserSettings::Value(kRectKey).toRect();
    if (rect.width() < kMinSide || rect.height() < kMinSide) return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->availableGeometry());
    if (!FitsOnScreens(rect, screens)) return;
    window.setGeometry(rect);
    if (UserSettings::Value(kMaximizedKey).toBool()) window.setWindowState(window.windowState() | Qt::WindowMaximized);
}
