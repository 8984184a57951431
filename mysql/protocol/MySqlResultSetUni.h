// The reader of one text result set: column descriptions, buffered or
// streamed rows, and the decoding of a row into offsets and lengths
// without copying its bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tabellix {

class TMySqlSession;

// One column description.
struct TMySqlFieldInfo {
    std::string Name;
    std::string OrgName;
    std::string Table;
    std::string OrgTable;
    std::string Database;
    std::string DefaultValue;
    uint32_t Length = 0;
    uint32_t Scale = 0;
    uint32_t MaxLength = 0;
    uint32_t Flags = 0;
    uint32_t CharsetNr = 0;
    uint8_t _Type = 0;
};
using TMySqlFieldInfos = std::vector<TMySqlFieldInfo>;

// Columns of a column-description row in the 4.1 and the pre-4.1 form.
constexpr int DescriptionColumns41 = 7;
constexpr int DescriptionColumnsOld = 5;

// Added to Flags for the numeric column types.
constexpr uint32_t NUM_FLAG = 0x8000;

// One column of the current row: where its bytes lie from TMySqlBinds::Buffer.
struct TMySqlBind {
    bool IsNull = false;
    uint32_t Offset = 0;
    uint32_t Length = 0;
};

// The row record: one bind per column and the current row's bytes.
class TMySqlBinds {
public:
    explicit TMySqlBinds(int count) : Binds(static_cast<size_t>(count > 0 ? count : 0)) {}
    std::vector<TMySqlBind> Binds;
    const uint8_t* Buffer = nullptr;
};

// Buffered row packets.
class TRows {
public:
    void Add(std::vector<uint8_t> row) { FList.push_back(std::move(row)); }
    void Clear() { FList.clear(); }
    int Count() const { return static_cast<int>(FList.size()); }
    const std::vector<uint8_t>& operator[](int index) const {
        return FList[static_cast<size_t>(index)];
    }

private:
    std::vector<std::vector<uint8_t>> FList;
};

class TMySqlResultSet {
public:
    // A reader for the session's pending result.
    explicit TMySqlResultSet(TMySqlSession* session);
    TMySqlResultSet(TMySqlSession* session, TMySqlFieldInfos fields, int fieldCount,
                    std::unique_ptr<TMySqlBinds> resultBind);
    ~TMySqlResultSet();
    TMySqlResultSet(const TMySqlResultSet&) = delete;
    TMySqlResultSet& operator=(const TMySqlResultSet&) = delete;

    // Reads every remaining row into memory, up to the end-of-data packet.
    void ReadRows(bool readStatus);
    // The next row decoded into resultBind; false at the end.
    bool Read(TMySqlBinds* resultBind);
    void Seek(int offset);
    // Decodes fieldCount buffered column-description rows.
    TMySqlFieldInfos ReadFieldsInfo(int fieldCount);
    void Clear();

    int FieldCount() const { return ffieldCount; }
    const TMySqlFieldInfos& Fields() const { return ffields; }
    TMySqlSession* Session() const { return fsession; }
    // The client layer detaches a reader whose session is gone.
    void SetSession(TMySqlSession* session) { fsession = session; }
    bool Eof() const { return feof; }
    TMySqlBinds* Bind() const { return FBind.get(); }
    TMySqlBinds* ResultBind() const { return fresultBind.get(); }
    int RowCount() const { return frowCount; }

private:
    void DecodeRow(const uint8_t* row, size_t length, TMySqlBinds* resultBind) const;
    bool ReadStreamed(TMySqlBinds* resultBind);
    TMySqlFieldInfo DescribeColumn(const TMySqlBinds& row) const;

    std::unique_ptr<TRows> frows;
    int frowIndex = 0;
    int frowCount = 0;
    int ffieldCount = 0;
    const uint8_t* frowBuffer = nullptr;
    std::unique_ptr<TMySqlBinds> fresultBind;
    TMySqlFieldInfos ffields;
    TMySqlSession* fsession = nullptr;
    bool feof = false;
    std::unique_ptr<TMySqlBinds> FBind;
};

// True for an end-of-data packet: first byte 0xFE and at most 8 bytes.
inline bool IsEndOfData(const uint8_t* packet, size_t length) {
    return length > 0 && length <= 8 && packet[0] == 0xFE;
}

} // namespace tabellix
