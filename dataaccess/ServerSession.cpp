#include "dataaccess/ServerSession.h"

#include "base/Exception.h"
#include "dataaccess/Uni.h"
#include "mysql/client/MyClassesUni.h"
#include "mysql/protocol/MySqlLocalFile.h"
#include "mysql/protocol/MySqlSessionUni.h"

namespace tabellix {

namespace {

const std::vector<Variant> kNoParams{Variant::Null()};
// Where SaveMode keeps the mode: a variable of the session, so that it goes
// with the session it belongs to.
constexpr const char* kSavedMode = "@tabellix_sql_mode";

// Mode words are ours and never hold a quote.
std::string Literal(std::string_view word) {
    return "'" + std::string(word) + "'";
}

} // namespace

TServerMessage SplitServerMessage(const EDAError& error) {
    std::string text = error.Message();
    if (text.starts_with("\r\n"))
        text.erase(0, 2);
    std::string state = "HY000";
    if (text.size() >= 6 && text[0] == '#') {
        state = text.substr(1, 5);
        text.erase(0, 6);
    }
    return {std::move(state), std::move(text)};
}

bool IsClientCode(int code) {
    return code >= 2000 && code < 3000;
}

// NULLIF: an empty mode gets no leading comma.
std::string ModeWith(std::string_view mode, std::string_view word) {
    return "CONCAT_WS(',', NULLIF(" + std::string(mode) + ", ''), " + Literal(word) + ")";
}

// Commas around both, so that only the whole word goes.
std::string ModeWithout(std::string_view mode, std::string_view word) {
    return "TRIM(BOTH ',' FROM REPLACE(CONCAT(',', " + std::string(mode) + ", ','), " +
           Literal("," + std::string(word) + ",") + ", ','))";
}

std::string SetModeStatement(std::string_view mode) {
    return "SET SESSION sql_mode = " + std::string(mode);
}

TMySQLConnection* TServerSession::Connection() const {
    TCRConnection* connection = FCon.IConnection();
    if (!connection || connection->ClassName() != "TMySQLConnection")
        return nullptr;
    return static_cast<TMySQLConnection*>(connection);
}

TMySqlSession* TServerSession::Session() const {
    const TMySQLConnection* connection = Connection();
    return connection ? connection->Handle() : nullptr;
}

TMySqlSession& TServerSession::CheckSession() const {
    TMySqlSession* session = Session();
    if (!session)
        throw EAssertionFailed("TServerSession: no MySQL session");
    return *session;
}

bool TServerSession::Available() const {
    return Session() != nullptr;
}

bool TServerSession::Usable() const {
    const TMySqlSession* session = Session();
    return session && !session->IsClosed();
}

bool TServerSession::IsRefusal(const EDAError& error) const {
    const int code = error.ErrorCode();
    return code > 0 && !IsClientCode(code) && Usable();
}

std::optional<std::string> TServerSession::Value(const std::string& sql) {
    CheckSession();
    return Connection()->QueryValue(sql);
}

int TServerSession::WarningCount() const {
    return CheckSession().WarningCount();
}

std::vector<TServerWarning> TServerSession::Warnings() {
    CheckSession();
    TMySQLRecordset rs;
    rs.SetConnection(Connection());
    rs.SetProp(prFetchAll, true);
    rs.SetSQL("SHOW WARNINGS");
    rs.Open();
    std::vector<TServerWarning> warnings;
    for (int r = 0; r < rs.RecordCount(); ++r)
        warnings.push_back({rs.GetFieldAsVariant(r, 0).AsString(),
                            rs.GetFieldAsVariant(r, 1).AsInteger(),
                            rs.GetFieldAsVariant(r, 2).AsString()});
    rs.Close();
    return warnings;
}

std::string TServerSession::WarningState() {
    CheckSession();
    try {
        Exec("GET DIAGNOSTICS CONDITION 1 @tabellix_state = RETURNED_SQLSTATE");
    } catch (const EDAError& error) {
        if (!IsRefusal(error))
            throw;
        return "HY000";
    }
    return Connection()->QueryValue("SELECT @tabellix_state").value_or("HY000");
}

int64_t TServerSession::AffectedRows() const {
    return CheckSession().AffectedRows();
}

void TServerSession::LoadLocalRows(const std::string& statement, const std::string& name,
                                   std::string_view rows) {
    TMySqlSession& session = CheckSession();
    const TLocalRows local{name, rows};
    session.SetLocalRows(&local);
    try {
        Exec(statement);
    } catch (...) {
        session.SetLocalRows(nullptr);
        throw;
    }
    session.SetLocalRows(nullptr);
}

void TServerSession::SaveMode() {
    Exec(std::string("SET ") + kSavedMode + " = @@sql_mode");
}

void TServerSession::RestoreMode() {
    Exec(SetModeStatement(kSavedMode));
}

void TServerSession::AddMode(std::string_view word) {
    Exec(SetModeStatement(ModeWith("@@sql_mode", word)));
}

void TServerSession::RemoveMode(std::string_view word) {
    Exec(SetModeStatement(ModeWithout("@@sql_mode", word)));
}

void TServerSession::Exec(const std::string& sql) {
    FCon.ExecSQL(sql, kNoParams);
}

} // namespace tabellix
