// SIGINT and SIGTERM while a command writes a file: the first asks the pass
// to stop at its next row, the second ends the process at once after
// removing the temporary file the pass has open.
#pragma once

#include "base/Exception.h"
#include "engine/models.h"

#include <csignal>
#include <string>

namespace tabellix::cli {

// A pass stopped by a signal; the command exits with 128 + Signal().
class EInterrupted : public EAbort {
public:
    explicit EInterrupted(int signal) : EAbort("interrupted"), FSignal(signal) {}
    int Signal() const { return FSignal; }
    std::string ClassName() const override { return "EInterrupted"; }

private:
    int FSignal;
};

// The handlers, installed for the object's lifetime; the ones before come
// back after it.
class TInterruptScope {
public:
    TInterruptScope();
    ~TInterruptScope();
    TInterruptScope(const TInterruptScope&) = delete;
    TInterruptScope& operator=(const TInterruptScope&) = delete;

private:
    struct sigaction FOldInt {};
    struct sigaction FOldTerm {};
};

// The gauge of a pass a signal may stop: forwards to inner (may be null),
// raises EInterrupted when a row starts after a signal, and tells the
// handlers the pass's temporary file.
class TInterruptibleProgress : public TProgressSink {
public:
    explicit TInterruptibleProgress(TProgressSink* inner) : FInner(inner) {}

    void SetRange(int minimum, int maximum) override;
    void SetPosition(int position) override;
    void ProcessMessages() override;
    void Created() override;
    void RowStarted(int row) override;
    void RowWritten(int row) override;
    void Temporary(const std::string& path) override;

private:
    TProgressSink* FInner;
};

} // namespace tabellix::cli
