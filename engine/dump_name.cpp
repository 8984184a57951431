#include "engine/dump_name.h"

#include "base/Format.h"
#include "base/Text.h"

#include <filesystem>

namespace tabellix {

std::string settle_dump_file_name(const std::string& chosen) {
    // Only the suffix goes: a ".sql" inside a folder name must stay, or the
    // file would be written to another folder than the one chosen.
    std::string name = chosen;
    if (name.size() >= 4 && SameText(std::string_view(name).substr(name.size() - 4), ".sql"))
        name.resize(name.size() - 4);
    return name + ".SQL";
}

std::optional<std::string>
choose_dump_file(const std::string& chosen,
                 const std::function<bool(const std::string& question)>& confirm) {
    if (chosen.empty())
        return std::nullopt;
    std::string settled = settle_dump_file_name(chosen);
    // Asked about the name that will be written, so nothing is replaced
    // without a yes.
    std::error_code ec;
    if (std::filesystem::exists(settled, ec) && !confirm("The file aleady exists, overwrite it?"))
        return std::nullopt;
    return settled;
}

bool same_file(const std::string& one, const std::string& other) {
    std::error_code ec;
    return std::filesystem::equivalent(one, other, ec) && !ec;
}

std::optional<std::string> dump_overwrites_workbook(const std::string& dumpFile,
                                                    const std::string& workbook) {
    if (!same_file(dumpFile, workbook))
        return std::nullopt;
    return Format("The dump file \"%s\" is the workbook \"%s\" itself; writing it would destroy "
                  "the workbook. Choose another name.",
                  {dumpFile, workbook});
}

} // namespace tabellix
