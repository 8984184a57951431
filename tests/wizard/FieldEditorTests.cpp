#include "tests/wizard/WizardFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include <cstring>
#include <functional>

using namespace tabellix;
using namespace tabellix::test;

namespace {

const std::string kBook = "/data/columns.xlsx";

class FieldEditor : public WizardFixture {
protected:
    void SetUp() override {
        WizardFixture::SetUp();
        AddBook(kBook, {{"Cols",
                         {{Variant("id"), Variant("name"), Variant("city")},
                          {Variant(1.0), Variant(2.0), Variant(3.0)}}}});
        ChooseBook(kBook, 0, true);
        Click("btnnext");
        ASSERT_EQ(Step(), "2");
    }
    QComboBox* TypeBox() const { return Find<QComboBox>("ftype"); }
    QLineEdit* LengthBox() const { return Find<QLineEdit>("flength"); }
    // The type as the user types it, character by character.
    void TypeType(const QString& type) const {
        TypeBox()->lineEdit()->clear();
        QTest::keyClicks(TypeBox()->lineEdit(), type);
    }
    // The type as the user picks it from the drop-down list.
    void PickType(const QString& type) const {
        QComboBox* box = TypeBox();
        box->showPopup();
        QAbstractItemView* list = box->view();
        const QModelIndex item = list->model()->index(box->findText(type), 0);
        list->scrollTo(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(item).center());
    }
    std::vector<std::string> Row(int gridRow) const {
        auto* model = Find<QTableView>("grid")->model();
        std::vector<std::string> cells;
        for (int c = 0; c < 3; ++c)
            cells.push_back(model->index(gridRow - 1, c).data().toString().toStdString());
        return cells;
    }
    std::string FocusName() const {
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus->parentWidget() == TypeBox())
            focus = TypeBox();
        return focus ? focus->objectName().toStdString() : "";
    }
};

TEST_F(FieldEditor, OpensOnTheSelectedRow) {
    WithEditor(2, [&](QWidget& editor) {
        EXPECT_EQ(editor.windowTitle(), "Edit Field");
        EXPECT_EQ(Text("lindex"), "2");
        EXPECT_FALSE(Find("lindex")->isVisible());
        EXPECT_EQ(Text("fname"), "name");
        EXPECT_EQ(TypeBox()->currentText(), "VARCHAR");
        EXPECT_EQ(LengthBox()->text(), "255");
        EXPECT_TRUE(LengthBox()->isEnabled());
        EXPECT_EQ(TypeBox()->count(), 19);
        EXPECT_EQ(TypeBox()->itemText(18), "LONGTEXT");
    });
}

// The checks and their messages are the engine's (its field-edit tests hold
// them all); OK shows the message and moves the focus to the box it names,
// or stores what the engine made of the edit and closes.
TEST_F(FieldEditor, OkShowsTheChecksMessageAndFocusOrStoresTheCheckedEdit) {
    const struct {
        const char* title;
        int row;
        const char* name;
        const char* type; // typed; nullptr keeps the row's type
        const char* length;
        const char* message; // nullptr: accepted
        const char* focus;
        std::vector<std::string> stored;
    } cases[] = {
        {"refused name: focus on the name",
         2,
         "1x",
         nullptr,
         "255",
         "Please input a valid Field Name!",
         "fname",
         {}},
        {"refused length: focus on the type",
         2,
         "name",
         "CHAR",
         "",
         "Please input field Length!",
         "ftype",
         {}},
        {"name and length as the engine settles them",
         3,
         "Name",
         nullptr,
         " 020 ",
         nullptr,
         "",
         {"name_1", "VARCHAR", "20"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        Answers->Messages.clear();
        const std::vector<std::string> before = Row(c.row);
        bool stayedOpen = false;
        WithEditor(c.row, [&](QWidget& editor) {
            Find<QLineEdit>("fname")->setText(c.name);
            if (c.type)
                TypeType(c.type);
            LengthBox()->setText(c.length);
            Click("btn2");
            stayedOpen = editor.isVisible();
            if (c.message && *c.focus) {
                EXPECT_EQ(FocusName(), c.focus);
            }
        });
        if (c.message) {
            EXPECT_EQ(Answers->Messages, std::vector<std::string>{c.message});
            EXPECT_TRUE(stayedOpen);
            EXPECT_EQ(Row(c.row), before);
        } else {
            EXPECT_TRUE(Answers->Messages.empty());
            EXPECT_FALSE(stayedOpen);
            EXPECT_EQ(Row(c.row), c.stored);
        }
    }
}

TEST_F(FieldEditor, ALengthThatIsNoNumberGoesToTheErrorBoxAndTheDialogStaysOpen) {
    WithEditor(2, [&](QWidget& editor) {
        LengthBox()->setText(" abc ");
        Click("btn2");
        EXPECT_EQ(Answers->Errors,
                  std::vector<std::string>{"''abc'' is not a valid integer value."});
        EXPECT_TRUE(editor.isVisible());
        EXPECT_EQ(LengthBox()->text(), "abc");
    });
    EXPECT_EQ(Row(2), (std::vector<std::string>{"name", "VARCHAR", "255"}));
}

TEST_F(FieldEditor, TypingATypeAppliesTheDefaultLengthAtEveryCharacter) {
    WithEditor(1, [&](QWidget&) {
        TypeBox()->lineEdit()->clear();
        for (const char* step : {"t", "te", "tex", "text"}) {
            QTest::keyClick(TypeBox()->lineEdit(), step[std::strlen(step) - 1]);
            EXPECT_EQ(TypeBox()->currentText(), step);
            EXPECT_EQ(LengthBox()->text(), "");
            EXPECT_FALSE(LengthBox()->isEnabled());
        }
        Click("btn2");
    });
    EXPECT_EQ(Row(1), (std::vector<std::string>{"id", "text", ""}));
}

TEST_F(FieldEditor, PickingATypeSetsItsDefaultLength) {
    WithEditor(1, [&](QWidget&) {
        LengthBox()->setText("99");
        PickType("INT");
        EXPECT_EQ(TypeBox()->currentText(), "INT");
        EXPECT_EQ(LengthBox()->text(), "11");
        PickType("DECIMAL");
        EXPECT_EQ(LengthBox()->text(), "");
        EXPECT_FALSE(LengthBox()->isEnabled());
        PickType("BIGINT");
        EXPECT_EQ(LengthBox()->text(), "20");
        EXPECT_TRUE(LengthBox()->isEnabled());
        Click("btn2");
    });
    EXPECT_EQ(Row(1), (std::vector<std::string>{"id", "BIGINT", "20"}));
}

TEST_F(FieldEditor, TheLengthBoxKeepsItsStateFromTheLastTypeChange) {
    WithEditor(1, [&](QWidget&) {
        PickType("DATE");
        Click("btn2");
    });
    WithEditor(2, [&](QWidget&) {
        EXPECT_EQ(LengthBox()->text(), "255");
        EXPECT_FALSE(LengthBox()->isEnabled());
        TypeType("VARCHAR");
        EXPECT_TRUE(LengthBox()->isEnabled());
    });
    WithEditor(3, [&](QWidget&) { EXPECT_TRUE(LengthBox()->isEnabled()); });
}

TEST_F(FieldEditor, CancelAndTheCloseBoxLeaveTheGridAlone) {
    WithEditor(2, [&](QWidget&) {
        Find<QLineEdit>("fname")->setText("other");
        PickType("INT");
        Click("btn1");
    });
    WithEditor(2, [&](QWidget& editor) {
        Find<QLineEdit>("fname")->setText("other");
        editor.close();
    });
    EXPECT_EQ(Row(2), (std::vector<std::string>{"name", "VARCHAR", "255"}));
}

// The grid opens the editor on a row as "Edit Selected" does.
TEST_F(FieldEditor, ADoubleClickOrEnterOnAGridRowOpensTheEditorOnThatRow) {
    auto* view = Find<QTableView>("grid");
    const auto rowCentre = [view](int gridRow) {
        return view->visualRect(view->model()->index(gridRow - 1, 1)).center();
    };
    const struct {
        const char* way;
        int row;
        std::function<void()> open;
    } ways[] = {
        {"double-click", 3,
         [&] {
             QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowCentre(3));
             QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, rowCentre(3));
         }},
        {"Return", 1, [&] { QTest::keyClick(view, Qt::Key_Return); }},
        {"keypad Enter", 1, [&] { QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        SelectGridRow(1);
        view->setFocus();
        WithEditorOpenedBy(w.open, [&](QWidget& editor) {
            EXPECT_EQ(Text("lindex"), QString::number(w.row));
            EXPECT_EQ(Text("fname"), Row(w.row)[0].c_str());
            QTest::keyClick(&editor, Qt::Key_Escape);
            EXPECT_FALSE(editor.isVisible()) << "Escape cancels";
        });
        Forms.Form4->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Forms.Form4.get()));
    }
    EXPECT_EQ(Row(2), (std::vector<std::string>{"name", "VARCHAR", "255"}));
    EXPECT_TRUE(Answers->Messages.empty());
}

// Whatever box had the focus when the editor last closed, the next opening
// starts in "Field Text" with its text selected, so typing replaces it, and
// Return in any of the three boxes is OK.
TEST_F(FieldEditor, EachOpeningStartsOnTheSelectedNameAndReturnInAnyBoxIsOk) {
    const struct {
        int row;
        const char* box;
        const char* typed;
    } cases[] = {{1, "fname", "key"}, {2, "ftype", "title"}, {3, "flength", "town"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        const std::vector<std::string> before = Row(c.row);
        WithEditor(c.row, [&](QWidget& editor) {
            // Leave the focus in the type box, then cancel with Escape.
            TypeBox()->setFocus();
            QTest::keyClick(TypeBox()->lineEdit(), Qt::Key_Escape);
            EXPECT_FALSE(editor.isVisible());
        });
        EXPECT_EQ(Row(c.row), before);
        WithEditor(c.row, [&](QWidget& editor) {
            EXPECT_EQ(FocusName(), "fname");
            EXPECT_EQ(Find<QLineEdit>("fname")->selectedText(), before[0].c_str());
            QTest::keyClicks(QApplication::focusWidget(), c.typed);
            QWidget* box = Find(c.box);
            if (box == TypeBox())
                box = TypeBox()->lineEdit();
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
            EXPECT_FALSE(editor.isVisible()) << "Return is OK";
        });
        EXPECT_EQ(Row(c.row), (std::vector<std::string>{c.typed, before[1], before[2]}));
    }
    EXPECT_TRUE(Answers->Messages.empty());
}

// Return goes through OK's checks like a click: a refused edit keeps the
// dialog open with its message.
TEST_F(FieldEditor, ReturnOnARefusedEditShowsTheMessageAndStaysOpen) {
    WithEditor(2, [&](QWidget& editor) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(Answers->Messages, std::vector<std::string>{"Please input the Field Name!"});
        EXPECT_TRUE(editor.isVisible());
    });
    EXPECT_EQ(Row(2), (std::vector<std::string>{"name", "VARCHAR", "255"}));
}

} // namespace
