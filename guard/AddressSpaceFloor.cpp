#include "guard/AddressSpaceFloor.h"

#include <sys/resource.h>

std::string AddressSpaceFloor::problem(unsigned long neededKiB)
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur / 1024 >= neededKiB)
        return std::string();
    return "quorlin: too little address space (limit " + std::to_string(limit.rlim_cur / 1024)
           + " KiB): raise it to at least " + std::to_string(neededKiB) + " KiB";
}
