#include "dataaccess/MySQLUniProvider.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"
#include "crbase/MyParserUni.h"
#include "mysql/client/MyClassesUni.h"
#include "mysql/client/MyMetaDataUni.h"

namespace tabellix {

namespace {

const char* const kConnection = "TMySQLConnection";
const char* const kParameters = "TMyConnectionParameters";
const char* const kDialog = "TMyConnectDialogService";
const char* const kCommand = "TMySQLCommand";
const char* const kRecordset = "TMySQLRecordset";
const char* const kDataSetService = "TCustomMyDataSetService";

std::unique_ptr<TCRConnection> NewConnection() {
    return std::make_unique<TMySQLConnection>();
}
std::unique_ptr<TCRCommand> NewCommand() {
    return std::make_unique<TMySQLCommand>();
}
std::unique_ptr<TUniSqlFormatter> NewFormatter() {
    return std::make_unique<TMySqlFormatter>();
}

template <class Option, class... Extra>
void Add(TOptionsList& list, const char* name, int code, std::vector<std::string> classes,
         Variant defaultValue, Extra&&... extra) {
    list.Add(std::make_unique<Option>(name, code, std::move(classes), std::move(defaultValue),
                                      std::forward<Extra>(extra)...));
}

} // namespace

const std::vector<std::string>& MyProtocolNames() {
    static const std::vector<std::string> names = {"mpDefault", "mpTCP", "mpSocket", "mpPipe",
                                                   "mpMemory",  "mpSSL", "mpHttp"};
    return names;
}

std::unique_ptr<TUniProvider> TMySQLUniProvider::Create() {
    return std::make_unique<TMySQLUniProvider>();
}

bool TMySQLUniProvider::IsFatalError(const Exception& error) const {
    const auto* mysqlError = dynamic_cast<const EMyError*>(&error);
    return mysqlError && mysqlError->IsFatalError();
}

TCRConnectionClass TMySQLUniProvider::GetConnectionClass() const {
    return &NewConnection;
}
TCRCommandClass TMySQLUniProvider::GetCommandClass() const {
    return &NewCommand;
}
TParserClass TMySQLUniProvider::GetParserClass() const {
    return &TMyParser::Create;
}
TSqlFormatterClass TMySQLUniProvider::GetSqlFormatterClass() const {
    return &NewFormatter;
}
TCRMetaDataClass TMySQLUniProvider::GetMetaDataClass() const {
    return &TMySQLMetaData::Create;
}

void TMySQLUniProvider::SetObjectProps(TCRConnection& connection, const TStringList& options) {
    if (connection.ClassName() == "TMySQLConnection")
        connection.SetProp(prCheckPrecision, true);
    TUniProvider::SetObjectProps(connection, options);
}

void TMySQLUniProvider::CreateConnectionOptions(TOptionsList& list) {
    const std::vector<std::string> cp = {kConnection, kParameters};
    Add<TIntegerOption>(list, "ConnectionTimeout", 1001, cp, Variant(15));
    Add<TStringOption>(list, "Charset", 1009, cp, Variant(""));
    Add<TBooleanOption>(list, "UseUnicode", 1018, cp, Variant(false));
    Add<TBooleanOption>(list, "OptimizedBigint", 1033, {kConnection}, Variant(false));
    Add<TBooleanOption>(list, "NullForZeroBaseDate", 1041, {kConnection}, Variant(false));
    Add<TBooleanOption>(list, "Compress", 1007, cp, Variant(false));
    Add<TEnumeratorOption>(list, "Protocol", 1011, cp, Variant(0), MyProtocolNames(), 0, 6);
    Add<TBooleanOption>(list, "Embedded", 1030, {kConnection, kParameters, kDialog},
                        Variant(false));
    Add<TBooleanOption>(list, "Direct", 1031, cp, Variant(true));
    Add<TStringOption>(list, "EmbeddedParams", 1019, cp, Variant(""));
    Add<TStringOption>(list, "SSLChipherList", 1020, cp, Variant(""));
    Add<TStringOption>(list, "SSLCACert", 1021, cp, Variant(""));
    Add<TStringOption>(list, "SSLKey", 1022, cp, Variant(""));
    Add<TStringOption>(list, "SSLCert", 1023, cp, Variant(""));
    Add<TBooleanOption>(list, "SSLVerify", 1042, cp, Variant(true));
    Add<TBooleanOption>(list, "GetServerPublicKey", 1043, cp, Variant(false));
    Add<TStringOption>(list, "ServerPublicKey", 1044, cp, Variant(""));
    Add<TIntegerOption>(list, "ReadTimeout", 1045, cp, Variant(60));
    Add<TBooleanOption>(list, "AllowOldPasswords", 1046, cp, Variant(false));
    Add<TIntegerOption>(list, "MaxPacketSize", 1048, cp, Variant(64 << 20));
}

void TMySQLUniProvider::CreateSQLOptions(TOptionsList& list) {
    Add<TIntegerOption>(list, "CommandTimeout", 1016, {kCommand}, Variant(0));
}

void TMySQLUniProvider::CreateDataSetOptions(TOptionsList& list) {
    Add<TBooleanOption>(list, "FetchAll", 22, {kRecordset}, Variant(true));
    Add<TIntegerOption>(list, "CommandTimeout", 1016, {kRecordset}, Variant(0));
    Add<TBooleanOption>(list, "FieldsAsString", 1005, {kRecordset}, Variant(false));
    Add<TBooleanOption>(list, "NullForZeroDate", 1006, {kRecordset}, Variant(true));
    Add<TBooleanOption>(list, "CheckRowVersion", 101, {kDataSetService}, Variant(false));
    Add<TBooleanOption>(list, "EnableBoolean", 1014, {kRecordset}, Variant(true));
    Add<TBooleanOption>(list, "CreateConnection", 1015, {kRecordset}, Variant(true));
    Add<TBooleanOption>(list, "BinaryAsString", 1034, {kRecordset}, Variant(true));
}

TMySqlFormatter::TMySqlFormatter() {
    static const std::pair<const char*, const char*> functions[] = {
        {"USER", "USER()"},
        {"CHAR_LENGTH", "CHAR_LENGTH(%s)"},
        {"LOCATE", "LOCATE(%s, %s)"},
        {"SUBSTRING", "SUBSTRING(%s, %s, %s)"},
        {"CONCAT", "CONCAT(%s, %s)"},
        {"CHAR", "CHAR(%s)"},
        {"TRIM", "TRIM(%s)"},
        {"TRUNCATE", "TRUNCATE(%s, %s)"},
        {"CEILING", "CEILING(%s)"},
        {"CURRENT_DATE", "CURRENT_DATE"},
        {"YEAR", "YEAR(%s)"},
        {"MONTH", "MONTH(%s)"},
        {"DAY", "EXTRACT(DAY FROM %s)"},
        {"DATEADD", "(%2:s + INTERVAL '%1:s' %0:s)"},
        {"__DATE_TIME_LITERAL", "CAST(%s AS DATETIME)"},
        {"__DATE_LITERAL", "CAST(%s AS DATE)"},
        {"__TIME_LITERAL", "CAST(%s AS TIME)"},
        {"TODATE", "CAST(%s AS DATETIME)"},
        {"TONUMBER", "CAST(%s AS DOUBLE)"},
        {"TOCHAR", "CAST(%s AS VARCHAR)"},
    };
    for (const auto& [name, format] : functions)
        AddFunction(name, format);
    static const std::pair<const char*, const char*> macros[] = {
        {"PROVIDER", "MySQL"}, {"MYSQL", ""},          {"DATETIME", "DATETIME"},
        {"DOUBLE", "DOUBLE"},  {"VARCHAR", "VARCHAR"},
    };
    for (const auto& [name, value] : macros)
        AddPredefinedMacro(name, value);
}

// DATEDIFF(unit, start, end): the server's TIMESTAMPDIFF takes the same
// arguments in the same order.
bool TMySqlFormatter::ConvertFunction(const std::string& name, const std::vector<std::string>& args,
                                      std::string& result) const {
    if (!SameText(name, "DATEDIFF"))
        return false;
    if (args.size() != 3)
        throw Exception(Format("Wrong argument count for function: %s", {name}));
    result = Format("TIMESTAMPDIFF(%s, %s, %s)", {Trim(args[0]), args[1], args[2]});
    return true;
}

} // namespace tabellix
