#pragma once

#include "net/Ipv4Endpoint.h"

#include <vector>

// Linked into a test program, this replaces the C library's sendto for the
// whole process: every IPv4 destination is recorded, and only loopback
// destinations (127.0.0.0/8) are passed on to the real call; any other is
// refused with EACCES before it reaches the kernel. So a test can see what
// the program tried to send, and a wrong rule still sends nothing out.
class SendRecorder {
public:
    // Forgets what was recorded so far.
    static void clear();
    // The destinations of every sendto since the last clear(), in order.
    static std::vector<Ipv4Endpoint> destinations();
};
