#pragma once
// The strip's label font and the text a label box actually shows.
#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <string>

// "Arial" with a 14-pixel cell height (ascent plus descent), default weight.
QFont StripLabelFont();

// The label as drawn in a box `boxWidth` wide: its first line, cut with "..."
// when it does not fit. Lines below the first fall outside the 14-pixel box.
QString StripLabelText(const std::string& label, const QFontMetricsF& metrics, int boxWidth);
