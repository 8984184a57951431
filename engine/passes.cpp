#include "engine/passes.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/cell_walk.h"
#include "engine/dump_name.h"
#include "engine/dump_writer.h"
#include "engine/identifier_rules.h"
#include "engine/loader.h"
#include "engine/statements.h"
#include "engine/strict_session.h"
#include "engine/typed_values.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tabellix {
namespace {

// Server error codes the cluster probe tells apart.
constexpr int kSubqueryRows = 1242;
constexpr int kUnknownVariable = 1193;

// Receives a non-empty sheet row's number and its values.
using TRowSink = std::function<void(int row, const std::vector<TInsertValue>& cells)>;

// What the loader needs of the table start_transfer creates.
TLoadTarget LoadTarget(const std::string& table, const TTableOptions& options,
                       const TStringGrid& grid) {
    TLoadTarget target;
    target.Table = table;
    target.Transactional = SameText(table_engine(options), "InnoDB");
    for (int r = 1; r < grid.RowCount(); ++r)
        target.BareValues = target.BareValues || value_form(grid.Cell(1, r)) == TValueForm::Bit;
    return target;
}

// The passes' guarded open: the sheet with its column count read, or
// nothing after showing the error's message.
std::optional<TSheetWalk> OpenForConversion(const TPassContext& context,
                                            const TConversionInput& form) {
    try {
        std::optional<TSheetWalk> walk(std::in_place, form.filename, form.sheets->ItemIndex + 1);
        walk->Columns();
        return walk;
    } catch (const Exception& e) {
        context.ShowMessage(e.Message());
        return std::nullopt;
    }
}

// Hands each non-empty row to execute, driving the gauge.
void ConvertRows(const TPassContext& context, TSheetWalk& walk, const TConversionInput& form,
                 const TRowSink& execute) {
    const int rows = walk.Rows();
    if (form.gauge) {
        form.gauge->SetRange(0, rows);
        form.gauge->SetPosition(0);
    }
    // Each column's form follows its grid row's type; a sheet column beyond
    // the grid keeps the cell text.
    std::vector<TValueForm> forms(static_cast<size_t>(walk.Columns()));
    for (size_t c = 0; c < forms.size(); ++c)
        forms[c] = value_form(form.grid->Cell(1, static_cast<int>(c) + 1));
    // A cell the sheet does not store is empty: NULL in a typed column, ''
    // elsewhere.
    std::vector<TInsertValue> blanks(forms.size());
    for (size_t c = 0; c < forms.size(); ++c)
        blanks[c] = insert_value(forms[c], Variant(), context.FormatSettings);
    // Each stored cell is fetched once, for the emptiness test and the
    // statement alike; a row that stores none is skipped anyway.
    std::vector<TInsertValue> cells = blanks;
    bool empty = true;
    walk.Walk({.FirstRow = form.chk_names ? 2 : 1},
              {.RowStarted =
                   [&](int row) {
                       if (form.gauge)
                           form.gauge->RowStarted(row);
                       empty = true;
                   },
               .Cell =
                   [&](int, int column, Variant value) {
                       const auto i = static_cast<size_t>(column - 1);
                       cells[i] = insert_value(forms[i], std::move(value), context.FormatSettings);
                       empty = empty && cells[i].IsEmpty();
                       return true;
                   },
               .RowEnded =
                   [&](int row, const std::vector<int>& stored) {
                       if (!empty) {
                           execute(row, cells);
                           if (form.gauge) {
                               form.gauge->RowWritten(row);
                               form.gauge->SetPosition(row);
                               form.gauge->ProcessMessages();
                           }
                       }
                       for (int c : stored)
                           cells[static_cast<size_t>(c - 1)] = blanks[static_cast<size_t>(c - 1)];
                   }});
}

// The dump's rows in multi-row inserts, flushed before an error leaves.
void WriteBatches(const TPassContext& context, TDumpWriter& writer, TSheetWalk& walk,
                  const TConversionInput& form) {
    // A line per statement: the stock client reads its input by lines.
    TRowBatch batch("\n" + insert_head(*form.sql_table_name), ",", ";", kBatchBytes,
                    context.Loader.BatchRows);
    const auto flush = [&] {
        if (batch.Rows() > 0)
            writer.Write(batch.Take());
    };
    std::string row;
    try {
        ConvertRows(context, walk, form, [&](int, const std::vector<TInsertValue>& cells) {
            row.assign("(");
            append_values(row, cells);
            row.push_back(')');
            if (!batch.Fits(row.size()))
                flush();
            batch.Add(row);
        });
    } catch (const Exception&) {
        // The rows before an error cell are in the dump, as one statement
        // per row would have them.
        flush();
        throw;
    }
    flush();
}

// The dump pass after its writer is made.
bool write_dump(const TPassContext& context, TDumpWriter& writer, TConversionInput& form) {
    // A client whose default character set is not utf8mb4 would refuse the
    // first four-byte character, after loading the rows before it.
    if (table_charset(context.TableOptions, *form.grid) == "utf8mb4")
        writer.Write(kUtf8mb4Session);
    if (context.Loader.Active())
        writer.Write(kStrictSession);
    writer.Write(
        get_table(*form.sql_table_name, form.edit_prefix, *form.grid, context.TableOptions));
    if (form.gauge)
        form.gauge->Created();
    std::optional<TSheetWalk> walk = OpenForConversion(context, form);
    if (!walk)
        return false;
    if (context.Loader.Active())
        WriteBatches(context, writer, *walk, form);
    else
        ConvertRows(context, *walk, form, [&](int, const std::vector<TInsertValue>& cells) {
            writer.Write(get_insert(*form.sql_table_name, cells));
        });
    walk->ShutDown();
    return true;
}

// Whether the server is a Galera cluster node (wsrep_on is ON).
bool IsClusterNode(TUniConnection& con1) {
    // The statements carry no result, so the probe is one that fails exactly
    // when wsrep_on is ON: its subquery then gives two rows. Servers without
    // the variable refuse to know it. (DO would swallow the error.)
    try {
        con1.ExecSQL("SET @tabellix_wsrep = (SELECT 1 FROM DUAL WHERE @@wsrep_on UNION ALL "
                     "SELECT 1)",
                     {Variant::Null()});
        return false;
    } catch (const EUniError& e) {
        if (e.ErrorCode() == kSubqueryRows)
            return true;
        if (e.ErrorCode() == kUnknownVariable)
            return false;
        throw;
    }
}

// The transfer's rows through loader; pending rows are sent before an error
// of the sheet leaves.
void LoadRows(const TPassContext& context, TSheetWalk& walk, const TConversionInput& form,
              TLoader& loader) {
    try {
        ConvertRows(
            context, walk, form,
            [&loader](int row, const std::vector<TInsertValue>& cells) { loader.Add(row, cells); });
    } catch (const EDAError&) {
        throw;
    } catch (const Exception&) {
        // An error cell: the rows before it are stored, as on the default road.
        loader.Flush();
        throw;
    }
    loader.Finish();
}

// One statement per row, each answered without warnings; the tally goes to
// lastLoad as the loader keeps its own.
void InsertRows(const TPassContext& context, TSheetWalk& walk, const TConversionInput& form,
                TUniConnection& con1, TServerSession& session, TLoadReport& lastLoad) {
    const std::vector<Variant> noParams{Variant::Null()};
    ConvertRows(context, walk, form, [&](int row, const std::vector<TInsertValue>& cells) {
        try {
            con1.ExecSQL(get_insert(*form.sql_table_name, cells), noParams);
            RefuseWarnings(session);
        } catch (const EDAError& error) {
            if (session.IsRefusal(error))
                lastLoad.FailedRow = row;
            else if (!session.Usable())
                lastLoad.InFlightRow = row;
            throw;
        }
        ++lastLoad.Stored;
    });
}

// The cell texts of sheet row row, for the reject file.
std::vector<std::string> RowTexts(const TPassContext& context, TSheetWalk& walk, int row) {
    std::vector<std::string> texts;
    for (int c = 1; c <= walk.Columns(); ++c)
        texts.push_back(cell_text(walk.Value(row, c), context.FormatSettings));
    return texts;
}

} // namespace

bool dump_file(const TPassContext& context, const std::string& dfile, TConversionInput& form) {
    *form.sql_table_name = spchar_filter(*form.sql_table_name);
    if (const auto problem = dump_overwrites_workbook(dfile, form.filename))
        throw EFCreateError(*problem);
    TDumpWriter writer(dfile, form.gauge);
    try {
        const bool opened = write_dump(context, writer, form);
        writer.Finish();
        return opened;
    } catch (const EConvertError&) {
        // An error cell ends the dump after the rows before it, which the
        // file keeps; any other failure, a stopped pass included, leaves the
        // old file as it was.
        writer.Finish();
        throw;
    }
}

bool dump_stream(const TPassContext& context, std::ostream& out, const std::string& name,
                 TConversionInput& form) {
    *form.sql_table_name = spchar_filter(*form.sql_table_name);
    TDumpWriter writer(out, name);
    const bool opened = write_dump(context, writer, form);
    writer.Finish();
    return opened;
}

std::string lost_connection_text(const TLoadReport& load) {
    return Format(
        "the connection was lost with %d %s certainly stored; the statement in flight, "
        "from sheet row %d on, may or may not have been committed: check the table "
        "before a new run starts from sheet row %d",
        {load.Stored, load.Stored == 1 ? "row" : "rows", load.InFlightRow, load.InFlightRow});
}

bool start_transfer(const TPassContext& context, TConversionInput& form, TUniConnection& con1,
                    TLoadReport& lastLoad) {
    lastLoad = {};
    con1.SpecificOptions().SetValues("UseUnicode", "True");
    const std::vector<Variant> noParams{Variant::Null()};
    TTableOptions options = context.TableOptions;
    // A cluster replicates InnoDB tables only: a MyISAM table would stay
    // empty on the other nodes.
    if (options.Engine.empty() && IsClusterNode(con1)) {
        options.Engine = "InnoDB";
        context.Notice(
            "The server is a Galera cluster node: the table is created with ENGINE=InnoDB");
    }
    const std::string charset = table_charset(options, *form.grid);
    // The session's utf8 would refuse four-byte characters before the table
    // sees them. The login announces utf8mb4 as well: the changed option
    // makes the next statement log in again.
    if (charset == "utf8mb4") {
        con1.SpecificOptions().SetValues("Charset", "utf8mb4");
        con1.ExecSQL("SET NAMES utf8mb4", noParams);
    }
    std::optional<TSheetWalk> walk;
    std::unique_ptr<TLoader> loader;
    TServerSession session(con1);
    // The loader makes its session strict; the default road does the same.
    std::optional<TStrictSession> strict;
    if (context.Loader.Active())
        loader = std::make_unique<TLoader>(
            con1, LoadTarget(*form.sql_table_name, options, *form.grid), context.Loader,
            [&](int row) { return RowTexts(context, *walk, row); }, form.gauge, context.Notice,
            lastLoad);
    else
        strict.emplace(session);
    con1.ExecSQL(get_table(*form.sql_table_name, form.edit_prefix, *form.grid, options), noParams);
    // Rows of a transactional table are committed as they go, as MyISAM
    // keeps them, whatever the server's default.
    if (!SameText(table_engine(options), "MyISAM"))
        con1.ExecSQL("SET autocommit=1", noParams);
    if (form.gauge)
        form.gauge->Created();
    walk = OpenForConversion(context, form);
    if (!walk)
        return false;
    if (loader) {
        LoadRows(context, *walk, form, *loader);
    } else {
        InsertRows(context, *walk, form, con1, session, lastLoad);
        strict->Restore();
    }
    walk->Quit();
    return true;
}

} // namespace tabellix
