#include "crbase/CRAccess.h"

#include "base/Format.h"
#include "base/Text.h"

#include <algorithm>
#include <chrono>

namespace tabellix {
namespace {

// A hook that asks for a reconnect on every attempt must not hold the
// caller forever.
constexpr int kMaxReconnectAttempts = 10;

[[noreturn]] void UnknownProp(int prop) {
    throw EAssertionFailed(Format("%d", {prop}));
}

[[noreturn]] void IndexError(int index) {
    throw EArgumentException(Format("List index out of bounds (%d)", {index}));
}

uint32_t TickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// Sets a flag for the lifetime of the guard.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : FFlag(flag), FSaved(flag) { FFlag = true; }
    ~FlagGuard() { FFlag = FSaved; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& FFlag;
    bool FSaved;
};

} // namespace

EFailOver::EFailOver(TFailOverOperation operation)
    : Exception("The connection was re-established; the operation is to be repeated"),
      FOperation(operation) {}

std::unique_ptr<TParamDesc> TParamDesc::Create() {
    return std::make_unique<TParamDesc>();
}

std::unique_ptr<TSQLInfo> TSQLInfo::Create() {
    return std::make_unique<TSQLInfo>();
}

bool TSQLInfo::IsQuoted(std::string_view name) const {
    return name.size() >= 2 && name.front() == LeftQuote() && name.back() == RightQuote();
}

std::string TSQLInfo::UnQuote(std::string_view name) const {
    return std::string(IsQuoted(name) ? name.substr(1, name.size() - 2) : name);
}

void TCRTransaction::AddConnection(TCRConnection* connection) {
    if (std::find(FConnections.begin(), FConnections.end(), connection) == FConnections.end())
        FConnections.push_back(connection);
}

void TCRTransaction::RemoveConnection(TCRConnection* connection) {
    std::erase(FConnections, connection);
}

TCRConnection* TCRTransaction::GetConnection(int index) const {
    if (index < 0 || index >= ConnectionCount())
        IndexError(index);
    return FConnections[static_cast<size_t>(index)];
}

// ---- TCRConnection

TCRConnection::~TCRConnection() {
    if (FInternalTransaction)
        FInternalTransaction->RemoveConnection(this);
}

void TCRConnection::Enlist(TCRTransaction*) {
    throw ENotSupportedException("MS DTC transactions not supported");
}

void TCRConnection::UnEnlist(TCRTransaction*) {
    throw ENotSupportedException("MS DTC transactions not supported");
}

// The whole dispatch, reconnect included, runs with FInProcessError set, so
// an error raised by the hook or by the reconnect does not dispatch again.
void TCRConnection::DoError(const Exception& error, bool& fail) {
    if (FInProcessError)
        return;
    FlagGuard guard(FInProcessError);
    for (int attempt = 0; attempt < kMaxReconnectAttempts; ++attempt) {
        TFailOverOperation operation = TFailOverOperation::Unknown;
        bool retry = false;
        bool reconnect = attempt > 0;
        if (FOnError)
            FOnError(error, fail, attempt, operation, retry, reconnect);
        if (!reconnect) {
            if (attempt > 0)
                NotifyReconnectError();
            return;
        }
        if (Reconnect(attempt)) {
            if (retry)
                throw EFailOver(operation);
            return;
        }
    }
    NotifyReconnectError();
}

bool TCRConnection::Reconnect(int attempt) {
    FReconnected = false;
    if (attempt == 0) {
        try {
            Disconnect();
        } catch (const Exception&) {
            // The old connection is gone either way.
        }
    }
    try {
        Connect("");
        FReconnected = true;
    } catch (const Exception&) {
        return false;
    }
    if (FOnReconnectSuccess) {
        try {
            FOnReconnectSuccess();
        } catch (const Exception&) {
            // A notification must not undo the reconnect.
        }
    }
    return true;
}

void TCRConnection::NotifyReconnectError() {
    if (!FOnReconnectError)
        return;
    FlagGuard connected(FConnected);
    try {
        FOnReconnectError();
    } catch (const Exception&) {
        // The caller raises its own error next.
    }
}

void TCRConnection::Connect(const std::string&) {
    FConnectionTime = TickCount();
    FIsValid = true;
}

void TCRConnection::Assign(const TCRConnection& source) {
    FServer = source.FServer;
    FUsername = source.FUsername;
    FPassword = source.FPassword;
    FEnableBCD = source.FEnableBCD;
    FEnableFMTBCD = source.FEnableFMTBCD;
    FOnError = source.FOnError;
}

void TCRConnection::SetConnected(bool value) {
    if (value)
        Connect("");
    else
        Disconnect();
}

TCRTransaction* TCRConnection::GetInternalTransaction() {
    if (!FInternalTransaction) {
        FInternalTransaction = GetTransactionClass()();
        FInternalTransaction->AddConnection(this);
    }
    return FInternalTransaction.get();
}

bool TCRConnection::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prAutoCommit:
        FAutoCommit = value.AsBoolean();
        return true;
    case prConvertEOL:
        FConvertEOL = value.AsBoolean();
        return true;
    case prDisconnectedMode:
        FDisconnectedMode = value.AsBoolean();
        return true;
    case prDatabase:
    case prPort:
        return true;
    case prEnableBCD:
        FEnableBCD = value.AsBoolean();
        return true;
    case prEnableFMTBCD:
        FEnableFMTBCD = value.AsBoolean();
        return true;
    case prDefaultSortType:
        FDefaultSortType = static_cast<TSortType>(value.AsInteger());
        return true;
    default:
        UnknownProp(prop);
    }
}

bool TCRConnection::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prUsername:
        value = FUsername;
        return true;
    // Code 40 has no name of its own: the base answers 0 for it, as it does
    // for the last insert id, which the provider connections answer themselves.
    case 40:
    case prLastInsertId:
        value = int32_t{0};
        return true;
    default:
        UnknownProp(prop);
    }
}

// ---- TCRCommand

TSQLInfo& TCRCommand::SQLInfo() {
    if (!FSQLInfo)
        FSQLInfo = GetSQLInfoClass()();
    return *FSQLInfo;
}

void TCRCommand::SetSQL(const std::string& text) {
    if (text == FUserSQL)
        return;
    FUserSQL = text;
    ScanUserSQL();
}

// A text that fails to scan is forgotten, so that setting it again retries
// instead of keeping the previous text's result.
void TCRCommand::ScanUserSQL() {
    if (FDisableParamScan) {
        FSQL = FUserSQL;
        return;
    }
    try {
        FSQL = ParseSQL(FUserSQL, FScanParams ? &FParams : nullptr);
    } catch (const Exception&) {
        FUserSQL.clear();
        FSQL.clear();
        throw;
    }
}

std::string TCRCommand::ParseSQL(const std::string& sql, TParamDescs* params) {
    std::unique_ptr<TParser> parser = GetParserClass()(sql);
    if (params)
        params->clear();
    parser->SetOmitBlank(false);
    parser->SetOmitComment(true);
    parser->SetQuotedString(true);
    parser->SetDecSeparator(".");
    std::string result;
    result.reserve(sql.size() + sql.size() / 2);
    size_t copyPos = 0;
    while (parser->ToLexem(":")) {
        result.append(sql, copyPos, static_cast<size_t>(parser->PrevPos()) - copyPos);
        ParseSQLParam(result, *parser, params);
        copyPos = static_cast<size_t>(parser->CurrPos());
    }
    result.append(sql, copyPos);
    return result;
}

// A marker is ":" directly followed by a name, or by "@" and a name. Anything
// else, a comment between them included, is copied back unchanged.
bool TCRCommand::ParseSQLParam(std::string& result, TParser& parser, TParamDescs* params) {
    const size_t colon = static_cast<size_t>(parser.CurrPos()) - 1;
    size_t expected = colon + 1;
    std::string lexem;
    int code = parser.GetNext(lexem);
    bool at = code != lcString && lexem == "@" && static_cast<size_t>(parser.PrevPos()) == expected;
    if (at) {
        expected = static_cast<size_t>(parser.CurrPos());
        code = parser.GetNext(lexem);
    }
    bool isName = (code == lcIdent || code == lcNumber || parser.LexemIsKeyword()) &&
                  static_cast<size_t>(parser.PrevPos()) == expected;
    if (!isName || !params) {
        result.append(parser.Text(), colon, static_cast<size_t>(parser.CurrPos()) - colon);
        return false;
    }
    auto& desc = params->emplace_back(GetParamDescType()());
    desc->SetName(SQLInfo().UnQuote(at ? "@" + lexem : lexem));
    result += '?';
    return true;
}

TParamDesc* TCRCommand::AddParam() {
    return FParams.emplace_back(GetParamDescType()()).get();
}

void TCRCommand::DeleteParam(int index) {
    if (index < 0 || index >= GetParamCount())
        IndexError(index);
    FParams.erase(FParams.begin() + index);
}

TParamDesc* TCRCommand::GetParam(int index) const {
    if (index < 0 || index >= GetParamCount())
        IndexError(index);
    return FParams[static_cast<size_t>(index)].get();
}

TParamDesc* TCRCommand::FindParam(std::string_view name) const {
    for (const auto& p : FParams) {
        if (SameText(p->Name(), name))
            return p.get();
    }
    return nullptr;
}

bool TCRCommand::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prAutoCommit:
        FAutoCommit = value.AsBoolean();
        return true;
    case prScanParams: {
        bool was = FScanParams;
        FScanParams = value.AsBoolean();
        if (FScanParams && !was && !FUserSQL.empty())
            ScanUserSQL();
        return true;
    }
    case prCompressBlobMode:
        FCompressBlob = static_cast<TCompressBlobMode>(value.AsInteger());
        return true;
    case prDisableParamScan:
        FDisableParamScan = value.AsBoolean();
        return true;
    case 33:
    case prCanReadParams:
    case prIsStoredProc:
        return true;
    case prQuoteNames:
        FQuoteNames = value.AsBoolean();
        return true;
    case prEnableBCD:
        FEnableBCD = value.AsBoolean();
        return true;
    case prEnableFMTBCD:
        FEnableFMTBCD = value.AsBoolean();
        return true;
    default:
        UnknownProp(prop);
    }
}

bool TCRCommand::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prExecuting:
        value = FExecuting;
        return true;
    case prCanReadParams:
        value = true;
        return true;
    case prIsSelectParams:
    case 54:
        value = false;
        return true;
    default:
        UnknownProp(prop);
    }
}

} // namespace tabellix
