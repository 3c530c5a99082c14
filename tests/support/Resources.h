#pragma once

#include <string>

// What the program under test owns in this process, read from /proc/self:
// its sockets and its threads. Other descriptors (files the runtime or Qt
// open and close on their own) are not counted, nor Qt's pool workers,
// which paint in parallel and come and go on their own.
struct Resources {
    int sockets = 0;
    int threads = 0;

    static Resources now();
    // Every thread of the process, pool workers included.
    static int allThreads();
    // Every open descriptor of the process, whatever it refers to.
    static int allDescriptors();
    // Resident set size of the process in KiB (VmRSS).
    static long residentKiB();

    std::string describe() const;
    friend bool operator==(const Resources& a, const Resources& b)
    {
        return a.sockets == b.sockets && a.threads == b.threads;
    }
    friend bool operator!=(const Resources& a, const Resources& b) { return !(a == b); }
};
