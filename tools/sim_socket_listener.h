#pragma once
// The Unix-domain socket a simulated USB cable listens on, for the window or
// `log` to plug into as if the cable were attached.

#include <string>

// A listening, close-on-exec socket at PATH, or -1 with ERROR set. A socket
// file left by a simulator that died is taken over; a live one is not.
int listenOnSimSocket(const std::string& path, std::string& error);
