#include "wizard/options_dialog.h"

#include "wizard/dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>

#include <algorithm>

namespace tabellix {
namespace {

const char* const kCharsetTexts[] = {"Automatic", "utf8", "utf8mb4"};

} // namespace

TTableOptions LoadTableOptions() {
    QSettings settings("Quorvane", "Tabellix");
    TTableOptions options;
    options.Engine = settings.value("table/engine").toString().toStdString();
    const int charset = settings.value("table/charset", 0).toInt();
    if (charset >= 0 && charset <= 2)
        options.Charset = static_cast<TCharsetChoice>(charset);
    options.PrimaryKey = std::max(0, settings.value("table/primaryKey", 0).toInt());
    return options;
}

void SaveTableOptions(const TTableOptions& options) {
    QSettings settings("Quorvane", "Tabellix");
    settings.setValue("table/engine", QString::fromStdString(options.Engine));
    settings.setValue("table/charset", static_cast<int>(options.Charset));
    settings.setValue("table/primaryKey", options.PrimaryKey);
}

TOptionsDialog::TOptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("optionsdialog");
    setWindowTitle("Options");
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

bool TOptionsDialog::Edit(TTableOptions& options) {
    engine->setCurrentText(QString::fromStdString(options.Engine));
    charset->setCurrentIndex(static_cast<int>(options.Charset));
    primaryKey->setValue(options.PrimaryKey);
    if (exec() != QDialog::Accepted)
        return false;
    options.Engine = engine->currentText().trimmed().toStdString();
    options.Charset = static_cast<TCharsetChoice>(charset->currentIndex());
    options.PrimaryKey = primaryKey->value();
    SaveTableOptions(options);
    return true;
}

} // namespace tabellix
