#include "strip/view/strip_labels.h"

#include <cmath>

#include "image/gdi_types.h"
#include "image/text_layout.h"
#include "strip/view/strip_geometry.h"

QFont StripLabelFont() {
    QFont font(QStringLiteral("Arial"));
    // A positive font height is a cell height: scale the em so that ascent plus
    // descent come to the label band's height.
    QFont probe = font;
    probe.setPixelSize(100);
    const double cell = QFontMetricsF(probe).height();
    const int em = cell > 0 ? int(std::lround(StripGeometry::kLabelHeight * 100.0 / cell))
                            : StripGeometry::kLabelHeight;
    font.setPixelSize(em > 0 ? em : 1);
    return font;
}

QString StripLabelText(const std::string& label, const QFontMetricsF& metrics, int boxWidth) {
    const TextLayout layout(metrics, DT_WORD_ELLIPSIS);
    const QStringList lines = layout.Lines(QString::fromUtf8(label.data(), qsizetype(label.size())));
    if (lines.isEmpty()) return QString();
    return layout.Ellipsize(lines.front(), boxWidth);
}
