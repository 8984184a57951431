#include "wizard/edit_grid.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "engine/field_edit.h"
#include "wizard/controls.h"
#include "wizard/dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace tabellix {
namespace {

QLabel* Caption(QWidget* parent, const char* name, const char* text, int x, int y) {
    return Label(parent, name, text, QRect(x, y, 120, 13));
}

int ListIndex(const QComboBox& box, const QString& text) {
    return box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

} // namespace

Teditgrid::Teditgrid(TColumnGridView& grid, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), FGrid(&grid) {
    setObjectName("editgrid");
    setWindowTitle("Edit Field");
    setFont(WizardFont());
    setFixedSize(463, 125);
    BuildControls();
    FormCreate();
}

Teditgrid::~Teditgrid() = default;

void Teditgrid::FormCreate() {
    funs = std::make_unique<myfuns>();
}

void Teditgrid::BuildControls() {
    lindex = Place<QLabel>(this, "lindex", QRect(14, 6, 40, 13));
    lindex->hide();
    Caption(this, "lbl1", "Field Text", 24, 23);
    fname = Place<QLineEdit>(this, "fname", QRect(22, 38, 121, 21));
    Caption(this, "lbl2", "Field Type", 175, 23);
    ftype = Place<QComboBox>(this, "ftype", QRect(174, 38, 113, 21));
    ftype->setEditable(true);
    ftype->setInsertPolicy(QComboBox::NoInsert);
    // Typed text stays as typed: no completion from the list.
    ftype->setCompleter(nullptr);
    for (const std::string& type : field_types())
        ftype->addItem(Q(type));
    Caption(this, "lbl3", "Field Length", 319, 23);
    flength = Place<QLineEdit>(this, "flength", QRect(318, 38, 121, 21));
    QPushButton* btn2 = Button(this, "btn2", "OK", QRect(126, 82, 98, 25));
    QPushButton* btn1 = Button(this, "btn1", "Cancel", QRect(230, 82, 97, 25));
    // Return in any box confirms; Escape cancels, as in every dialog.
    btn2->setDefault(true);

    connect(ftype->lineEdit(), &QLineEdit::textEdited, this, [this] {
        SyncTypeIndex();
        ftypeChange();
    });
    connect(ftype, &QComboBox::activated, this, [this] { ftypeChange(); });
    connect(btn2, &QPushButton::clicked, this,
            [this] { RunHandler(this, [this] { btn2Click(); }); });
    connect(btn1, &QPushButton::clicked, this, [this] { btn1Click(); });
}

void Teditgrid::Edit(int row, const std::string& name, const std::string& type,
                     const std::string& length) {
    lindex->setText(QString::number(row));
    fname->setText(Q(name));
    {
        const QSignalBlocker quiet(ftype);
        ftype->setCurrentIndex(ListIndex(*ftype, Q(type)));
        ftype->setEditText(Q(type));
    }
    flength->setText(Q(length));
    // Every opening starts on the name, ready to be typed over.
    fname->selectAll();
    fname->setFocus();
    exec();
}

// The list position follows the text, so that leaving the box after typing
// a listed type is not taken for a second choice from the list (which would
// reset a length typed since).
void Teditgrid::SyncTypeIndex() {
    const int index = ListIndex(*ftype, ftype->currentText());
    if (index < 0 || index == ftype->currentIndex())
        return;
    const QSignalBlocker quiet(ftype);
    ftype->setCurrentIndex(index);
}

void Teditgrid::ftypeChange() {
    const std::optional<std::string> length =
        default_field_length(ftype->currentText().toStdString());
    flength->setText(Q(length.value_or("")));
    flength->setEnabled(length.has_value());
}

void Teditgrid::btn2Click() {
    TFieldEdit edit{fname->text().toStdString(), ftype->currentText().toStdString(),
                    flength->text().toStdString(), StrToInt(lindex->text().toStdString())};
    // The length box shows the trimmed, normalised text even when a check
    // refuses the edit or the number does not convert.
    TFieldCheck check;
    try {
        check = apply_field_edit(*funs, edit, FGrid->Grid(), FGrid->SelectedRow());
    } catch (const Exception&) {
        flength->setText(Q(edit.flength));
        throw;
    }
    flength->setText(Q(edit.flength));
    if (check.accepted) {
        accept();
        return;
    }
    ShowMessage(this, check.message);
    if (check.focus == TFieldFocus::Name)
        fname->setFocus();
    else if (check.focus == TFieldFocus::Type)
        ftype->setFocus();
}

void Teditgrid::btn1Click() {
    reject();
}

} // namespace tabellix
