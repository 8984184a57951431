#include "cli/interrupt.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace tabellix::cli {
namespace {

constexpr char kMessage[] = "tabellix-convert: interrupted\n";

volatile std::sig_atomic_t gSignal = 0;
// The temporary file to remove on a hard exit, valid while gHasTemporary.
volatile std::sig_atomic_t gHasTemporary = 0;
char gTemporary[PATH_MAX];

// Only async-signal-safe calls: the first signal is noted, the second ends
// the process.
extern "C" void OnSignal(int signal) {
    if (gSignal == 0) {
        gSignal = signal;
        return;
    }
    if (gHasTemporary)
        unlink(gTemporary);
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(128 + signal);
}

} // namespace

TInterruptScope::TInterruptScope() {
    gSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &FOldInt);
    sigaction(SIGTERM, &action, &FOldTerm);
}

TInterruptScope::~TInterruptScope() {
    sigaction(SIGINT, &FOldInt, nullptr);
    sigaction(SIGTERM, &FOldTerm, nullptr);
    gHasTemporary = 0;
}

void TInterruptibleProgress::SetRange(int minimum, int maximum) {
    if (FInner)
        FInner->SetRange(minimum, maximum);
}

void TInterruptibleProgress::SetPosition(int position) {
    if (FInner)
        FInner->SetPosition(position);
}

void TInterruptibleProgress::ProcessMessages() {
    if (FInner)
        FInner->ProcessMessages();
}

void TInterruptibleProgress::Created() {
    if (FInner)
        FInner->Created();
}

void TInterruptibleProgress::RowStarted(int row) {
    if (gSignal != 0)
        throw EInterrupted(gSignal);
    if (FInner)
        FInner->RowStarted(row);
}

void TInterruptibleProgress::RowWritten(int row) {
    if (FInner)
        FInner->RowWritten(row);
}

// The handler never sees a half-copied name: the flag is down while the
// name changes.
void TInterruptibleProgress::Temporary(const std::string& path) {
    gHasTemporary = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (path.empty() || path.size() >= sizeof gTemporary)
        return;
    std::memcpy(gTemporary, path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gHasTemporary = 1;
}

} // namespace tabellix::cli
