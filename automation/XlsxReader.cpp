#include "automation/XlsxReader.h"

#include "automation/WorkbookError.h"
#include "automation/XlsxParts.h"
#include "automation/XlsxSheet.h"
#include "base/Format.h"

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

} // namespace

std::unique_ptr<TWorkbook> ReadXlsxWorkbook(const TZipArchive& zip) {
    const std::string workbookPart = FindWorkbookPart(zip);
    const TXlsxWorkbookPart workbook = ReadWorkbookPart(zip, workbookPart);
    const auto rels = ReadRelationships(zip, workbookPart);

    auto book = std::make_unique<TWorkbook>();
    std::vector<TNumberClass> formats;
    const std::string styles =
        PartOfType(zip, rels, "styles", SiblingPart(workbookPart, "styles.xml"));
    if (!styles.empty())
        formats = ReadCellFormats(zip, styles);
    TXlsxContext context;
    context.CellFormats = &formats;
    context.Date1904 = workbook.Date1904;
    context.SharedBase = static_cast<uint32_t>(book->PoolSize());
    const std::string shared =
        PartOfType(zip, rels, "sharedStrings", SiblingPart(workbookPart, "sharedStrings.xml"));
    if (!shared.empty())
        context.SharedCount = ReadSharedStrings(zip, shared, *book);
    uint64_t budget = MaxWorkbookCells;
    context.CellBudget = &budget;

    for (const auto& entry : workbook.Sheets) {
        const TXlsxRelationship* rel = FindById(rels, entry.RelationshipId);
        if (!rel)
            FailRead(TWorkbookErrorCode::MissingPart,
                     Format("sheet \"%s\" has no part in the package", {entry.Name}));
        if (rel->Type != "worksheet")
            continue;
        ReadXlsxSheet(zip, rel->Target, context, book->AddSheet(entry.Name));
    }
    return book;
}

} // namespace tabellix
