#pragma once

#include <functional>
#include <thread>

// Creates the receive threads. Tests put one in that fails the way the
// system can (no thread left, no memory) to see a Start fail cleanly.
class ThreadLauncher {
public:
    virtual ~ThreadLauncher() = default;
    // A running thread for `body`; throws whatever creating it throws.
    virtual std::thread launch(std::function<void()> body);
    // The launcher that asks the system.
    static ThreadLauncher& system();
};
