#include "automation/WorkbookReader.h"

#include "automation/CompoundFile.h"
#include "automation/WorkbookError.h"
#include "automation/XlsReader.h"
#include "automation/XlsxReader.h"
#include "automation/ZipArchive.h"
#include "base/Format.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sys/stat.h>

namespace tabellix {

namespace {

enum class TFileFormat { Zip, CompoundFile, Other };

TFileFormat Sniff(std::string_view head) {
    static constexpr std::string_view zip("PK\x03\x04", 4);
    static constexpr std::string_view cfb("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (head.starts_with(zip))
        return TFileFormat::Zip;
    if (head.starts_with(cfb))
        return TFileFormat::CompoundFile;
    return TFileFormat::Other;
}

// A pipe or a device would block the read or never end, and a folder is no
// workbook: only a regular file is opened, which stat tells without opening.
void RequireRegularFile(const std::string& fileName) {
    struct stat info;
    if (::stat(fileName.c_str(), &info) != 0)
        FailRead(TWorkbookErrorCode::CannotOpen, SysErrorMessage(errno));
    if (!S_ISREG(info.st_mode))
        FailRead(TWorkbookErrorCode::CannotOpen,
                 "it is not a regular file (a folder, a pipe or a device)");
}

std::string FileHead(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        FailRead(TWorkbookErrorCode::CannotOpen, SysErrorMessage(errno));
    std::array<char, 8> head{};
    in.read(head.data(), head.size());
    return std::string(head.data(), static_cast<size_t>(in.gcount()));
}

[[noreturn]] void FailNotWorkbook() {
    FailRead(TWorkbookErrorCode::NotWorkbook,
             "it is not a workbook this program can read (.xlsx, .xlsm or .xls)");
}

void LoadEverySheet(TWorkbook& book) {
    for (int i = 0; i < book.SheetCount(); ++i)
        book.Sheet(i).Load();
}

} // namespace

std::unique_ptr<TWorkbook> OpenWorkbookFile(const std::string& fileName) {
    return ReadNamed(fileName, [&] {
        RequireRegularFile(fileName);
        switch (Sniff(FileHead(fileName))) {
        case TFileFormat::Zip:
            return ReadXlsxWorkbook(TZipArchive::OpenFile(fileName), fileName);
        case TFileFormat::CompoundFile:
            return ReadXlsWorkbook(ReadCompoundWorkbookStream(fileName), fileName);
        case TFileFormat::Other:
            break;
        }
        FailNotWorkbook();
    });
}

std::unique_ptr<TWorkbook> LoadWorkbook(const std::string& fileName) {
    auto book = OpenWorkbookFile(fileName);
    LoadEverySheet(*book);
    return book;
}

std::unique_ptr<TWorkbook> LoadWorkbookFromMemory(std::string_view bytes, const std::string& name) {
    auto book = ReadNamed(name, [&] {
        switch (Sniff(bytes)) {
        case TFileFormat::Zip:
            return ReadXlsxWorkbook(TZipArchive::OpenMemory(bytes), name);
        case TFileFormat::CompoundFile:
            return ReadXlsWorkbook(ReadCompoundWorkbookStreamFromMemory(bytes), name);
        case TFileFormat::Other:
            break;
        }
        FailNotWorkbook();
    });
    LoadEverySheet(*book);
    return book;
}

} // namespace tabellix
