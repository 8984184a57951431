// Drives the real wizard window: scripted answers for every message box and
// file dialog, an in-memory workbook behind the automation object, and
// helpers that click the window's controls found by object name.
#pragma once

#include "automation/Workbook.h"
#include "tests/support/TestEnv.h"
#include "wizard/dialogs.h"
#include "wizard/tabellix.h"

#include <QDialog>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tabellix::test {

// Answers the wizard's dialogs from queues and records what was shown. An
// unexpected dialog fails the test and is answered "cancel".
class TScriptedDialogs : public TDialogs {
public:
    void Message(QWidget* parent, const std::string& text) override;
    bool Confirm(QWidget* parent, const std::string& text) override;
    void Error(QWidget* parent, const std::string& text) override;
    std::optional<std::string> OpenFile(QWidget* parent, const std::string& filter,
                                        const std::string& fileName) override;
    std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter,
                                        const std::string& proposed) override;

    std::deque<std::optional<std::string>> OpenAnswers;
    std::deque<std::optional<std::string>> SaveAnswers;
    std::deque<bool> ConfirmAnswers;
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> Confirms;
    std::vector<std::string> Filters;
    // Where each file dialog started: the open dialog's file or folder, the
    // save dialog's proposed name.
    std::vector<std::string> Starts;
    // Called with each plain message, while its box would be open.
    std::function<void(const std::string&)> OnMessage;
};

using TRows = std::vector<std::vector<Variant>>;

class WizardFixture : public ::testing::Test {
protected:
    // Every test keeps its remembered settings in a folder of its own.
    void SetUp() override;
    void TearDown() override;

    // Serves path as a workbook of the given sheets (name, rows).
    void AddBook(const std::string& path, std::vector<std::pair<std::string, TRows>> sheets);
    void RemoveBook(const std::string& path) { Books.erase(path); }
    // The window closed and opened again, as at the next start of the program.
    void Restart();
    // The settings file's bytes.
    std::string SettingsFile() const;

    template <typename W = QWidget> W* Find(const char* name) const {
        W* widget = Forms.Form4->findChild<W*>(name);
        if (!widget)
            widget = Forms.editgrid->findChild<W*>(name);
        EXPECT_NE(widget, nullptr) << "no control " << name;
        return widget;
    }
    void Click(const char* button) const;
    QString Text(const char* control) const;
    void Type(const char* edit, const QString& text) const;
    QString Step() const { return Text("lstep"); }
    std::string VisiblePage() const;

    // Chooses the workbook in the open dialog, the sheet by position, and
    // the first-row option.
    void ChooseBook(const std::string& path, int sheet = 0, bool firstRowNames = false);
    void SelectGridRow(int gridRow) const;
    // Opens the field editor on gridRow; drive acts on it while it is modal
    // and is closed afterwards if it is still open.
    void WithEditor(int gridRow, const std::function<void(QWidget& editor)>& drive);
    // The same with the editor opened by open instead of "Edit Selected".
    void WithEditorOpenedBy(const std::function<void()>& open,
                            const std::function<void(QWidget& editor)>& drive);
    // Opens the Options dialog; drive acts on it while it is modal, then OK
    // closes it.
    void WithOptions(const std::function<void(QDialog& dialog)>& drive);
    // Next on step 2 with each refused table name: its message, the focus
    // back in sql_table_name, still on step 2.
    void
    ExpectTableNamesRefused(const std::vector<std::pair<std::string, std::string>>& nameAndMessage);
    // Next on step 2 with the save dialog answering name in the temp folder.
    void DumpTo(const std::string& name);
    std::string OutPath(const std::string& name) const { return (Dir.Path() / name).string(); }

    // A sheet "Rows" of "row 1" to "row 5" in column A, as the workbook path.
    void AddFiveRowBook(const std::string& path);
    // Runs check once, among the events the conversion lets through after
    // its first row; CheckedDuringPass tells whether it ran.
    void DuringThePass(std::function<void()> check);

    bool CheckedDuringPass = false;
    TScriptedDialogs* Answers = nullptr;
    std::map<std::string, std::vector<std::pair<std::string, TRows>>> Books;
    std::vector<std::string> Calls;
    std::function<void(const std::string&)> OnCall;
    TTabellixForms Forms;
    TempDir Dir;
    TempDir SettingsDir;
};

inline const std::string kBom = "\xEF\xBB\xBF";

} // namespace tabellix::test
