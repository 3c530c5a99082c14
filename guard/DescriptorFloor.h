#pragma once

#include <string>

// The fewest free file descriptors the program can start with (see
// kToStart), to which the error box's reserve is added. Below that GLib or
// Qt abort before the window exists, or the window comes up unable to show
// a failed Start; the program says so in one line and exits instead.
class DescriptorFloor {
public:
    // The fewest free at main() with which the window still came up drawn,
    // on the platform that needs most, less the reserve. X11 (Xvfb, Qt 6.4):
    // 6, the display connection, four event-loop wake-ups, the icon theme's
    // cache and one passing descriptor. Native Wayland (sway): 13 on Qt 6.8,
    // 14 on Qt 6.11; with one fewer the first frame's buffer pool cannot be
    // handed to the compositor, which ends the connection, and with fewer
    // still GLib aborts for want of a wake-up pipe.
    static constexpr int kToStart = 14;

    // The line to print when fewer than `needed` are free, naming the limit
    // that leaves enough, else empty.
    static std::string problem(int needed);
};
