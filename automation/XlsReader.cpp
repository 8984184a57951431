#include "automation/XlsReader.h"

#include "automation/BiffRecords.h"
#include "automation/NumberFormat.h"
#include "automation/WorkbookError.h"
#include "base/Format.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

namespace tabellix {

namespace {

// BOF substream kinds.
constexpr uint16_t kGlobals = 0x0005;
constexpr uint16_t kWorksheet = 0x0010;

struct TSheetEntry {
    uint32_t Offset = 0;
    std::string Name;
};

struct TGlobals {
    bool Biff8 = true;
    bool Date1904 = false;
    int CodePage = 1252;
    TFormatTable Formats;
    std::vector<uint16_t> XfFormats;
    std::vector<TNumberClass> XfClasses;
    std::vector<TSheetEntry> Sheets; // worksheets (or dialog sheets), in order
    // The SST record and its CONTINUE records, decoded with the first sheet.
    std::vector<std::string_view> SharedSegments;
    uint32_t SharedBase = 0;
    uint32_t SharedCount = 0;
};

// The BOF's version and substream kind.
std::pair<uint16_t, uint16_t> ReadBof(const TBiffRecord& record) {
    if (record.Type != biff::Bof)
        FailRead(TWorkbookErrorCode::Malformed, "a substream does not begin with a BOF record");
    TByteReader in(record.Data, "BOF");
    const uint16_t version = in.U16();
    return {version, in.U16()};
}

class TGlobalsReader {
public:
    explicit TGlobalsReader(std::string_view stream) : FStream(stream) {}

    TGlobals Read() {
        TBiffCursor cursor(FStream, 0);
        TBiffRecord record;
        if (!cursor.Next(record))
            FailRead(TWorkbookErrorCode::Truncated, "the workbook stream is empty");
        const auto [version, kind] = ReadBof(record);
        if (kind != kGlobals || (version != 0x0600 && version != 0x0500))
            FailRead(TWorkbookErrorCode::NotWorkbook,
                     "it is a binary workbook of a version this program cannot read");
        FOut.Biff8 = version == 0x0600;
        while (cursor.Next(record) && record.Type != biff::Eof)
            OnRecord(record, cursor);
        for (uint16_t format : FOut.XfFormats)
            FOut.XfClasses.push_back(FOut.Formats.Classify(format));
        return std::move(FOut);
    }

private:
    const TBiffText& Text() {
        if (!FText)
            FText.emplace(FOut.Biff8, FOut.CodePage);
        return *FText;
    }

    void OnRecord(const TBiffRecord& record, TBiffCursor& cursor) {
        TByteReader in(record.Data, "workbook");
        switch (record.Type) {
        case biff::FilePass:
            FailRead(TWorkbookErrorCode::Encrypted, "the workbook is encrypted with a password");
        case biff::CodePage:
            FOut.CodePage = in.U16();
            FText.reset();
            return;
        case biff::DateMode:
            FOut.Date1904 = in.U16() != 0;
            return;
        case biff::Format: {
            const uint16_t id = in.U16();
            FOut.Formats.Define(id, Text().Read(in, FOut.Biff8));
            return;
        }
        case biff::Xf:
            in.U16();
            FOut.XfFormats.push_back(in.U16());
            return;
        case biff::BoundSheet:
            return OnBoundSheet(in);
        case biff::Sst:
            return OnSst(record, cursor);
        default:
            return;
        }
    }

    void OnBoundSheet(TByteReader& in) {
        const uint32_t offset = in.U32();
        in.U8(); // visibility: hidden sheets are listed too
        const uint8_t type = in.U8();
        std::string name = Text().Read(in, false);
        // 0 is a worksheet (or a dialog sheet); macro, chart and module
        // sheets are no worksheets.
        if (type == 0)
            FOut.Sheets.push_back({offset, std::move(name)});
    }

    void OnSst(const TBiffRecord& record, TBiffCursor& cursor) {
        std::vector<std::string_view> segments{record.Data};
        TBiffRecord next;
        while (cursor.PeekType() == biff::Continue && cursor.Next(next))
            segments.push_back(next.Data);
        FOut.SharedSegments = std::move(segments);
    }

    std::string_view FStream;
    TGlobals FOut;
    std::optional<TBiffText> FText;
};

// Decodes the cell records of one worksheet substream into a sheet.
class TSheetReader {
public:
    TSheetReader(const TGlobals& globals, const TBiffText& text, TSheet& sheet, uint64_t& budget)
        : FGlobals(globals), FText(text), FSheet(sheet), FBudget(budget) {}

    void OnRecord(const TBiffRecord& record) {
        TByteReader in(record.Data, "cell");
        switch (record.Type) {
        case biff::Number:
            return OnNumber(in, [](TByteReader& r) { return r.F64(); });
        case biff::Rk:
            return OnNumber(in, [](TByteReader& r) { return RkValue(r.U32()); });
        case biff::MulRk:
            return OnMulRk(in);
        case biff::LabelSst:
            return OnLabelSst(in);
        case biff::Label:
        case biff::RString: {
            const auto [row, column] = Position(in);
            in.U16();
            return FSheet.SetText(row, column, FText.Read(in, true));
        }
        case biff::BoolErr:
            return OnBoolErr(in);
        case biff::Formula:
            return OnFormula(in);
        case biff::String:
            return OnString(in);
        case biff::Blank:
            return Touch(in);
        case biff::MulBlank:
            return OnMulBlank(in);
        default:
            return;
        }
    }

private:
    static double RkValue(uint32_t rk) {
        double value;
        if (rk & 2) {
            value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
        } else {
            const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&value, &bits, sizeof value);
        }
        return (rk & 1) ? value / 100 : value;
    }

    std::pair<int, int> Position(TByteReader& in) {
        const uint16_t row = in.U16();
        return Position(row, in.U16());
    }

    std::pair<int, int> Position(uint16_t row, uint16_t column) {
        if (column >= MaxSheetColumns)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("a cell record names column %d, beyond the last", {column + 1}));
        if (FBudget == 0)
            FailRead(TWorkbookErrorCode::TooLarge,
                     "the workbook stores more cells than this program reads");
        --FBudget;
        FPendingString = false;
        return {row + 1, column + 1};
    }

    void StoreNumber(int row, int column, uint16_t xf, double number) {
        const auto& classes = FGlobals.XfClasses;
        const TNumberClass kind = xf < classes.size() ? classes[xf] : TNumberClass::Number;
        if (!std::isfinite(number))
            return FSheet.Touch(row, column);
        SetClassifiedNumber(FSheet, row, column, number, kind, FGlobals.Date1904);
    }

    template <class Value> void OnNumber(TByteReader& in, Value value) {
        const auto [row, column] = Position(in);
        const uint16_t xf = in.U16();
        StoreNumber(row, column, xf, value(in));
    }

    void OnMulRk(TByteReader& in) {
        const uint16_t row = in.U16();
        uint16_t column = in.U16();
        // Each entry is an XF index and an RK value; the last column ends it.
        while (in.Left() >= 8) {
            const auto [r, c] = Position(row, column++);
            const uint16_t xf = in.U16();
            StoreNumber(r, c, xf, RkValue(in.U32()));
        }
    }

    void OnMulBlank(TByteReader& in) {
        const uint16_t row = in.U16();
        uint16_t column = in.U16();
        while (in.Left() >= 4) {
            const auto [r, c] = Position(row, column++);
            in.U16();
            FSheet.Touch(r, c);
        }
    }

    void Touch(TByteReader& in) {
        const auto [row, column] = Position(in);
        FSheet.Touch(row, column);
    }

    void OnLabelSst(TByteReader& in) {
        const auto [row, column] = Position(in);
        in.U16();
        const uint32_t index = in.U32();
        if (index >= FGlobals.SharedCount)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("cell (%d, %d) refers to shared string %u of %u",
                            {row, column, index, FGlobals.SharedCount}));
        FSheet.SetPooledText(row, column, FGlobals.SharedBase + index);
    }

    void OnBoolErr(TByteReader& in) {
        const auto [row, column] = Position(in);
        in.U16();
        const uint8_t value = in.U8();
        if (in.U8() != 0)
            FSheet.SetError(row, column, BiffErrorText(value));
        else
            FSheet.SetBoolean(row, column, value != 0);
    }

    // A formula keeps its last result: a number, or a marked kind whose
    // text follows in a STRING record.
    void OnFormula(TByteReader& in) {
        const auto [row, column] = Position(in);
        const uint16_t xf = in.U16();
        const auto result = in.Bytes(8);
        if (static_cast<uint8_t>(result[6]) != 0xFF || static_cast<uint8_t>(result[7]) != 0xFF) {
            TByteReader number(result, "FORMULA");
            return StoreNumber(row, column, xf, number.F64());
        }
        const auto value = static_cast<uint8_t>(result[2]);
        switch (static_cast<uint8_t>(result[0])) {
        case 0:
            FSheet.Touch(row, column);
            FPendingString = true;
            FPendingRow = row;
            FPendingColumn = column;
            return;
        case 1:
            return FSheet.SetBoolean(row, column, value != 0);
        case 2:
            return FSheet.SetError(row, column, BiffErrorText(value));
        case 3:
            return FSheet.SetText(row, column, std::string());
        default:
            return FSheet.Touch(row, column);
        }
    }

    void OnString(TByteReader& in) {
        if (!FPendingString)
            return;
        FPendingString = false;
        FSheet.SetText(FPendingRow, FPendingColumn, FText.Read(in, true));
    }

    const TGlobals& FGlobals;
    const TBiffText& FText;
    TSheet& FSheet;
    uint64_t& FBudget;
    bool FPendingString = false;
    int FPendingRow = 0;
    int FPendingColumn = 0;
};

TBiffCursor OpenSubstream(std::string_view stream, uint32_t offset, const std::string& name) {
    if (offset >= stream.size())
        FailRead(TWorkbookErrorCode::Truncated,
                 Format("sheet \"%s\" lies beyond the end of the workbook stream", {name}));
    return TBiffCursor(stream, offset);
}

// A dialog sheet has the substream of a worksheet, told apart by its
// WSBOOL flags before the first cell.
bool IsDialogSheet(std::string_view stream, const TSheetEntry& entry) {
    TBiffCursor cursor = OpenSubstream(stream, entry.Offset, entry.Name);
    TBiffRecord record;
    while (cursor.Next(record) && record.Type != biff::Eof && record.Type != biff::Number &&
           record.Type != biff::LabelSst)
        if (record.Type == biff::WsBool && !record.Data.empty())
            return (static_cast<uint8_t>(record.Data[0]) & 0x10) != 0;
    return false;
}

void ReadSheet(std::string_view stream, const TSheetEntry& entry, TSheetReader& reader) {
    TBiffCursor cursor = OpenSubstream(stream, entry.Offset, entry.Name);
    TBiffRecord record;
    if (!cursor.Next(record) || ReadBof(record).second != kWorksheet)
        FailRead(TWorkbookErrorCode::Malformed,
                 Format("sheet \"%s\" does not start a worksheet", {entry.Name}));
    // Embedded charts nest their own BOF ... EOF inside the sheet.
    int depth = 1;
    while (depth > 0 && cursor.Next(record)) {
        if (record.Type == biff::Bof)
            ++depth;
        else if (record.Type == biff::Eof)
            --depth;
        else if (depth == 1)
            reader.OnRecord(record);
    }
}

// What the deferred sheet reads share.
struct TXlsSource {
    std::string Stream;
    TGlobals Globals;
    // Cells the workbook may still store; a read that fails takes none.
    uint64_t Budget = MaxWorkbookCells;
    // The shared strings wait for the first sheet read, so that listing the
    // sheets costs none of them. The book owns the sheets that hold this.
    TWorkbook* Book = nullptr;
    bool SharedRead = false;
};

void ReadSharedOnce(TXlsSource& source) {
    TGlobals& globals = source.Globals;
    if (source.SharedRead || globals.SharedSegments.empty())
        return;
    globals.SharedBase = static_cast<uint32_t>(source.Book->PoolSize());
    globals.SharedCount = ReadSharedStringTable(
        globals.SharedSegments, [&](const std::string& text) { source.Book->AddText(text); });
    source.SharedRead = true;
}

TSheet::TCellLoader SheetLoader(std::shared_ptr<TXlsSource> source, TSheetEntry entry,
                                std::string name) {
    return [source = std::move(source), entry = std::move(entry),
            name = std::move(name)](TSheet& sheet) {
        ReadNamed(name, [&] {
            // A failed read drops the texts it added, the shared strings too
            // when it was the one to read them.
            const bool sharedRead = source->SharedRead;
            try {
                ReadSharedOnce(*source);
                const TBiffText text(source->Globals.Biff8, source->Globals.CodePage);
                uint64_t budget = source->Budget;
                TSheetReader reader(source->Globals, text, sheet, budget);
                ReadSheet(source->Stream, entry, reader);
                source->Budget = budget;
            } catch (...) {
                source->SharedRead = sharedRead;
                throw;
            }
        });
    };
}

} // namespace

std::unique_ptr<TWorkbook> ReadXlsWorkbook(std::string stream, const std::string& name) {
    auto book = std::make_unique<TWorkbook>();
    auto source = std::make_shared<TXlsSource>();
    source->Stream = std::move(stream);
    source->Book = book.get();
    source->Globals = TGlobalsReader(source->Stream).Read();
    for (const auto& entry : source->Globals.Sheets)
        if (!IsDialogSheet(source->Stream, entry))
            book->AddSheet(entry.Name).SetCellLoader(SheetLoader(source, entry, name));
    return book;
}

} // namespace tabellix
