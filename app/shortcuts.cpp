#include "app/shortcuts.h"

#include <QAbstractSlider>
#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QSlider>

#include "app/main_frame.h"
#include "res/commands.h"

namespace {

// `primary` first (it is the one menus show), then the platform's standard
// keys for the same command that are not the same key.
QList<QKeySequence> Keys(const QKeySequence& primary, QKeySequence::StandardKey standard) {
    QList<QKeySequence> keys{primary};
    if (standard != QKeySequence::UnknownKey) {
        for (const QKeySequence& key : QKeySequence::keyBindings(standard)) {
            if (!keys.contains(key)) keys.append(key);
        }
    }
    return keys;
}

void SetKeys(QAction* action, const QList<QKeySequence>& keys) {
    if (!action) return;
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
}

}  // namespace

void InstallShortcuts(CMainFrame& frame) {
    const struct {
        int id;
        QKeySequence key;
        QKeySequence::StandardKey standard;
    } commands[] = {
        {ID_FILE_OPEN, QKeySequence(Qt::CTRL | Qt::Key_O), QKeySequence::Open},
        {ID_OPEN_FOLDER, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), QKeySequence::UnknownKey},
        {ID_FILE_SAVE, QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence::Save},
        {ID_SAVE_MULTIPLE, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QKeySequence::SaveAs},
        {ID_FILE_CLOSE, QKeySequence(Qt::CTRL | Qt::Key_W), QKeySequence::Close},
        {ID_OPTIONS, QKeySequence(Qt::CTRL | Qt::Key_Comma), QKeySequence::Preferences},
        {ID_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence::Quit},
        // Play and Pause share Space: at most one of them is enabled at a
        // time, so the key plays a stopped or paused movie and pauses a
        // playing one.
        {ID_PLAY, QKeySequence(Qt::Key_Space), QKeySequence::UnknownKey},
        {ID_PAUSE, QKeySequence(Qt::Key_Space), QKeySequence::UnknownKey},
        {ID_STOP, QKeySequence(Qt::Key_Period), QKeySequence::UnknownKey},
        {ID_GRAB_CURRENT, QKeySequence(Qt::Key_G), QKeySequence::UnknownKey},
        {ID_GRAB_ALL, QKeySequence(Qt::SHIFT | Qt::Key_G), QKeySequence::UnknownKey},
    };
    for (const auto& command : commands) SetKeys(frame.Action(command.id), Keys(command.key, command.standard));

    // Toolbar buttons have no text; their tooltip names the command and its key.
    for (const ToolButton& button : MainToolbar()) {
        QAction* action = button.id ? frame.Action(button.id) : nullptr;
        if (!action || action->shortcut().isEmpty()) continue;
        action->setToolTip(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(button.prompt),
                                                         action->shortcut().toString(QKeySequence::NativeText)));
    }

    const struct {
        Qt::Key key;
        QAbstractSlider::SliderAction step;
    } sliderKeys[] = {
        {Qt::Key_Left, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Right, QAbstractSlider::SliderSingleStepAdd},
        {Qt::Key_PageUp, QAbstractSlider::SliderPageStepSub},
        {Qt::Key_PageDown, QAbstractSlider::SliderPageStepAdd},
        {Qt::Key_Home, QAbstractSlider::SliderToMinimum},
        {Qt::Key_End, QAbstractSlider::SliderToMaximum},
    };
    for (const auto& entry : sliderKeys) {
        auto* action = new QAction(&frame);
        SetKeys(action, {QKeySequence(entry.key)});
        // Through the slider, so the step is the one its own keys and mouse
        // make and the movie follows the slider the same way.
        QObject::connect(action, &QAction::triggered, &frame,
                         [&frame, step = entry.step] { frame.Slider().triggerAction(step); });
        frame.addAction(action);
    }
}
