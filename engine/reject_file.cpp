#include "engine/reject_file.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "engine/dump_name.h"

#include <cerrno>
#include <filesystem>
#include <unistd.h>

namespace tabellix {

std::optional<std::string> rejects_overwrite_workbook(const std::string& rejectFile,
                                                      const std::string& workbook) {
    if (!same_file(rejectFile, workbook))
        return std::nullopt;
    return Format("The reject file \"%s\" is the workbook \"%s\" itself; writing it would "
                  "destroy the workbook. Choose another name.",
                  {rejectFile, workbook});
}

std::string reject_field(const std::string& text) {
    std::string field = text;
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos)
        field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (const char c : field) {
        out.push_back(c);
        if (c == '"')
            out.push_back('"');
    }
    return out + "\"";
}

TRejectFile::TRejectFile(std::string name, bool replace)
    : FName(std::move(name)), FReplace(replace) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(FName).parent_path();
    if (folder.empty())
        folder = ".";
    int error = 0;
    if (!FReplace && std::filesystem::exists(FName, ec))
        error = EEXIST;
    else if (access(folder.c_str(), W_OK | X_OK) != 0)
        error = errno;
    if (error != 0)
        throw EFCreateError(
            Format("Cannot create file \"%s\". %s", {FName, SysErrorMessage(error)}));
}

TRejectFile::~TRejectFile() {
    if (FFile)
        std::fclose(FFile);
}

// Exclusive unless replacing, so that a file made since the check is not
// overwritten either.
void TRejectFile::Create() {
    FFile = std::fopen(FName.c_str(), FReplace ? "wb" : "wbx");
    if (!FFile)
        throw EFCreateError(
            Format("Cannot create file \"%s\". %s", {FName, SysErrorMessage(errno)}));
}

void TRejectFile::Write(int row, const std::vector<std::string>& fields) {
    if (!FFile)
        Create();
    std::string line = std::to_string(row);
    for (const std::string& field : fields)
        line += "," + reject_field(field);
    line += "\r\n";
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), FFile) != line.size() || std::fflush(FFile) != 0)
        throw EOSError(Format("Cannot write to file \"%s\". %s", {FName, SysErrorMessage(errno)}),
                       errno);
}

} // namespace tabellix
