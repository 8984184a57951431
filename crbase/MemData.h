// The in-memory record store that provider record sets read rows into:
// typed field descriptions, fixed-size records with NULL flags, text held
// inline or in a shared string heap, and values read back as variants.
#pragma once

#include "base/Variant.h"
#include "crbase/CRAccess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tabellix {

// Internal data types; 0 is unknown (as TParamDesc::DataType uses them).
enum TDataType : int {
    dtUnknown = 0,
    dtString,     // text bytes
    dtWideString, // 16-bit units
    dtMemo,
    dtWideMemo,
    dtBytes,
    dtVarBytes,
    dtBlob,
    dtBoolean,
    dtSmallint,
    dtWord,
    dtInteger,
    dtLargeint,
    dtFloat,
    dtBCD,
    dtFMTBCD,
    dtDate,
    dtTime,
    dtDateTime,
};

// True for the types whose values are byte or 16-bit text.
bool IsTextType(TDataType type);
bool IsWideType(TDataType type);

// One column of the store. Length counts characters for text, bytes for
// byte types; 0 means unbounded.
struct TFieldDesc {
    std::string Name;
    TDataType DataType = dtUnknown;
    int Length = 0;
    int Scale = 0;
    int SubDataType = 0;   // the provider's own type code
    int FieldNo = 0;       // 1-based
    int ActualFieldNo = 0; // index in the provider's result
    bool Fixed = false;    // fixed-width text
    bool OutOfRecord = false;
    int Offset = 0; // set by InitFields
};

using TRecordBuffer = uint8_t*;

// Records of fixed size, appended in blocks; text of unbounded or long
// fields goes to the string heap and the record holds its index.
class TMemData {
public:
    TMemData() = default;
    virtual ~TMemData() = default;
    TMemData(const TMemData&) = delete;
    TMemData& operator=(const TMemData&) = delete;

    // Field layout; AddField is legal only while no record exists.
    TFieldDesc& AddField(TFieldDesc field);
    void ClearFields();
    // Computes offsets and the record size from the descriptions.
    void InitFields();
    int FieldCount() const { return static_cast<int>(FFields.size()); }
    const TFieldDesc& Field(int index) const;
    // Index of the field of that name (ASCII letters folded), or -1.
    int FindField(std::string_view name) const;

    // A new zeroed record, all fields NULL, valid until the next append.
    TRecordBuffer AppendRecord();
    // Drops the record AppendRecord gave last, for a row that failed.
    void CancelRecord();
    int RecordCount() const { return FRecordCount; }
    // Drops the records and the heap; the fields stay.
    void ClearData();

    // Writing the fields of a record being filled.
    void SetNull(TRecordBuffer record, int field, bool isNull);
    void PutBytes(TRecordBuffer record, int field, const uint8_t* bytes, size_t count);
    void PutWide(TRecordBuffer record, int field, const std::u16string& units);
    void PutBoolean(TRecordBuffer record, int field, bool value);
    void PutInt32(TRecordBuffer record, int field, int32_t value);
    void PutInt64(TRecordBuffer record, int field, int64_t value);
    void PutDouble(TRecordBuffer record, int field, double value);

    // Reading a stored record by number (0-based).
    bool GetNull(int recNo, int field) const;
    // The field's bytes: text without its terminator, numbers in host order.
    std::string GetFieldData(int recNo, int field) const;
    std::u16string GetWideString(int recNo, int field) const;
    // Text as UTF-8 (wide text converted), bytes as a byte array, numbers
    // and dates by type; Null for a NULL field.
    Variant GetFieldAsVariant(int recNo, int field) const;

    // Record-set options the store itself honours.
    bool LongStrings() const { return FLongStrings; }
    bool FlatBuffers() const { return FFlatBuffers; }

protected:
    bool FLongStrings = true;
    bool FFlatBuffers = true;

private:
    const uint8_t* Record(int recNo) const;
    uint8_t* NullFlag(TRecordBuffer record, int field) const;
    const TFieldDesc& Checked(int field) const;
    void PutHeap(TRecordBuffer record, const TFieldDesc& f, std::string bytes);
    std::string Stored(const uint8_t* record, const TFieldDesc& f) const;

    static constexpr int BlockRecords = 25;

    std::vector<TFieldDesc> FFields;
    size_t FRecordSize = 0;
    size_t FDataSize = 0;
    std::vector<std::vector<uint8_t>> FBlocks;
    int FRecordCount = 0;
    std::vector<std::string> FStringHeap;
};

enum class TCommandType { ctUnknown, ctStatement, ctCursor };

// Provider codes the record-set base handles.
constexpr int prUniDirectional = 20;
constexpr int prFetchRows = 21;
constexpr int prFetchAll = 22;
constexpr int prLongStrings = 25;
constexpr int prEnableEmptyStrings = 26;
constexpr int prFlatBuffers = 27;

// A provider record set: a command whose rows are read into the store.
class TCRRecordSet : public TMemData {
public:
    TCRRecordSet() = default;
    virtual std::string ClassName() const { return "TCRRecordSet"; }

    virtual void Open() = 0;
    virtual void Close() = 0;
    // Reads one more batch; false when no row was left.
    virtual bool GetNextRecord() = 0;
    virtual void FetchAll() = 0;
    // Generic codes; any other fails an assertion naming the code.
    virtual bool SetProp(int prop, const Variant& value);
    virtual bool GetProp(int prop, Variant& value);

    TCommandType CommandType() const { return FCommandType; }
    bool IsFetchAll() const { return FFetchAll; }
    int FetchRows() const { return FFetchRows; }
    bool UniDirectional() const { return FUniDirectional; }
    bool EnableEmptyStrings() const { return FEnableEmptyStrings; }
    // While locked, FetchAll (code 22) is left as it is.
    void SetLockFetchAll(bool value) { FLockFetchAll = value; }

protected:
    bool FFetchAll = false;
    int FFetchRows = 25;
    bool FUniDirectional = false;
    bool FEnableEmptyStrings = false;
    bool FLockFetchAll = false;
    TCommandType FCommandType = TCommandType::ctUnknown;
};

} // namespace tabellix
