#include "tests/support/SendRecorder.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_mutex;
std::vector<Ipv4Endpoint> g_sent;

using SendTo = ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t);

SendTo realSendTo()
{
    static const SendTo real = reinterpret_cast<SendTo>(::dlsym(RTLD_NEXT, "sendto"));
    return real;
}

} // namespace

extern "C" ssize_t sendto(int fd, const void* data, size_t length, int flags, const sockaddr* to, socklen_t toLength)
{
    if (to && to->sa_family == AF_INET && toLength >= sizeof(sockaddr_in)) {
        sockaddr_in in {};
        std::memcpy(&in, to, sizeof in);
        {
            const std::lock_guard<std::mutex> lock(g_mutex);
            g_sent.push_back(Ipv4Endpoint { in.sin_addr.s_addr, ntohs(in.sin_port) });
        }
        if ((ntohl(in.sin_addr.s_addr) >> 24) != 127) {
            errno = EACCES;
            return -1;
        }
    }
    return realSendTo()(fd, data, length, flags, to, toLength);
}

void SendRecorder::clear()
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    g_sent.clear();
}

std::vector<Ipv4Endpoint> SendRecorder::destinations()
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    return g_sent;
}
