#include "tests/wizard/WizardFixture.h"

#include "automation/Automation.h"
#include "automation/WorkbookApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace tabellix::test {

void TScriptedDialogs::Message(QWidget*, const std::string& text) {
    Messages.push_back(text);
    if (OnMessage)
        OnMessage(text);
}

bool TScriptedDialogs::Confirm(QWidget*, const std::string& text) {
    Confirms.push_back(text);
    if (ConfirmAnswers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool yes = ConfirmAnswers.front();
    ConfirmAnswers.pop_front();
    return yes;
}

void TScriptedDialogs::Error(QWidget*, const std::string& text) {
    Errors.push_back(text);
}

namespace {

std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers,
                                const char* dialog) {
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected " << dialog << " dialog";
        return std::nullopt;
    }
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace

std::optional<std::string> TScriptedDialogs::OpenFile(QWidget*, const std::string& filter,
                                                      const std::string& start) {
    Filters.push_back(filter);
    Starts.push_back(start);
    return Next(OpenAnswers, "open");
}

std::optional<std::string> TScriptedDialogs::SaveFile(QWidget*, const std::string& filter,
                                                      const std::string& proposed) {
    Filters.push_back(filter);
    Starts.push_back(proposed);
    return Next(SaveAnswers, "save");
}

void WizardFixture::AddFiveRowBook(const std::string& path) {
    TRows rows;
    for (int i = 1; i <= 5; ++i)
        rows.push_back({Variant("row " + std::to_string(i))});
    AddBook(path, {{"Rows", rows}});
}

void WizardFixture::DuringThePass(std::function<void()> check) {
    OnCall = [this, check = std::move(check)](const std::string& call) {
        if (call != "Cells(2,1).value" || CheckedDuringPass)
            return;
        CheckedDuringPass = true;
        QTimer::singleShot(0, Forms.Form4.get(), check);
    };
}

void WizardFixture::SetUp() {
    auto answers = std::make_unique<TScriptedDialogs>();
    Answers = answers.get();
    SetDialogs(std::move(answers));
    SetAutomationObserver([this](const std::string& call) {
        Calls.push_back(call);
        if (OnCall)
            OnCall(call);
    });
    SetAutomationFactory([this] {
        return std::make_unique<TWorkbookApplication>([this](const std::string& name) {
            auto found = Books.find(name);
            if (found == Books.end())
                throw EAutomationError("The workbook " + name + " could not be opened");
            auto book = std::make_unique<TWorkbook>();
            for (const auto& [sheetName, rows] : found->second) {
                TSheet& sheet = book->AddSheet(sheetName);
                for (size_t r = 0; r < rows.size(); ++r)
                    for (size_t c = 0; c < rows[r].size(); ++c)
                        sheet.SetValue(static_cast<int>(r) + 1, static_cast<int>(c) + 1,
                                       rows[r][c]);
            }
            return book;
        });
    });
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(SettingsDir.Path().string()));
    Restart();
}

void WizardFixture::Restart() {
    Forms.editgrid.reset();
    Forms.Form4.reset();
    Forms = CreateTabellixForms();
    Forms.Form4->show();
    Forms.Form4->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Forms.Form4.get()));
}

std::string WizardFixture::SettingsFile() const {
    return ReadFileBytes(SettingsDir.Path() / "Quorvane" / "Tabellix.ini");
}

void WizardFixture::TearDown() {
    Forms.editgrid.reset();
    Forms.Form4.reset();
    SetAutomationFactory({});
    SetAutomationObserver({});
    SetDialogs(nullptr);
}

void WizardFixture::AddBook(const std::string& path,
                            std::vector<std::pair<std::string, TRows>> sheets) {
    Books[path] = std::move(sheets);
}

void WizardFixture::Click(const char* button) const {
    if (auto* b = Find<QAbstractButton>(button))
        QTest::mouseClick(b, Qt::LeftButton);
}

QString WizardFixture::Text(const char* control) const {
    QWidget* w = Find(control);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text();
    ADD_FAILURE() << control << " has no text";
    return {};
}

void WizardFixture::Type(const char* edit, const QString& text) const {
    if (auto* e = Find<QLineEdit>(edit)) {
        e->clear();
        QTest::keyClicks(e, text);
    }
}

std::string WizardFixture::VisiblePage() const {
    std::string shown;
    for (const char* page : {"wiz1", "wiz2", "wiz4", "wiz5", "wiz6"})
        if (Find(page)->isVisible())
            shown += shown.empty() ? page : std::string(",") + page;
    return shown;
}

void WizardFixture::ExpectTableNamesRefused(
    const std::vector<std::pair<std::string, std::string>>& nameAndMessage) {
    for (const auto& [name, message] : nameAndMessage) {
        SCOPED_TRACE(name);
        Answers->Messages.clear();
        Type("sql_table_name", QString::fromStdString(name));
        Find("btnnext")->setFocus();
        Click("btnnext");
        EXPECT_EQ(Answers->Messages, std::vector<std::string>{message});
        EXPECT_TRUE(Find("sql_table_name")->hasFocus());
        EXPECT_EQ(Step(), "2");
        EXPECT_EQ(VisiblePage(), "wiz2");
    }
}

void WizardFixture::ChooseBook(const std::string& path, int sheet, bool firstRowNames) {
    Answers->OpenAnswers.push_back(path);
    Click("btn_brows");
    auto* list = Find<QListWidget>("sheets");
    if (sheet != 0 && list && sheet < list->count())
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(sheet)).center());
    if (firstRowNames)
        Click("chk_names");
}

void WizardFixture::SelectGridRow(int gridRow) const {
    auto* view = Find<QTableView>("grid");
    const QModelIndex cell = view->model()->index(gridRow - 1, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
}

void WizardFixture::WithEditor(int gridRow, const std::function<void(QWidget& editor)>& drive) {
    SelectGridRow(gridRow);
    WithEditorOpenedBy([this] { Click("btn3"); }, drive);
}

void WizardFixture::WithEditorOpenedBy(const std::function<void()>& open,
                                       const std::function<void(QWidget& editor)>& drive) {
    QWidget& editor = *Forms.editgrid;
    bool driven = false;
    QTimer::singleShot(0, &editor, [&] {
        driven = true;
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        drive(editor);
        if (editor.isVisible())
            editor.close();
    });
    open();
    EXPECT_TRUE(driven) << "the field editor did not open";
}

void WizardFixture::WithOptions(const std::function<void(QDialog& dialog)>& drive) {
    bool driven = false;
    QTimer::singleShot(0, Forms.Form4.get(), [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        driven = true;
        drive(*dialog);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    Click("btnoptions");
    EXPECT_TRUE(driven) << "the Options dialog did not open";
}

void WizardFixture::DumpTo(const std::string& name) {
    Answers->SaveAnswers.push_back(OutPath(name));
    Click("btnnext");
}

} // namespace tabellix::test
