#include "engine/strict_session.h"

#include "base/Format.h"

#include <vector>

namespace tabellix {

namespace {

// ER_UNKNOWN_ERROR: for warnings counted but not listed (max_error_count 0).
constexpr int kUnknownError = 1105;

} // namespace

void RefuseWarnings(TServerSession& session) {
    const int count = session.WarningCount();
    if (count == 0)
        return;
    const std::vector<TServerWarning> warnings = session.Warnings();
    if (warnings.empty())
        throw EWarnedRow(kUnknownError, "HY000",
                         Format("The server answered with %d warnings it does not list", {count}));
    throw EWarnedRow(warnings.front().Code, session.WarningState(), warnings.front().Message);
}

TStrictSession::TStrictSession(TServerSession& session) : FSession(session) {
    FSession.SaveMode();
    FSession.AddMode("STRICT_ALL_TABLES");
    FChanged = true;
}

TStrictSession::~TStrictSession() {
    // On the way out of a failed pass the error that ended it is the one to
    // report.
    if (!FChanged || !FSession.Usable())
        return;
    try {
        Restore();
    } catch (const Exception&) {
    }
}

void TStrictSession::Restore() {
    if (!FChanged)
        return;
    FChanged = false;
    FSession.RestoreMode();
}

} // namespace tabellix
