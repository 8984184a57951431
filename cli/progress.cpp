#include "cli/progress.h"

#include <algorithm>
#include <ostream>
#include <string>

namespace tabellix::cli {

namespace {
constexpr int kWidth = 40;
}

TTerminalProgress::~TTerminalProgress() {
    if (FShown >= 0)
        FOut << "\n" << std::flush;
}

void TTerminalProgress::SetRange(int minimum, int maximum) {
    FMinimum = minimum;
    FMaximum = maximum;
}

void TTerminalProgress::SetPosition(int position) {
    const int span = std::max(1, FMaximum - FMinimum);
    const int done = std::clamp(position - FMinimum, 0, span);
    const int percent = static_cast<int>(static_cast<long long>(done) * 100 / span);
    // Redraw only when the figure changes, so a long sheet does not flood
    // the terminal.
    if (percent != FShown)
        Draw(percent);
}

void TTerminalProgress::Draw(int percent) {
    FShown = percent;
    const int filled = percent * kWidth / 100;
    FOut << "\r[" << std::string(static_cast<size_t>(filled), '#')
         << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "%"
         << std::flush;
}

} // namespace tabellix::cli
