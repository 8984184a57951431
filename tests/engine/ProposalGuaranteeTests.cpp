// The promise of the type proposal, held against the shared real-world
// workbooks and the private MariaDB: every worksheet transferred with the
// proposed types stores every row, without a warning, and each stored value
// equals its cell's value by kind.
#include "automation/Automation.h"
#include "base/Exception.h"
#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/funcs.h"
#include "engine/server_target.h"
#include "engine/type_proposal.h"
#include "engine/workbook.h"
#include "mysql/client/MyClassesUni.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <streambuf>

using namespace tabellix;
using namespace tabellix::test;

namespace {

const std::vector<Variant> kNoParams{Variant::Null()};
const std::string kBom = "\xEF\xBB\xBF";

// Cuts a dump stream into its statements: the writer flushes after each.
class StatementCutter : public std::streambuf {
public:
    std::vector<std::string> Statements;

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof())
            FCurrent += static_cast<char>(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        FCurrent.append(s, static_cast<size_t>(n));
        return n;
    }
    int sync() override {
        if (!FCurrent.empty() && FCurrent != kBom)
            Statements.push_back(FCurrent);
        FCurrent.clear();
        return 0;
    }

private:
    std::string FCurrent;
};

// The serial of a server date "YYYY-MM-DD", a date-time with its clock, or
// a time "[-]HH:MM:SS[.fff]" as a fraction of a day.
double DaysOf(const std::string& text, TValueForm form) {
    double serial = 0;
    size_t clock = 0;
    if (form != TValueForm::Time) {
        int y = 0, m = 0, d = 0;
        std::sscanf(text.c_str(), "%d-%d-%d", &y, &m, &d);
        using namespace std::chrono;
        const sys_days day = year_month_day(year(y), month(m), std::chrono::day(d));
        serial = (day - sys_days(year(1899) / December / 30)).count();
        clock = text.find(' ');
        if (clock == std::string::npos)
            return serial;
        ++clock;
    }
    const bool negative = text[clock] == '-';
    int h = 0, mi = 0;
    double s = 0;
    std::sscanf(text.c_str() + clock + (negative ? 1 : 0), "%d:%d:%lf", &h, &mi, &s);
    const double time = (h * 3600 + mi * 60 + s) / 86400;
    return serial + (negative ? -time : time);
}

double NumberOf(const Variant& cell) {
    switch (cell.Type()) {
    case VarType::Currency:
        return static_cast<double>(cell.Get<VarCurrency>().scaled) / 10000;
    case VarType::Boolean:
        return cell.Get<bool>() ? 1 : 0;
    default:
        return cell.AsDouble();
    }
}

// Why stored (nothing for NULL) does not hold cell in a column of form, or
// nothing when it does.
std::optional<std::string> Mismatch(const myfuns& funs, TValueForm form, const Variant& cell,
                                    const std::optional<std::string>& stored) {
    const bool empty = cell.IsEmpty() || cell.IsNull() ||
                       (cell.Type() == VarType::String && cell.Get<std::string>().empty());
    if (form == TValueForm::CellText) {
        const std::string text = empty ? "" : funs.cell_text(cell);
        if (stored == text)
            return std::nullopt;
        return "text '" + text + "'";
    }
    if (empty)
        return stored ? std::optional<std::string>("NULL") : std::nullopt;
    if (!stored)
        return "a value, not NULL";
    if (form == TValueForm::Number) {
        const double want = NumberOf(cell);
        const double got = std::strtod(stored->c_str(), nullptr);
        if (std::fabs(got - want) <= 1e-14 * std::fabs(want))
            return std::nullopt;
        return "number " + funs.cell_text(cell);
    }
    const double want = cell.Get<VarDate>().serial;
    if (std::fabs(DaysOf(*stored, form) - want) * 86400000 <= 0.5)
        return std::nullopt;
    return "date " + funs.cell_text(cell);
}

class ProposalGuarantee : public ::testing::Test {
protected:
    void SetUp() override {
        auto server = TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        set_up_connection(Con);
        connect_server(
            Con, {server->host, std::to_string(server->port), server->user, server->password});
        // A fresh database of the test's own, so that tests running side by
        // side do not meet: each table is made once and dropped with it.
        Database = "proposal_" +
                   UnicodeLower(::testing::UnitTest::GetInstance()->current_test_info()->name());
        Con.ExecSQL("DROP DATABASE IF EXISTS " + Database, kNoParams);
        Con.ExecSQL("CREATE DATABASE " + Database, kNoParams);
        Con.SetDatabase(Database);
    }
    void TearDown() override {
        if (Con.Connected())
            Con.ExecSQL("DROP DATABASE " + Database, kNoParams);
    }

    // Rows of a query, each column's text or nothing for NULL.
    std::vector<std::vector<std::optional<std::string>>> Query(const std::string& sql) {
        TMySQLRecordset rs;
        rs.SetConnection(static_cast<TMySQLConnection*>(Con.IConnection()));
        rs.SetProp(22, true);
        rs.SetSQL(sql);
        rs.Open();
        std::vector<std::vector<std::optional<std::string>>> rows(
            static_cast<size_t>(rs.RecordCount()));
        for (int r = 0; r < rs.RecordCount(); ++r)
            for (int c = 0; c < rs.FieldCount(); ++c) {
                const Variant v = rs.GetFieldAsVariant(r, c);
                rows[static_cast<size_t>(r)].push_back(
                    v.IsNull() ? std::nullopt : std::optional<std::string>(v.AsString()));
            }
        return rows;
    }

    // The warnings of the last statement, one line each.
    std::string Warnings() {
        std::string lines;
        for (const auto& row : Query("SHOW WARNINGS"))
            lines += row.at(2).value_or("") + "\n";
        return lines;
    }

    // Runs the dump pass's statements one by one into a fresh temporary
    // table (made at a fraction of a table's cost), asking for warnings
    // after each.
    void CheckStatements(TConversionInput& form, const std::string& table) {
        StatementCutter cutter;
        std::ostream stream(&cutter);
        *form.sql_table_name = table;
        ASSERT_TRUE(Funcs.dump_stream(stream, "checking", form));
        for (std::string sql : cutter.Statements) {
            if (sql.starts_with(" CREATE TABLE "))
                sql.replace(1, 6, "CREATE TEMPORARY");
            Con.ExecSQL(sql, kNoParams);
            EXPECT_EQ(Warnings(), "") << sql.substr(0, 200);
        }
    }

    // The sheet's rows the pass stores, as cells of the grid's columns.
    std::vector<std::vector<Variant>> ExpectedRows(const std::string& file, int sheet,
                                                   const std::vector<TValueForm>& forms,
                                                   bool names) {
        auto app = OpenWorkbook(file);
        TWorksheet ws = app->Worksheets()(sheet);
        ws.activate();
        const int rows = ws.UsedRange().Rows().Count();
        std::vector<std::vector<Variant>> out;
        for (int k = names ? 2 : 1; k <= rows; ++k) {
            std::vector<Variant> row;
            bool empty = true;
            for (size_t c = 0; c < forms.size(); ++c) {
                row.push_back(app->Cells(k, static_cast<int>(c) + 1).value());
                empty = empty && Funcs.insert_value(forms[c], row.back()).IsEmpty();
            }
            if (!empty)
                out.push_back(std::move(row));
        }
        ShutDown(*app);
        return out;
    }

    // The stored values as their texts' bytes in hexadecimal: the record
    // set reads wide texts within the declared width and without characters
    // beyond the Basic Multilingual Plane.
    std::vector<std::vector<std::optional<std::string>>>
    StoredTexts(const std::string& table, const std::vector<TValueForm>& forms) {
        std::string select;
        for (size_t c = 0; c < forms.size(); ++c) {
            const std::string column = "`" + Grid.Cell(0, static_cast<int>(c) + 1) + "`";
            select +=
                (c ? ", HEX(" : "HEX(") +
                (forms[c] == TValueForm::CellText ? column : "CAST(" + column + " AS CHAR(100))") +
                ")";
        }
        auto rows = Query("SELECT " + select + " FROM " + table);
        for (auto& row : rows)
            for (auto& value : row)
                if (value)
                    value = FromHex(*value);
        return rows;
    }

    static std::string FromHex(const std::string& hex) {
        std::string bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        return bytes;
    }

    void CompareStored(const std::string& file, int sheet, const std::string& table, bool names) {
        std::vector<TValueForm> forms;
        for (int r = 1; r < Grid.RowCount(); ++r)
            forms.push_back(value_form(Grid.Cell(1, r)));
        const auto expected = ExpectedRows(file, sheet, forms, names);
        const auto stored = StoredTexts(table, forms);
        ASSERT_EQ(stored.size(), expected.size()) << "rows stored";
        for (size_t r = 0; r < stored.size(); ++r)
            for (size_t c = 0; c < forms.size(); ++c)
                if (const auto why = Mismatch(Funcs, forms[c], expected[r][c], stored[r][c]))
                    ADD_FAILURE() << "row " << r + 1 << ", column " << Grid.Cell(0, int(c) + 1)
                                  << " (" << Grid.Cell(1, int(c) + 1) << "): stored "
                                  << stored[r][c].value_or("NULL") << ", wanted " << *why;
    }

    enum class TOutcome { Stored, ErrorCell, NamesRefused };

    // Proposes, transfers, compares and checks one sheet.
    TOutcome Sheet(const std::string& file, TListModel& sheets, const std::string& table,
                   bool names) {
        try {
            if (!Funcs.load_grid(Grid, file, sheets, names))
                return TOutcome::NamesRefused;
        } catch (const EConvertError&) {
            return TOutcome::NamesRefused; // an error cell among the headings
        }
        for (int r = 1; r < Grid.RowCount(); ++r)
            if (Grid.Cell(0, r).size() > 64)
                return TOutcome::NamesRefused; // longer than the server takes
        const std::vector<std::string> notes = propose_types(Funcs, Grid, file, sheets, names);
        std::string name = table;
        TConversionInput form{&Grid, &sheets, &name, "", file, names, nullptr};
        if (!notes.empty()) {
            EXPECT_THROW(Funcs.start_transfer(form, Con), EConvertError) << notes[0];
            return TOutcome::ErrorCell;
        }
        EXPECT_TRUE(Funcs.start_transfer(form, Con));
        CompareStored(file, sheets.ItemIndex + 1, table, names);
        CheckStatements(form, table + "_checked");
        return TOutcome::Stored;
    }

    const TProviderRegistration Units;
    TUniConnection Con;
    std::string Database;
    myfuns Funcs{TFormatSettings("en_US")};
    TStringGrid Grid = MakeColumnGrid();
};

} // namespace

// The row size rules against the server itself: a table just past each
// limit is refused as proposed, and taken once the row is fitted.
TEST_F(ProposalGuarantee, AFittedRowIsOneEachEngineTakes) {
    const struct {
        const char* engine;
        int columns;
        const char* length;
        const char* charset;
    } cases[] = {
        {"MyISAM", 86, "255", "utf8"},
        {"MyISAM", 70, "240", "utf8mb4"},
        {"InnoDB", 45, "60", "utf8"},
        {"InnoDB", 260, "86", "utf8"},
    };
    int number = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.engine) + " " + std::to_string(c.columns));
        std::vector<TProposedType> types(static_cast<size_t>(c.columns), {"VARCHAR", c.length});
        const auto create = [&](const std::string& table) {
            Grid.SetRowCount(c.columns + 1);
            for (int r = 1; r <= c.columns; ++r) {
                Grid.SetCell(0, r, "c" + std::to_string(r));
                Grid.SetCell(1, r, types[static_cast<size_t>(r) - 1].Type);
                Grid.SetCell(2, r, types[static_cast<size_t>(r) - 1].Length);
            }
            TTableOptions options;
            options.Engine = c.engine;
            options.Charset =
                c.charset == std::string("utf8") ? TCharsetChoice::Utf8 : TCharsetChoice::Utf8mb4;
            Con.ExecSQL(Funcs.get_table(table, "", Grid, options), kNoParams);
        };
        const std::string table = "fit_" + std::to_string(++number);
        EXPECT_THROW(create(table), Exception);
        fit_row_size(types, c.charset, c.engine == std::string("InnoDB"));
        EXPECT_NO_THROW(create(table));
    }
}

TEST_F(ProposalGuarantee, TheCheckingModeSeesAWarning) {
    Con.ExecSQL("CREATE TABLE probe (v DECIMAL(3,2))", kNoParams);
    Con.ExecSQL("INSERT INTO probe VALUES ('1.555')", kNoParams);
    EXPECT_EQ(Warnings(), "Data truncated for column 'v' at row 1\n");
}

// Both with names from the first row (more columns typed) and without
// (every row data). With names, a sheet whose headings the server cannot
// take as names is left out: that is the names' rule, not the types'.
TEST_F(ProposalGuarantee, EveryRealWorksheetStoresEveryRowAsItsCellsHoldIt) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    std::map<std::pair<bool, TOutcome>, int> outcomes;
    int number = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const auto ext = entry.path().extension();
        if (ext != ".xls" && ext != ".xlsx")
            continue;
        const std::string file = entry.path().string();
        TListModel sheets;
        try {
            Funcs.loadsheets(file, sheets);
        } catch (const Exception&) {
            continue; // broken or sealed on purpose: the reader's tests see to those
        }
        for (int i = 0; i < sheets.Items.Count(); ++i)
            for (bool names : {true, false}) {
                SCOPED_TRACE(entry.path().lexically_relative(dir).string() + " sheet " +
                             std::to_string(i + 1) + (names ? " with names" : ""));
                sheets.ItemIndex = i;
                try {
                    ++outcomes[{names,
                                Sheet(file, sheets, "real_" + std::to_string(++number), names)}];
                } catch (const Exception& e) {
                    ADD_FAILURE() << e.Message();
                }
            }
    }
    EXPECT_GE((outcomes[{false, TOutcome::Stored}]), 150);
    EXPECT_EQ((outcomes[{false, TOutcome::NamesRefused}]), 0);
    EXPECT_LE((outcomes[{true, TOutcome::NamesRefused}]), 3);
}
