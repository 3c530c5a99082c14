#pragma once

#include <string>

// The fewest free file descriptors the program can start with (see
// kToStart), to which the error box's reserve is added. Below that GLib or
// Qt abort before the window exists, or the window comes up unable to show
// a failed Start; the program says so in one line and exits instead.
class DescriptorFloor {
public:
    // Measured on X11 (Xvfb): the fewest free at main() with which the
    // window still came up drawn (the display connection, four event-loop
    // wake-ups, the icon theme's cache, and one passing descriptor); with
    // one fewer GLib aborts. At this floor only the accessibility bus
    // thread's pipe is refused, which Qt shrugs off.
    static constexpr int kToStart = 6;

    // How many more descriptors this process could open now, counting up to `enough`.
    static int freeUpTo(int enough);
    // The line to print when fewer than `needed` are free, else empty.
    static std::string problem(int needed);
};
