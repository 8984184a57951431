// The conversion engine: identifier rules, the statement texts and the
// rule by which a cell value becomes text.
#pragma once

#include "automation/Automation.h"
#include "base/FormatSettings.h"
#include "base/Variant.h"
#include "engine/grid.h"
#include "engine/loader.h"
#include "engine/models.h"
#include "engine/table_options.h"
#include "engine/typed_values.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

class TDumpWriter;
class TUniConnection;

class myfuns {
public:
    // settings: the locale used by the cell text rule.
    explicit myfuns(TFormatSettings settings = TFormatSettings::Default());

    // Lower-case ASCII letters, digits and "_" only; may be empty.
    std::string spchar_filter(const std::string& text) const;
    // Whether text may serve as a table or column name at all.
    bool valid_start(const std::string& text) const;
    // A name made from the proposal that no data row of the grid holds.
    std::string get_col_name(const std::string& name, const TStringGrid& grid) const;
    // True when every character is a decimal digit (also for "").
    bool isnumeric(const std::string& text) const;

    // The CREATE TABLE statement for the grid; the default options give
    // MyISAM, utf8 (utf8mb4 for a sheet with wide characters) and no key.
    std::string get_table(const std::string& tableName, const std::string& prefix,
                          const TStringGrid& grid, const TTableOptions& options = {}) const;
    // The insert statement for one sheet row's values.
    std::string get_insert(const std::string& tableName,
                           const std::vector<TInsertValue>& cells) const;
    // What every insert statement starts with: "insert into NAME values".
    std::string insert_head(const std::string& tableName) const;
    // Appends one row's values as the insert statement has them, between
    // its parentheses.
    void append_values(std::string& out, const std::vector<TInsertValue>& cells) const;
    std::string mysql_escap(const std::string& text) const;
    // A cell value as text; an error value raises EConvertError. Taken by
    // value so that a cell's text moves out of it.
    std::string cell_text(Variant value) const;
    // A cell value for a column written in form: the server's own form
    // where the column's type takes it, else the cell text.
    TInsertValue insert_value(TValueForm form, Variant value) const;

    const TFormatSettings& FormatSettings() const { return FFormatSettings; }

    // Lists the workbook's worksheets into sheets and selects the first.
    // Errors are not caught here.
    void loadsheets(const std::string& fileName, TListModel& sheets);
    // Rebuilds the grid from the selected sheet's used range, reading the
    // sheet for characters beyond utf8; false (after showing the messages)
    // when the workbook or the sheet did not open.
    bool load_grid(TStringGrid& grid, const std::string& fileName, const TListModel& sheets,
                   bool firstRowNames);
    // Writes the dump file dfile for the selected sheet of form.filename.
    // False when the workbook did not open (its message shown, the file
    // holding the CREATE TABLE statement only); errors while writing rows
    // are not caught here. A dfile that is the workbook itself raises
    // EFCreateError before anything is written.
    bool dump_file(const std::string& dfile, TConversionForm& form);
    // The same pass into a stream the caller holds (the command line's
    // standard output); name stands for it in messages.
    bool dump_stream(std::ostream& out, const std::string& name, TConversionForm& form);

    // Creates the table over con1 (the option UseUnicode set first), then
    // inserts the selected sheet's rows, one statement each. Without a
    // chosen engine a Galera cluster node gets InnoDB (said through
    // OnNotice); utf8mb4 tables get a utf8mb4 session. False when the
    // workbook did not open (its message shown, the table left empty);
    // server errors and error cells are not caught here.
    bool start_transfer(TConversionForm& form, TUniConnection& con1);

    // Shows a plain message box.
    std::function<void(const std::string&)> OnShowMessage;
    // The created table's engine, character set and key, for both passes;
    // the defaults give the plain statement texts.
    TTableOptions TableOptions;
    // Tells of a choice made for the user beyond the messages above.
    std::function<void(const std::string&)> OnNotice;
    // How the rows go: the default is one statement per row; otherwise the
    // transfer goes through the loader and the dump writes multi-row
    // inserts after a statement that makes the loading session strict.
    TLoaderOptions Loader;
    // How the last transfer through the loader went, also when it failed.
    const TLoadReport& LastLoad() const { return FLastLoad; }

private:
    void ShowMessage(const std::string& text) const;
    void Notice(const std::string& text) const;
    // Whether the server is a Galera cluster node (wsrep_on is ON).
    bool IsClusterNode(TUniConnection& con1) const;
    struct TOpenSheet {
        std::unique_ptr<TAutomationApplication> App;
        std::optional<TWorksheet> Sheet;
    };
    // Opens the workbook and activates the selected sheet; errors are left
    // to the caller.
    TOpenSheet OpenSheet(const std::string& fileName, const TListModel& sheets) const;
    // The conversion passes' guarded open: the sheet and its column count,
    // or nothing after showing the error's message.
    std::optional<TOpenSheet> OpenForConversion(const TConversionForm& form, int& columns) const;
    // Receives a non-empty sheet row's number and its values.
    using TRowSink = std::function<void(int row, const std::vector<TInsertValue>& cells)>;
    // Hands each non-empty row to execute, driving the gauge.
    void ConvertRows(TOpenSheet& open, int columns, const TConversionForm& form,
                     const TRowSink& execute) const;
    // The transfer's rows through loader; pending rows are sent before an
    // error of the sheet leaves.
    void LoadRows(TOpenSheet& open, int columns, const TConversionForm& form,
                  TLoader& loader) const;
    // The dump's rows in multi-row inserts, flushed before an error leaves.
    void WriteBatches(TDumpWriter& writer, TOpenSheet& open, int columns,
                      const TConversionForm& form) const;
    // The cell texts of sheet row row, for the reject file.
    std::vector<std::string> RowTexts(TOpenSheet& open, int columns, int row) const;
    std::string get_col_name(const std::string& name, TColumnNameIndex& names) const;
    // The dump pass after its writer is made.
    bool write_dump(TDumpWriter& writer, TConversionForm& form) const;
    // Whether a text cell of the used range holds a character that only
    // utf8mb4 stores; stops at the first.
    bool HoldsWideChars(TOpenSheet& open, int columns) const;

    TFormatSettings FFormatSettings;
    TLoadReport FLastLoad;
};

} // namespace tabellix
