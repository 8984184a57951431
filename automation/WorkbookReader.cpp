#include "automation/WorkbookReader.h"

#include "automation/Automation.h"
#include "automation/XlsReader.h"
#include "automation/XlsxReader.h"
#include "base/Format.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace tabellix {

namespace {

enum class TFileFormat { Zip, CompoundFile, Other };

TFileFormat Sniff(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw EAutomationError(
            Format("Cannot open the workbook \"%s\": %s", {fileName, SysErrorMessage(errno)}));
    std::array<unsigned char, 8> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    const auto got = static_cast<size_t>(in.gcount());
    static constexpr unsigned char zip[] = {'P', 'K', 3, 4};
    static constexpr unsigned char cfb[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    if (got >= sizeof zip && std::memcmp(head.data(), zip, sizeof zip) == 0)
        return TFileFormat::Zip;
    if (got >= sizeof cfb && std::memcmp(head.data(), cfb, sizeof cfb) == 0)
        return TFileFormat::CompoundFile;
    return TFileFormat::Other;
}

} // namespace

std::unique_ptr<TWorkbook> LoadWorkbook(const std::string& fileName) {
    switch (Sniff(fileName)) {
    case TFileFormat::Zip:
        return ReadXlsxWorkbook(fileName);
    case TFileFormat::CompoundFile:
        return ReadXlsWorkbook(fileName);
    case TFileFormat::Other:
        break;
    }
    throw EAutomationError(Format(
        "\"%s\" is not a workbook this program can read (.xlsx, .xlsm or .xls)", {fileName}));
}

} // namespace tabellix
