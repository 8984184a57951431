// Program start-up: the application object, its title, the wizard window as
// main window and the field editor dialog, then the event loop.
#pragma once

#include "wizard/Unit4.h"
#include "wizard/edit_grid.h"

#include <memory>

namespace tabellix {

inline constexpr const char* TabellixTitle = "Quorvane Tabellix";

// The program's windows, created in start-up order and destroyed in reverse.
struct TTabellixForms {
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<Teditgrid> editgrid;
};

// Start-up after the application object exists: sets the application title,
// creates the wizard window, then the field editor (hidden).
TTabellixForms CreateTabellixForms();

// The whole program: start-up, then the event loop until the window closes.
int RunTabellix(int& argc, char** argv);

} // namespace tabellix
