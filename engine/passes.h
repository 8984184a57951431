// The conversion passes over the selected sheet: the dump into a file or a
// stream, and the transfer over a connection, each row one statement or a
// batch of them.
#pragma once

#include "base/FormatSettings.h"
#include "engine/load_options.h"
#include "engine/models.h"
#include "engine/table_options.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace tabellix {

class TUniConnection;

// What a pass takes of its caller beside the form.
struct TPassContext {
    // The locale of the cell text rule.
    const TFormatSettings& FormatSettings;
    // The created table's engine, character set and key.
    const TTableOptions& TableOptions;
    // How the rows go: the default is one statement per row; otherwise the
    // transfer goes through the loader and the dump writes multi-row
    // inserts after a statement that makes the loading session strict.
    const TLoaderOptions& Loader;
    // A plain message box, and a choice made for the user; both callable.
    std::function<void(const std::string&)> ShowMessage;
    std::function<void(const std::string&)> Notice;
};

// Writes the dump file dfile for the selected sheet of form.filename.
// False when the workbook did not open (its message shown, the file holding
// the CREATE TABLE statement only); errors while writing rows are not
// caught here. dfile takes the dump only once it is complete, or holds the
// rows before an error cell; any other failure, or a pass the gauge stops,
// leaves it as it was. A dfile that is the workbook itself raises
// EFCreateError before anything is written.
bool dump_file(const TPassContext& context, const std::string& dfile, TConversionInput& form);
// The same pass into a stream the caller holds (the command line's standard
// output); name stands for it in messages.
bool dump_stream(const TPassContext& context, std::ostream& out, const std::string& name,
                 TConversionInput& form);

// Creates the table over con1 (the option UseUnicode set first), then
// inserts the selected sheet's rows. Without a chosen engine a Galera
// cluster node gets InnoDB (said through Notice); utf8mb4 tables get a
// utf8mb4 session. How a pass through the loader went goes to lastLoad,
// also when it fails. False when the workbook did not open (its message
// shown, the table left empty); server errors and error cells are not
// caught here.
bool start_transfer(const TPassContext& context, TConversionInput& form, TUniConnection& con1,
                    TLoadReport& lastLoad);

// What a pass whose session was lost in the middle leaves: the rows
// certainly stored, and the sheet row a new run starts from.
std::string lost_connection_text(const TLoadReport& load);

} // namespace tabellix
