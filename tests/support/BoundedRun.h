// A body run in a forked child under a time bound and, where asked, an
// address-space limit, so that a regression fails its case instead of
// taking the machine.
#pragma once

#include <functional>
#include <string>

namespace tabellix::test {

struct TBoundedRun {
    bool TimedOut = false;
    std::string Outcome; // "ok: ..." or "error: <message>", or "out of memory"
    double Seconds = 0;
};

// Runs body in a child killed after seconds, under memoryMiB of address space
// (0: no limit; none either under AddressSanitizer or ThreadSanitizer, whose
// shadow memory no such limit admits); its outcome comes back through a pipe.
TBoundedRun RunBounded(const std::function<std::string()>& body, int seconds, long memoryMiB);

} // namespace tabellix::test
