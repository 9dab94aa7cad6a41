#include "image/text_layout.h"

#include <QRegularExpression>
#include <cmath>

TextLayout::TextLayout(const QFontMetricsF& metrics, uint32_t format)
    : m_metrics(metrics),
      m_format(format),
      m_tabWidth(8.0 * metrics.averageCharWidth()),
      m_lineHeight(std::ceil(metrics.ascent()) + std::ceil(metrics.descent())) {}

QStringList TextLayout::Lines(const QString& text) const {
    if (m_format & DT_SINGLELINE) {
        QString line = text;
        line.remove(QLatin1Char('\r'));
        line.remove(QLatin1Char('\n'));
        return {line};
    }
    // A break ends the line before it: a text ending in "\r\n" has no empty
    // line after it, and an empty text has no lines at all.
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = text.split(breaks);
    if (lines.size() > 0 && lines.back().isEmpty()) lines.removeLast();
    return lines;
}

QList<TextLayout::Piece> TextLayout::Pieces(const QString& line) const {
    QList<Piece> pieces;
    if (!(m_format & DT_EXPANDTABS) || !line.contains(QLatin1Char('\t')) || m_tabWidth <= 0) {
        pieces.push_back({line, 0.0});
        return pieces;
    }
    double x = 0;
    const QStringList parts = line.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) x = (std::floor(x / m_tabWidth) + 1.0) * m_tabWidth;
        if (!parts[i].isEmpty()) pieces.push_back({parts[i], x});
        x += m_metrics.horizontalAdvance(parts[i]);
    }
    if (pieces.isEmpty()) pieces.push_back({QString(), 0.0});
    return pieces;
}

double TextLayout::LineWidth(const QString& line) const {
    double width = 0;
    for (const Piece& piece : Pieces(line))
        width = std::max(width, piece.x + m_metrics.horizontalAdvance(piece.text));
    return width;
}

QString TextLayout::Ellipsize(const QString& line, double maxWidth) const {
    if (LineWidth(line) <= maxWidth) return line;
    const QString dots = QStringLiteral("...");
    // Longest prefix that fits with the dots: widths grow with the prefix, so bisect.
    qsizetype lo = 0, hi = line.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (LineWidth(line.left(mid) + dots) <= maxWidth)
            lo = mid;
        else
            hi = mid - 1;
    }
    return line.left(lo) + dots;
}
