#pragma once
// A font and the colour of its text chosen together, as one step the user can
// cancel: the toolkit's font chooser (face, style, size, underline,
// strike-out) with a colour button beside OK and Cancel.
#include <QByteArray>
#include <QDialog>
#include <QString>

#include "image/gdi_types.h"

class QFontDialog;
class CColorButton;

class CFontColorDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    CFontColorDlg(const LOGFONTA& font, COLORREF color, QWidget* parent = nullptr);

    int DoModal() { return exec() == QDialog::Accepted ? kOk : kCancel; }
    // The chosen font as a whole record, and its text colour.
    LOGFONTA Font() const;
    COLORREF Color() const;

    QFontDialog* FontChooser() const { return m_fonts; }
    CColorButton* ColorChooser() const { return m_color; }

    // The record for a font: height negative (character height in pixels,
    // from points at `dpi` when the font is sized in points), weight, italic,
    // underline, strike-out, pitch and family, and the face name (cut to fit,
    // NUL-terminated); the other members as a screen font chooser fills them.
    static LOGFONTA LogFontFrom(const QFont& font, double dpi);
    // The font of a record, sized in points at `dpi` as font choosers list them.
    static QFont FontForChooser(const LOGFONTA& font, double dpi);

private:
    double Dpi() const;

    QFontDialog* m_fonts;
    CColorButton* m_color;
    QString m_substitute;
    QByteArray m_requestedFace;
};
