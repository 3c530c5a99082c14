#pragma once

#include <string>

// Decides, before the application object exists, whether there is a display
// to open. Qt treats a missing or dead display as fatal and aborts (a core
// dump, and advice to reinstall); the program says what is wrong in one line
// and exits instead. A platform named by QT_QPA_PLATFORM or -platform is left
// to Qt, except "xcb", whose display is checked.
class DisplayCheck {
public:
    struct Session {
        std::string display; // DISPLAY
        std::string waylandDisplay; // WAYLAND_DISPLAY
        std::string runtimeDir; // XDG_RUNTIME_DIR
        std::string platform; // QT_QPA_PLATFORM or -platform, empty when none
    };
    // Whether something listens at a local socket path, or at a TCP host and port.
    struct Probe {
        bool (*unixSocket)(const std::string& path);
        bool (*tcp)(const std::string& host, int port);
    };

    // The line to print when no display can be reached, else empty.
    static std::string problem(const Session& session, const Probe& probe);
    static std::string problem(const Session& session);
    static Session current(int argc, char** argv);

    // Where an X display listens, from the DISPLAY syntax [host]:N[.S]; a
    // host of "" or "unix" means the local socket. False when it is not that syntax.
    struct XAddress {
        std::string host; // empty: /tmp/.X11-unix/XN
        int number = 0;
    };
    static bool parseX(const std::string& display, XAddress& out);
    static bool xReachable(const std::string& display, const Probe& probe);
    static bool waylandReachable(const Session& session, const Probe& probe);
};
