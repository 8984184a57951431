#include "automation/ZipArchive.h"

#include "automation/WorkbookError.h"
#include "base/Format.h"

#include <zip.h>

#include <algorithm>
#include <vector>

namespace tabellix {

struct TZipArchive::Handle {
    zip_t* Zip = nullptr;
    ~Handle() {
        if (Zip)
            zip_discard(Zip);
    }
};

namespace {

std::string ZipErrorText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

[[noreturn]] void FailOpen(int code) {
    if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)
        FailRead(TWorkbookErrorCode::NotWorkbook,
                 Format("it is not a valid zip package (%s)", {ZipErrorText(code)}));
    FailRead(TWorkbookErrorCode::CannotOpen, ZipErrorText(code));
}

constexpr uint64_t kPieceBytes = uint64_t{1} << 18;

struct TZipFile {
    zip_file_t* File;
    ~TZipFile() {
        if (File)
            zip_fclose(File);
    }
};

} // namespace

std::string NormalisePartName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '\\')
            c = '/';
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
        out += c;
    }
    const auto start = out.find_first_not_of('/');
    return start == std::string::npos ? std::string() : out.substr(start);
}

TZipArchive::TZipArchive(std::unique_ptr<Handle> handle) : FHandle(std::move(handle)) {
    IndexEntries();
}

TZipArchive::~TZipArchive() = default;

std::unique_ptr<TZipArchive> TZipArchive::OpenFile(const std::string& fileName) {
    int code = 0;
    auto handle = std::make_unique<Handle>();
    handle->Zip = zip_open(fileName.c_str(), ZIP_RDONLY, &code);
    if (!handle->Zip)
        FailOpen(code);
    return std::unique_ptr<TZipArchive>(new TZipArchive(std::move(handle)));
}

std::unique_ptr<TZipArchive> TZipArchive::OpenMemory(std::string_view bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    auto handle = std::make_unique<Handle>();
    if (source)
        handle->Zip = zip_open_from_source(source, ZIP_RDONLY, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!handle->Zip) {
        if (source)
            zip_source_free(source);
        FailOpen(code);
    }
    return std::unique_ptr<TZipArchive>(new TZipArchive(std::move(handle)));
}

void TZipArchive::IndexEntries() {
    const zip_int64_t count = zip_get_num_entries(FHandle->Zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(FHandle->Zip, static_cast<zip_uint64_t>(i), 0);
        // Of two entries under one name the reader would take either; the
        // package is damaged rather than ambiguous.
        if (name && !FEntries.emplace(NormalisePartName(name), static_cast<uint64_t>(i)).second)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("the package holds part \"%s\" twice (names differing only in "
                            "letter case count as one)",
                            {std::string(name)}));
    }
}

bool TZipArchive::Has(std::string_view name) const {
    return FEntries.count(NormalisePartName(name)) != 0;
}

void TZipArchive::Stream(std::string_view name, const TSink& sink) const {
    const auto it = FEntries.find(NormalisePartName(name));
    if (it == FEntries.end())
        FailRead(TWorkbookErrorCode::MissingPart,
                 Format("the package has no part \"%s\"", {std::string(name)}));
    zip_stat_t stat;
    if (zip_stat_index(FHandle->Zip, it->second, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        FailRead(TWorkbookErrorCode::Malformed,
                 Format("the size of part \"%s\" is unreadable", {std::string(name)}));
    if (stat.size > MaxPartBytes)
        FailRead(TWorkbookErrorCode::TooLarge,
                 Format("part \"%s\" declares %u bytes, more than this program reads",
                        {std::string(name), static_cast<unsigned long long>(stat.size)}));
    TZipFile file{zip_fopen_index(FHandle->Zip, it->second, 0)};
    if (!file.File)
        FailRead(TWorkbookErrorCode::Malformed,
                 Format("part \"%s\" cannot be opened (%s)",
                        {std::string(name), zip_strerror(FHandle->Zip)}));
    // Large pieces keep the inflater's window copies and the parser's calls
    // few; a small part needs no more than its own size.
    const size_t pieceBytes = static_cast<size_t>(std::min<uint64_t>(stat.size + 1, kPieceBytes));
    std::vector<char> buffer(pieceBytes);
    uint64_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.File, buffer.data(), buffer.size());
        if (got < 0)
            FailRead(TWorkbookErrorCode::Truncated,
                     Format("part \"%s\" cannot be inflated (%s)",
                            {std::string(name), zip_file_strerror(file.File)}));
        if (got == 0)
            return;
        total += static_cast<uint64_t>(got);
        if (total > stat.size)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("part \"%s\" inflates beyond its declared size", {std::string(name)}));
        sink(buffer.data(), static_cast<size_t>(got));
    }
}

std::string TZipArchive::Read(std::string_view name) const {
    std::string out;
    Stream(name, [&](const char* data, size_t size) { out.append(data, size); });
    return out;
}

} // namespace tabellix
