#pragma once

#include "tests/support/LoopbackPeer.h"
#include "tests/support/SpinUntil.h"
#include "ui/CDatagramDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace window_test {

// What exec() returns when the guard had to end a run nobody ended.
constexpr int kStillRunning = 99;

// Asks for the window to become the active one and waits until it is.
inline bool makeActive(QWidget& window)
{
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window, 2000);
}

// Shows the window and makes it the active one, as when it first appears.
inline bool showActive(QWidget& window)
{
    window.show();
    return makeActive(window);
}

// Runs the window modally, does `action` once the run has begun and returns
// how the run ended. A run still going after `guardMs` is ended by force.
inline int runModal(CDatagramDlg& dialog, const std::function<void()>& action, int guardMs = 3000)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        EXPECT_TRUE(makeActive(dialog));
        action();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&dialog] { dialog.done(kStillRunning); });
    guard.start(guardMs);
    return dialog.exec();
}

// Counts the close requests a window receives (the close sequence's trigger).
class CloseCounter : public QObject {
public:
    explicit CloseCounter(QWidget& window) { window.installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

// A port that was free a moment ago, for fields that need a number.
inline QString freePort()
{
    LoopbackPeer probe("127.0.0.1", 0);
    return QString::number(probe.port());
}

} // namespace window_test
