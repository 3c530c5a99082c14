#pragma once

#include <cstdint>
#include <string>

// True when a socket could bind address:port right now, i.e. no other
// program holds that UDP port there (the wildcard address: anywhere).
// Tests on the program's fixed ports skip instead of failing when it is
// held.
bool udpPortFree(std::uint16_t port, const std::string& address = "0.0.0.0");
