#include "guard/Descriptors.h"

#include <fcntl.h>
#include <unistd.h>

void Descriptors::openStandard()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0)
            continue;
        // Those below are open, so this is the lowest free number.
        if (::open("/dev/null", O_RDWR) < 0)
            return;
    }
}

std::vector<int> Descriptors::open(int count)
{
    std::vector<int> fds;
    fds.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    while (static_cast<int>(fds.size()) < count) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        fds.push_back(fd);
    }
    return fds;
}

void Descriptors::close(std::vector<int>& fds)
{
    for (const int fd : fds)
        ::close(fd);
    fds.clear();
}

int Descriptors::freeUpTo(int enough)
{
    std::vector<int> fds = open(enough);
    const int count = static_cast<int>(fds.size());
    close(fds);
    return count;
}
