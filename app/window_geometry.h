#pragma once
// The main window's size and place, kept between runs in the user's
// settings and restored only where it fits on the screens present, so that
// a window saved on a monitor since unplugged does not open out of sight.
#include <QList>
#include <QRect>

class QWidget;

// True when `rect` lies wholly inside the union of `screens`.
bool FitsOnScreens(const QRect& rect, const QList<QRect>& screens);

void SaveWindowGeometry(const QWidget& window);
// Before the window is shown; leaves it as it is when nothing fitting was saved.
void RestoreWindowGeometry(QWidget& window);
