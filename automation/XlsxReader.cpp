#include "automation/XlsxReader.h"

#include "automation/WorkbookError.h"
#include "automation/XlsxParts.h"
#include "automation/XlsxSheet.h"
#include "base/Format.h"

#include <memory>

namespace tabellix {

namespace {

const TXlsxRelationship* FindById(const std::vector<TXlsxRelationship>& rels,
                                  const std::string& id) {
    for (const auto& rel : rels)
        if (rel.Id == id)
            return &rel;
    return nullptr;
}

// The target of the first relationship of this type, or the part where
// writers put it when they leave the relationship out.
std::string PartOfType(const TZipArchive& zip, const std::vector<TXlsxRelationship>& rels,
                       const char* type, const std::string& usual) {
    for (const auto& rel : rels)
        if (rel.Type == type && zip.Has(rel.Target))
            return rel.Target;
    return zip.Has(usual) ? usual : std::string();
}

std::string SiblingPart(const std::string& workbookPart, const char* file) {
    const auto slash = workbookPart.rfind('/');
    return (slash == std::string::npos ? std::string() : workbookPart.substr(0, slash + 1)) + file;
}

// What the deferred sheet reads share.
struct TXlsxSource {
    std::shared_ptr<const TZipArchive> Zip;
    std::vector<TNumberClass> Formats;
    TXlsxContext Context;
    // Cells the workbook may still store; a read that fails takes none.
    uint64_t Budget = MaxWorkbookCells;
    // The shared strings wait for the first sheet read, so that listing the
    // sheets costs none of them. The book owns the sheets that hold this.
    TWorkbook* Book = nullptr;
    std::string SharedPart;
    bool SharedRead = false;
};

void ReadSharedOnce(TXlsxSource& source) {
    if (source.SharedRead || source.SharedPart.empty())
        return;
    source.Context.SharedBase = static_cast<uint32_t>(source.Book->PoolSize());
    source.Context.SharedCount = ReadSharedStrings(*source.Zip, source.SharedPart, *source.Book);
    source.SharedRead = true;
}

TSheet::TCellLoader SheetLoader(std::shared_ptr<TXlsxSource> source, std::string part,
                                std::string name) {
    return [source = std::move(source), part = std::move(part),
            name = std::move(name)](TSheet& sheet) {
        ReadNamed(name, [&] {
            // A failed read drops the texts it added, the shared strings too
            // when it was the one to read them.
            const bool sharedRead = source->SharedRead;
            try {
                ReadSharedOnce(*source);
                TXlsxContext context = source->Context;
                uint64_t budget = source->Budget;
                context.CellBudget = &budget;
                ReadXlsxSheet(*source->Zip, part, context, sheet);
                source->Budget = budget;
            } catch (...) {
                source->SharedRead = sharedRead;
                throw;
            }
        });
    };
}

std::shared_ptr<TXlsxSource> ReadSharedParts(std::shared_ptr<const TZipArchive> zip,
                                             const std::string& workbookPart,
                                             const std::vector<TXlsxRelationship>& rels,
                                             TWorkbook& book) {
    auto source = std::make_shared<TXlsxSource>();
    source->Zip = std::move(zip);
    const TZipArchive& archive = *source->Zip;
    const std::string styles =
        PartOfType(archive, rels, "styles", SiblingPart(workbookPart, "styles.xml"));
    if (!styles.empty())
        source->Formats = ReadCellFormats(archive, styles);
    source->Context.CellFormats = &source->Formats;
    source->Book = &book;
    source->SharedPart =
        PartOfType(archive, rels, "sharedStrings", SiblingPart(workbookPart, "sharedStrings.xml"));
    return source;
}

} // namespace

std::unique_ptr<TWorkbook> ReadXlsxWorkbook(std::shared_ptr<const TZipArchive> zip,
                                            const std::string& name) {
    const std::string workbookPart = FindWorkbookPart(*zip);
    const TXlsxWorkbookPart workbook = ReadWorkbookPart(*zip, workbookPart);
    const auto rels = ReadRelationships(*zip, workbookPart);

    auto book = std::make_unique<TWorkbook>();
    const auto source = ReadSharedParts(std::move(zip), workbookPart, rels, *book);
    source->Context.Date1904 = workbook.Date1904;
    for (const auto& entry : workbook.Sheets) {
        const TXlsxRelationship* rel = FindById(rels, entry.RelationshipId);
        if (!rel)
            FailRead(TWorkbookErrorCode::MissingPart,
                     Format("sheet \"%s\" has no part in the package", {entry.Name}));
        if (rel->Type == "worksheet")
            book->AddSheet(entry.Name).SetCellLoader(SheetLoader(source, rel->Target, name));
    }
    return book;
}

} // namespace tabellix
