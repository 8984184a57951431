#include "automation/BiffRecords.h"

#include "automation/TextDecode.h"
#include "automation/WorkbookError.h"
#include "base/Exception.h"
#include "base/Format.h"

#include <cstring>

namespace tabellix {

namespace {

uint16_t Le16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | static_cast<uint8_t>(p[1]) << 8);
}

[[noreturn]] void FailShort(const char* record) {
    FailRead(TWorkbookErrorCode::Truncated, Format("a %s record ends early", {record}));
}

std::string CodePageName(int codePage) {
    switch (codePage) {
    case 367:
        return "US-ASCII";
    case 10000:
    case 32768:
        return "macintosh";
    case 10006:
        return "x-mac-greek";
    case 10007:
        return "x-mac-cyrillic";
    case 10029:
        return "x-mac-centraleurroman";
    case 10081:
        return "x-mac-turkish";
    case 32769:
        return "windows-1252";
    case 874:
    case 932:
    case 936:
    case 949:
    case 950:
        return "windows-" + std::to_string(codePage);
    default:
        if (codePage >= 1250 && codePage <= 1258)
            return "windows-" + std::to_string(codePage);
        return "cp" + std::to_string(codePage);
    }
}

// An ICU converter for the page, or the Western page when ICU has none.
std::string UsablePage(int codePage) {
    const std::string name = CodePageName(codePage);
    try {
        AnsiCodePage probe(name);
        return name;
    } catch (const EArgumentException&) {
        return "windows-1252";
    }
}

// Reads across the SST record and its CONTINUE records: plain fields run on
// over a record boundary, character runs restart with a fresh flags byte.
class TSegmentReader {
public:
    explicit TSegmentReader(const std::vector<std::string_view>& segments) : FSegments(segments) {}

    bool AtEnd() {
        SkipEmpty();
        return FIndex >= FSegments.size();
    }
    uint8_t U8() {
        SkipEmpty();
        if (FIndex >= FSegments.size())
            FailShort("SST");
        return static_cast<uint8_t>(FSegments[FIndex][FPos++]);
    }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return U16() | static_cast<uint32_t>(U16()) << 16; }
    void Skip(uint64_t count) {
        while (count > 0) {
            SkipEmpty();
            if (FIndex >= FSegments.size())
                FailShort("SST");
            const size_t step = std::min<uint64_t>(count, FSegments[FIndex].size() - FPos);
            FPos += step;
            count -= step;
        }
    }
    void Chars(size_t count, bool wide, std::string& out) {
        while (count > 0) {
            if (FIndex >= FSegments.size() || FPos >= FSegments[FIndex].size()) {
                NextSegment();
                wide = (U8() & 1) != 0;
            }
            const size_t width = wide ? 2 : 1;
            const size_t fit = std::min(count, (FSegments[FIndex].size() - FPos) / width);
            if (fit == 0)
                FailShort("SST");
            const auto bytes = FSegments[FIndex].substr(FPos, fit * width);
            wide ? AppendUtf16Le(out, bytes) : AppendLatin1(out, bytes);
            FPos += fit * width;
            count -= fit;
        }
    }

private:
    void SkipEmpty() {
        while (FIndex < FSegments.size() && FPos >= FSegments[FIndex].size())
            NextSegment();
    }
    void NextSegment() {
        if (FIndex >= FSegments.size())
            FailShort("SST");
        ++FIndex;
        FPos = 0;
        if (FIndex >= FSegments.size())
            FailShort("SST");
    }

    const std::vector<std::string_view>& FSegments;
    size_t FIndex = 0;
    size_t FPos = 0;
};

} // namespace

TBiffCursor::TBiffCursor(std::string_view stream, size_t offset)
    : FStream(stream), FOffset(offset) {}

bool TBiffCursor::Next(TBiffRecord& record) {
    if (FOffset + 4 > FStream.size())
        return false;
    const char* head = FStream.data() + FOffset;
    const size_t length = Le16(head + 2);
    if (FOffset + 4 + length > FStream.size())
        FailRead(TWorkbookErrorCode::Truncated,
                 Format("the record at offset %u runs past the end of the workbook stream",
                        {static_cast<unsigned long long>(FOffset)}));
    record.Type = Le16(head);
    record.Data = FStream.substr(FOffset + 4, length);
    FOffset += 4 + length;
    return true;
}

uint16_t TBiffCursor::PeekType() const {
    return FOffset + 4 <= FStream.size() ? Le16(FStream.data() + FOffset) : 0;
}

uint8_t TByteReader::U8() {
    return static_cast<uint8_t>(Bytes(1)[0]);
}

uint16_t TByteReader::U16() {
    return Le16(Bytes(2).data());
}

uint32_t TByteReader::U32() {
    const char* p = Bytes(4).data();
    return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16;
}

double TByteReader::F64() {
    const auto bytes = Bytes(8);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | static_cast<uint8_t>(bytes[static_cast<size_t>(i)]);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string_view TByteReader::Bytes(size_t count) {
    if (count > FData.size())
        FailShort(FRecord);
    const auto out = FData.substr(0, count);
    FData.remove_prefix(count);
    return out;
}

TBiffText::TBiffText(bool biff8, int codePage) : FBiff8(biff8), FPage(UsablePage(codePage)) {}

std::string TBiffText::Read(TByteReader& in, bool wideCount) const {
    const size_t count = wideCount ? in.U16() : in.U8();
    std::string out;
    if (!FBiff8)
        return FPage.ToUtf8(in.Bytes(count));
    const bool wide = (in.U8() & 1) != 0;
    const auto bytes = in.Bytes(std::min(count * (wide ? 2 : 1), in.Left()));
    wide ? AppendUtf16Le(out, bytes) : AppendLatin1(out, bytes);
    return out;
}

uint32_t ReadSharedStringTable(const std::vector<std::string_view>& segments,
                               const std::function<void(const std::string& text)>& sink) {
    TSegmentReader in(segments);
    in.U32();
    const uint32_t unique = in.U32();
    uint64_t bytes = 0;
    std::string text;
    uint32_t i = 0;
    for (; i < unique && !in.AtEnd(); ++i) {
        if (i == MaxSharedStrings)
            FailRead(TWorkbookErrorCode::TooLarge,
                     Format("the workbook lists more than %u shared strings, more than this "
                            "program reads",
                            {static_cast<unsigned long long>(MaxSharedStrings)}));
        const uint16_t count = in.U16();
        const uint8_t flags = in.U8();
        const uint16_t runs = (flags & 0x08) ? in.U16() : 0;
        const uint32_t extra = (flags & 0x04) ? in.U32() : 0;
        text.clear();
        in.Chars(count, (flags & 1) != 0, text);
        in.Skip(uint64_t{runs} * 4 + extra);
        bytes += text.size();
        if (bytes > MaxSharedTextBytes)
            FailRead(TWorkbookErrorCode::TooLarge,
                     Format("the shared strings take more than %u bytes, more than this "
                            "program reads",
                            {static_cast<unsigned long long>(MaxSharedTextBytes)}));
        sink(text);
    }
    return i;
}

const char* BiffErrorText(uint8_t code) {
    switch (code) {
    case 0x00:
        return "#NULL!";
    case 0x07:
        return "#DIV/0!";
    case 0x0F:
        return "#VALUE!";
    case 0x17:
        return "#REF!";
    case 0x1D:
        return "#NAME?";
    case 0x24:
        return "#NUM!";
    default:
        return "#N/A";
    }
}

} // namespace tabellix
