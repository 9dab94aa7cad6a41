// Text on a CDibImage: fonts from LOGFONTA records, drawn with QPainter on the
// image's surface, measured and placed by TextLayout.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "image/dib_image.h"
#include "image/log_font.h"
#include "image/text_layout.h"

namespace {

// Negative heights are character (em) heights; positive ones are cell heights
// (ascent + descent), converted through the face's own proportions.
void ApplyHeight(QFont& qfont, int32_t height) {
    if (height < 0) {
        // Widened first: the most negative int32 has no positive twin.
        qfont.setPixelSize(int(std::clamp<int64_t>(-int64_t(height), 1, 4096)));
    } else if (height > 0) {
        QFont probe = qfont;
        probe.setPixelSize(100);
        const double cell = QFontMetricsF(probe).height();
        const double em = cell > 0 ? height * 100.0 / cell : double(height);
        qfont.setPixelSize(int(std::lround(std::clamp(em, 1.0, 4096.0))));
    } else {
        qfont.setPixelSize(16);  // the platform's default text size
    }
}

QColor ColorFromRef(COLORREF c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

int32_t Saturated(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

QString FaceName(const LOGFONTA& font) {
    const std::string_view face = FaceNameOf(font);
    return QString::fromLatin1(face.data(), qsizetype(face.size()));
}

QFont FontFromLogFont(const LOGFONTA& font) {
    QFont qfont(FaceName(font));
    if ((font.lfPitchAndFamily & 0xF0) == 0x20) qfont.setStyleHint(QFont::SansSerif);
    if ((font.lfPitchAndFamily & 0xF0) == 0x10) qfont.setStyleHint(QFont::Serif);
    if ((font.lfPitchAndFamily & 0xF0) == 0x30) qfont.setStyleHint(QFont::Monospace);
    ApplyHeight(qfont, font.lfHeight);
    const int weight = font.lfWeight <= 0 ? 400 : std::clamp(int(font.lfWeight), 1, 1000);
    qfont.setWeight(QFont::Weight(weight));
    qfont.setItalic(font.lfItalic != 0);
    qfont.setUnderline(font.lfUnderline != 0);
    qfont.setStrikeOut(font.lfStrikeOut != 0);
    return qfont;
}

void CDibImage::SetTextFont(const LOGFONTA& font, COLORREF color) {
    EnsureSurface();
    m_font = std::make_unique<QFont>(FontFromLogFont(font));
    m_textColor = color;
}

int CDibImage::PaintText(const char* text, RECT* rect, uint32_t format, bool outlined) {
    if (!text || !rect) return 0;
    EnsureSurface();
    if (!m_font) m_font = std::make_unique<QFont>(FontFromLogFont(LOGFONTA{}));

    const QFontMetricsF metrics(*m_font);
    const TextLayout layout(metrics, format);
    const QStringList lines = layout.Lines(QString::fromUtf8(text));
    const double lineHeight = layout.LineHeight();
    const int textHeight = int(lineHeight) * int(lines.size());

    if (format & DT_CALCRECT) {
        double widest = 0;
        for (const QString& line : lines) widest = std::max(widest, layout.LineWidth(line));
        rect->right = Saturated(int64_t(rect->left) + int64_t(std::ceil(widest)));
        rect->bottom = Saturated(int64_t(rect->top) + textHeight);
        return textHeight;
    }
    if (!m_surface) return textHeight;  // nothing to draw on (empty image)

    // The clip is the rectangle's part inside the image, worked out in 64 bits
    // so that no rectangle, however large, wraps around.
    const int64_t clipLeft = std::max<int64_t>(rect->left, 0), clipTop = std::max<int64_t>(rect->top, 0);
    const int64_t clipRight = std::min<int64_t>(rect->right, Width());
    const int64_t clipBottom = std::min<int64_t>(rect->bottom, Height());
    if (clipRight <= clipLeft || clipBottom <= clipTop) return textHeight;
    const double rectWidth = double(rect->right) - double(rect->left);

    QPainter painter(m_surface.get());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(QRect(int(clipLeft), int(clipTop), int(clipRight - clipLeft), int(clipBottom - clipTop)));
    painter.setFont(*m_font);
    const QColor color = ColorFromRef(m_textColor);

    // Bottom alignment applies to single-line text, as with the platform call.
    double top = rect->top;
    if ((format & DT_SINGLELINE) && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;

    for (const QString& rawLine : lines) {
        const QString line =
            (format & DT_WORD_ELLIPSIS) ? layout.Ellipsize(rawLine, rectWidth) : rawLine;
        const double width = layout.LineWidth(line);
        const double left = (format & DT_RIGHT) ? rect->right - width : rect->left;
        const double baseline = top + std::ceil(metrics.ascent());
        for (const TextLayout::Piece& piece : layout.Pieces(line)) {
            if (piece.text.isEmpty()) continue;
            const QPointF origin(std::round(left + piece.x), baseline);
            if (outlined) {
                // A black contour one pixel wide outside the glyphs (the pen is centred
                // on the outline, so half of a 2-pixel pen lies outside), then the glyphs.
                QPainterPath path;
                path.addText(origin, *m_font, piece.text);
                painter.strokePath(path, QPen(Qt::black, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                painter.fillPath(path, color);
            } else {
                painter.setPen(color);
                painter.drawText(origin, piece.text);
            }
        }
        top += lineHeight;
    }
    return textHeight;
}
