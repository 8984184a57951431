#include "tests/wizard/WizardFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTableView>

using namespace tabellix;
using namespace tabellix::test;

namespace {

using WizardWindow = WizardFixture;

TEST_F(WizardWindow, HasItsTitleSizeAndPlaces) {
    QWidget& window = *Forms.Form4;
    EXPECT_EQ(QCoreApplication::applicationName(), "Quorvane Tabellix");
    EXPECT_EQ(window.windowTitle(), "Tabellix");
    EXPECT_EQ(window.size(), QSize(721, 412));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "fixed size";
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window.font().pointSize(), 8);
    const struct {
        const char* name;
        QRect geometry;
    } places[] = {{"pnl1", {10, 14, 206, 351}},     {"wiz1", {222, 13, 487, 353}},
                  {"wiz2", {222, 13, 487, 353}},    {"wiz4", {222, 13, 487, 353}},
                  {"wiz5", {222, 13, 487, 353}},    {"wiz6", {222, 13, 487, 353}},
                  {"btnback", {266, 372, 145, 29}}, {"btnnext", {417, 372, 145, 29}},
                  {"btnclose", {568, 372, 145, 29}}};
    for (const auto& p : places) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(Find(p.name)->geometry(), p.geometry);
    }
    EXPECT_EQ(VisiblePage(), "wiz1");
}

TEST_F(WizardWindow, EveryControlStartsWithItsCaptionAndState) {
    const struct {
        const char* name;
        const char* kind;
        const char* text;
        bool enabled;
    } controls[] = {
        {"lstep", "QLabel", "1", true},
        {"btnback", "QPushButton", "<<  Back", false},
        {"btnnext", "QPushButton", "Next Step >>", true},
        {"btnclose", "QPushButton", "Close", true},
        {"filename", "QLabel", "File Name ...", true},
        {"btn_brows", "QPushButton", "Choose Excel File", true},
        {"Label1", "QLabel", "Choose a Sheet to Convert it:", true},
        {"sheets", "QListWidget", nullptr, true},
        {"lbl1", "QLabel", "How whoud you like to get the result ?", true},
        {"rb_file", "QRadioButton", "Save the result to .SQL Dump file", true},
        {"rb_server", "QRadioButton", "Tansfer the result to MySQL server", true},
        {"chk_names", "QCheckBox", "Use the first row of the excel file as column names", true},
        {"lbl_tn", "QLabel", "Mysql Table Name", true},
        {"sql_table_name", "QLineEdit", "New_table", true},
        {"grid", "QTableView", nullptr, true},
        {"btn3", "QPushButton", "Edit Selected", true},
        {"btnpropose", "QPushButton", "Propose types", true},
        {"lbl6", "QLabel", "Column Names Prefix", true},
        {"edit_prefix", "QLineEdit", "", true},
        {"lbl7", "QLabel", "Note: Leave it empty if it is not needed", true},
        {"lbl2", "QLabel",
         "Note: if you want to use the first row of the excel file as column names, go back and "
         "check this option",
         true},
        {"lbl3", "QLabel",
         "Input your MySQL server Info and then press the button \"connect\" to\nget database "
         "list to choose of them.",
         true},
        {"lbl9", "QLabel", "Server IP (Domain):", true},
        {"edt_mysql_server", "QLineEdit", "localhost", true},
        {"lbl10", "QLabel", "Port:", true},
        {"edt_mysql_port", "QLineEdit", "3306", true},
        {"lbl11", "QLabel", "Username:", true},
        {"edt_mysql_username", "QLineEdit", "root", true},
        {"lbl12", "QLabel", "Password:", true},
        {"edt_mysql_password", "QLineEdit", "", true},
        {"btn1", "QPushButton", "Connect  >>", true},
        {"lbl13", "QLabel", "Database:", true},
        {"dblist", "QComboBox", nullptr, true},
        {"lst_tables", "QListWidget", nullptr, true},
        {"lbl5", "QLabel", "Processing Data...\nPlease wait until the comversion completed!", true},
        {"gauge", "QProgressBar", nullptr, true},
        {"lbl4", "QLabel", "The Conversion Process Completed!", true},
        {"lindex", "QLabel", "", true},
        {"fname", "QLineEdit", "", true},
        {"ftype", "QComboBox", nullptr, true},
        {"flength", "QLineEdit", "", true},
        {"btn2", "QPushButton", "OK", true},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        QWidget* w = Find(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.kind);
        if (c.text) {
            EXPECT_EQ(Text(c.name), c.text);
        }
        EXPECT_EQ(w->isEnabled(), c.enabled);
    }
    EXPECT_TRUE(Find<QAbstractButton>("rb_file")->isChecked());
    EXPECT_FALSE(Find<QAbstractButton>("chk_names")->isChecked());
    EXPECT_TRUE(Find("filename")->font().italic());
    EXPECT_TRUE(Find("lstep")->isHidden());
    EXPECT_TRUE(Find("lst_tables")->isHidden());
    EXPECT_FALSE(Find<QComboBox>("dblist")->isEditable());
    EXPECT_EQ(Find<QComboBox>("dblist")->count(), 0);
    auto* password = Find<QLineEdit>("edt_mysql_password");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(
        password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, password),
        '*');
}

TEST_F(WizardWindow, ProposeTypesStandsBesideEditSelectedOverNoOtherControl) {
    QWidget* propose = Find("btnpropose");
    const QRect place = propose->geometry();
    EXPECT_EQ(place.top(), Find("btn3")->geometry().top());
    EXPECT_GT(place.left(), Find("btn3")->geometry().right());
    for (QWidget* other :
         propose->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == propose)
            continue;
        SCOPED_TRACE(other->objectName().toStdString());
        EXPECT_FALSE(place.intersects(other->geometry()));
    }
    EXPECT_TRUE(propose->parentWidget()->rect().contains(place));
}

TEST_F(WizardWindow, TheGridShowsItsHeaderAndWidths) {
    auto* grid = Find<QTableView>("grid");
    const char* headers[] = {"Field Name", "Field Type", "Length"};
    const int widths[] = {230, 110, 70};
    ASSERT_EQ(grid->model()->columnCount(), 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 20);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
}

TEST_F(WizardWindow, TheFieldEditorHasItsBoxesAndButtonsInPlace) {
    QWidget& editor = *Forms.editgrid;
    EXPECT_EQ(editor.windowTitle(), "Edit Field");
    EXPECT_EQ(editor.size(), QSize(463, 125));
    EXPECT_TRUE(editor.windowFlags() & Qt::Tool);
    EXPECT_TRUE(editor.isHidden());
    const struct {
        const char* name;
        QRect geometry;
    } places[] = {{"fname", {22, 38, 121, 21}},
                  {"ftype", {174, 38, 113, 21}},
                  {"flength", {318, 38, 121, 21}},
                  {"btn2", {126, 82, 98, 25}},
                  {"btn1", {230, 82, 97, 25}}};
    for (const auto& p : places) {
        SCOPED_TRACE(p.name);
        EXPECT_EQ(editor.findChild<QWidget*>(p.name)->geometry(), p.geometry);
    }
    for (const char* label : {"lbl1", "lbl2", "lbl3"})
        EXPECT_NE(editor.findChild<QLabel*>(label), nullptr) << label;
    EXPECT_EQ(editor.findChild<QLabel*>("lbl2")->text(), "Field Type");
    EXPECT_EQ(editor.findChild<QAbstractButton*>("btn1")->text(), "Cancel");
}

} // namespace
