// A transfer's session made strict for every table, so that the server
// refuses a bad value instead of storing it adjusted, and the warnings of a
// statement's answer taken as the refusal of its row.
#pragma once

#include "dataaccess/ServerSession.h"
#include "dataaccess/Uni.h"

#include <string>

namespace tabellix {

// A statement the server answered with warnings: the first warning's code,
// and a message in a server error's form ("\r\n#01000Data truncated ..."),
// so that it is refused, reported and printed as a strict server's refusal.
class EWarnedRow : public EDAError {
public:
    EWarnedRow(int code, const std::string& state, const std::string& text)
        : EDAError(code, "\r\n#" + state + text) {}
    std::string ClassName() const override { return "EWarnedRow"; }
};

// Raises EWarnedRow when the last statement's answer carries warnings.
void RefuseWarnings(TServerSession& session);

// STRICT_ALL_TABLES added to the session's sql_mode for the pass, whatever
// the server's default; the session's own mode given back by Restore, or
// when it goes out of scope while the session is still usable (a lost
// session is not opened again: a new one has its own mode).
class TStrictSession {
public:
    explicit TStrictSession(TServerSession& session);
    ~TStrictSession();
    TStrictSession(const TStrictSession&) = delete;
    TStrictSession& operator=(const TStrictSession&) = delete;

    void Restore();

private:
    TServerSession& FSession;
    bool FChanged = false;
};

} // namespace tabellix
