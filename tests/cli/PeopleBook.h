// A two-sheet workbook served from memory to the commands under test, at
// kPeopleBook and at OtherPath when a test sets it: "People" with the names
// row "Name", "Qty" and the row ("Bob", 42), and an empty sheet.
#pragma once

#include "automation/Automation.h"
#include "automation/WorkbookApplication.h"
#include "base/Exception.h"
#include "cli/commands.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tabellix::test {

inline const std::string kPeopleBook = "/data/people.xlsx";

// Installs the workbook for the test and runs commands as main would.
class PeopleBookTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAutomationFactory([this] {
            return std::make_unique<TWorkbookApplication>([this](const std::string& name) {
                if (name != kPeopleBook && (OtherPath.empty() || name != OtherPath))
                    throw EAutomationError("Cannot open the workbook \"" + name + "\"");
                auto book = std::make_unique<TWorkbook>();
                TSheet& sheet = book->AddSheet("People");
                sheet.SetText(1, 1, "Name");
                sheet.SetText(1, 2, "Qty");
                sheet.SetText(2, 1, "Bob");
                sheet.SetNumber(2, 2, 42);
                book->AddSheet("Empty");
                return book;
            });
        });
    }
    void TearDown() override { SetAutomationFactory({}); }

    // The exit status; a raised error counts as 1 with its message in Err.
    int RunCommand(int (*command)(const cli::TArgs&, std::ostream&, std::ostream&),
                   const cli::TArgs& args) {
        Output.str("");
        Err.str("");
        try {
            return command(args, Output, Err);
        } catch (const Exception& e) {
            Err << e.Message();
            return 1;
        }
    }

    std::ostringstream Output;
    std::ostringstream Err;
    // Where the workbook is served besides kPeopleBook, for a test that
    // needs it in a folder of its own.
    std::string OtherPath;
};

} // namespace tabellix::test
