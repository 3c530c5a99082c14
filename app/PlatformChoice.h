#pragma once

#include <QByteArray>

// Picks the window-system platform before the application object exists.
//
// Qt 6.4's Wayland plugin crashes on a compositor that offers a text-input
// protocol but no input seat (weston 10's headless backend offers
// zwp_text_input_manager_v1 and no wl_seat): its input context reaches the
// text-input object through the default input device without checking that
// there is one. The first caret a focused text field draws gets there
// (QTextLayout::drawCursor asks the input method for its direction), and so
// does any focus change. Newer qtwayland checks for the device (6.6 does;
// earlier releases are taken as affected). On an affected Qt the program
// runs through XWayland when the session offers it, which keeps the input
// methods the user has; only where there is none to run through (or the
// user named Wayland) does it steer Qt to another input context.
class PlatformChoice {
public:
    struct Session {
        bool waylandDisplay; // WAYLAND_DISPLAY is set
        bool x11Display; // DISPLAY is set (XWayland in a Wayland session)
        bool platformChosen; // QT_QPA_PLATFORM or a -platform argument
        int qtMajor, qtMinor;
    };

    // The first Qt release known to check for the seat.
    static constexpr int kFixedMajor = 6;
    static constexpr int kFixedMinor = 6;

    // The platform to ask Qt for, or empty to leave the choice to Qt.
    static QByteArray platformFor(const Session& session);
    // The session this process runs in, with the Qt it runs against.
    static Session current(int argc, char** argv);
    // Applies the choice to this process; call before QApplication.
    static void apply(int argc, char** argv);
};
