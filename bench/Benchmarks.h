#pragma once

// Each benchmark prints its own rows (figure, measured, target) and returns
// false when a target was missed.
namespace bench {

bool logAppendCost();
bool echoRoundTrip();
bool passRate();
// Printed within the pass-rate section.
bool decodeCost();
bool windowTrip();
bool stopLatency();
bool peerRegistration();
bool startupAndFootprint(const char* probePath);

} // namespace bench
