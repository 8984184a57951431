// Settling the dump file name chosen in the save dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tabellix {

// The chosen name without a trailing ".sql" (any letter case), then ".SQL".
std::string settle_dump_file_name(const std::string& chosen);

// Whether the two names lead to one existing file: one name, a symbolic
// link or a hard link (the same device and inode).
bool same_file(const std::string& one, const std::string& other);

// Why the dump file may not be written over the workbook it is made from:
// the two names lead to the same file (one name, a symbolic link or a hard
// link), which creating the dump would empty before it is read. Nothing when
// they differ or the dump file does not exist yet.
std::optional<std::string> dump_overwrites_workbook(const std::string& dumpFile,
                                                    const std::string& workbook);

// The whole choice after the dialog: empty (cancelled) gives nothing; a
// settled name that exists is used only when confirm("The file aleady
// exists, overwrite it?") answers yes.
std::optional<std::string>
choose_dump_file(const std::string& chosen,
                 const std::function<bool(const std::string& question)>& confirm);

} // namespace tabellix
