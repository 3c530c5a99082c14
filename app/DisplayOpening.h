#pragma once

// Watches QApplication's constructor open the display. Qt, and libxcb or
// libwayland beneath it, decide whether it can be had, and say so in their
// own words, which pass through as they come. Where it cannot, Qt would
// abort on a fatal message of advice about reinstalling; while this object
// lives that message becomes one last line of the program's own, with the
// platform plugin's reason, and status 1. There is no clock: a slow display
// gets its window, and one that never answers is waited for as any X client
// waits for it.
class DisplayOpening {
public:
    DisplayOpening();
    // The display is open: Qt's messages go on as before.
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};
