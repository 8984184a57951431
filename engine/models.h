// Plain models of the wizard's controls that the engine passes read and
// write, and the progress sink they drive. The wizard adapts its widgets to
// these; the command line uses them directly.
#pragma once

#include "base/StringList.h"
#include "engine/grid.h"

#include <functional>
#include <string>

namespace tabellix {

// A list box: its entries and the selected position (-1 for none).
struct TListModel {
    TStringList Items;
    int ItemIndex = -1;
};

// The progress gauge, and the chance to let the user interface run its
// pending events after each written row.
class TProgressSink {
public:
    virtual ~TProgressSink() = default;
    virtual void SetRange(int minimum, int maximum) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void ProcessMessages() = 0;
    // Where a pass has got to, for a front end that reports where it stopped:
    // the CREATE TABLE statement written or executed, sheet row row about to
    // be read, and its insert statement written or executed.
    virtual void Created() {}
    virtual void RowStarted(int /*row*/) {}
    virtual void RowWritten(int /*row*/) {}
    // The temporary file a dump is written to until it is complete, and ""
    // once it is renamed or removed, for a front end that may end the
    // process at once and must remove it first.
    virtual void Temporary(const std::string& /*path*/) {}
};

// What a conversion pass reads from the window at the moment of the call.
struct TConversionInput {
    TStringGrid* grid = nullptr;
    TListModel* sheets = nullptr;
    std::string* sql_table_name = nullptr; // written back filtered
    std::string edit_prefix;
    std::string filename; // the workbook, as the label shows it
    bool chk_names = false;
    TProgressSink* gauge = nullptr;
};

} // namespace tabellix
