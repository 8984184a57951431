#include "mysql/client/MyMetaDataUni.h"

#include "base/Format.h"
#include "base/Text.h"

#include <algorithm>
#include <set>

namespace tabellix {

namespace {

// The most rows a list of databases or tables keeps, against a server that never ends one.
constexpr int MaxListedRows = 100000;

// A name as the user may give it, backquoted or not, without its quotes.
std::string NormalizeName(const std::string& name) {
    if (name.size() >= 2 && name.front() == '`' && name.back() == '`')
        return name.substr(1, name.size() - 2);
    return name;
}

// A text literal: single quotes around, inner ones doubled.
std::string Quoted(const std::string& value) {
    std::string out = "'";
    for (char c : value)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

void AppendCondition(std::string& condition, const std::string& part) {
    if (!condition.empty())
        condition += " AND ";
    condition += part;
}

// TABLE_TYPE=a,b: trimmed, upper-cased, without empty pieces and repeats,
// sorted, each quoted.
std::string TypeList(const std::string& types) {
    std::set<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t comma = types.find(',', start);
        const std::string piece = AsciiUpper(Trim(types.substr(start, comma - start)));
        if (!piece.empty())
            pieces.insert(piece);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::string list;
    for (const std::string& piece : pieces)
        list += (list.empty() ? "" : ", ") + Quoted(piece);
    return list;
}

} // namespace

TMySQLMetaData::TMySQLMetaData() : TCRMetaData(std::make_unique<TMySQLRecordset>()) {}

std::unique_ptr<TCRMetaData> TMySQLMetaData::Create() {
    return std::make_unique<TMySQLMetaData>();
}

TMySQLRecordset& TMySQLMetaData::Records() {
    return static_cast<TMySQLRecordset&>(RecordSet());
}

void TMySQLMetaData::AttachRecordSet(TCRConnection* connection, TCRTransaction*) {
    FConnection = dynamic_cast<TMySQLConnection*>(connection);
    if (!FConnection)
        throw EAssertionFailed("TMySQLMetaData needs a TMySQLConnection");
    Records().SetConnection(FConnection);
}

void TMySQLMetaData::RunStatement(const std::string& sql) {
    Records().Close();
    Records().SetSQL(sql);
    Records().SetMaxRows(MaxListedRows);
    Records().Open();
}

TMemData& TMySQLMetaData::GetDatabases(const TStringList&) {
    RunStatement("SHOW DATABASES");
    CreateTextFields({{"DATABASE_NAME", 100}});
    for (int i = 0; i < Records().RecordCount(); ++i) {
        TRecordBuffer record = MemData().AppendRecord();
        const Variant name = Records().GetFieldAsVariant(i, 0);
        if (!name.IsNull())
            PutText(record, 0, name.AsString());
    }
    Records().Close();
    return MemData();
}

TMemData& TMySQLMetaData::GetTables(const TStringList& restrictions) {
    if (FConnection->ServerPrimaryVer() >= 5)
        return GetTablesFromSchema(restrictions);
    return ShowTables(restrictions);
}

TMemData& TMySQLMetaData::GetTablesFromSchema(const TStringList& restrictions) {
    std::string condition;
    const std::string schema = Restriction(restrictions, "TABLE_SCHEMA");
    if (AsciiUpper(Restriction(restrictions, "SCOPE")) == "LOCAL")
        condition = "TABLE_SCHEMA = DATABASE()";
    else if (!schema.empty())
        condition = "TABLE_SCHEMA " + Operator() + " " + Quoted(NormalizeName(schema));
    const std::string table = Restriction(restrictions, "TABLE_NAME");
    if (!table.empty())
        AppendCondition(condition, "TABLE_NAME " + Operator() + " " + Quoted(NormalizeName(table)));
    const std::string types = TypeList(Restriction(restrictions, "TABLE_TYPE"));
    if (!types.empty())
        AppendCondition(condition, "TABLE_TYPE IN (" + types + ")");
    if (!condition.empty())
        condition = "WHERE " + condition;
    RunStatement(Format("SELECT cast('' as char(1)) TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, "
                        "TABLE_TYPE FROM information_schema.TABLES %s ORDER BY TABLE_SCHEMA, "
                        "TABLE_NAME ",
                        {condition}));
    return Records();
}

TMemData& TMySQLMetaData::ShowTables(const TStringList& restrictions) {
    CreateTextFields(
        {{"TABLE_CATALOG", 100}, {"TABLE_SCHEMA", 100}, {"TABLE_NAME", 100}, {"TABLE_TYPE", 50}});
    if (FConnection->Database().empty())
        return MemData();
    const std::string schema = NormalizeName(Restriction(restrictions, "TABLE_SCHEMA"));
    RunStatement(schema.empty() ? "SHOW TABLES" : "SHOW TABLES FROM " + schema);
    for (int i = 0; i < Records().RecordCount(); ++i) {
        TRecordBuffer record = MemData().AppendRecord();
        PutText(record, 2, Records().GetFieldAsVariant(i, 0).AsString());
        PutText(record, 1, schema.empty() ? FConnection->Database() : schema);
    }
    Records().Close();
    return MemData();
}

} // namespace tabellix
