// The progress bar the dump draws on a terminal's standard error.
#pragma once

#include "engine/models.h"

#include <iosfwd>

namespace tabellix::cli {

class TTerminalProgress : public TProgressSink {
public:
    explicit TTerminalProgress(std::ostream& out) : FOut(out) {}
    ~TTerminalProgress() override;

    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void ProcessMessages() override {}

private:
    void Draw(int percent);

    std::ostream& FOut;
    int FMinimum = 0;
    int FMaximum = 0;
    int FShown = -1; // the percentage on screen, -1 before the first draw
};

} // namespace tabellix::cli
