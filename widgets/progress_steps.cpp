#include "widgets/progress_steps.h"

#include "res/app_title.h"

#include <QCoreApplication>
#include <QProgressDialog>

ProgressSteps::ProgressSteps(QWidget* parent, QString text)
    : m_parent(parent), m_text(std::move(text)) {
    m_clock.start();
}

ProgressSteps::~ProgressSteps() = default;

bool ProgressSteps::Step(int done, int total) {
    if (m_cancelled) return false;
    if (!m_dialog && m_clock.elapsed() >= kDelayMs) {
        m_dialog = std::make_unique<QProgressDialog>(m_text, QStringLiteral("Cancel"), 0, total, m_parent);
        m_dialog->setWindowTitle(QString::fromLatin1(kAppTitle));
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    if (m_dialog) {
        m_dialog->setMaximum(total);
        m_dialog->setValue(done);
        QCoreApplication::processEvents();
        if (m_dialog->wasCanceled()) m_cancelled = true;
    }
    return !m_cancelled;
}
