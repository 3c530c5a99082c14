#pragma once

#include <QObject>

#include <functional>

// What a receive thread posts to the window's thread: a wake-up by name that
// carries no data, so every byte handed between the threads stays under the
// field operations' own lock, where ThreadSanitizer can see it.
class WakeUpTarget final : public QObject {
    Q_OBJECT
public:
    explicit WakeUpTarget(std::function<void()> onWake)
        : m_onWake(std::move(onWake))
    { }

    // Any thread: queues one call of the wake-up on this object's thread.
    void post();

    Q_INVOKABLE void wake();

private:
    const std::function<void()> m_onWake;
};
