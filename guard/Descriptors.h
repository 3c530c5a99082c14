#pragma once

#include <vector>

// The process's file descriptors, counted the one way that sees them all:
// by opening /dev/null until the limit as it is now says no. That also
// counts descriptors inherited open, and numbers a lowered limit no longer
// allows (a descriptor's number has to be below the limit).
class Descriptors {
public:
    // Opens 0, 1 and 2 on /dev/null where they are closed. Otherwise the next
    // descriptors opened take those numbers, and a warning meant for
    // standard error goes into whatever holds 2 (the display connection).
    static void openStandard();
    // Opens up to `count` descriptors, fewer when the limit is reached.
    static std::vector<int> open(int count);
    static void close(std::vector<int>& fds);
    // How many more this process could open now, counting up to `enough`.
    static int freeUpTo(int enough);
};
