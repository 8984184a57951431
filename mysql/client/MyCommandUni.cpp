// TMySQLCommand: one statement sent as text, its results drained or held,
// and the break through a second connection.
#include "base/Format.h"
#include "base/Text.h"
#include "mysql/client/MyClassesUni.h"
#include "mysql/protocol/MySqlSessionUni.h"

namespace tabellix {

void TMySQLCommand::SetConnection(TCRConnection* connection) {
    // Each execution hands the connection again; it was checked when stored.
    if (connection == GetConnection())
        return;
    auto* mysql = dynamic_cast<TMySQLConnection*>(connection);
    if (connection && !mysql)
        throw EAssertionFailed("TMySQLCommand: not a MySQL connection");
    TCRCommand::SetConnection(connection);
    FConnection = mysql;
}

void TMySQLCommand::Prepare() {
    throw ENotSupportedException("Prepared MySQL statements are not supported");
}

void TMySQLCommand::SetSQL(const std::string& text) {
    if (!FFillParamPosition)
        FParamPositions.clear();
    TCRCommand::SetSQL(text);
}

namespace {

// True when every ":" of sql lies inside a single-quoted string and nothing
// outside the strings could open a comment, an identifier or another kind of
// string: then the scan would find no marker. The inserts of a transfer,
// whose values often hold times, are such texts.
bool ColonsOnlyInStrings(std::string_view sql) {
    for (size_t i = 0; i < sql.size(); ++i) {
        switch (sql[i]) {
        case '\'': {
            const size_t end = SkipEscapedQuoted(sql, i, '\'');
            if (end == std::string_view::npos)
                return false;
            i = end - 1;
            break;
        }
        case ':':
        case '"':
        case '`':
        case '#':
            return false;
        case '-':
        case '/':
            if (sql.substr(i, 2) == "--" || sql.substr(i, 2) == "/*")
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

} // namespace

std::string TMySQLCommand::ParseSQL(const std::string& sql, TParamDescs* params) {
    if (ColonsOnlyInStrings(sql)) {
        if (params)
            params->clear();
        return sql;
    }
    return TCRCommand::ParseSQL(sql, params);
}

void TMySQLCommand::Execute(int) {
    if (FCursorState != TCursorState::csInactive && FCursorState != TCursorState::csPrepared)
        return;
    if (!FConnection || !FConnection->Handle())
        throw EAssertionFailed("TMySQLCommand.Execute: the connection is not open");
    FCanReadParams = false;
    FIsSelectParams = false;
    const TCursorState previous = FCursorState;
    TMySQLAPI& api = *FConnection->API();
    api.SetTimeout(FConnection->Handle(), FCommandTimeout);
    FConnection->Handle()->SetSkipPacket(FStoredProc);
    {
        std::lock_guard<std::mutex> lock(FBreakExecCS);
        SetExecuting(true);
        FWaitForBreak = false;
    }
    FCursorState = TCursorState::csExecuting;
    try {
        ExecuteText();
    } catch (...) {
        EndExecute();
        if (FCursorState != TCursorState::csInactive)
            FCursorState = previous;
        if (AfterExecute())
            AfterExecute()(false);
        if (FWaitForBreak)
            throw EAbort("Operation aborted");
        throw;
    }
    EndExecute();
    if (AfterExecute())
        AfterExecute()(true);
}

// Under the break lock, so that a break never targets a finished statement.
void TMySQLCommand::EndExecute() {
    if (!FSQLResult)
        FCursorState = TCursorState::csInactive;
    std::lock_guard<std::mutex> lock(FBreakExecCS);
    SetExecuting(false);
}

void TMySQLCommand::ExecuteText() {
    TMySQLAPI& api = *FConnection->API();
    PMYSQL mysql = FConnection->Handle();
    if (!FOpenNext) {
        if (GetParamCount() > 0 && SQL().find('?') != std::string::npos)
            throw ENotSupportedException("Parameter values in MySQL statements are not supported");
        if (FOnExecute)
            FOnExecute(SQL());
        const std::string ansi = FConnection->UseUnicode() ? std::string() : TextToAnsi(SQL());
        const std::string& bytes = FConnection->UseUnicode() ? SQL() : ansi;
        FConnection->Check(api.mysql_real_query(mysql, bytes.data(), bytes.size()), Component());
    }
    ShiftRowsAffected();
    FCursorState =
        api.mysql_field_count(mysql) != 0 ? TCursorState::csExecuted : TCursorState::csInactive;
    if (!FRequestResultset)
        DrainResults();
    else if (!FOpenNext)
        TakeResult();
}

void TMySQLCommand::ShiftRowsAffected() {
    FRowsAffectedPrev = FRowsAffected;
    FRowsAffected = static_cast<int>(
        static_cast<uint32_t>(FConnection->API()->mysql_affected_rows(FConnection->Handle())));
}

// Rows of every result are read and dropped, so the connection is ready for
// the next statement; a later statement's error is raised.
void TMySQLCommand::DrainResults() {
    TMySQLAPI& api = *FConnection->API();
    PMYSQL mysql = FConnection->Handle();
    PMYSQL_RES result = api.mysql_use_result(mysql);
    mysql->SetSkipPacket(false);
    if (result)
        api.mysql_free_result(result);
    if (!FConnection->IsClient41())
        return;
    int status;
    while ((status = api.mysql_next_result(mysql)) == 0) {
        result = api.mysql_use_result(mysql);
        if (result)
            api.mysql_free_result(result);
    }
    if (status > 0)
        FConnection->MySQLError(Component());
}

// Leading results without rows are skipped to the first result set.
void TMySQLCommand::TakeResult() {
    TMySQLAPI& api = *FConnection->API();
    PMYSQL mysql = FConnection->Handle();
    FSQLResult = api.mysql_use_result(mysql);
    FConnection->Check(Component());
    if (!FConnection->IsClient41() || !api.mysql_more_results(mysql))
        return;
    while (!FSQLResult) {
        const int status = api.mysql_next_result(mysql);
        if (status > 0) {
            FCursorState = TCursorState::csInactive;
            FConnection->MySQLError(Component());
        }
        if (status < 0)
            return;
        ShiftRowsAffected();
        FSQLResult = api.mysql_use_result(mysql);
        FConnection->Check(Component());
    }
    FCursorState = TCursorState::csExecuted;
}

void TMySQLCommand::BreakExec() {
    std::lock_guard<std::mutex> lock(FBreakExecCS);
    if (!Executing())
        return;
    FWaitForBreak = true;
    TMySQLConnection killer;
    killer.Assign(*FConnection);
    killer.Connect("");
    const std::string kill = Format("KILL %u", {FConnection->GetThreadId()});
    killer.API()->mysql_real_query(killer.Handle(), kill.data(), kill.size());
}

bool TMySQLCommand::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prCanReadParams:
        FCanReadParams = value.AsBoolean();
        return true;
    case prIsStoredProc:
        FStoredProc = value.AsBoolean();
        return true;
    case prCommandTimeout:
        FCommandTimeout = value.AsInteger();
        return true;
    case prParamPosition:
        FParamPositions.push_back(value.AsInteger());
        return true;
    case prFillParamPosition:
        FFillParamPosition = value.AsBoolean();
        if (FFillParamPosition)
            FParamPositions.clear();
        return true;
    case prOpenNext:
        FOpenNext = value.AsBoolean();
        return true;
    default:
        return TCRCommand::SetProp(prop, value);
    }
}

bool TMySQLCommand::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prRowsAffected:
        value = FRowsAffected < 0 ? 0 : FRowsAffected;
        return true;
    case prCanReadParams:
        value = FCanReadParams;
        return true;
    case prIsSelectParams:
        value = FIsSelectParams;
        return true;
    case prCommandTimeout:
        value = FCommandTimeout;
        return true;
    default:
        return TCRCommand::GetProp(prop, value);
    }
}

} // namespace tabellix
