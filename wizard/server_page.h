// The server page of the wizard window (wiz4): the connection boxes, Connect
// with the database list, the connection component con1, and the server
// branch of step 5.
#pragma once

#include "engine/conversion_settings.h"

#include <QFrame>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tabellix {

class myfuns;
class TMySQLUniProvider;
class TUniConnection;
struct TConversionInput;

// How step 5 ended, on either path.
enum class TPassEnd {
    Refused,   // a check of the server branch showed its message: the step stays
    NameTaken, // the clash message was shown: the table name is to be changed
    NotOpened, // the workbook did not open (its message shown)
    Done,
};

class TServerPage : public QFrame {
public:
    explicit TServerPage(QWidget* parent);
    ~TServerPage() override;

    void btn1Click();
    void edt_mysql_serverChange();
    void edt_mysql_portChange();
    void edt_mysql_usernameChange();
    void edt_mysql_passwordChange();
    void btn_tls_caClick();

    // Empties dblist, as step 1 does.
    void ClearDatabases();
    // The server branch of step 5 for the pass that form describes: the
    // chosen database checked, then the transfer, with starting called just
    // before it. Errors of the server are left to the error box.
    TPassEnd Transfer(myfuns& funs, TConversionInput& form, const std::function<void()>& starting);
    // The database chosen in dblist, empty when none is.
    std::string ChosenDatabase() const;
    // Removes a table a failed transfer left behind; errors are not caught.
    void DropTable(const std::string& database, const std::string& table);
    // What the Options dialog edits; it takes effect at the next Connect.
    TConnectionOptions& ConnectionOptions() { return FConnectionOptions; }
    // The connection part of the settings: the Options dialog's choices and
    // the TLS controls, as the next Connect applies them.
    TConversionSettings ConnectionSettings() const;
    // The option lines con1 connects with.
    std::vector<std::string> ConnectionLines() const;

private:
    void BuildControls();
    void Connect();

    // The provider component on the window has no effect of its own: the
    // registry's provider object serves con1. Declared first so that con1,
    // closing its connection, goes before it.
    std::unique_ptr<TMySQLUniProvider> mysqlnprvdr1;
    std::unique_ptr<TUniConnection> con1;

    QLineEdit* edt_mysql_server = nullptr;
    QLineEdit* edt_mysql_port = nullptr;
    QLineEdit* edt_mysql_username = nullptr;
    QLineEdit* edt_mysql_password = nullptr;
    QPushButton* btn1 = nullptr;
    QComboBox* dblist = nullptr;
    QListWidget* lst_tables = nullptr;
    // TLS: the check box and a CA file (which implies TLS).
    QCheckBox* chk_tls = nullptr;
    QLineEdit* edt_tls_ca = nullptr;
    QPushButton* btn_tls_ca = nullptr;
    TConnectionOptions FConnectionOptions;
    // The option lines of ConnectionSettings.
    void ApplyConnectionOptions();
};

} // namespace tabellix
