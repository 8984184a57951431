// TMySQLRecordset: opening a statement, describing its columns with the
// type map, fetching rows in batches into the record store, and closing
// results so the connection is ready for the next statement.
#include "base/Format.h"
#include "base/Text.h"
#include "mysql/client/MyClassesUni.h"
#include "mysql/protocol/MySqlCodes.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlSessionUni.h"

#include <cctype>
#include <charconv>
#include <utility>

namespace tabellix {
namespace {

const uint8_t NoBytes[1] = {0};

[[noreturn]] void BadValue(const std::string& text, const char* what) {
    throw EConvertError(Format("'%s' is not a valid %s", {text, what}));
}

bool IsBlobType(uint8_t type) {
    return (type >= MYSQL_TYPE_TINY_BLOB && type <= MYSQL_TYPE_BLOB) || type == MYSQL_TYPE_GEOMETRY;
}

TDataType Widened(TDataType type) {
    if (type == dtString)
        return dtWideString;
    if (type == dtMemo)
        return dtWideMemo;
    return type;
}

// BIT values arrive as their bytes, most significant first.
int64_t BitValue(const uint8_t* bytes, size_t length) {
    uint64_t value = 0;
    for (size_t i = 0; i < length && i < 8; ++i)
        value = (value << 8) | bytes[i];
    return static_cast<int64_t>(value);
}

double FloatValue(const std::string& text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        BadValue(text, "floating point value");
    return value;
}

// Reads up to `digits` decimal digits at `at`; false when there are none.
bool Number(const std::string& text, size_t& at, size_t digits, int& value) {
    size_t start = at;
    value = 0;
    while (at < text.size() && at - start < digits &&
           std::isdigit(static_cast<unsigned char>(text[at])))
        value = value * 10 + (text[at++] - '0');
    return at > start;
}

bool Expect(const std::string& text, size_t& at, char c) {
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

// Days from 1899-12-30 to the given civil date.
int64_t SerialDays(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t fromEpoch = static_cast<int64_t>(era) * 146097 + doe - 719468;
    return fromEpoch + 25569;
}

// "[-]H..H:MM:SS[.fraction]" as a fraction of days.
bool ParseClock(const std::string& text, size_t& at, double& days) {
    const bool negative = Expect(text, at, '-');
    int h = 0, m = 0, s = 0;
    if (!Number(text, at, 4, h) || !Expect(text, at, ':') || !Number(text, at, 2, m) ||
        !Expect(text, at, ':') || !Number(text, at, 2, s))
        return false;
    double seconds = h * 3600.0 + m * 60.0 + s;
    if (Expect(text, at, '.')) {
        double scale = 0.1;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            seconds += (text[at++] - '0') * scale;
            scale /= 10;
        }
    }
    days = (negative ? -seconds : seconds) / 86400.0;
    return true;
}

} // namespace

// Three-byte sequences and shorter only; each result is one 16-bit unit.
std::u16string DecodeUtf8Wide(const uint8_t* bytes, size_t length, size_t capacity) {
    std::u16string out;
    const size_t limit = capacity > 0 ? capacity - 1 : 0;
    size_t i = 0;
    while (i < length && out.size() < limit) {
        const uint8_t lead = bytes[i++];
        if (lead < 128) {
            out += static_cast<char16_t>(lead);
            continue;
        }
        uint32_t c = lead & 0x3F;
        if (lead & 0x20) {
            if (i >= length)
                throw EDAError("incomplete multibyte char");
            const uint8_t trail = bytes[i++];
            if ((trail & 0xC0) != 0x80)
                throw EDAError("malformed trail byte or out of range char");
            c = (c << 6) | (trail & 0x3F);
        }
        if (i >= length)
            throw EDAError("incomplete multibyte char");
        const uint8_t last = bytes[i++];
        if (last > 128 && (last & 0xC0) != 0x80)
            throw EDAError("malformed trail byte");
        c = (c << 6) | (last & 0x3F);
        out += static_cast<char16_t>(c);
    }
    return out;
}

TMySQLRecordset::TMySQLRecordset() : FCommand(std::make_unique<TMySQLCommand>()) {
    FCommand->SetRequestResultset(true);
    FFetchRows = 25;
}

TMySQLRecordset::~TMySQLRecordset() {
    try {
        Close();
    } catch (const Exception&) {
        // A dead connection has nothing left to read.
    }
}

void TMySQLRecordset::SetConnection(TMySQLConnection* connection) {
    FCommand->SetConnection(connection);
}

TMySQLConnection& TMySQLRecordset::Connection() const {
    if (!FCommand->Connection())
        throw EAssertionFailed("TMySQLRecordset: no connection");
    return *FCommand->Connection();
}

TMySQLAPI& TMySQLRecordset::API() const {
    return *Connection().API();
}

// ---- open and close

void TMySQLRecordset::Open() {
    if (!FFetchAll && FCreateConnection)
        UseAdditionalConnection();
    try {
        ExecuteCommand();
        DescribeFields();
        if (FFetchAll)
            FetchAll();
        else
            GetNextRecord();
    } catch (...) {
        try {
            Close();
        } catch (const Exception&) {
            // The error that ended the open is the one to report.
        }
        throw;
    }
}

void TMySQLRecordset::UseAdditionalConnection() {
    TMySQLConnection& main = Connection();
    main.Check(API().mysql_ping(main.Handle()), FCommand->Component());
    auto extra = std::make_unique<TMySQLConnection>();
    extra->Assign(main);
    extra->Connect("");
    if (main.GetInternalTransaction()->GetInTransaction())
        extra->GetInternalTransaction()->StartTransaction();
    extra->SetAdditional(true);
    FConnectionSwap = &main;
    FCommand->SetConnection(extra.get());
    FAdditionalConnection = std::move(extra);
}

void TMySQLRecordset::ReleaseAdditionalConnection() {
    if (!FConnectionSwap)
        return;
    FCommand->SetConnection(FConnectionSwap);
    FConnectionSwap = nullptr;
    FAdditionalConnection.reset();
}

void TMySQLRecordset::ExecuteCommand() {
    ClearFields();
    FOpenNextState = TOpenNextState::osNotChecked;
    FCommand->Execute(1);
    if (!FCommand->FSQLResult) {
        CloseResult();
        FCommand->FSQLResult = FSQLResultNext;
        FSQLResultNext = nullptr;
    }
    if (FCommand->FSQLResult) {
        FCommandType = TCommandType::ctCursor;
        FCommand->FCursorState = TCursorState::csExecuted;
    } else {
        FCommandType = TCommandType::ctStatement;
        FCommand->FCursorState = TCursorState::csInactive;
    }
}

void TMySQLRecordset::Close() {
    if (FCommand->Connection() && FCommand->Connection()->Handle()) {
        if (FCommand->FSQLResult)
            API().mysql_free_result(FCommand->FSQLResult);
        FCommand->FSQLResult = nullptr;
        DiscardResults();
    }
    ReleaseAdditionalConnection();
    FCommand->FCursorState = TCursorState::csInactive;
    FCommandType = TCommandType::ctUnknown;
    ClearFields();
}

// The current result's rows are dropped; a later result set, if any, is
// read up to (or, fetching all, past) its header.
void TMySQLRecordset::CloseResult() {
    TMySQLAPI& api = API();
    if (FCommand->FSQLResult)
        api.mysql_free_result(FCommand->FSQLResult);
    FCommand->FSQLResult = nullptr;
    if (!Connection().IsClient41())
        return;
    if (!api.mysql_more_results(Connection().Handle())) {
        FOpenNextState = TOpenNextState::osNoMoreResults;
        ReleaseAdditionalConnection();
        return;
    }
    FOpenNextState = TOpenNextState::osMoreResults;
    if (FFetchAll)
        DiscardResults();
    else if (!FCommand->OpenNext())
        ReadNextResult();
}

void TMySQLRecordset::ReadNextResult() {
    TMySQLAPI& api = API();
    PMYSQL mysql = Connection().Handle();
    for (;;) {
        const int status = api.mysql_next_result(mysql);
        if (status > 0) {
            FOpenNextState = TOpenNextState::osError;
            Connection().MySQLError(FCommand->Component());
        }
        if (status < 0) {
            FOpenNextState = TOpenNextState::osNoMoreResults;
            return;
        }
        if (PMYSQL_RES result = api.mysql_use_result(mysql)) {
            FSQLResultNext = result;
            FRowsAffectedNext = static_cast<int>(api.mysql_affected_rows(mysql));
            return;
        }
    }
}

// Every further result is read and dropped.
void TMySQLRecordset::DiscardResults() {
    TMySQLAPI& api = API();
    if (FSQLResultNext)
        api.mysql_free_result(FSQLResultNext);
    FSQLResultNext = nullptr;
    if (!Connection().IsClient41())
        return;
    do {
        ReadNextResult();
        if (FSQLResultNext)
            api.mysql_free_result(FSQLResultNext);
    } while (std::exchange(FSQLResultNext, nullptr));
}

// ---- columns

void TMySQLRecordset::DescribeFields() {
    PMYSQL_RES result = FCommand->FSQLResult;
    if (!result)
        return;
    const int count = API().mysql_num_fields(result);
    for (int i = 0; i < count; ++i) {
        TFieldDesc field =
            DescribeField(API()._mysql_fetch_field_direct(result, i, Connection().UseUnicode()));
        field.FieldNo = i + 1;
        field.ActualFieldNo = i;
        AddField(std::move(field));
    }
    InitFields();
}

TFieldDesc TMySQLRecordset::DescribeField(const TMYSQL_FIELD& f) const {
    const bool unicode = Connection().UseUnicode();
    TFieldDesc d;
    d.Name = unicode ? f.Name : AnsiToText(f.Name);
    d.DataType = MapType(f, d.Fixed);
    d.SubDataType = f._type;
    d.Scale = static_cast<int>(f.Decimals);
    int length = static_cast<int>(f.LengthInBytes);
    if (IsTextType(d.DataType) && unicode && !d.Fixed && f.CharsetNr != BinaryCharsetNr)
        length /= 3;
    d.Length = length;
    if (!FLongStrings && length > 256) {
        if (d.DataType == dtString)
            d.DataType = dtMemo;
        else if (d.DataType == dtWideString)
            d.DataType = dtWideMemo;
    }
    const bool stringLike = d.DataType == dtString || d.DataType == dtWideString ||
                            d.DataType == dtBytes || d.DataType == dtVarBytes;
    if (stringLike && (length == 0 || (!FFlatBuffers && length >= 32)))
        d.OutOfRecord = true;
    return d;
}

TDataType TMySQLRecordset::MapDecimal(const TMYSQL_FIELD& f) const {
    const TMySQLConnection& c = Connection();
    if (!c.CheckPrecision())
        return c.EnableFMTBCD() ? dtFMTBCD : c.EnableBCD() ? dtBCD : dtFloat;
    const int64_t digits = static_cast<int64_t>(f.LengthInBytes) - 1 - (f.Decimals > 0 ? 1 : 0);
    if (c.EnableBCD() && digits <= 14 && f.Decimals <= 4)
        return dtBCD;
    return c.EnableFMTBCD() ? dtFMTBCD : dtFloat;
}

TDataType TMySQLRecordset::MapType(const TMYSQL_FIELD& f, bool& fixed) const {
    const bool isUnsigned = (f.Flags & UNSIGNED_FLAG) != 0;
    const bool binary = (f.Flags & BINARY_FLAG) != 0;
    const bool rawBytes = binary && f.CharsetNr == BinaryCharsetNr && !FBinaryAsString;
    fixed = f._type == MYSQL_TYPE_STRING;
    TDataType t;
    if (FFieldsAsString && !IsBlobType(f._type))
        t = dtString;
    else if (IsBlobType(f._type))
        t = binary ? dtBlob : dtMemo;
    else
        switch (f._type) {
        case MYSQL_TYPE_DECIMAL:
        case MYSQL_TYPE_NEWDECIMAL:
            t = MapDecimal(f);
            break;
        case MYSQL_TYPE_TINY:
            t = f.LengthInBytes == 1 && FEnableBoolean ? dtBoolean
                : isUnsigned                           ? dtWord
                                                       : dtSmallint;
            break;
        case MYSQL_TYPE_SHORT:
            t = isUnsigned ? dtWord : dtSmallint;
            break;
        case MYSQL_TYPE_LONG:
            t = isUnsigned ? dtLargeint : dtInteger;
            break;
        case MYSQL_TYPE_FLOAT:
        case MYSQL_TYPE_DOUBLE:
            t = dtFloat;
            break;
        case MYSQL_TYPE_NULL:
        case MYSQL_TYPE_ENUM:
        case MYSQL_TYPE_SET:
            t = dtString;
            break;
        case MYSQL_TYPE_TIMESTAMP:
        case MYSQL_TYPE_DATETIME:
            t = dtDateTime;
            break;
        case MYSQL_TYPE_LONGLONG:
        case MYSQL_TYPE_BIT:
            t = f.LengthInBytes < 12 && Connection().OptimizedBigInt() ? dtInteger : dtLargeint;
            break;
        case MYSQL_TYPE_INT24:
            t = dtInteger;
            break;
        case MYSQL_TYPE_DATE:
        case MYSQL_TYPE_NEWDATE:
            t = dtDate;
            break;
        case MYSQL_TYPE_TIME:
            t = dtTime;
            break;
        case MYSQL_TYPE_YEAR:
            t = dtWord;
            break;
        case MYSQL_TYPE_VARCHAR:
        case MYSQL_TYPE_VAR_STRING:
            t = rawBytes ? dtVarBytes : dtString;
            break;
        case MYSQL_TYPE_STRING:
            t = rawBytes ? dtBytes : dtString;
            break;
        default:
            throw EDAError(Format("Unknown MySQL datatype (%d)", {static_cast<int>(f._type)}));
        }
    return Connection().UseUnicode() ? Widened(t) : t;
}

// ---- rows

bool TMySQLRecordset::GetNextRecord() {
    PMYSQL_RES result = FCommand->FSQLResult;
    if (!result) {
        if (FCommandType == TCommandType::ctStatement)
            throw EDAError("Query must return exactly result set - use Execute");
        return false;
    }
    FCommand->FCursorState = TCursorState::csFetching;
    int read = 0;
    for (; read < FFetchRows; ++read) {
        PMYSQL_ROW row = API()._mysql_fetch_row(result);
        if (!row) {
            Connection().Check(FCommand->Component());
            CloseResult();
            FCommand->FCursorState = TCursorState::csFetched;
            break;
        }
        if (FMaxRows > 0 && RecordCount() >= FMaxRows)
            RefuseMoreRows();
        ReadRow(result, row);
    }
    return read > 0;
}

void TMySQLRecordset::RefuseMoreRows() {
    Connection().Handle()->net().Abandon();
    const EMySqlException e(
        CR_OUT_OF_MEMORY,
        Format("the server sends more than %d rows, the most this list keeps", {FMaxRows}));
    throw EMyError(e.ErrorCode(), e.Message());
}

void TMySQLRecordset::FetchAll() {
    while (GetNextRecord()) {
    }
}

void TMySQLRecordset::ReadRow(PMYSQL_RES result, PMYSQL_ROW row) {
    TMySQLAPI& api = API();
    api._mysql_fetch_lengths(result, FValueBuffLen);
    TRecordBuffer record = AppendRecord();
    try {
        for (int i = 0; i < FieldCount() && static_cast<size_t>(i) < FValueBuffLen.size(); ++i) {
            if (api._mysql_fetch_value_is_null(row, i))
                continue;
            const uint8_t* bytes = api._mysql_fetch_value_ptr(result, row, i);
            StoreValue(record, i, bytes ? bytes : NoBytes, FValueBuffLen[static_cast<size_t>(i)]);
        }
    } catch (...) {
        CancelRecord();
        throw;
    }
}

void TMySQLRecordset::StoreValue(TRecordBuffer record, int field, const uint8_t* bytes,
                                 size_t length) {
    const TFieldDesc& f = Field(field);
    const std::string text(reinterpret_cast<const char*>(bytes), length);
    switch (f.DataType) {
    case dtWideString:
    case dtWideMemo:
        PutWide(record, field,
                DecodeUtf8Wide(bytes, length,
                               f.OutOfRecord ? length + 1 : static_cast<size_t>(f.Length) + 1));
        return;
    case dtBoolean:
        PutBoolean(record, field, StrToInt(text) != 0);
        return;
    case dtSmallint:
    case dtWord:
    case dtInteger:
        if (f.SubDataType == MYSQL_TYPE_BIT)
            PutInt32(record, field, static_cast<int32_t>(BitValue(bytes, length)));
        else
            PutInt32(record, field, StrToInt(text));
        return;
    case dtLargeint:
        PutInt64(record, field,
                 f.SubDataType == MYSQL_TYPE_BIT ? BitValue(bytes, length) : StrToInt64(text));
        return;
    case dtFloat:
        PutDouble(record, field, FloatValue(text));
        return;
    case dtDate:
    case dtTime:
    case dtDateTime:
        StoreDate(record, field, text);
        return;
    default:
        PutBytes(record, field, bytes, length);
        return;
    }
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS[.f]" or "[-]HHH:MM:SS[.f]"; the zero
// date reads as NULL while NullForZeroDate.
void TMySQLRecordset::StoreDate(TRecordBuffer record, int field, const std::string& text) {
    const TFieldDesc& f = Field(field);
    size_t at = 0;
    double days = 0;
    if (f.DataType != dtTime) {
        int y = 0, m = 0, d = 0;
        if (!Number(text, at, 4, y) || !Expect(text, at, '-') || !Number(text, at, 2, m) ||
            !Expect(text, at, '-') || !Number(text, at, 2, d))
            BadValue(text, "date");
        if (y == 0 || m == 0 || d == 0) {
            if (FNullForZeroDate)
                return;
            BadValue(text, "date");
        }
        if (m > 12 || d > 31)
            BadValue(text, "date");
        days = static_cast<double>(SerialDays(y, m, d));
        if (Expect(text, at, ' ')) {
            double clock = 0;
            if (!ParseClock(text, at, clock))
                BadValue(text, "date and time");
            days += days < 0 ? -clock : clock;
        }
    } else if (!ParseClock(text, at, days)) {
        BadValue(text, "time");
    }
    if (at != text.size())
        BadValue(text, "date and time");
    PutDouble(record, field, days);
}

// ---- options

bool TMySQLRecordset::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prFieldsAsString:
        FFieldsAsString = value.AsBoolean();
        return true;
    case prNullForZeroDate:
        FNullForZeroDate = value.AsBoolean();
        return true;
    case prEnableBoolean:
        FEnableBoolean = value.AsBoolean();
        return true;
    case prCreateConnection:
        FCreateConnection = value.AsBoolean();
        return true;
    case prCommandTimeout:
    case prOpenNext:
        return FCommand->SetProp(prop, value);
    case prUseHandler:
        FUseHandler = value.AsBoolean();
        return true;
    case prBinaryAsString:
        FBinaryAsString = value.AsBoolean();
        return true;
    default:
        return TCRRecordSet::SetProp(prop, value);
    }
}

bool TMySQLRecordset::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prFieldsAsString:
        value = FFieldsAsString;
        return true;
    case prNullForZeroDate:
        value = FNullForZeroDate;
        return true;
    case prEnableBoolean:
        value = FEnableBoolean;
        return true;
    case prCreateConnection:
        value = FCreateConnection;
        return true;
    case prCommandTimeout:
        return FCommand->GetProp(prop, value);
    case prBinaryAsString:
        value = FBinaryAsString;
        return true;
    default:
        return TCRRecordSet::GetProp(prop, value);
    }
}

} // namespace tabellix
