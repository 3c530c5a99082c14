#include "guard/DescriptorFloor.h"

#include "guard/Descriptors.h"

#include <sys/resource.h>

std::string DescriptorFloor::problem(int needed)
{
    const int free = Descriptors::freeUpTo(needed);
    if (free >= needed)
        return std::string();
    rlimit limit {};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    // Each step of the limit frees one number: the open ones stay where they are.
    return "quorlin: too few file descriptors (limit " + std::to_string(limit.rlim_cur) + "): raise it to at least "
           + std::to_string(limit.rlim_cur + static_cast<rlim_t>(needed - free));
}
