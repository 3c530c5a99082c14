#include "app/DescriptorFloor.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <vector>

int DescriptorFloor::freeUpTo(int enough)
{
    // Trying is the only count that also sees descriptors inherited open.
    std::vector<int> opened;
    while (static_cast<int>(opened.size()) < enough) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        opened.push_back(fd);
    }
    for (const int fd : opened)
        ::close(fd);
    return static_cast<int>(opened.size());
}

std::string DescriptorFloor::problem(int needed)
{
    if (freeUpTo(needed) >= needed)
        return std::string();
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return "quorlin: too few file descriptors (limit " + std::to_string(limit.rlim_cur) + "): " + std::to_string(needed)
           + " more are needed to start";
}
