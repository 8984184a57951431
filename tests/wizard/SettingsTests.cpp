// What the wizard remembers between runs: the server page's login (never
// the password), the folders of the file dialogs and the Options dialog's
// choices but the key row; and the standard save dialog's own behaviour.
#include "tests/wizard/WizardFixture.h"

#include "wizard/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

using namespace tabellix;
using namespace tabellix::test;

namespace {

const std::string kBook = "/data/people.xlsx";

class RememberedSettings : public WizardFixture {
protected:
    void SetUp() override {
        WizardFixture::SetUp();
        AddBook(kBook, {{"People", {{Variant("Name")}, {Variant("Bob")}}}});
    }
};

TEST_F(RememberedSettings, TheServerPageStartsWithTheLastLoginButNeverAPassword) {
    {
        QSettings stored(QSettings::IniFormat, QSettings::UserScope, "Quorvane", "Tabellix");
        stored.setValue("server/host", "db.example");
        stored.setValue("server/port", "3307");
        stored.setValue("server/user", "sheets");
    }
    Restart();
    EXPECT_EQ(Text("edt_mysql_server"), "db.example");
    EXPECT_EQ(Text("edt_mysql_port"), "3307");
    EXPECT_EQ(Text("edt_mysql_username"), "sheets");
    EXPECT_EQ(Text("edt_mysql_password"), "");
}

TEST_F(RememberedSettings, TheFileDialogsStartInTheLastFolderAndSaveProposesTheTableName) {
    ChooseBook(kBook);
    Click("btnnext");
    Type("sql_table_name", "My Table");
    DumpTo("first.sql");
    ASSERT_EQ(Step(), "6");
    EXPECT_EQ(Answers->Starts, (std::vector<std::string>{"", "my_table.SQL"}))
        << "nothing remembered yet";

    Restart();
    Answers->Starts.clear();
    ChooseBook(kBook);
    Click("btnnext");
    DumpTo("second");
    EXPECT_EQ(Answers->Starts, (std::vector<std::string>{"/data", OutPath("new_table.SQL")}));
    // Within a run the open dialog starts at the file chosen before.
    ChooseBook(kBook);
    EXPECT_EQ(Answers->Starts.back(), kBook);
}

TEST_F(RememberedSettings, TheOptionsConnectionPartStartsAtTheProvidersDefaultsAndIsRemembered) {
    WithOptions([](QDialog& dialog) {
        auto* timeout = dialog.findChild<QSpinBox*>("readtimeout");
        auto* old = dialog.findChild<QCheckBox*>("oldpasswords");
        EXPECT_EQ(timeout->value(), 60);
        EXPECT_FALSE(old->isChecked());
        timeout->setValue(0);
        EXPECT_EQ(timeout->text(), "No limit");
        old->setChecked(true);
    });
    EXPECT_EQ(LoadConnectionOptions(), (TConnectionOptions{0, true}));
    Restart();
    WithOptions([](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QSpinBox*>("readtimeout")->value(), 0);
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("oldpasswords")->isChecked());
    });
    // A damaged value must not lift the bound.
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Quorvane", "Tabellix")
        .setValue("connection/readTimeout", "soon");
    EXPECT_EQ(LoadConnectionOptions().ReadTimeout, 60);
}

// A key row belongs to one workbook's grid: on the next workbook it named
// another column, one that may hold duplicates. It serves the run it was
// chosen in; everything else the dialog sets is there at the next start,
// and a key row an earlier version stored is ignored.
TEST_F(RememberedSettings, TheOptionsAreRememberedButTheKeyRowServesOnlyItsRun) {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "Quorvane", "Tabellix")
        .setValue("table/primaryKey", 1);
    Restart();
    const auto key = [](QDialog& dialog) { return dialog.findChild<QSpinBox*>("primarykey"); };
    WithOptions([&](QDialog& dialog) {
        EXPECT_EQ(key(dialog)->value(), 0) << "the stored key row is ignored";
        dialog.findChild<QComboBox*>("engine")->setCurrentText("InnoDB");
        dialog.findChild<QComboBox*>("charset")->setCurrentIndex(2);
        key(dialog)->setValue(1);
        dialog.findChild<QComboBox*>("loadmethod")->setCurrentIndex(2);
        dialog.findChild<QSpinBox*>("batchrows")->setValue(100);
        dialog.findChild<QCheckBox*>("keepgoing")->setChecked(true);
        dialog.findChild<QLineEdit*>("rejectfile")->setText("refused.csv");
        dialog.findChild<QSpinBox*>("readtimeout")->setValue(5);
        dialog.findChild<QCheckBox*>("oldpasswords")->setChecked(true);
    });
    const auto dumpedTable = [this](const std::string& name) {
        ChooseBook(kBook, 0, true);
        Click("btnnext");
        DumpTo(name);
        EXPECT_EQ(Step(), "6");
        const std::string written = ReadFileBytes(OutPath(name + ".SQL"));
        const size_t start = written.find("CREATE TABLE");
        return written.substr(start, written.find(';', start) + 1 - start);
    };
    EXPECT_EQ(dumpedTable("chosen"), "CREATE TABLE `new_table` (   `name`  VARCHAR(255)  "
                                     ",  PRIMARY KEY (`name`)  ) ENGINE=InnoDB DEFAULT "
                                     "CHARSET=utf8mb4;");

    Restart();
    WithOptions([&](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QComboBox*>("engine")->currentText(), "InnoDB");
        EXPECT_EQ(dialog.findChild<QComboBox*>("charset")->currentIndex(), 2);
        EXPECT_EQ(key(dialog)->value(), 0);
        EXPECT_EQ(dialog.findChild<QComboBox*>("loadmethod")->currentIndex(), 2);
        EXPECT_EQ(dialog.findChild<QSpinBox*>("batchrows")->value(), 100);
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("keepgoing")->isChecked());
        EXPECT_EQ(dialog.findChild<QLineEdit*>("rejectfile")->text(), "refused.csv");
        EXPECT_EQ(dialog.findChild<QSpinBox*>("readtimeout")->value(), 5);
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("oldpasswords")->isChecked());
    });
    EXPECT_EQ(dumpedTable("next"), "CREATE TABLE `new_table` (   `name`  VARCHAR(255)  "
                                   ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;");
}

TEST(StandardSaveDialog, ListsSqlFilesOfAnyLetterCaseAndAsksNothingOfItsOwn) {
    TempDir dir;
    for (const char* name : {"a.sql", "b.SQL", "c.Sql", "d.txt"})
        QFile(QString::fromStdString((dir.Path() / name).string())).open(QIODevice::WriteOnly);
    const QString proposed = QString::fromStdString((dir.Path() / "people.SQL").string());
    auto dialog = StandardSaveDialog(nullptr, "SQL files|*.SQL", proposed.toStdString());
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->directory().absolutePath(),
              QDir(proposed).absolutePath().section('/', 0, -2));
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_EQ(dialog->selectedFiles()[0].section('/', -1).toStdString(), "people.SQL");
    dialog->show();
    auto* view = dialog->findChild<QListView*>("listView");
    ASSERT_NE(view, nullptr);
    QStringList listed;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        listed.clear();
        for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
            listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
        return listed.size() == 3;
    }));
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"a.sql", "b.SQL", "c.Sql"}));
}

} // namespace
