#pragma once

#include <string>

// The least address space the program can start in. Below it a thread Qt
// starts (the D-Bus connection's, a paint pool's) cannot have its stack,
// and Qt then waits for that thread for good, without a window or a word;
// the program says so in one line and exits instead.
class AddressSpaceFloor {
public:
    // The limit, in KiB as ulimit -v gives it, from which every larger one
    // brought the window up and let it end (see docs/startup-and-limits.md).
    static constexpr unsigned long kToStartKiB = 500000;

    // The line to print when the address-space limit is below `neededKiB`,
    // naming the limit that works, else empty.
    static std::string problem(unsigned long neededKiB);
};
