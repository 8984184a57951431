#include "wizard/server_page.h"

#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "engine/server_target.h"
#include "wizard/controls.h"
#include "wizard/dialogs.h"
#include "wizard/settings.h"

#include <QCheckBox>
#include <QComboBox>
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

// A box starting with what the last successful Connect used, else with its
// default.
QLineEdit* RememberedBox(QWidget* parent, const char* name, const char* key, const char* fallback,
                         QRect geometry) {
    QLineEdit* box = EditBox(parent, name, "", geometry);
    box->setText(Remembered(key, fallback).toString());
    return box;
}

// Only the lines starting with one of prefixes change, and only when they
// differ from wanted, so that the connection drops only then and the lines
// others keep (the transfer's UseUnicode) stay.
void ReplaceOwnLines(TStringList& options, const std::vector<std::string>& prefixes,
                     const std::vector<std::string>& wanted) {
    const auto own = [&prefixes](const std::string& line) {
        return std::any_of(prefixes.begin(), prefixes.end(), [&line](const std::string& prefix) {
            return line.rfind(prefix, 0) == 0;
        });
    };
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

} // namespace

TServerPage::TServerPage(QWidget* parent)
    : QFrame(parent), mysqlnprvdr1(std::make_unique<TMySQLUniProvider>()),
      con1(std::make_unique<TUniConnection>()), FConnectionOptions(LoadConnectionOptions()) {
    set_up_connection(*con1);
    BuildControls();
    Connect();
}

TServerPage::~TServerPage() = default;

void TServerPage::BuildControls() {
    Label(this, "lbl3",
          "Input your MySQL server Info and then press the button \"connect\" to\n"
          "get database list to choose of them.",
          QRect(16, 14, 455, 32));
    const int labelX = 16, boxX = 150;
    Label(this, "lbl9", "Server IP (Domain):", QRect(labelX, 66, 130, 16));
    edt_mysql_server = RememberedBox(this, "edt_mysql_server", setting::ServerHost, "localhost",
                                     QRect(boxX, 63, 200, 21));
    Label(this, "lbl10", "Port:", QRect(labelX, 96, 130, 16));
    edt_mysql_port =
        RememberedBox(this, "edt_mysql_port", setting::ServerPort, "3306", QRect(boxX, 93, 80, 21));
    Label(this, "lbl11", "Username:", QRect(labelX, 126, 130, 16));
    edt_mysql_username = RememberedBox(this, "edt_mysql_username", setting::ServerUser, "root",
                                       QRect(boxX, 123, 200, 21));
    Label(this, "lbl12", "Password:", QRect(labelX, 156, 130, 16));
    edt_mysql_password = EditBox(this, "edt_mysql_password", "", QRect(boxX, 153, 200, 21));
    auto* stars = new TStarPasswordStyle;
    stars->setParent(edt_mysql_password);
    edt_mysql_password->setStyle(stars);
    edt_mysql_password->setEchoMode(QLineEdit::Password);
    btn1 = Button(this, "btn1", "Connect  >>", QRect(boxX, 188, 145, 27));
    Label(this, "lbl13", "Database:", QRect(labelX, 238, 130, 16));
    dblist = Place<QComboBox>(this, "dblist", QRect(boxX, 235, 200, 21));
    dblist->setEditable(false);
    lst_tables = Place<QListWidget>(this, "lst_tables", QRect(370, 63, 100, 80));
    lst_tables->hide();
    chk_tls = Place<QCheckBox>(this, "chk_tls", QRect(boxX, 272, 250, 20));
    chk_tls->setText("Secure connection (TLS)");
    Label(this, "lbl_tls_ca", "CA file:", QRect(labelX, 303, 130, 16));
    edt_tls_ca = EditBox(this, "edt_tls_ca", "", QRect(boxX, 300, 200, 21));
    btn_tls_ca = Button(this, "btn_tls_ca", "...", QRect(355, 299, 27, 23));
}

TConversionSettings TServerPage::ConnectionSettings() const {
    TConversionSettings settings;
    settings.Connection = FConnectionOptions;
    settings.Tls = {chk_tls->isChecked(), S(edt_tls_ca)};
    return settings;
}

void TServerPage::ApplyConnectionOptions() {
    ReplaceOwnLines(con1->SpecificOptions(), connection_line_prefixes(),
                    connection_lines(ConnectionSettings()));
}

std::vector<std::string> TServerPage::ConnectionLines() const {
    return con1->SpecificOptions().Items();
}

void TServerPage::btn_tls_caClick() {
    if (auto file =
            Dialogs().OpenFile(this, "CA certificates (PEM)|*.pem;*.crt;*.cer", S(edt_tls_ca)))
        edt_tls_ca->setText(Q(*file));
}

void TServerPage::Connect() {
    connect(btn1, &QPushButton::clicked, this, Handler(this, &TServerPage::btn1Click));
    connect(btn_tls_ca, &QPushButton::clicked, this, Handler(this, &TServerPage::btn_tls_caClick));
    for (const auto& [edit, handler] :
         {std::pair{edt_mysql_server, &TServerPage::edt_mysql_serverChange},
          std::pair{edt_mysql_port, &TServerPage::edt_mysql_portChange},
          std::pair{edt_mysql_username, &TServerPage::edt_mysql_usernameChange},
          std::pair{edt_mysql_password, &TServerPage::edt_mysql_passwordChange},
          std::pair{edt_tls_ca, &TServerPage::edt_mysql_serverChange}})
        connect(edit, &QLineEdit::textChanged, this, Handler(this, handler));
    connect(chk_tls, &QCheckBox::toggled, this,
            Handler(this, &TServerPage::edt_mysql_serverChange));
}

void TServerPage::btn1Click() {
    try {
        ApplyConnectionOptions();
        connect_server(*con1, {S(edt_mysql_server), S(edt_mysql_port), S(edt_mysql_username),
                               S(edt_mysql_password)});
        const std::vector<std::string> names = list_databases(*con1);
        dblist->clear();
        for (const std::string& name : names)
            dblist->addItem(Q(name));
        // A filled list selects its first entry; the user has to choose.
        dblist->setCurrentIndex(-1);
        // The next run starts with these; the password is never kept.
        Remember(setting::ServerHost, edt_mysql_server->text());
        Remember(setting::ServerPort, edt_mysql_port->text());
        Remember(setting::ServerUser, edt_mysql_username->text());
        ShowMessage(window(), "Connected Successfully ... Choose a Database from the list below!");
    } catch (const Exception& e) {
        ShowMessage(window(), e.Message());
    }
}

// New connection values take effect at the next Connect only, so the list
// of the old server must not be offered meanwhile.
void TServerPage::edt_mysql_serverChange() {
    dblist->clear();
}

void TServerPage::edt_mysql_portChange() {
    dblist->clear();
}

void TServerPage::edt_mysql_usernameChange() {
    dblist->clear();
}

void TServerPage::edt_mysql_passwordChange() {
    dblist->clear();
}

void TServerPage::ClearDatabases() {
    dblist->clear();
}

TPassEnd TServerPage::Transfer(myfuns& funs, TConversionInput& form,
                               const std::function<void()>& starting) {
    const std::string database = ChosenDatabase();
    if (database.empty()) {
        ShowMessage(window(),
                    "Please Press the button \"Connect\", and choose one Database from the list ");
        return TPassEnd::Refused;
    }
    TServerSteps steps;
    // The page keeps the database's table names in its scratch list.
    steps.OnTables = [this](const TStringList& tables) {
        lst_tables->clear();
        for (const std::string& name : tables.Items())
            lst_tables->addItem(Q(name));
    };
    steps.OnStart = starting;
    const TServerOutcome outcome = transfer_to_server(funs, *con1, database, form, steps);
    if (outcome.TableTaken) {
        ShowMessage(window(), *outcome.TableTaken);
        return TPassEnd::NameTaken;
    }
    return outcome.Transferred ? TPassEnd::Done : TPassEnd::NotOpened;
}

std::string TServerPage::ChosenDatabase() const {
    return dblist->currentIndex() < 0 ? std::string() : dblist->currentText().toStdString();
}

void TServerPage::DropTable(const std::string& database, const std::string& table) {
    drop_table(*con1, database, table);
}

} // namespace tabellix
