#include "widgets/prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "widgets/font_color_dialog.h"
#include "widgets/input_box.h"

namespace {

Prompts* g_installed = nullptr;

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
std::string FromQt(const QString& text) { return text.toUtf8().toStdString(); }

QString FilterText(const std::vector<Prompts::FileFilter>& filters) {
    QStringList parts;
    for (const auto& filter : filters) {
        QStringList patterns;
        for (const auto& pattern : filter.patterns) patterns << ToQt(pattern);
        parts << ToQt(filter.name) + " (" + patterns.join(' ') + ")";
    }
    return parts.join(";;");
}

}  // namespace

int Prompts::Message(QWidget* parent, const std::string& text, const std::string& caption,
                     Buttons buttons, Icon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(ToQt(caption));
    box.setText(ToQt(text));
    switch (icon) {
        case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
        case Icon::Information: box.setIcon(QMessageBox::Information); break;
        case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
        case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    if (buttons == Buttons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return kYes;
        case QMessageBox::No: return kNo;
        case QMessageBox::Ok: return kOk;
        default: return buttons == Buttons::Ok ? kOk : kCancel;
    }
}

std::string Prompts::OpenFileName(QWidget* parent, const std::vector<FileFilter>& filters,
                                  const std::string& startFolder) {
    return FromQt(QFileDialog::getOpenFileName(parent, QString(), ToQt(startFolder), FilterText(filters)));
}

std::string Prompts::SaveFileName(QWidget* parent, const std::vector<FileFilter>& filters,
                                  const std::string& defaultSuffix, const std::string& startFolder) {
    QFileDialog dialog(parent, QString(), ToQt(startFolder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(FilterText(filters));
    QString suffix = ToQt(defaultSuffix);
    if (suffix.startsWith('.')) suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return FromQt(dialog.selectedFiles().first());
}

std::string Prompts::ChooseFolder(QWidget* parent, const std::string& title, const std::string& startFolder) {
    return FromQt(QFileDialog::getExistingDirectory(parent, ToQt(title), ToQt(startFolder)));
}

bool Prompts::AskText(QWidget* parent, const std::string& prompt, std::string& text) {
    CInputBox box(parent);
    box.SetPrompt(prompt);
    box.SetText(text);
    if (box.DoModal() != CInputBox::kOk) return false;
    text = box.GetText();
    return true;
}

bool Prompts::AskTextAndChoice(QWidget* parent, const std::string& prompt, std::string& text,
                               const std::vector<std::string>& choices, int& choice) {
    CInputBox box(parent);
    box.SetPrompt(prompt);
    box.SetText(text);
    box.SetChoices(choices, choice);
    if (box.DoModal() != CInputBox::kOk) return false;
    text = box.GetText();
    choice = box.Choice();
    return true;
}

bool Prompts::ChooseColor(QWidget* parent, COLORREF& color) {
    const QColor chosen =
        QColorDialog::getColor(QColor(RedOf(color), GreenOf(color), BlueOf(color)), parent);
    if (!chosen.isValid()) return false;
    color = MakeRgb(uint8_t(chosen.red()), uint8_t(chosen.green()), uint8_t(chosen.blue()));
    return true;
}

bool Prompts::ChooseFont(QWidget* parent, LOGFONTA& font, COLORREF& color) {
    CFontColorDlg dialog(font, color, parent);
    if (dialog.DoModal() != CFontColorDlg::kOk) return false;
    font = dialog.Font();
    color = dialog.Color();
    return true;
}

int Prompts::RunDialog(QDialog& dialog) { return dialog.exec(); }

Prompts& Prompts::Current() {
    static Prompts real;
    return g_installed ? *g_installed : real;
}

void Prompts::Install(Prompts* prompts) { g_installed = prompts; }
