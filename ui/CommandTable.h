#pragma once

class CDatagramDlg;

// Routes the window's messages and button clicks to the dialog's handlers.
// Rows are matched in order; anything without a row gets the window's
// default handling.
class CommandTable {
public:
    enum class Message { SysCommand, ShowWindow, ButtonClicked, Close };

    struct Row {
        Message message;
        int control; // the button for ButtonClicked, 0 otherwise
        void (*handler)(CDatagramDlg& dialog, int parameter);
    };

    static const Row* begin();
    static const Row* end();
    // Runs the first matching row's handler; false when none matches.
    static bool route(CDatagramDlg& dialog, Message message, int control, int parameter = 0);
};
