#include "tests/support/Resources.h"

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

template <class Visit> void forEachEntry(const char* directory, Visit visit)
{
    if (DIR* dir = ::opendir(directory)) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                visit(std::string(entry->d_name));
        }
        ::closedir(dir);
    }
}

} // namespace

Resources Resources::now()
{
    Resources r;
    forEachEntry("/proc/self/fd", [&r](const std::string& fd) {
        char link[64] = {};
        const std::string path = "/proc/self/fd/" + fd;
        if (::readlink(path.c_str(), link, sizeof link - 1) > 0 && std::string(link).rfind("socket:", 0) == 0)
            ++r.sockets;
    });
    forEachEntry("/proc/self/task", [&r](const std::string& tid) {
        std::ifstream comm("/proc/self/task/" + tid + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name != "Thread (pooled)")
            ++r.threads;
    });
    return r;
}

int Resources::allThreads()
{
    int count = 0;
    forEachEntry("/proc/self/task", [&count](const std::string&) { ++count; });
    return count;
}

int Resources::allDescriptors()
{
    int count = 0;
    forEachEntry("/proc/self/fd", [&count](const std::string&) { ++count; });
    return count;
}

long Resources::residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            long kib = 0;
            fields >> kib;
            return kib;
        }
    }
    return 0;
}

std::string Resources::describe() const
{
    return std::to_string(sockets) + " sockets, " + std::to_string(threads) + " threads";
}
