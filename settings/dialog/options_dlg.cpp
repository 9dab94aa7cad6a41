#include "settings/dialog/options_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "image/log_font.h"
#include "base/typed_number.h"
#include "res/app_title.h"
#include "widgets/color_button.h"
#include "widgets/dialog_units.h"
#include "widgets/prompts.h"

namespace {

const char* const kLegend =
    "The folowing strings are replaced with the following values:\n\n"
    "[FILE_NAME] : Filename of the video\n"
    "[FILE_SIZE] : File Size of the video\n"
    "[WIDTH] : Width of the video in pixels\n"
    "[HEIGHT] : Height of the video in pixels\n"
    "[DURATION] : Duration of the video";

// The template as it is stored: CR LF line breaks, UTF-8, at most `limit`
// bytes, never ending inside a character.
std::string TemplateToStore(const QString& shown, size_t limit) {
    QString text = shown;
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    std::string bytes = text.toUtf8().toStdString();
    if (bytes.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) --cut;
        bytes.resize(cut);
    }
    return bytes;
}

// The template as the box edits it: one line feed per line break.
QString ShownTemplate(const SheetOptions& options) {
    const std::string_view stored = StoredTemplate(options);
    QString text = QString::fromUtf8(stored.data(), qsizetype(stored.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

}  // namespace

COptionsDlg::COptionsDlg(OptionsStore& store, QWidget* parent)
    : QDialog(parent), m_store(store), m_opened(store.Options()) {
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    CreateControls();
    ConnectControls();
    m_backColor->SetDefaultColor(kAutomaticBackColor);
    for (QComboBox* list : {m_detailsPosition, m_labelPosition}) {
        list->addItems({QStringLiteral("Top Left"), QStringLiteral("Bottom Left"), QStringLiteral("Top Right"),
                        QStringLiteral("Bottom Right")});
        // Sorted, the index of each item is its TextPosition.
        list->model()->sort(0);
    }
    Populate();
}

void COptionsDlg::CreateControls() {
    const DialogUnits du(font());
    setFixedSize(du.X(297), du.Y(172));
    // Controls keep the place their dialog-unit box gives them, grown to the
    // height this style needs around the box's middle.
    auto place = [&](QWidget* widget, int x, int y, int w, int h) {
        QRect rect = du.Rect(x, y, w, h);
        const int need = widget->minimumSizeHint().height();
        if (need > rect.height() && !qobject_cast<QGroupBox*>(widget)) {
            rect.adjust(0, -(need - rect.height()) / 2, 0, 0);
            rect.setHeight(need);
        }
        widget->setGeometry(rect);
    };
    // Group titles sit on the frame line, as the dialog-unit boxes assume;
    // styles that put them above it would push the frames into the controls.
    QStyle* groupStyle = QStyleFactory::create(QStringLiteral("Windows"));
    if (groupStyle) groupStyle->setParent(this);
    auto group = [&](const char* title, int x, int y, int w, int h) {
        auto* box = new QGroupBox(QString::fromLatin1(title), this);
        if (groupStyle) box->setStyle(groupStyle);
        place(box, x, y, w, h);
    };
    auto label = [&](const char* text, int x, int y, int w, int h) {
        auto* widget = new QLabel(QString::fromLatin1(text), this);
        widget->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        place(widget, x, y, w, h);
    };
    auto button = [&](const char* name, const char* text, int x, int y, int w, int h) {
        auto* widget = new QPushButton(QString::fromLatin1(text), this);
        widget->setObjectName(QString::fromLatin1(name));
        // No default button: Enter in an edit box does not end the dialog.
        widget->setAutoDefault(false);
        place(widget, x, y, w, h);
        return widget;
    };
    auto edit = [&](const char* name, int x, int y, int w, int h) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(QString::fromLatin1(name));
        place(widget, x, y, w, h);
        return widget;
    };
    auto check = [&](const char* name, const char* text, int x, int y, int w, int h) {
        auto* widget = new QCheckBox(QString::fromLatin1(text), this);
        widget->setObjectName(QString::fromLatin1(name));
        place(widget, x, y, w, h);
        return widget;
    };
    auto list = [&](const char* name, int x, int y, int w, int h) {
        auto* widget = new QComboBox(this);
        widget->setObjectName(QString::fromLatin1(name));
        place(widget, x, y, w, h);
        return widget;
    };

    // Frames first, so the controls inside them sit on top.
    group("Layout", 6, 7, 79, 75);
    group("Style", 87, 7, 81, 75);
    group("Info", 171, 7, 120, 39);
    group("JPEG", 171, 49, 120, 33);
    group("Details", 6, 82, 285, 67);

    m_cancel = button("cancel", "Cancel", 236, 153, 55, 14);
    m_defaults = button("defaults", "Defaults", 6, 153, 55, 14);
    m_apply = button("apply", "Apply", 177, 153, 55, 14);
    label("Columns:", 12, 16, 42, 12);
    label("Tile Width:", 12, 28, 42, 12);
    label("Tile Height:", 12, 40, 42, 12);
    label("Gap  Width:", 12, 52, 42, 12);
    label("Gap Height:", 12, 64, 42, 12);
    m_columns = edit("columns", 54, 16, 24, 12);
    m_tileWidth = edit("tileWidth", 54, 28, 24, 12);
    m_tileHeight = edit("tileHeight", 54, 40, 24, 12);
    m_gapWidth = edit("gapWidth", 54, 52, 24, 12);
    m_gapHeight = edit("gapHeight", 54, 64, 24, 12);
    m_dropShadow = check("dropShadow", "Drop Shadow", 94, 16, 56, 12);
    label("Offset X:", 106, 28, 32, 12);
    label("Offset Y:", 106, 40, 32, 12);
    label("Intensity:", 106, 52, 32, 12);
    label("Back Color:", 94, 65, 44, 12);
    m_backColor = new CColorButton(this);
    m_backColor->setObjectName(QStringLiteral("backColor"));
    place(m_backColor, 138, 65, 24, 12);
    m_offsetX = edit("shadowOffsetX", 138, 28, 24, 12);
    m_offsetY = edit("shadowOffsetY", 138, 40, 24, 12);
    m_intensity = edit("shadowIntensity", 138, 52, 24, 12);
    m_showLabels = check("showLabels", "Labels", 177, 16, 55, 12);
    m_labelFont = button("labelFont", "Font", 236, 28, 50, 14);
    m_labelPosition = list("labelPosition", 177, 28, 55, 12);
    label("Quality:", 177, 61, 27, 13);
    m_quality = edit("jpegQuality", 208, 61, 24, 12);
    m_progressive = check("progressive", "Progressive", 236, 61, 50, 13);
    m_showDetails = check("showDetails", "Details", 12, 89, 44, 12);
    m_detailsPosition = list("detailsPosition", 12, 100, 55, 12);
    m_detailsFont = button("detailsFont", "Font", 12, 114, 56, 14);
    m_template = new QPlainTextEdit(this);
    m_template->setObjectName(QStringLiteral("detailsTemplate"));
    m_template->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_template->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_template->setTabChangesFocus(true);
    m_template->setGeometry(du.Rect(70, 90, 216, 54));
    m_legend = button("legend", "Legend", 12, 129, 56, 14);

    const std::vector<Field> fields = Fields();
    for (size_t i = 1; i < fields.size(); ++i) setTabOrder(fields[i - 1].control, fields[i].control);
}

std::vector<COptionsDlg::Field> COptionsDlg::Fields() const {
    return {{m_cancel, nullptr},
            {m_defaults, nullptr},
            {m_apply, nullptr},
            {m_columns, &SheetOptions::columns},
            {m_tileWidth, &SheetOptions::tileWidth},
            {m_tileHeight, &SheetOptions::tileHeight},
            {m_gapWidth, &SheetOptions::gapWidth},
            {m_gapHeight, &SheetOptions::gapHeight},
            {m_dropShadow, nullptr, &SheetOptions::dropShadow},
            {m_backColor, nullptr},
            {m_offsetX, &SheetOptions::shadowOffsetX},
            {m_offsetY, &SheetOptions::shadowOffsetY},
            {m_intensity, &SheetOptions::shadowIntensity},
            {m_showLabels, nullptr, &SheetOptions::showLabels},
            {m_labelFont, nullptr},
            {m_labelPosition, &SheetOptions::labelPosition},
            {m_quality, &SheetOptions::jpegQuality},
            {m_progressive, nullptr, &SheetOptions::progressive},
            {m_showDetails, nullptr, &SheetOptions::showDetails},
            {m_detailsPosition, &SheetOptions::detailsPosition},
            {m_detailsFont, nullptr},
            {m_template, nullptr},
            {m_legend, nullptr}};
}

void COptionsDlg::ConnectControls() {
    for (const Field& field : Fields()) {
        if (auto* box = qobject_cast<QLineEdit*>(field.control)) {
            connect(box, &QLineEdit::textChanged, this, &COptionsDlg::MarkModified);
        } else if (auto* list = qobject_cast<QComboBox*>(field.control)) {
            connect(list, &QComboBox::currentIndexChanged, this, &COptionsDlg::MarkModified);
        } else if (auto* check = qobject_cast<QCheckBox*>(field.control)) {
            connect(check, &QCheckBox::clicked, this, [this] {
                EnableControls();
                MarkModified();
            });
        }
    }
    connect(m_template, &QPlainTextEdit::textChanged, this, &COptionsDlg::MarkModified);
    connect(m_backColor, &CColorButton::ColorPicked, this, &COptionsDlg::MarkModified);
    connect(m_detailsFont, &QPushButton::clicked, this, [this] { ChooseFont(true); });
    connect(m_labelFont, &QPushButton::clicked, this, [this] { ChooseFont(false); });
    connect(m_legend, &QPushButton::clicked, this, &COptionsDlg::ShowLegend);
    connect(m_defaults, &QPushButton::clicked, this, [this] {
        m_store.SetDefaults();
        Populate();
    });
    connect(m_apply, &QPushButton::clicked, this, [this] {
        if (StoreControls()) done(QDialog::Accepted);
    });
    connect(m_cancel, &QPushButton::clicked, this, &COptionsDlg::reject);
}

void COptionsDlg::SetSaveMode(bool saveMode) {
    setWindowTitle(saveMode ? QStringLiteral("Save") : QStringLiteral("Options"));
    m_apply->setText(saveMode ? QStringLiteral("Save") : QStringLiteral("Apply"));
}

int COptionsDlg::DoModal() { return exec() == QDialog::Accepted ? kOk : kCancel; }

void COptionsDlg::EnableControls() {
    const bool shadow = m_dropShadow->isChecked();
    for (QWidget* w : {m_offsetX, m_offsetY, m_intensity}) w->setEnabled(shadow);
    const bool details = m_showDetails->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_detailsPosition, m_detailsFont, m_template})
        w->setEnabled(details);
    const bool labels = m_showLabels->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_labelPosition, m_labelFont}) w->setEnabled(labels);
}

void COptionsDlg::Populate() {
    const SheetOptions& o = m_store.Options();
    for (const Field& field : Fields()) {
        if (field.flag) {
            static_cast<QCheckBox*>(field.control)->setChecked(o.*field.flag != 0);
        } else if (field.number) {
            const int32_t value = o.*field.number;
            if (auto* list = qobject_cast<QComboBox*>(field.control))
                list->setCurrentIndex(value >= 0 && value < list->count() ? int(value) : -1);
            else
                static_cast<QLineEdit*>(field.control)->setText(QString::number(value));
        }
    }
    m_template->setPlainText(ShownTemplate(o));
    m_backColor->SetColor(o.backColor);
    m_detailsFont->setText(FaceName(o.detailsFont));
    m_labelFont->setText(FaceName(o.labelFont));
    EnableControls();
    UpdateTemplateFont();
    // Last: filling the boxes above reported them as edited.
    m_modified = false;
}

// The template is edited in the font it will be drawn in.
void COptionsDlg::UpdateTemplateFont() {
    m_templateFont = FontFromLogFont(m_store.Options().detailsFont);
    m_template->setFont(m_templateFont);
    m_template->viewport()->update();
}

void COptionsDlg::ChooseFont(bool details) {
    SheetOptions& o = m_store.Options();
    LOGFONTA font = details ? o.detailsFont : o.labelFont;
    COLORREF color = details ? o.detailsColor : o.labelColor;
    if (!Prompts::Current().ChooseFont(this, font, color)) return;
    // Whatever the chooser left, the face name stays terminated.
    font.lfFaceName[LF_FACESIZE - 1] = '\0';
    (details ? o.detailsFont : o.labelFont) = font;
    (details ? o.detailsColor : o.labelColor) = color;
    (details ? m_detailsFont : m_labelFont)->setText(FaceName(font));
    m_modified = true;
    if (details) UpdateTemplateFont();
}

bool COptionsDlg::StoreControls() {
    // A sheet needs at least one column and tiles of at least one pixel; the
    // other numbers are taken as typed.
    const std::pair<QLineEdit*, const char*> required[] = {
        {m_columns, "Columns"}, {m_tileWidth, "Tile Width"}, {m_tileHeight, "Tile Height"}};
    for (const auto& [box, name] : required) {
        if (AtoiLike(box->text().toStdString()) >= 1) continue;
        Prompts::Current().Message(this, std::string(name) + " must be a number of at least 1.", kAppTitle,
                                   Prompts::Buttons::Ok, Prompts::Icon::Warning);
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return false;
    }
    SheetOptions& o = m_store.Options();
    for (const Field& field : Fields()) {
        if (field.flag) {
            o.*field.flag = static_cast<QCheckBox*>(field.control)->isChecked() ? 1 : 0;
        } else if (field.number) {
            if (auto* list = qobject_cast<QComboBox*>(field.control))
                o.*field.number = list->currentIndex();
            else
                o.*field.number = AtoiLike(static_cast<QLineEdit*>(field.control)->text().toStdString());
        }
    }
    o.jpegQuality = std::clamp(o.jpegQuality, 0, 100);
    const COLORREF back = m_backColor->GetColor();
    o.backColor = back == AUTOMATIC_COLOR ? kAutomaticBackColor : back;
    const std::string text = TemplateToStore(m_template->toPlainText(), kDetailsTemplateSize - 1);
    std::memset(o.detailsTemplate, 0, sizeof o.detailsTemplate);
    std::memcpy(o.detailsTemplate, text.data(), text.size());
    m_store.Save();
    return true;
}

void COptionsDlg::RestoreRecord() { m_store.Options() = m_opened; }

void COptionsDlg::reject() {
    if (!m_modified) {
        RestoreRecord();
        done(QDialog::Rejected);
        return;
    }
    const int answer = Prompts::Current().Message(this, "Save Changes?", kAppTitle, Prompts::Buttons::YesNoCancel,
                                                  Prompts::Icon::Warning);
    if (answer == Prompts::kYes) {
        // Saved, yet not an OK: in save mode no sheet follows.
        if (StoreControls()) done(QDialog::Rejected);
    } else if (answer == Prompts::kNo) {
        RestoreRecord();
        done(QDialog::Rejected);
    }
    // Cancel: the dialog stays open and the record stays as it is, so what
    // the controls show and what the record holds go on matching.
}

void COptionsDlg::ShowLegend() {
    Prompts::Current().Message(this, kLegend, kAppTitle, Prompts::Buttons::Ok, Prompts::Icon::None);
}
