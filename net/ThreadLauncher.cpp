#include "net/ThreadLauncher.h"

std::thread ThreadLauncher::launch(std::function<void()> body)
{
    return std::thread(std::move(body));
}

ThreadLauncher& ThreadLauncher::system()
{
    static ThreadLauncher launcher;
    return launcher;
}
