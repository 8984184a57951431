#include "crbase/MemData.h"

#include "base/Format.h"
#include "base/Text.h"

#include <algorithm>
#include <cstring>

namespace tabellix {
namespace {

constexpr size_t HeapRefSize = sizeof(uint32_t);
constexpr size_t BytesLengthSize = sizeof(uint32_t);

[[noreturn]] void UnknownProp(int prop) {
    throw EAssertionFailed(Format("%d", {prop}));
}

bool IsHeapOnly(TDataType type) {
    return type == dtMemo || type == dtWideMemo || type == dtBlob || type == dtBCD ||
           type == dtFMTBCD;
}

bool IsByteType(TDataType type) {
    return type == dtBytes || type == dtVarBytes;
}

// Bytes a field takes inside the record.
size_t InlineSize(const TFieldDesc& f) {
    if (f.OutOfRecord)
        return HeapRefSize;
    const size_t length = static_cast<size_t>(f.Length);
    switch (f.DataType) {
    case dtString:
        return length + 1;
    case dtWideString:
        return (length + 1) * sizeof(char16_t);
    case dtBytes:
    case dtVarBytes:
        return BytesLengthSize + length;
    case dtBoolean:
    case dtSmallint:
    case dtWord:
        return sizeof(int16_t);
    case dtInteger:
        return sizeof(int32_t);
    case dtLargeint:
    case dtFloat:
    case dtDate:
    case dtTime:
    case dtDateTime:
        return sizeof(int64_t);
    default:
        throw EAssertionFailed(Format("TMemData: no storage for data type %d", {f.DataType}));
    }
}

template <class T> T Load(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <class T> void Store(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}

std::string WideToUtf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(out, c);
    }
    return out;
}

std::u16string BytesToWide(const std::string& bytes) {
    std::u16string units(bytes.size() / sizeof(char16_t), u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * sizeof(char16_t));
    return units;
}

} // namespace

bool IsTextType(TDataType type) {
    return type == dtString || type == dtWideString || type == dtMemo || type == dtWideMemo;
}

bool IsWideType(TDataType type) {
    return type == dtWideString || type == dtWideMemo;
}

// ---- layout

TFieldDesc& TMemData::AddField(TFieldDesc field) {
    if (FRecordCount > 0)
        throw EAssertionFailed("TMemData: fields added to a store holding records");
    return FFields.emplace_back(std::move(field));
}

void TMemData::ClearFields() {
    ClearData();
    FFields.clear();
    FRecordSize = 0;
    FDataSize = 0;
}

void TMemData::InitFields() {
    size_t offset = 0;
    for (TFieldDesc& f : FFields) {
        if (IsHeapOnly(f.DataType))
            f.OutOfRecord = true;
        f.Offset = static_cast<int>(offset);
        offset += InlineSize(f);
    }
    FDataSize = offset;
    FRecordSize = offset + FFields.size();
}

const TFieldDesc& TMemData::Field(int index) const {
    return Checked(index);
}

int TMemData::FindField(std::string_view name) const {
    for (size_t i = 0; i < FFields.size(); ++i) {
        if (SameText(FFields[i].Name, name))
            return static_cast<int>(i);
    }
    return -1;
}

const TFieldDesc& TMemData::Checked(int field) const {
    if (field < 0 || field >= FieldCount())
        throw EArgumentException(Format("Field index out of range (%d)", {field}));
    return FFields[static_cast<size_t>(field)];
}

// ---- records

TRecordBuffer TMemData::AppendRecord() {
    const size_t inBlock = static_cast<size_t>(FRecordCount % BlockRecords);
    if (inBlock == 0)
        FBlocks.emplace_back(FRecordSize * BlockRecords, uint8_t{0});
    uint8_t* record = FBlocks.back().data() + inBlock * FRecordSize;
    std::memset(record + FDataSize, 1, FFields.size());
    ++FRecordCount;
    return record;
}

void TMemData::CancelRecord() {
    if (FRecordCount == 0)
        return;
    --FRecordCount;
    if (FRecordCount % BlockRecords == 0)
        FBlocks.pop_back();
}

void TMemData::ClearData() {
    FBlocks.clear();
    FStringHeap.clear();
    FRecordCount = 0;
}

const uint8_t* TMemData::Record(int recNo) const {
    if (recNo < 0 || recNo >= FRecordCount)
        throw EArgumentException(Format("Record number out of range (%d)", {recNo}));
    const size_t n = static_cast<size_t>(recNo);
    return FBlocks[n / BlockRecords].data() + (n % BlockRecords) * FRecordSize;
}

uint8_t* TMemData::NullFlag(TRecordBuffer record, int field) const {
    return record + FDataSize + static_cast<size_t>(field);
}

void TMemData::SetNull(TRecordBuffer record, int field, bool isNull) {
    Checked(field);
    *NullFlag(record, field) = isNull ? 1 : 0;
}

void TMemData::PutHeap(TRecordBuffer record, const TFieldDesc& f, std::string bytes) {
    FStringHeap.push_back(std::move(bytes));
    Store<uint32_t>(record + f.Offset, static_cast<uint32_t>(FStringHeap.size()));
}

// Inline text keeps at most the field's length and a zero byte; inline
// bytes keep their count in front.
void TMemData::PutBytes(TRecordBuffer record, int field, const uint8_t* bytes, size_t count) {
    const TFieldDesc& f = Checked(field);
    SetNull(record, field, false);
    if (f.OutOfRecord) {
        PutHeap(record, f, std::string(reinterpret_cast<const char*>(bytes), count));
        return;
    }
    const size_t kept = std::min(count, static_cast<size_t>(f.Length));
    uint8_t* at = record + f.Offset;
    if (IsByteType(f.DataType)) {
        Store<uint32_t>(at, static_cast<uint32_t>(kept));
        at += BytesLengthSize;
    } else if (f.DataType != dtString) {
        throw EAssertionFailed(Format("TMemData: %s is not a byte field", {f.Name}));
    }
    if (kept > 0)
        std::memcpy(at, bytes, kept);
    if (f.DataType == dtString)
        at[kept] = 0;
}

void TMemData::PutWide(TRecordBuffer record, int field, const std::u16string& units) {
    const TFieldDesc& f = Checked(field);
    if (!IsWideType(f.DataType))
        throw EAssertionFailed(Format("TMemData: %s is not a wide text field", {f.Name}));
    SetNull(record, field, false);
    if (f.OutOfRecord) {
        PutHeap(record, f,
                std::string(reinterpret_cast<const char*>(units.data()),
                            units.size() * sizeof(char16_t)));
        return;
    }
    const size_t kept = std::min(units.size(), static_cast<size_t>(f.Length));
    uint8_t* at = record + f.Offset;
    std::memcpy(at, units.data(), kept * sizeof(char16_t));
    Store<char16_t>(at + kept * sizeof(char16_t), u'\0');
}

void TMemData::PutBoolean(TRecordBuffer record, int field, bool value) {
    SetNull(record, field, false);
    Store<int16_t>(record + Checked(field).Offset, value ? 1 : 0);
}

void TMemData::PutInt32(TRecordBuffer record, int field, int32_t value) {
    const TFieldDesc& f = Checked(field);
    SetNull(record, field, false);
    if (f.DataType == dtInteger)
        Store<int32_t>(record + f.Offset, value);
    else
        Store<int16_t>(record + f.Offset, static_cast<int16_t>(value));
}

void TMemData::PutInt64(TRecordBuffer record, int field, int64_t value) {
    SetNull(record, field, false);
    Store<int64_t>(record + Checked(field).Offset, value);
}

void TMemData::PutDouble(TRecordBuffer record, int field, double value) {
    SetNull(record, field, false);
    Store<double>(record + Checked(field).Offset, value);
}

// ---- reading

bool TMemData::GetNull(int recNo, int field) const {
    Checked(field);
    return Record(recNo)[FDataSize + static_cast<size_t>(field)] != 0;
}

std::string TMemData::Stored(const uint8_t* record, const TFieldDesc& f) const {
    const uint8_t* at = record + f.Offset;
    if (f.OutOfRecord) {
        uint32_t ref = Load<uint32_t>(at);
        return ref == 0 ? std::string() : FStringHeap[ref - 1];
    }
    const char* chars = reinterpret_cast<const char*>(at);
    switch (f.DataType) {
    case dtString:
        return std::string(chars, strnlen(chars, static_cast<size_t>(f.Length)));
    case dtWideString: {
        size_t n = 0;
        while (n < static_cast<size_t>(f.Length) && Load<char16_t>(at + n * 2) != 0)
            ++n;
        return std::string(chars, n * sizeof(char16_t));
    }
    case dtBytes:
    case dtVarBytes:
        return std::string(chars + BytesLengthSize, Load<uint32_t>(at));
    default:
        return std::string(chars, InlineSize(f));
    }
}

std::string TMemData::GetFieldData(int recNo, int field) const {
    const TFieldDesc& f = Checked(field);
    return Stored(Record(recNo), f);
}

std::u16string TMemData::GetWideString(int recNo, int field) const {
    const TFieldDesc& f = Checked(field);
    if (!IsWideType(f.DataType))
        throw EAssertionFailed(Format("TMemData: %s is not a wide text field", {f.Name}));
    return BytesToWide(Stored(Record(recNo), f));
}

Variant TMemData::GetFieldAsVariant(int recNo, int field) const {
    const TFieldDesc& f = Checked(field);
    if (GetNull(recNo, field))
        return Variant::Null();
    const std::string data = Stored(Record(recNo), f);
    const uint8_t* at = reinterpret_cast<const uint8_t*>(data.data());
    switch (f.DataType) {
    case dtWideString:
    case dtWideMemo:
        return WideToUtf8(BytesToWide(data));
    case dtBytes:
    case dtVarBytes:
    case dtBlob:
        return std::vector<uint8_t>(at, at + data.size());
    case dtBoolean:
        return Load<int16_t>(at) != 0;
    case dtSmallint:
        return static_cast<int32_t>(Load<int16_t>(at));
    case dtWord:
        return static_cast<int32_t>(Load<uint16_t>(at));
    case dtInteger:
        return Load<int32_t>(at);
    case dtLargeint:
        return Load<int64_t>(at);
    case dtFloat:
        return Load<double>(at);
    case dtDate:
    case dtTime:
    case dtDateTime:
        return VarDate{Load<double>(at)};
    default:
        return data;
    }
}

// ---- TCRRecordSet

bool TCRRecordSet::SetProp(int prop, const Variant& value) {
    switch (prop) {
    case prUniDirectional:
        FUniDirectional = value.AsBoolean();
        if (FUniDirectional)
            FFetchAll = false;
        return true;
    case prFetchRows:
        FFetchRows = value.AsInteger();
        if (FFetchRows < 1)
            throw EArgumentException(Format("FetchRows must be at least 1 (%d)", {FFetchRows}));
        return true;
    case prFetchAll:
        if (!FLockFetchAll)
            FFetchAll = value.AsBoolean() && !FUniDirectional;
        return true;
    case prLongStrings:
        FLongStrings = value.AsBoolean();
        return true;
    case prEnableEmptyStrings:
        FEnableEmptyStrings = value.AsBoolean();
        return true;
    case prFlatBuffers:
        FFlatBuffers = value.AsBoolean();
        return true;
    default:
        UnknownProp(prop);
    }
}

bool TCRRecordSet::GetProp(int prop, Variant& value) {
    switch (prop) {
    case prUniDirectional:
        value = FUniDirectional;
        return true;
    case prFetchRows:
        value = FFetchRows;
        return true;
    case prFetchAll:
        value = FFetchAll;
        return true;
    case prLongStrings:
        value = FLongStrings;
        return true;
    case prFlatBuffers:
        value = FFlatBuffers;
        return true;
    default:
        UnknownProp(prop);
    }
}

} // namespace tabellix
