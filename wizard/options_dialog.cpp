#include "wizard/options_dialog.h"

#include "wizard/dialogs.h"
#include "wizard/settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>

namespace tabellix {
namespace {

const char* const kCharsetTexts[] = {"Automatic", "utf8", "utf8mb4"};
const char* const kMethodTexts[] = {"One statement per row", "Multi-row inserts", "LOAD DATA LOCAL",
                                    "the fastest available"};

} // namespace

void TOptionsDialog::AddLoaderRows(QFormLayout& form) {
    loadMethod = new QComboBox(this);
    loadMethod->setObjectName("loadmethod");
    for (const char* text : kMethodTexts)
        loadMethod->addItem(text);
    form.addRow("Send the rows by:", loadMethod);
    batchRows = new QSpinBox(this);
    batchRows->setObjectName("batchrows");
    batchRows->setRange(0, 1000000);
    batchRows->setSpecialValueText("As many as fit");
    form.addRow("Rows per statement:", batchRows);
    keepGoing = new QCheckBox("Go on past refused rows", this);
    keepGoing->setObjectName("keepgoing");
    form.addRow(keepGoing);
    rejectFile = new QLineEdit(this);
    rejectFile->setObjectName("rejectfile");
    rejectFile->setPlaceholderText("TABLE-rejects.csv beside the workbook");
    form.addRow("Reject file:", rejectFile);
}

void TOptionsDialog::AddConnectionRows(QFormLayout& form) {
    auto* group = new QGroupBox("Connection", this);
    auto* rows = new QFormLayout(group);
    readTimeout = new QSpinBox(group);
    readTimeout->setObjectName("readtimeout");
    readTimeout->setRange(0, 86400);
    readTimeout->setSuffix(" s");
    readTimeout->setSpecialValueText("No limit");
    rows->addRow("Read time-out:", readTimeout);
    oldPasswords = new QCheckBox("Allow old (pre-4.1) passwords", group);
    oldPasswords->setObjectName("oldpasswords");
    rows->addRow(oldPasswords);
    form.addRow(group);
}

TOptionsDialog::TOptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("optionsdialog");
    setWindowTitle("Options");
    // Wide enough for the placeholders to show whole.
    setMinimumWidth(460);
    auto* form = new QFormLayout(this);
    engine = new QComboBox(this);
    engine->setObjectName("engine");
    engine->setEditable(true);
    engine->addItems({"", "MyISAM", "InnoDB", "Aria"});
    engine->lineEdit()->setPlaceholderText("MyISAM (InnoDB on a cluster node)");
    form->addRow("Storage engine:", engine);
    charset = new QComboBox(this);
    charset->setObjectName("charset");
    for (const char* text : kCharsetTexts)
        charset->addItem(text);
    form->addRow("Character set:", charset);
    primaryKey = new QSpinBox(this);
    primaryKey->setObjectName("primarykey");
    primaryKey->setRange(0, 9999);
    primaryKey->setSpecialValueText("None");
    form->addRow("Primary key (grid row):", primaryKey);
    AddLoaderRows(*form);
    AddConnectionRows(*form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (const auto problem = check_engine_name(engine->currentText().trimmed().toStdString()))
            ShowMessage(this, *problem);
        else
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

void TOptionsDialog::Fill(const TTableOptions& table, const TLoaderOptions& loader,
                          const TConnectionOptions& connection) {
    engine->setCurrentText(QString::fromStdString(table.Engine));
    charset->setCurrentIndex(static_cast<int>(table.Charset));
    primaryKey->setValue(table.PrimaryKey);
    loadMethod->setCurrentIndex(static_cast<int>(loader.Method));
    batchRows->setValue(loader.BatchRows);
    keepGoing->setChecked(loader.KeepGoing);
    rejectFile->setText(QString::fromStdString(loader.RejectFile));
    readTimeout->setValue(connection.ReadTimeout);
    oldPasswords->setChecked(connection.AllowOldPasswords);
}

void TOptionsDialog::Take(TTableOptions& table, TLoaderOptions& loader,
                          TConnectionOptions& connection) const {
    table.Engine = engine->currentText().trimmed().toStdString();
    table.Charset = static_cast<TCharsetChoice>(charset->currentIndex());
    table.PrimaryKey = primaryKey->value();
    loader.Method = static_cast<TLoadMethod>(loadMethod->currentIndex());
    loader.BatchRows = batchRows->value();
    loader.KeepGoing = keepGoing->isChecked();
    loader.RejectFile = rejectFile->text().trimmed().toStdString();
    connection.ReadTimeout = readTimeout->value();
    connection.AllowOldPasswords = oldPasswords->isChecked();
}

bool TOptionsDialog::Edit(TTableOptions& table, TLoaderOptions& loader,
                          TConnectionOptions& connection) {
    Fill(table, loader, connection);
    if (exec() != QDialog::Accepted)
        return false;
    Take(table, loader, connection);
    SaveTableOptions(table);
    SaveLoaderOptions(loader);
    SaveConnectionOptions(connection);
    return true;
}

} // namespace tabellix
