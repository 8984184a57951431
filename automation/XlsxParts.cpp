#include "automation/XlsxParts.h"

#include "automation/TextDecode.h"
#include "automation/WorkbookError.h"
#include "automation/XmlScanner.h"
#include "base/Format.h"

#include <charconv>

namespace tabellix {

namespace {

std::string LastSegment(std::string_view uri) {
    const auto slash = uri.rfind('/');
    return std::string(slash == std::string_view::npos ? uri : uri.substr(slash + 1));
}

std::string FolderOf(const std::string& part) {
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A target relative to the source's folder, or absolute from the package
// root, with "." and ".." steps resolved.
std::string ResolveTarget(const std::string& source, std::string_view target) {
    std::string path = !target.empty() && (target[0] == '/' || target[0] == '\\')
                           ? std::string(target)
                           : FolderOf(source) + std::string(target);
    std::vector<std::string> steps;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/' && path[i] != '\\')
            continue;
        const std::string step = path.substr(start, i - start);
        start = i + 1;
        if (step == "..") {
            if (!steps.empty())
                steps.pop_back();
        } else if (!step.empty() && step != ".") {
            steps.push_back(step);
        }
    }
    std::string out;
    for (const auto& step : steps)
        out += (out.empty() ? "" : "/") + step;
    return out;
}

std::string RelationshipsPart(const std::string& source) {
    const auto slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : source.substr(0, slash + 1);
    const std::string file = slash == std::string::npos ? source : source.substr(slash + 1);
    return folder + "_rels/" + file + ".rels";
}

int IntAttribute(const char** attrs, std::string_view name, int fallback) {
    const char* text = XmlAttribute(attrs, name);
    if (!text)
        return fallback;
    int value = fallback;
    const std::string_view view(text);
    std::from_chars(view.data(), view.data() + view.size(), value);
    return value;
}

bool TrueAttribute(const char* text) {
    return text && (std::string_view(text) == "1" || std::string_view(text) == "true");
}

class TRelationshipsHandler : public TXmlHandler {
public:
    TRelationshipsHandler(const std::string& source, std::vector<TXlsxRelationship>& out)
        : FSource(source), FOut(out) {}
    void StartElement(std::string_view name, const char** attrs) override {
        if (name != "Relationship")
            return;
        const char* id = XmlAttribute(attrs, "Id");
        const char* type = XmlAttribute(attrs, "Type");
        const char* target = XmlAttribute(attrs, "Target");
        const char* mode = XmlAttribute(attrs, "TargetMode");
        if (!id || !type || !target || (mode && std::string_view(mode) == "External"))
            return;
        FOut.push_back({id, LastSegment(type), ResolveTarget(FSource, target)});
    }
    void EndElement(std::string_view) override {}
    void Text(std::string_view) override {}
    bool WantText() const override { return false; }

private:
    const std::string& FSource;
    std::vector<TXlsxRelationship>& FOut;
};

class TWorkbookHandler : public TXmlHandler {
public:
    explicit TWorkbookHandler(TXlsxWorkbookPart& out) : FOut(out) {}
    void StartElement(std::string_view name, const char** attrs) override {
        if (!FSawRoot) {
            FSawRoot = true;
            if (name != "workbook")
                FailRead(TWorkbookErrorCode::MissingPart,
                         "the package holds no workbook (its main part is not a workbook)");
        }
        if (name == "workbookPr")
            FOut.Date1904 = TrueAttribute(XmlAttribute(attrs, "date1904"));
        if (name != "sheet")
            return;
        const char* sheetName = XmlAttribute(attrs, "name");
        const char* id = XmlAttribute(attrs, "id");
        if (!sheetName || !id)
            FailRead(TWorkbookErrorCode::Malformed,
                     "a sheet of the workbook part has no name or id");
        FOut.Sheets.push_back({UnescapePackageText(sheetName), id});
    }
    void EndElement(std::string_view) override {}
    void Text(std::string_view) override {}
    bool WantText() const override { return false; }

private:
    TXlsxWorkbookPart& FOut;
    bool FSawRoot = false;
};

class TStylesHandler : public TXmlHandler {
public:
    void StartElement(std::string_view name, const char** attrs) override {
        if (name == "cellXfs")
            FInCellXfs = true;
        else if (name == "numFmt")
            FFormats.Define(IntAttribute(attrs, "numFmtId", 0),
                            XmlAttribute(attrs, "formatCode") ? XmlAttribute(attrs, "formatCode")
                                                              : "");
        else if (name == "xf" && FInCellXfs)
            FIds.push_back(IntAttribute(attrs, "numFmtId", 0));
    }
    void EndElement(std::string_view name) override {
        if (name == "cellXfs")
            FInCellXfs = false;
    }
    void Text(std::string_view) override {}
    bool WantText() const override { return false; }

    std::vector<TNumberClass> Classes() const {
        std::vector<TNumberClass> out;
        out.reserve(FIds.size());
        for (int id : FIds)
            out.push_back(FFormats.Classify(id));
        return out;
    }

private:
    TFormatTable FFormats;
    std::vector<int> FIds;
    bool FInCellXfs = false;
};

class TSharedStringsHandler : public TXmlHandler {
public:
    TSharedStringsHandler(TWorkbook& book, const std::string& part) : FBook(book), FPart(part) {}
    void StartElement(std::string_view name, const char**) override { FItem.Start(name); }
    void EndElement(std::string_view name) override {
        if (name != "si")
            return FItem.End(name);
        if (FCount == MaxSharedStrings)
            FailRead(TWorkbookErrorCode::TooLarge,
                     Format("%s: the workbook lists more than %u shared strings, more than this "
                            "program reads",
                            {FPart, static_cast<unsigned long long>(MaxSharedStrings)}));
        const std::string text = FItem.Take();
        FBytes += text.size();
        if (FBytes > MaxSharedTextBytes)
            FailRead(TWorkbookErrorCode::TooLarge,
                     Format("%s: the shared strings take more than %u bytes, more than this "
                            "program reads",
                            {FPart, static_cast<unsigned long long>(MaxSharedTextBytes)}));
        FBook.AddText(text);
        ++FCount;
    }
    void Text(std::string_view text) override {
        FItem.Append(text);
        if (FItem.Size() > MaxStringBytes)
            FailLongString(FPart, Format("shared string %u", {FCount}));
    }
    bool WantText() const override { return FItem.Collecting(); }
    uint32_t Count() const { return FCount; }

private:
    TWorkbook& FBook;
    const std::string& FPart;
    TStringItemText FItem;
    uint32_t FCount = 0;
    uint64_t FBytes = 0;
};

// The code unit of an escape "_xHHHH_" at text[i], if there is one.
bool EscapeAt(std::string_view text, size_t i, uint32_t& unit) {
    if (i + 7 > text.size() || text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_')
        return false;
    const char* first = text.data() + i + 2;
    auto [end, ec] = std::from_chars(first, first + 4, unit, 16);
    return ec == std::errc() && end == first + 4;
}

} // namespace

void TStringItemText::Start(std::string_view name) {
    if (name == "rPh")
        ++FPhonetic;
    else if (name == "t")
        FInText = true;
}

void TStringItemText::End(std::string_view name) {
    if (name == "rPh" && FPhonetic > 0)
        --FPhonetic;
    else if (name == "t")
        FInText = false;
}

std::string TStringItemText::Take() {
    std::string out = UnescapePackageText(FText);
    FText.clear();
    FInText = false;
    FPhonetic = 0;
    return out;
}

void FailLongString(const std::string& part, const std::string& what) {
    FailRead(TWorkbookErrorCode::TooLarge,
             Format("%s: %s is longer than %u bytes, more than this program reads",
                    {part, what, static_cast<unsigned long long>(MaxStringBytes)}));
}

std::string UnescapePackageText(std::string_view text) {
    if (text.find("_x") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t unit = 0;
        if (!EscapeAt(text, i, unit)) {
            out += text[i++];
            continue;
        }
        i += 7;
        uint32_t low = 0;
        if (unit >= 0xD800 && unit < 0xDC00 && EscapeAt(text, i, low) && low >= 0xDC00 &&
            low < 0xE000) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 7;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            unit = 0xFFFD;
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::vector<TXlsxRelationship> ReadRelationships(const TZipArchive& zip,
                                                 const std::string& source) {
    std::vector<TXlsxRelationship> out;
    const std::string part = source.empty() ? "_rels/.rels" : RelationshipsPart(source);
    if (!zip.Has(part))
        return out;
    TRelationshipsHandler handler(source, out);
    ParseXml(handler, part, zip.Read(part));
    return out;
}

std::string FindWorkbookPart(const TZipArchive& zip) {
    for (const auto& rel : ReadRelationships(zip, ""))
        if (rel.Type == "officeDocument")
            return rel.Target;
    if (zip.Has("xl/workbook.xml"))
        return "xl/workbook.xml";
    FailRead(TWorkbookErrorCode::MissingPart, "the package holds no workbook part");
}

TXlsxWorkbookPart ReadWorkbookPart(const TZipArchive& zip, const std::string& part) {
    if (!zip.Has(part))
        FailRead(TWorkbookErrorCode::MissingPart,
                 Format("the package has no workbook part \"%s\"", {part}));
    TXlsxWorkbookPart out;
    TWorkbookHandler handler(out);
    ParseXml(handler, part, zip.Read(part));
    return out;
}

std::vector<TNumberClass> ReadCellFormats(const TZipArchive& zip, const std::string& part) {
    TStylesHandler handler;
    ParseXml(handler, part, zip.Read(part));
    return handler.Classes();
}

uint32_t ReadSharedStrings(const TZipArchive& zip, const std::string& part, TWorkbook& book) {
    TSharedStringsHandler handler(book, part);
    TXmlScanner scanner(handler, part);
    zip.Stream(part, [&](const char* data, size_t size) { scanner.Feed(data, size); });
    scanner.Finish();
    return handler.Count();
}

} // namespace tabellix
