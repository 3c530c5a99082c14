#pragma once

#include "tests/support/SpinUntil.h"
#include "ui/CDatagramDlg.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

// Drives the real main window in a test the way a user would: through its
// buttons and fields, with every wait bounded.
class DialogDriver {
public:
    DialogDriver() { dialog.show(); }

    static bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000) { return spinUntil(done, timeoutMs); }

    void type(int id, const QString& text) { qobject_cast<QLineEdit*>(dialog.control(id))->setText(text); }
    QString text(int id) const { return dialog.fields().text(id); }
    void click(int id) { qobject_cast<QPushButton*>(dialog.control(id))->click(); }
    bool enabled(int id) const { return dialog.control(id)->isEnabled(); }
    QString log(ControlId id) const { return dialog.fields().log(id)->toPlainText(); }

    CDatagramDlg dialog;
};
