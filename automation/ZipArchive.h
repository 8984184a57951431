// The package container of the XML workbook: a zip archive whose entries
// are found by name (ignoring letter case and the separator some writers
// get wrong) and inflated with a bounded size.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tabellix {

class TZipArchive {
public:
    using TSink = std::function<void(const char* data, size_t size)>;

    // Opens a file, or an archive held in memory that outlives this object.
    static std::unique_ptr<TZipArchive> OpenFile(const std::string& fileName);
    static std::unique_ptr<TZipArchive> OpenMemory(std::string_view bytes);
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    bool Has(std::string_view name) const;
    // Inflates an entry in chunks; more bytes than the archive declares for
    // it, or more than MaxPartBytes, raise EWorkbookError.
    void Stream(std::string_view name, const TSink& sink) const;
    // The whole entry, for the small parts.
    std::string Read(std::string_view name) const;

private:
    struct Handle;
    explicit TZipArchive(std::unique_ptr<Handle> handle);
    void IndexEntries();

    std::unique_ptr<Handle> FHandle;
    // Normalised entry name to its index in the archive.
    std::unordered_map<std::string, uint64_t> FEntries;
};

// The name as the archive index keeps it: "/" separators, no leading "/",
// ASCII letters in lower case.
std::string NormalisePartName(std::string_view name);

} // namespace tabellix
