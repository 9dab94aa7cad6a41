#pragma once
// Boxes are laid out in dialog units: a quarter of the average character width
// across, an eighth of the character height down, so they keep their
// proportions whatever the font.
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>
#include <algorithm>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        static const QString alphabet =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_baseX = std::max((metrics.horizontalAdvance(alphabet) / 26 + 1) / 2, 1);
        m_baseY = std::max(metrics.height(), 1);
    }
    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

private:
    int m_baseX;
    int m_baseY;
};
