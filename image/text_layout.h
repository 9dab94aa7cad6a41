#pragma once
// Breaking, measuring and placing text the way CDibImage::PaintText draws it:
// lines split at CR LF (or a lone CR or LF), tabs to multiples of eight average
// character widths, single-line text cut with "..." when it does not fit.
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <cstdint>

#include "image/gdi_types.h"

class TextLayout {
public:
    TextLayout(const QFontMetricsF& metrics, uint32_t format);

    // Lines as drawn: one line for DT_SINGLELINE, otherwise split at line breaks.
    QStringList Lines(const QString& text) const;
    // Width of a line, tabs expanded when DT_EXPANDTABS is set.
    double LineWidth(const QString& line) const;
    // The line itself when it fits maxWidth, else its longest prefix that fits
    // together with a trailing "...".
    QString Ellipsize(const QString& line, double maxWidth) const;
    // Splits a line at its tabs and gives the x offset of each piece.
    struct Piece {
        QString text;
        double x;
    };
    QList<Piece> Pieces(const QString& line) const;

    double LineHeight() const { return m_lineHeight; }

private:
    const QFontMetricsF& m_metrics;
    uint32_t m_format;
    double m_tabWidth;
    double m_lineHeight;
};
