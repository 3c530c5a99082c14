#pragma once

#include "CDatagramDlg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <chrono>
#include <functional>
#include <thread>

// Drives the real main window in a test the way a user would: through its
// buttons and fields, with every wait bounded.
class DialogDriver {
public:
    DialogDriver() { dialog.show(); }

    // Spins the event loop until `done` holds or `timeout` passes.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    void type(int id, const QString& text) { qobject_cast<QLineEdit*>(dialog.control(id))->setText(text); }
    QString text(int id) const { return dialog.fields().text(id); }
    void click(int id) { qobject_cast<QPushButton*>(dialog.control(id))->click(); }
    bool enabled(int id) const { return dialog.control(id)->isEnabled(); }
    QString log(ControlId id) const { return dialog.fields().log(id)->toPlainText(); }

    CDatagramDlg dialog;
};
