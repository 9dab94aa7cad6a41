#pragma once
// The font a LOGFONTA record stands for, exactly as text is drawn on images
// with it, so what a dialog shows in a font matches the drawn result.
#include <QFont>

#include "image/gdi_types.h"

QFont FontFromLogFont(const LOGFONTA& font);

// The record's face name as a family name (the bytes up to the NUL, Latin-1).
QString FaceName(const LOGFONTA& font);
