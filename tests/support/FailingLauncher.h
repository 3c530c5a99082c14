#pragma once

#include "net/ThreadLauncher.h"

// Fails every thread creation the way the system can: no thread left
// (std::system_error, EAGAIN) or no memory (std::bad_alloc).
class FailingLauncher : public ThreadLauncher {
public:
    enum class Failure { NoThread, NoMemory };

    explicit FailingLauncher(Failure failure)
        : m_failure(failure)
    {}
    std::thread launch(std::function<void()> body) override;
    int attempts() const { return m_attempts; }

private:
    Failure m_failure;
    int m_attempts = 0;
};
