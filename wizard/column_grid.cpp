#include "wizard/column_grid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include <algorithm>

namespace tabellix {

TColumnGridModel::TColumnGridModel(TStringGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), FGrid(&grid), FRows(grid.RowCount() - 1) {
    FGrid->OnChange = [this] { GridChanged(); };
}

void TColumnGridModel::GridChanged() {
    const int rows = FGrid->RowCount() - 1;
    if (rows != FRows) {
        beginResetModel();
        FRows = rows;
        endResetModel();
        return;
    }
    if (FRows > 0)
        emit dataChanged(index(0, 0), index(FRows - 1, FGrid->ColCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, FGrid->ColCount() - 1);
}

int TColumnGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FRows;
}

int TColumnGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : FGrid->ColCount();
}

QVariant TColumnGridModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return QString::fromStdString(FGrid->Cell(index.column(), index.row() + 1));
}

QVariant TColumnGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromStdString(FGrid->Cell(section, 0));
}

TColumnGridView::TColumnGridView(QWidget* parent)
    : QTableView(parent), FGrid(MakeColumnGrid()), FModel(new TColumnGridModel(FGrid, this)) {
    setModel(FModel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(20);
    // A rebuilt grid keeps the selected row where it still exists, as a
    // string grid keeps its row.
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    FLastSelected = current.row() + 1;
            });
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] { SelectRow(FLastSelected); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { OpenRow(); });
    SelectRow(1);
}

void TColumnGridView::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && currentIndex().isValid()) {
        OpenRow();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TColumnGridView::OpenRow() {
    if (OnOpenRow)
        OnOpenRow();
}

int TColumnGridView::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return FLastSelected;
    int top = rows.front().row();
    for (const QModelIndex& r : rows)
        top = std::min(top, r.row());
    return top + 1;
}

void TColumnGridView::SelectRow(int gridRow) {
    const int rows = FModel->rowCount();
    if (rows == 0)
        return;
    const int row = std::clamp(gridRow, 1, rows) - 1;
    setCurrentIndex(FModel->index(row, 0));
    selectRow(row);
}

} // namespace tabellix
