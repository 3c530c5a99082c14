#pragma once

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// Where a receive thread meets the window's thread (this object's thread):
// a mutex, a condition variable, a cancel flag and a data-free posted
// wake-up; the rules are in docs/threads.md.
class HandOver final : public QObject {
    Q_OBJECT
public:
    // Releases every caller and waits until each has left.
    ~HandOver() override;

    // On the window's thread the call runs at once; from any other it is
    // handed over, and the caller waits until it is taken or dropped.
    void run(std::function<void()> call);

    // Window's thread: while on, other threads' calls are refused; turning
    // it on drops every waiting call and releases its caller. A side turns
    // it on before joining its receive thread, off before starting one.
    void refuse(bool on);
    bool refusing() const;

private:
    struct Call {
        std::function<void()> run;
        bool released = false; // taken, or dropped
    };
    // Window's thread: takes the calls handed over, then runs them.
    Q_INVOKABLE void serve();

    // How long the window's thread waits, after each taken call, for the next.
    static constexpr std::chrono::microseconds kLinger { 250 };
    static constexpr std::size_t kMostTaken = 4;
    mutable std::mutex m_mutex;
    // Signals a caller's release, and a call for a lingering window's thread.
    std::condition_variable m_changed;
    bool m_refusing = false;
    int m_callers = 0; // inside run() from other threads
    // On their callers' stacks, which they leave only once released.
    std::deque<Call*> m_waiting;
};
