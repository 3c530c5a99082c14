#include "tests/support/FailingLauncher.h"

#include <cerrno>
#include <new>
#include <system_error>

std::thread FailingLauncher::launch(std::function<void()>)
{
    ++m_attempts;
    if (m_failure == Failure::NoThread)
        throw std::system_error(EAGAIN, std::generic_category());
    throw std::bad_alloc();
}
