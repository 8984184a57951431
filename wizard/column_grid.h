// The wizard's string grid: a table view over the engine's column grid,
// whose row 0 is the fixed header row. The view follows every change of the
// model, and keeps a whole-row selection.
#pragma once

#include "engine/grid.h"

#include <QAbstractTableModel>
#include <QTableView>

#include <functional>

namespace tabellix {

class TColumnGridModel : public QAbstractTableModel {
public:
    explicit TColumnGridModel(TStringGrid& grid, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void GridChanged();

    TStringGrid* FGrid;
    int FRows; // data rows the view knows of
};

class TColumnGridView : public QTableView {
public:
    explicit TColumnGridView(QWidget* parent = nullptr);

    TStringGrid& Grid() { return FGrid; }
    const TStringGrid& Grid() const { return FGrid; }
    // The top row of the selection, as a grid row (1 = first data row).
    int SelectedRow() const;
    void SelectRow(int gridRow);

    // A row opened for editing: double-clicked, or Enter pressed on it.
    std::function<void()> OnOpenRow;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenRow();

    TStringGrid FGrid;
    TColumnGridModel* FModel;
    int FLastSelected = 1;
};

} // namespace tabellix
