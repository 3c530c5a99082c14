#include "guard/DescriptorFloor.h"

#include "guard/Descriptors.h"

#include <sys/resource.h>

std::string DescriptorFloor::problem(int needed)
{
    if (Descriptors::freeUpTo(needed) >= needed)
        return std::string();
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    return "quorlin: too few file descriptors (limit " + std::to_string(limit.rlim_cur) + "): " + std::to_string(needed)
           + " more are needed to start";
}
