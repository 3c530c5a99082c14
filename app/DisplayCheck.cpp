#include "app/DisplayCheck.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

bool connectUnix(const std::string& path, bool abstract)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (path.empty() || path.size() + offset >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

bool unixListening(const std::string& path)
{
    // Linux X servers listen on an abstract name as well as on the file.
    return connectUnix(path, false) || connectUnix(path, true);
}

bool tcpListening(const std::string& host, int port)
{
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool connected = false;
    for (const addrinfo* a = found; a && !connected; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return connected;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

bool DisplayCheck::parseX(const std::string& display, XAddress& out)
{
    const std::size_t colon = display.rfind(':');
    if (colon == std::string::npos || colon + 1 >= display.size())
        return false;
    out.host = display.substr(0, colon);
    if (out.host == "unix")
        out.host.clear();
    // A trailing ':' of a DECnet "host::N" is not a TCP host.
    if (!out.host.empty() && out.host.back() == ':')
        return false;
    const std::string rest = display.substr(colon + 1);
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 5 || (digits < rest.size() && rest[digits] != '.'))
        return false;
    out.number = std::stoi(rest.substr(0, digits));
    return true;
}

bool DisplayCheck::xReachable(const std::string& display, const Probe& probe)
{
    // A socket path given whole, as some systems' launchers set it.
    if (!display.empty() && display.front() == '/') {
        const std::size_t colon = display.rfind(':');
        return probe.unixSocket(display) || (colon != std::string::npos && probe.unixSocket(display.substr(0, colon)));
    }
    XAddress x;
    if (!parseX(display, x))
        return false;
    if (x.host.empty())
        return probe.unixSocket("/tmp/.X11-unix/X" + std::to_string(x.number));
    return probe.tcp(x.host, 6000 + x.number);
}

bool DisplayCheck::waylandReachable(const Session& session, const Probe& probe)
{
    if (session.waylandDisplay.empty())
        return false;
    if (session.waylandDisplay.front() == '/')
        return probe.unixSocket(session.waylandDisplay);
    return !session.runtimeDir.empty() && probe.unixSocket(session.runtimeDir + "/" + session.waylandDisplay);
}

std::string DisplayCheck::problem(const Session& session, const Probe& probe)
{
    // "xcb:option=value" names the platform before its options.
    const bool xOnly = session.platform.substr(0, session.platform.find(':')) == "xcb";
    if (!session.platform.empty() && !xOnly)
        return std::string();
    if (session.display.empty() && (xOnly || session.waylandDisplay.empty()))
        return xOnly ? "quorlin: no display: set DISPLAY" : "quorlin: no display: set DISPLAY or WAYLAND_DISPLAY";
    if (!xOnly && waylandReachable(session, probe))
        return std::string();
    if (!session.display.empty() && xReachable(session.display, probe))
        return std::string();
    if (!session.display.empty())
        return "quorlin: cannot connect to the display \"" + session.display + "\"";
    return "quorlin: cannot connect to the Wayland display \"" + session.waylandDisplay + "\"";
}

std::string DisplayCheck::problem(const Session& session)
{
    return problem(session, Probe { &unixListening, &tcpListening });
}

DisplayCheck::Session DisplayCheck::current(int argc, char** argv)
{
    Session session;
    session.display = environment("DISPLAY");
    session.waylandDisplay = environment("WAYLAND_DISPLAY");
    session.runtimeDir = environment("XDG_RUNTIME_DIR");
    session.platform = environment("QT_QPA_PLATFORM");
    // Qt reads "-platform NAME" and "--platform NAME"; the argument wins.
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            session.platform = argv[i + 1];
    return session;
}
