#include "mysql/protocol/MySqlResultSetUni.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlSessionUni.h"

namespace tabellix {
namespace {

// Little-endian value of `size` bytes at `at` inside one column value;
// bytes past the value's end count as zero.
uint32_t FixedValue(const TMySqlBinds& row, const TMySqlBind& column, uint32_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        uint32_t index = at + static_cast<uint32_t>(i);
        if (column.IsNull || index >= column.Length)
            break;
        value |= static_cast<uint32_t>(row.Buffer[column.Offset + index]) << (8 * i);
    }
    return value;
}

std::string TextValue(const TMySqlBinds& row, const TMySqlBind& column) {
    if (column.IsNull || column.Length == 0)
        return {};
    return std::string(reinterpret_cast<const char*>(row.Buffer) + column.Offset, column.Length);
}

// The numeric types are the codes up to INT24, YEAR, and a TIMESTAMP shown as digits only.
bool IsNumericType(uint8_t type, uint32_t length) {
    if (type == MYSQL_TYPE_TIMESTAMP)
        return length == 14 || length == 8;
    return type <= MYSQL_TYPE_INT24 || type == MYSQL_TYPE_YEAR;
}

} // namespace

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session)
    : TMySqlResultSet(session, session->fields, session->fieldCount, nullptr) {}

TMySqlResultSet::TMySqlResultSet(TMySqlSession* session, TMySqlFieldInfos fields, int fieldCount,
                                 std::unique_ptr<TMySqlBinds> resultBind)
    : ffieldCount(fieldCount), fresultBind(std::move(resultBind)), ffields(std::move(fields)),
      fsession(session), FBind(std::make_unique<TMySqlBinds>(fieldCount)) {
    if (!session)
        throw EAssertionFailed("TMySqlResultSet: session required");
}

TMySqlResultSet::~TMySqlResultSet() = default;

void TMySqlResultSet::ReadRows(bool) {
    frows = std::make_unique<TRows>();
    frowIndex = 0;
    TMySqlNet& net = fsession->Fnet;
    std::vector<uint8_t> packet;
    for (;;) {
        net.ReceiveBuffer(packet);
        if (IsEndOfData(packet.data(), packet.size()))
            break;
        frows->Add(std::move(packet));
        packet = {};
    }
    feof = frows->Count() == 0;
    if (packet.size() > 1) {
        if (packet.size() < 5)
            net.Fail(EAssertionFailed("TMySqlResultSet.ReadRows: short end-of-data packet"));
        fsession->warningCount = packet[1] | (packet[2] << 8);
        fsession->serverStatus = packet[3] | (packet[4] << 8);
    }
}

bool TMySqlResultSet::Read(TMySqlBinds* resultBind) {
    if (feof)
        return false;
    if (!frows)
        return ReadStreamed(resultBind);
    const std::vector<uint8_t>& row = (*frows)[frowIndex];
    frowBuffer = row.data();
    DecodeRow(row.data(), row.size(), resultBind);
    ++frowIndex;
    feof = frowIndex >= frows->Count();
    resultBind->Buffer = frowBuffer;
    return true;
}

bool TMySqlResultSet::ReadStreamed(TMySqlBinds* resultBind) {
    TMySqlNet& net = fsession->Fnet;
    net.Receive();
    size_t length = static_cast<size_t>(net.Length());
    if (!IsEndOfData(net.Buffer(), length)) {
        frowBuffer = net.Buffer();
        ++frowCount;
        DecodeRow(frowBuffer, length, resultBind);
        resultBind->Buffer = frowBuffer;
        return true;
    }
    if (length > 1) {
        net.SetPosition(1);
        fsession->warningCount = net.ReadUInt16();
        fsession->serverStatus = net.ReadUInt16();
    }
    fsession->status = TMySqlStatus::msReady;
    frowBuffer = nullptr;
    feof = true;
    return false;
}

// Text row: one length-coded string per column, 0xFB for NULL. Values stay
// in the row's bytes; a value reaching past the row's end is refused.
void TMySqlResultSet::DecodeRow(const uint8_t* row, size_t length, TMySqlBinds* resultBind) const {
    if (!resultBind)
        throw EMySqlException(CR_NULL_POINTER);
    if (resultBind->Binds.size() < static_cast<size_t>(ffieldCount))
        throw EAssertionFailed("TMySqlResultSet: row record has too few columns");
    uint64_t at = 0;
    for (int i = 0; i < ffieldCount; ++i) {
        TMySqlBind& bind = resultBind->Binds[static_cast<size_t>(i)];
        if (at >= length)
            fsession->Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET));
        uint8_t first = row[at];
        int size = first == 252 ? 2 : first == 253 ? 3 : first == 254 ? 8 : 0;
        if (first == 255)
            fsession->Fnet.Fail(EArgumentException(
                Format("Invalid length byte 255 in column %d of a text row", {i + 1})));
        if (first == 251) {
            bind = {true, 0, 0};
            ++at;
            continue;
        }
        if (at + 1 + size > length)
            fsession->Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET));
        uint64_t value = size == 0 ? first : 0;
        for (int b = 0; b < size; ++b)
            value |= static_cast<uint64_t>(row[at + 1 + b]) << (8 * b);
        uint64_t offset = at + 1 + size;
        if (value > length - offset)
            fsession->Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET));
        bind = {false, static_cast<uint32_t>(offset), static_cast<uint32_t>(value)};
        at = offset + value;
    }
}

void TMySqlResultSet::Seek(int offset) {
    if (!frows)
        throw ENotSupportedException("TMySqlResultSet.Seek: streamed rows cannot be revisited");
    if (offset < 0 || offset >= frows->Count())
        throw EArgumentException(Format("TMySqlResultSet.Seek: row %d is not among the %d rows",
                                        {offset, frows->Count()}));
    frowIndex = offset;
    feof = false;
}

TMySqlFieldInfo TMySqlResultSet::DescribeColumn(const TMySqlBinds& row) const {
    const std::vector<TMySqlBind>& c = row.Binds;
    TMySqlFieldInfo field;
    if (ffieldCount == DescriptionColumns41) {
        // Column definition, 4.1 form: catalog, database, table, original
        // table, name, original name, then the fixed block.
        field.Database = TextValue(row, c[1]);
        field.Table = TextValue(row, c[2]);
        field.OrgTable = TextValue(row, c[3]);
        field.Name = TextValue(row, c[4]);
        field.OrgName = TextValue(row, c[5]);
        field.CharsetNr = FixedValue(row, c[6], 0, 2);
        field.Length = FixedValue(row, c[6], 2, 4);
        field._Type = static_cast<uint8_t>(FixedValue(row, c[6], 6, 1));
        field.Flags = FixedValue(row, c[6], 7, 2);
        field.Scale = FixedValue(row, c[6], 9, 2);
    } else {
        // Column definition, pre-4.1 form: table, name, length, type, flags and decimals.
        field.Table = TextValue(row, c[0]);
        field.OrgTable = field.Table;
        field.Name = TextValue(row, c[1]);
        field.Length = FixedValue(row, c[2], 0, 3);
        field._Type = static_cast<uint8_t>(FixedValue(row, c[3], 0, 1));
        bool longFlag = (fsession->serverCapabilities & CLIENT_LONG_FLAG) != 0;
        field.Flags = FixedValue(row, c[4], 0, longFlag ? 2 : 1);
        field.Scale = FixedValue(row, c[4], longFlag ? 2 : 1, 1);
    }
    if (IsNumericType(field._Type, field.Length))
        field.Flags |= NUM_FLAG;
    return field;
}

TMySqlFieldInfos TMySqlResultSet::ReadFieldsInfo(int fieldCount) {
    TMySqlFieldInfos result;
    TMySqlBinds row(ffieldCount);
    for (int i = 0; i < fieldCount; ++i) {
        // Fewer descriptions than the header announced: the result cannot be read.
        if (!Read(&row))
            fsession->Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET));
        result.push_back(DescribeColumn(row));
    }
    return result;
}

void TMySqlResultSet::Clear() {
    frowBuffer = nullptr;
    fresultBind.reset();
    ffields.clear();
    if (frows)
        frows->Clear();
    else if (fsession)
        fsession->FreeQuery();
    frows.reset();
    fsession = nullptr;
    FBind.reset();
}

} // namespace tabellix
