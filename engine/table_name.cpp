#include "engine/table_name.h"

namespace tabellix {

std::optional<std::string> check_table_name(const myfuns& funs, const std::string& name) {
    if (name.empty())
        return "Please input the Mysql Table Name";
    if (!funs.valid_start(name))
        return "Please input a valid Mysql Table Name";
    return std::nullopt;
}

} // namespace tabellix
