#pragma once
// A small modal box asking for one line of text under a prompt: thin border, no
// title bar, centred over its parent (or the screen without one). Enter is OK,
// Escape and closing are Cancel; any text, the empty one too, is an answer.
#include <QDialog>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CInputBox : public QDialog {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;

    explicit CInputBox(QWidget* parent = nullptr);

    // Both are read when the box is shown; call them before running it.
    void SetPrompt(const std::string& prompt);
    void SetText(const std::string& text);
    // The edit box's contents (UTF-8); meaningful after an OK result.
    std::string GetText() const { return m_text; }
    // Offers a choice beside the edit box (none without this call), starting
    // at `current`; Choice() is the one taken, meaningful after an OK result.
    void SetChoices(const std::vector<std::string>& choices, int current);
    int Choice() const;

    // Runs the box modally: kOk after OK or Enter, kCancel after Cancel,
    // Escape or closing.
    int DoModal();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void PlaceControls();

    // Made in tab order: OK, Cancel, the edit box, then the label.
    QPushButton* m_ok;
    QPushButton* m_cancel;
    QLineEdit* m_edit;
    QComboBox* m_choice = nullptr;
    QLabel* m_promptLabel;
    std::string m_text;
    std::string m_prompt;
};
