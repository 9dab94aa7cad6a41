#include "widgets/font_color_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/log_font.h"
#include "widgets/color_button.h"

CFontColorDlg::CFontColorDlg(const LOGFONTA& font, COLORREF color, QWidget* parent)
    : QDialog(parent), m_fonts(new QFontDialog(this)), m_color(new CColorButton(this)) {
    setWindowTitle(QStringLiteral("Font"));
    setModal(true);
    // The toolkit's chooser, embedded as a plain widget without its own buttons.
    m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_fonts->setWindowFlags(Qt::Widget);
    // A face that is not installed (text drawn in it uses a substitute) is
    // shown as the substitute, since the chooser lists installed faces only;
    // confirming that substitute unchanged keeps the stored face name.
    QFont start = FontForChooser(font, Dpi());
    if (!QFontDatabase::hasFamily(start.family())) {
        m_substitute = QFontInfo(start).family();
        const std::string_view face = FaceNameOf(font);
        m_requestedFace = QByteArray(face.data(), qsizetype(face.size()));
        start.setFamily(m_substitute);
    }
    m_fonts->setCurrentFont(start);

    // Automatic text is the plain window text colour, black.
    m_color->SetDefaultColor(MakeRgb(0, 0, 0));
    m_color->SetColor(color);
    m_color->setObjectName(QStringLiteral("color"));
    m_color->setMinimumWidth(60);
    auto* colorLabel = new QLabel(QStringLiteral("&Color:"), this);
    colorLabel->setBuddy(m_color);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(colorLabel);
    bottom->addWidget(m_color);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fonts);
    layout->addLayout(bottom);
}

double CFontColorDlg::Dpi() const {
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

LOGFONTA CFontColorDlg::Font() const {
    const QFont chosen = m_fonts->currentFont();
    LOGFONTA record = LogFontFrom(chosen, Dpi());
    if (!m_substitute.isEmpty() && chosen.family() == m_substitute) {
        std::memset(record.lfFaceName, 0, sizeof record.lfFaceName);
        std::memcpy(record.lfFaceName, m_requestedFace.constData(), size_t(m_requestedFace.size()));
    }
    return record;
}

COLORREF CFontColorDlg::Color() const {
    const COLORREF color = m_color->GetColor();
    return color == AUTOMATIC_COLOR ? m_color->GetDefaultColor() : color;
}

QFont CFontColorDlg::FontForChooser(const LOGFONTA& record, double dpi) {
    QFont font = FontFromLogFont(record);
    if (font.pixelSize() > 0) font.setPointSizeF(font.pixelSize() * 72.0 / dpi);
    return font;
}

LOGFONTA CFontColorDlg::LogFontFrom(const QFont& font, double dpi) {
    LOGFONTA record{};
    int pixels = font.pixelSize();
    if (pixels <= 0) pixels = int(std::lround(font.pointSizeF() * dpi / 72.0));
    record.lfHeight = -std::max(pixels, 1);
    record.lfWeight = std::clamp(int(font.weight()), 1, 1000);
    record.lfItalic = font.italic() ? 1 : 0;
    record.lfUnderline = font.underline() ? 1 : 0;
    record.lfStrikeOut = font.strikeOut() ? 1 : 0;
    record.lfCharSet = 0;
    record.lfOutPrecision = 3;   // stroke precision
    record.lfClipPrecision = 2;  // stroke clipping
    record.lfQuality = 1;
    const QFontInfo info(font);
    // The family only guides the choice of a substitute when the face is
    // missing; fonts rarely tell, so anything not fixed or asked for as serif
    // counts as sans-serif.
    if (info.fixedPitch()) record.lfPitchAndFamily = 0x31;  // fixed pitch, modern
    else if (font.styleHint() == QFont::Serif) record.lfPitchAndFamily = 0x12;
    else record.lfPitchAndFamily = 0x22;  // variable pitch, sans-serif
    // Face names are stored as Latin-1 text, which is how they are read back.
    const QByteArray face = font.family().toLatin1().left(LF_FACESIZE - 1);
    std::memcpy(record.lfFaceName, face.constData(), size_t(face.size()));
    return record;
}
