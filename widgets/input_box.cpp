#include "widgets/input_box.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <limits>

#include "widgets/dialog_units.h"

CInputBox::CInputBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Cancel"), this)),
      m_edit(new QLineEdit(this)),
      m_promptLabel(new QLabel(this)) {
    setModal(true);
    m_promptLabel->setObjectName(QStringLiteral("prompt"));
    m_edit->setObjectName(QStringLiteral("edit"));
    m_ok->setObjectName(QStringLiteral("ok"));
    m_cancel->setObjectName(QStringLiteral("cancel"));

    m_promptLabel->setWordWrap(true);
    m_promptLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_promptLabel->setTextFormat(Qt::PlainText);
    m_ok->setDefault(true);
    // Labels have no length limit; the edit's default of 32,767 characters
    // would cut a longer one even when the user only presses OK.
    m_edit->setMaxLength(std::numeric_limits<int>::max());

    connect(m_edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_text = text.toStdString(); });
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    PlaceControls();
}

void CInputBox::PlaceControls() {
    const DialogUnits du(font());
    setFixedSize(du.X(186), du.Y(65));
    m_ok->setGeometry(du.Rect(78, 44, 50, 14));
    m_cancel->setGeometry(du.Rect(129, 44, 50, 14));

    // The prompt wraps and has room for two lines; the edit box below it is at
    // least as tall as the style needs.
    QRect prompt = du.Rect(7, 7, 172, 18);
    prompt.setHeight(std::max(prompt.height(), 2 * QFontMetrics(font()).lineSpacing()));
    m_promptLabel->setGeometry(prompt);
    QRect edit = du.Rect(7, 25, 172, 12);
    edit.moveTop(std::max(edit.top(), prompt.bottom() + 1));
    edit.setHeight(std::max(edit.height(), m_edit->minimumSizeHint().height()));
    if (m_choice) {
        // The count keeps a third; the choice beside it takes the rest.
        QRect choice = edit;
        edit.setWidth(du.X(50));
        choice.setLeft(edit.right() + 1 + du.X(4));
        choice.setHeight(std::max(choice.height(), m_choice->minimumSizeHint().height()));
        m_choice->setGeometry(choice);
    }
    m_edit->setGeometry(edit);
}

void CInputBox::SetChoices(const std::vector<std::string>& choices, int current) {
    if (!m_choice) {
        m_choice = new QComboBox(this);
        m_choice->setObjectName(QStringLiteral("choice"));
        // After the edit box in tab order.
        setTabOrder(m_edit, m_choice);
    }
    m_choice->clear();
    for (const std::string& choice : choices) m_choice->addItem(QString::fromStdString(choice));
    m_choice->setCurrentIndex(std::clamp(current, 0, std::max(0, int(choices.size()) - 1)));
    PlaceControls();
}

int CInputBox::Choice() const { return m_choice ? m_choice->currentIndex() : -1; }

void CInputBox::SetPrompt(const std::string& prompt) {
    m_prompt = prompt;
    m_promptLabel->setText(QString::fromStdString(prompt));
}

void CInputBox::SetText(const std::string& text) {
    m_text = text;
    m_edit->setText(QString::fromStdString(text));
}

int CInputBox::DoModal() { return exec() == QDialog::Accepted ? kOk : kCancel; }

void CInputBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Typing replaces the initial text; the caret ends up at its end, in view.
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->selectAll();
}

void CInputBox::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // Without a title bar the box keeps a thin border of its own.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
