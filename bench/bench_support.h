// What the benchmarks share: wall-clock timing, timing a peer command, and
// timing a whole process with its own peak memory.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

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

struct TProcessRun {
    double Seconds = 0;
    double PeakMB = 0; // the process's own, not the largest of all children
};

// Runs a program with its standard output discarded; nothing when it could
// not start or did not exit with 0.
inline std::optional<TProcessRun> RunProcess(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = TClock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return TProcessRun{SecondsSince(start), usage.ru_maxrss / 1024.0};
}

} // namespace tabellix::bench
