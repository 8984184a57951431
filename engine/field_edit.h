// The field editor's rules, apart from its window: the type list, the
// default length of each type, and the checks of OK with the write-back.
// The dialog and the command line both use them.
#pragma once

#include "engine/funcs.h"
#include "engine/grid.h"

#include <optional>
#include <string>
#include <vector>

namespace tabellix {

// The 19 type keywords offered in the editor, in order.
const std::vector<std::string>& field_types();

// The length box after the user changed the type: the default length for
// the types that take one (enabled), nothing for every other text (emptied
// and disabled).
std::optional<std::string> default_field_length(const std::string& type);

// Where a refused edit puts the focus.
enum class TFieldFocus { None, Name, Type };

struct TFieldEdit {
    std::string fname;
    std::string ftype;
    std::string flength;
    int lindex = 0; // the grid row being edited
};

struct TFieldCheck {
    bool accepted = false;
    std::string message; // shown when refused
    TFieldFocus focus = TFieldFocus::None;
};

// The checks of OK in order. On success the edit's length is normalised
// (trimmed, decimal) and the row selectedRow of the grid is written back.
// A length that is not a whole number raises EConvertError.
TFieldCheck apply_field_edit(const myfuns& funs, TFieldEdit& edit, TStringGrid& grid,
                             int selectedRow);

} // namespace tabellix
