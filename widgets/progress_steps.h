#pragma once
// Progress for a long command that runs inside its handler: nothing shows for
// the first half second, then a modal progress box with Cancel. Each Step lets
// the box repaint and answer Cancel.
#include <QElapsedTimer>
#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

class ProgressSteps {
public:
    ProgressSteps(QWidget* parent, QString text);
    ~ProgressSteps();
    ProgressSteps(const ProgressSteps&) = delete;
    ProgressSteps& operator=(const ProgressSteps&) = delete;

    // (done, total); false once the user has pressed Cancel.
    bool Step(int done, int total);
    bool Cancelled() const { return m_cancelled; }
    bool Shown() const { return m_dialog != nullptr; }

    static constexpr int kDelayMs = 500;

private:
    QWidget* m_parent;
    QString m_text;
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};
