#include "tests/support/BoundedRun.h"

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TABELLIX_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TABELLIX_UNDER_SANITIZER 1
#endif
#endif

namespace tabellix::test {
namespace {

#ifdef TABELLIX_UNDER_SANITIZER
constexpr bool kMemoryLimits = false;
#else
constexpr bool kMemoryLimits = true;
#endif

} // namespace

TBoundedRun RunBounded(const std::function<std::string()>& body, int seconds, long memoryMiB) {
    int fds[2];
    if (pipe(fds) != 0)
        return {false, "pipe failed", 0};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (memoryMiB > 0 && kMemoryLimits) {
            const rlim_t bytes = static_cast<rlim_t>(memoryMiB) << 20;
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_AS, &limit);
        }
        std::string outcome;
        try {
            outcome = "ok: " + body();
        } catch (const std::bad_alloc&) {
            outcome = "out of memory";
        } catch (const std::exception& e) {
            outcome = std::string("error: ") + e.what();
        }
        const ssize_t written = write(fds[1], outcome.data(), outcome.size());
        _exit(written < 0 ? 2 : 0);
    }
    close(fds[1]);
    TBoundedRun run;
    const auto deadline = start + std::chrono::seconds(seconds);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd ready{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) == 0) {
            run.TimedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.Outcome.append(buffer, static_cast<size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

} // namespace tabellix::test
