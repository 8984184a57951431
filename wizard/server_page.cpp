// The server page of the wizard window: its controls, Connect and the
// database list, and the checks step 5 makes before a transfer.
#include "wizard/Unit4.h"

#include "base/Format.h"
#include "base/StringList.h"
#include "base/Text.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "wizard/controls.h"
#include "wizard/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>

#include <algorithm>
#include <iterator>

namespace tabellix {
namespace {

// Password boxes show every typed character as "*".
class TStarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

std::string S(const QLineEdit* edit) {
    return edit->text().toStdString();
}

} // namespace

void TForm4::CreateConnection() {
    mysqlnprvdr1 = std::make_unique<TMySQLUniProvider>();
    con1 = std::make_unique<TUniConnection>();
    con1->SetProviderName("MySQL");
    con1->SpecificOptions().Add("MySQL.UseUnicode=True");
}

void TForm4::BuildServerPage(QFrame* page) {
    Label(page, "lbl3",
          "Input your MySQL server Info and then press the button \"connect\" to\n"
          "get database list to choose of them.",
          QRect(16, 14, 455, 32));
    const int labelX = 16, boxX = 150;
    Label(page, "lbl9", "Server IP (Domain):", QRect(labelX, 66, 130, 16));
    edt_mysql_server = EditBox(page, "edt_mysql_server", "localhost", QRect(boxX, 63, 200, 21));
    Label(page, "lbl10", "Port:", QRect(labelX, 96, 130, 16));
    edt_mysql_port = EditBox(page, "edt_mysql_port", "3306", QRect(boxX, 93, 80, 21));
    Label(page, "lbl11", "Username:", QRect(labelX, 126, 130, 16));
    edt_mysql_username = EditBox(page, "edt_mysql_username", "root", QRect(boxX, 123, 200, 21));
    Label(page, "lbl12", "Password:", QRect(labelX, 156, 130, 16));
    edt_mysql_password = EditBox(page, "edt_mysql_password", "", QRect(boxX, 153, 200, 21));
    auto* stars = new TStarPasswordStyle;
    stars->setParent(edt_mysql_password);
    edt_mysql_password->setStyle(stars);
    edt_mysql_password->setEchoMode(QLineEdit::Password);
    btn1 = Button(page, "btn1", "Connect  >>", QRect(boxX, 188, 145, 27));
    Label(page, "lbl13", "Database:", QRect(labelX, 238, 130, 16));
    dblist = Place<QComboBox>(page, "dblist", QRect(boxX, 235, 200, 21));
    dblist->setEditable(false);
    lst_tables = Place<QListWidget>(page, "lst_tables", QRect(370, 63, 100, 80));
    lst_tables->hide();
    chk_tls = Place<QCheckBox>(page, "chk_tls", QRect(boxX, 272, 250, 20));
    chk_tls->setText("Secure connection (TLS)");
    Label(page, "lbl_tls_ca", "CA file:", QRect(labelX, 303, 130, 16));
    edt_tls_ca = EditBox(page, "edt_tls_ca", "", QRect(boxX, 300, 200, 21));
    btn_tls_ca = Button(page, "btn_tls_ca", "...", QRect(355, 299, 27, 23));
}

// The option strings of the TLS controls. Only their own lines change, and
// only when they differ, so that the connection drops only then and the
// lines others keep (the transfer's UseUnicode) stay.
void TForm4::ApplyTlsOptions() {
    static const std::string protocol = "MySQL.Protocol=", ca = "MySQL.SSLCACert=";
    const auto own = [](const std::string& line) {
        return line.rfind(protocol, 0) == 0 || line.rfind(ca, 0) == 0;
    };
    std::vector<std::string> wanted;
    const std::string file = S(edt_tls_ca);
    if (chk_tls->isChecked() || !file.empty())
        wanted.push_back(protocol + "mpSSL");
    if (!file.empty())
        wanted.push_back(ca + file);
    TStringList& options = con1->SpecificOptions();
    std::vector<std::string> present;
    std::copy_if(options.Items().begin(), options.Items().end(), std::back_inserter(present), own);
    if (present == wanted)
        return;
    for (int i = static_cast<int>(options.Items().size()) - 1; i >= 0; --i)
        if (own(options.Items()[static_cast<size_t>(i)]))
            options.Delete(i);
    for (const std::string& line : wanted)
        options.Add(line);
}

void TForm4::btn_tls_caClick() {
    if (auto file =
            Dialogs().OpenFile(this, "CA certificates (PEM)|*.pem;*.crt;*.cer", S(edt_tls_ca)))
        edt_tls_ca->setText(Q(*file));
}

void TForm4::btn1Click() {
    try {
        con1->SetServer(S(edt_mysql_server));
        con1->SetUsername(S(edt_mysql_username));
        con1->SetPassword(S(edt_mysql_password));
        con1->SetPort(StrToInt(S(edt_mysql_port)));
        ApplyTlsOptions();
        con1->Open();
        TStringList names;
        con1->GetDatabaseNames(names);
        dblist->clear();
        for (const std::string& name : names.Items())
            dblist->addItem(Q(name));
        // A filled list selects its first entry; the user has to choose.
        dblist->setCurrentIndex(-1);
        ShowMessage(this, "Connected Successfully ... Choose a Database from the list below!");
    } catch (const Exception& e) {
        ShowMessage(this, e.Message());
    }
}

// New connection values take effect at the next Connect only, so the list
// of the old server must not be offered meanwhile.
void TForm4::edt_mysql_serverChange() {
    dblist->clear();
}

void TForm4::edt_mysql_portChange() {
    dblist->clear();
}

void TForm4::edt_mysql_usernameChange() {
    dblist->clear();
}

void TForm4::edt_mysql_passwordChange() {
    dblist->clear();
}

// A database chosen and the table name free in it; otherwise the message is
// shown (and, for a taken name, step 2 shown again) and false returned.
// Errors of the server are left to the error box.
bool TForm4::ServerChecks() {
    const std::string database =
        dblist->currentIndex() < 0 ? std::string() : dblist->currentText().toStdString();
    if (database.empty()) {
        ShowMessage(this,
                    "Please Press the button \"Connect\", and choose one Database from the list ");
        return false;
    }
    con1->SetDatabase(database);
    const std::string table = S(sql_table_name);
    if (!TableExists(table))
        return true;
    ShowMessage(this, Format("The table \"%s\" is already exists in the selected database, "
                             "Please choose another table name! ",
                             {table}));
    gotostep(2);
    sql_table_name->setFocus();
    return false;
}

// Whether the current database of con1 holds the table, compared exactly.
bool TForm4::TableExists(const std::string& table) {
    TStringList names;
    con1->GetTableNames(names, false);
    lst_tables->clear();
    for (const std::string& name : names.Items())
        lst_tables->addItem(Q(name));
    for (int i = 0; i < lst_tables->count(); ++i)
        if (lst_tables->item(i)->text().toStdString() == table)
            return true;
    return false;
}

} // namespace tabellix
