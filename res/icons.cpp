#include "res/icons.h"

#include <QPainter>
#include <QPolygon>

#include "res/commands.h"

namespace {

// Colours of the classic 16-colour toolbar palette.
const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kGrey(128, 128, 128);
const QColor kWhite(255, 255, 255);

QImage Blank() {
    QImage image(kToolImageWidth, kToolImageHeight, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

void DrawPicture(QPainter& p, const QRect& r) {
    // Sky, sun, hills: a many-coloured picture.
    p.fillRect(r, QColor(0, 255, 255));
    p.fillRect(QRect(r.left(), r.top() + r.height() * 2 / 3, r.width(), r.height() - r.height() * 2 / 3),
               QColor(0, 128, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(QRect(r.right() - r.width() / 3, r.top() + 1, r.width() / 4 + 1, r.width() / 4 + 1));
    p.setBrush(QColor(128, 0, 0));
    p.drawPolygon(QPolygon({QPoint(r.left(), r.bottom()), QPoint(r.left() + r.width() / 3, r.top() + r.height() / 2),
                            QPoint(r.left() + r.width() * 2 / 3, r.bottom())}));
    p.setBrush(Qt::NoBrush);
    p.setPen(kBlack);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

}  // namespace

QImage ToolbarImage(int id) {
    QImage image = Blank();
    QPainter p(&image);
    switch (id) {
        case ID_PLAY:
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(12, 7), QPoint(4, 12)}));
            break;
        case ID_PAUSE:
            p.fillRect(QRect(4, 2, 3, 11), kGreen);
            p.fillRect(QRect(9, 2, 3, 11), kGreen);
            break;
        case ID_STOP:
            p.fillRect(QRect(3, 2, 10, 10), kRed);
            break;
        case ID_GRAB_ALL:
            // A black-framed screen on a stand.
            p.fillRect(QRect(1, 1, 14, 10), kBlack);
            p.fillRect(QRect(3, 3, 10, 6), kGrey);
            p.fillRect(QRect(6, 11, 4, 2), kBlack);
            p.fillRect(QRect(4, 13, 8, 1), kBlack);
            break;
        case ID_GRAB_CURRENT:
            DrawPicture(p, QRect(1, 2, 14, 11));
            break;
        default:
            p.end();
            return {};
    }
    return image;
}

QImage AppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double u = size / 32.0;
    // A strip of film with sprocket holes and a picture in its frame.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRoundedRect(QRectF(2 * u, 4 * u, 28 * u, 24 * u), 3 * u, 3 * u);
    p.setBrush(kWhite);
    for (int i = 0; i < 6; ++i) {
        p.drawRect(QRectF((4 + i * 4.3) * u, 5.5 * u, 2.2 * u, 2 * u));
        p.drawRect(QRectF((4 + i * 4.3) * u, 24.5 * u, 2.2 * u, 2 * u));
    }
    const QRect picture(int(5 * u), int(9 * u), int(22 * u), int(14 * u));
    p.setRenderHint(QPainter::Antialiasing, false);
    DrawPicture(p, picture);
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}
