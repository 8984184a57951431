// What the benchmarks share: wall-clock timing and timing a peer command.
#pragma once

#include <chrono>
#include <cstdlib>
#include <string>

namespace tabellix::bench {

using TClock = std::chrono::steady_clock;

inline double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

// Runs a shell command; its wall-clock seconds, or -1 when it failed.
inline double TimeCommand(const std::string& command) {
    const auto start = TClock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return SecondsSince(start);
}

} // namespace tabellix::bench
