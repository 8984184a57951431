// The record layer of the binary workbook stream: records with bounded
// lengths, little-endian fields read with bounds checks, and the string
// forms of BIFF8 (UTF-16 or compressed) and BIFF5 (code-page bytes),
// including the shared string table continued over CONTINUE records.
#pragma once

#include "base/Text.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

namespace biff {
inline constexpr uint16_t Formula = 0x0006;
inline constexpr uint16_t Eof = 0x000A;
inline constexpr uint16_t DateMode = 0x0022;
inline constexpr uint16_t FilePass = 0x002F;
inline constexpr uint16_t Continue = 0x003C;
inline constexpr uint16_t CodePage = 0x0042;
inline constexpr uint16_t WsBool = 0x0081;
inline constexpr uint16_t BoundSheet = 0x0085;
inline constexpr uint16_t MulRk = 0x00BD;
inline constexpr uint16_t MulBlank = 0x00BE;
inline constexpr uint16_t RString = 0x00D6;
inline constexpr uint16_t Xf = 0x00E0;
inline constexpr uint16_t Sst = 0x00FC;
inline constexpr uint16_t LabelSst = 0x00FD;
inline constexpr uint16_t Blank = 0x0201;
inline constexpr uint16_t Number = 0x0203;
inline constexpr uint16_t Label = 0x0204;
inline constexpr uint16_t BoolErr = 0x0205;
inline constexpr uint16_t String = 0x0207;
inline constexpr uint16_t Rk = 0x027E;
inline constexpr uint16_t Format = 0x041E;
inline constexpr uint16_t Bof = 0x0809;
} // namespace biff

struct TBiffRecord {
    uint16_t Type = 0;
    std::string_view Data;
};

// Walks the records of the stream from an offset. A record whose length
// runs past the end raises EWorkbookError.
class TBiffCursor {
public:
    TBiffCursor(std::string_view stream, size_t offset);
    // False at the end of the stream.
    bool Next(TBiffRecord& record);
    // The type of the record Next would give, 0 at the end.
    uint16_t PeekType() const;

private:
    std::string_view FStream;
    size_t FOffset;
};

// Bounds-checked little-endian fields of one record's data.
class TByteReader {
public:
    TByteReader(std::string_view data, const char* record) : FData(data), FRecord(record) {}
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    double F64();
    std::string_view Bytes(size_t count);
    size_t Left() const { return FData.size(); }

private:
    std::string_view FData;
    const char* FRecord;
};

// How the workbook stores its texts.
class TBiffText {
public:
    // biff8: UTF-16/compressed strings; otherwise bytes in codePage.
    TBiffText(bool biff8, int codePage);
    bool Biff8() const { return FBiff8; }
    // A string with a one- or two-byte character count (BIFF8 adds the
    // flags byte; BIFF5 gives code-page bytes).
    std::string Read(TByteReader& in, bool wideCount) const;

private:
    bool FBiff8;
    AnsiCodePage FPage;
};

// Hands the strings of an SST record and its CONTINUE records to sink, in
// order; returns how many. More than MaxSharedStrings strings, or more than
// MaxSharedTextBytes of them all, raise EWorkbookError (TooLarge); one
// string cannot outgrow its 16-bit length.
uint32_t ReadSharedStringTable(const std::vector<std::string_view>& segments,
                               const std::function<void(const std::string& text)>& sink);

// The text of a BIFF error code ("#DIV/0!", "#N/A", ...).
const char* BiffErrorText(uint8_t code);

} // namespace tabellix
