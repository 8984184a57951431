// The Options dialog: settings for the created table beyond the window's
// pages (engine, character set, primary key), how its rows are sent and how
// the server page's connection waits and logs in; saved as wizard/settings
// remembers them.
#pragma once

#include "engine/conversion_settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QSpinBox;

namespace tabellix {

class TOptionsDialog : public QDialog {
public:
    explicit TOptionsDialog(QWidget* parent = nullptr);

    // Shows the options for editing; true (all updated and saved) on OK.
    bool Edit(TTableOptions& table, TLoaderOptions& loader, TConnectionOptions& connection);

    QComboBox* engine = nullptr;
    QComboBox* charset = nullptr;
    QSpinBox* primaryKey = nullptr;
    QComboBox* loadMethod = nullptr; // in the order of TLoadMethod
    QSpinBox* batchRows = nullptr;
    QCheckBox* keepGoing = nullptr;
    QLineEdit* rejectFile = nullptr;
    QSpinBox* readTimeout = nullptr;
    QCheckBox* oldPasswords = nullptr;

private:
    void AddLoaderRows(QFormLayout& form);
    void AddConnectionRows(QFormLayout& form);
    void Fill(const TTableOptions& table, const TLoaderOptions& loader,
              const TConnectionOptions& connection);
    void Take(TTableOptions& table, TLoaderOptions& loader, TConnectionOptions& connection) const;
};

} // namespace tabellix
