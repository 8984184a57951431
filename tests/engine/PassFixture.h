// A fixture for the engine's passes: serves them a workbook built in the
// test, and records every automation call they make and every message they
// show.
#pragma once

#include "automation/Automation.h"
#include "automation/WorkbookApplication.h"
#include "base/Exception.h"
#include "engine/funcs.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tabellix::test {

inline const std::string kBom = "\xEF\xBB\xBF";
inline const std::string kBook = "/data/book.xlsx";

// Serves the engine's passes from a workbook built in the test, and records
// every automation call they make and every message they show.
struct RecordingGauge : TProgressSink {
    void SetRange(int minimum, int maximum) override {
        Events.push_back("range " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetPosition(int position) override {
        Events.push_back("position " + std::to_string(position));
    }
    void ProcessMessages() override { Events.push_back("process"); }
    void Created() override { Milestones.push_back("created"); }
    void RowStarted(int row) override { Milestones.push_back("row " + std::to_string(row)); }
    void RowWritten(int row) override { Milestones.push_back("wrote " + std::to_string(row)); }
    std::vector<std::string> Events;
    // Where the pass got to, apart from the gauge.
    std::vector<std::string> Milestones;
};

class PassFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetAutomationObserver([this](const std::string& call) { Calls.push_back(call); });
        SetAutomationFactory([this] {
            return std::make_unique<TWorkbookApplication>([this](const std::string& name) {
                if (name != kBook)
                    throw EAutomationError("Cannot open the workbook \"" + name + "\"");
                auto book = std::make_unique<TWorkbook>();
                for (const auto& [sheetName, fill] : Sheets)
                    fill(book->AddSheet(sheetName));
                return book;
            });
        });
        Funcs.OnShowMessage = [this](const std::string& text) { Messages.push_back(text); };
    }
    void TearDown() override {
        SetAutomationObserver({});
        SetAutomationFactory({});
    }

    void AddSheet(std::string name, std::function<void(TSheet&)> fill) {
        Sheets.emplace_back(std::move(name), std::move(fill));
    }

    static void Rows(TSheet& sheet, const std::vector<std::vector<Variant>>& rows) {
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
                sheet.SetValue(static_cast<int>(r) + 1, static_cast<int>(c) + 1, rows[r][c]);
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int r = 1; r < Grid.RowCount(); ++r)
            names.push_back(Grid.Cell(0, r));
        return names;
    }

    // The form of a conversion of the first sheet, "Sheet1", of the book.
    void PrepareForm() {
        SheetList.Items.Add("Sheet1");
        SheetList.ItemIndex = 0;
        Form.grid = &Grid;
        Form.sheets = &SheetList;
        Form.sql_table_name = &TableName;
        Form.filename = kBook;
        Form.gauge = &Gauge;
    }

    std::vector<std::pair<std::string, std::function<void(TSheet&)>>> Sheets;
    std::vector<std::string> Calls;
    std::vector<std::string> Messages;
    myfuns Funcs{TFormatSettings("en_US")};
    TStringGrid Grid = MakeColumnGrid();
    TListModel SheetList;
    std::string TableName = "New_table";
    RecordingGauge Gauge;
    TConversionInput Form;
};

} // namespace tabellix::test
