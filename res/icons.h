#pragma once
// The program's pictures, drawn rather than loaded so that they need no files:
// the 16 x 15 toolbar images and the program icon.
#include <QIcon>
#include <QImage>

constexpr int kToolImageWidth = 16;
constexpr int kToolImageHeight = 15;

// The image of toolbar command `id` (ID_PLAY ... ID_GRAB_CURRENT); a null
// image for any other id.
QImage ToolbarImage(int id);
// The program icon (a film frame with a picture) at `size` pixels square.
QImage AppIconImage(int size);
QIcon AppIcon();
