#include "tests/support/PrivateNetwork.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

bool bringLoopbackUp()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request {};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

} // namespace

PrivateNetwork::PrivateNetwork()
{
    // The thread's own namespace, to come back to.
    m_home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    if (m_home < 0 || ::unshare(CLONE_NEWNET) != 0)
        return;
    m_entered = true;
    if (!bringLoopbackUp()) {
        // Keep the thread inside (it is harmless) but report failure.
        m_entered = false;
        ::setns(m_home, CLONE_NEWNET);
    }
}

PrivateNetwork::~PrivateNetwork()
{
    if (m_entered)
        ::setns(m_home, CLONE_NEWNET);
    if (m_home >= 0)
        ::close(m_home);
}

LoopbackPeer::Forged PrivateNetwork::sendForged(const std::string& bytes, const std::string& fromAddress,
    std::uint16_t fromPort, const std::string& toAddress, std::uint16_t toPort) const
{
    if (!m_entered)
        return LoopbackPeer::Forged::Failed;
    return LoopbackPeer::sendRaw(bytes, fromAddress, fromPort, toAddress, toPort);
}
