// The Options dialog: settings for the created table beyond the window's
// pages (engine, character set, primary key), remembered between runs.
#pragma once

#include "engine/table_options.h"

#include <QDialog>

class QComboBox;
class QSpinBox;

namespace tabellix {

// The remembered settings; the defaults when none were saved.
TTableOptions LoadTableOptions();
void SaveTableOptions(const TTableOptions& options);

class TOptionsDialog : public QDialog {
public:
    explicit TOptionsDialog(QWidget* parent = nullptr);

    // Shows options for editing; true (options updated and saved) on OK.
    bool Edit(TTableOptions& options);

    QComboBox* engine = nullptr;
    QComboBox* charset = nullptr;
    QSpinBox* primaryKey = nullptr;
};

} // namespace tabellix
