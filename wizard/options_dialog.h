// The Options dialog: settings for the created table beyond the window's
// pages (engine, character set, primary key) and how its rows are sent,
// remembered between runs.
#pragma once

#include "engine/loader.h"
#include "engine/table_options.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;

namespace tabellix {

// The remembered settings; the defaults when none were saved.
TTableOptions LoadTableOptions();
void SaveTableOptions(const TTableOptions& options);
TLoaderOptions LoadLoaderOptions();
void SaveLoaderOptions(const TLoaderOptions& options);

class TOptionsDialog : public QDialog {
public:
    explicit TOptionsDialog(QWidget* parent = nullptr);

    // Shows the options for editing; true (both updated and saved) on OK.
    bool Edit(TTableOptions& table, TLoaderOptions& loader);

    QComboBox* engine = nullptr;
    QComboBox* charset = nullptr;
    QSpinBox* primaryKey = nullptr;
    QComboBox* loadMethod = nullptr; // in the order of TLoadMethod
    QSpinBox* batchRows = nullptr;
    QCheckBox* keepGoing = nullptr;
    QLineEdit* rejectFile = nullptr;

private:
    void AddLoaderRows(QFormLayout& form);
};

} // namespace tabellix
