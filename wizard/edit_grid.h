// The field editor dialog: edits one row of the column grid (name, type,
// length) with the engine's field rules and writes it back into the grid.
#pragma once

#include "engine/funcs.h"
#include "wizard/column_grid.h"

#include <QDialog>

#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tabellix {

class Teditgrid : public QDialog {
public:
    // grid: the wizard's column grid, which OK writes into.
    explicit Teditgrid(TColumnGridView& grid, QWidget* parent = nullptr);
    ~Teditgrid() override;

    // Fills the boxes with grid row row's cells and shows the dialog modally.
    // Setting the type here is not a change by the user: the length box keeps
    // the enabled state the last such change left.
    void Edit(int row, const std::string& name, const std::string& type, const std::string& length);

    void ftypeChange();
    void btn2Click();
    void btn1Click();

private:
    void FormCreate();
    void BuildControls();
    void SyncTypeIndex();

    TColumnGridView* FGrid;
    std::unique_ptr<myfuns> funs;
    QLabel* lindex = nullptr;
    QLineEdit* fname = nullptr;
    QComboBox* ftype = nullptr;
    QLineEdit* flength = nullptr;
};

} // namespace tabellix
