#pragma once
// Acting on a modal box from inside its own event loop, so tests drive real
// modal runs without blocking: `act` runs once the box is the active modal
// widget. If none appears, whatever modal widget is up gets rejected so a
// failing test ends instead of hanging.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

template <typename Box>
void WhenModalShown(std::function<void(Box*)> act, int triesLeft = 200) {
    QTimer::singleShot(5, [act = std::move(act), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<Box*>(modal); box && box->isVisible()) {
            act(box);
            return;
        }
        if (triesLeft > 0) {
            WhenModalShown<Box>(std::move(act), triesLeft - 1);
            return;
        }
        ADD_FAILURE() << "no modal box appeared";
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    });
}
