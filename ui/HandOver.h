#pragma once

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Where a receive thread meets the window's thread (this object's thread):
// a mutex, a condition variable, a cancel flag and a posted wake-up. The
// wake-up carries no data, so everything that passes between the threads
// passes under our own lock, where ThreadSanitizer sees it.
//
// A call's state is shared between its caller and the window's thread, not
// kept on the caller's stack, so a cancel can release a caller at any time:
// a call not yet taken never runs, and a call already running (a message
// box's nested event loop included) finishes on its own. Nothing that waits
// for a caller, such as a stop joining its thread, waits for the window.
class HandOver final : public QObject {
    Q_OBJECT
public:
    enum class Until {
        Done, // the caller waits until the call has run
        Taken, // the caller goes on once the window's thread has taken the call,
               // which it runs before any call waited for and before it goes
               // back to its events
    };

    // `linger`: how long the window's thread waits, after each taken call,
    // for the next one (see serve()).
    explicit HandOver(std::chrono::microseconds linger = std::chrono::microseconds(250))
        : m_linger(linger)
    {}
    ~HandOver() override;

    // Any thread. On the window's thread the call runs at once unless
    // closed; from any other it is handed over and waited for. False when it
    // was refused or given up on before it got as far as `until`.
    bool run(std::function<void()> call, Until until = Until::Done);

    // Releases every waiting caller and refuses new calls until resume(),
    // which may come once those callers have returned (a side resumes only
    // after joining its thread).
    void cancel();
    void resume();
    // The same, for good, and for the window's own calls too.
    void close();
    // A call from this thread now would be refused.
    bool refuses() const;

private:
    struct Call {
        std::function<void()> run;
        Until until;
        bool done = false; // as far as `until` asks
    };
    void carryOut(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Call>& call);
    // Window's thread: takes and runs the calls handed over, waiting a
    // little for more after a taken one. A message box's loop may enter it
    // again from inside a call.
    Q_INVOKABLE void serve();

    static constexpr std::size_t kMostTaken = 4;
    const std::chrono::microseconds m_linger;
    mutable std::mutex m_mutex;
    // Signals a caller's release, and a call for a lingering window's thread.
    std::condition_variable m_changed;
    bool m_cancelled = false;
    bool m_closed = false;
    std::deque<std::shared_ptr<Call>> m_waiting;
};
