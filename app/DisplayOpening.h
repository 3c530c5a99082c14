#pragma once

// Watches QApplication's constructor open the display. Qt, and libxcb or
// libwayland beneath it, decide whether it can be had; when it cannot, Qt
// ends with a fatal message (an abort, after five lines of advice about
// reinstalling), and a display that never answers leaves the process in
// connect() for good. While this object lives, either ends the program with
// one line on standard error and status 1. Qt's other messages are held
// meanwhile, so that only that line is printed, and passed on once the
// display is open.
class DisplayOpening {
public:
    // How long a display may take to answer.
    static constexpr unsigned kAnswerSeconds = 10;

    DisplayOpening();
    // The display is open: no more watching.
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};
