// The Options dialog: settings for the created table beyond the window's
// pages (engine, character set, primary key), how its rows are sent and how
// the server page's connection waits and logs in, remembered between runs.
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

// The connection's safety settings; the defaults are the provider's own.
struct TConnectionOptions {
    int ReadTimeout = 60;           // seconds of silence awaiting an answer; 0: no bound
    bool AllowOldPasswords = false; // the pre-4.1 scramble, open to offline guessing
    bool operator==(const TConnectionOptions&) const = default;
};

// The remembered settings; the defaults when none were saved.
TTableOptions LoadTableOptions();
void SaveTableOptions(const TTableOptions& options);
TLoaderOptions LoadLoaderOptions();
void SaveLoaderOptions(const TLoaderOptions& options);
TConnectionOptions LoadConnectionOptions();
void SaveConnectionOptions(const TConnectionOptions& options);

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
