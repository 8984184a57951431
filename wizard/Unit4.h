// The wizard window: the side picture, the step pages, the three buttons,
// the step machine that moves between the pages, and the server page with
// its connection component.
#pragma once

#include "engine/funcs.h"
#include "engine/models.h"
#include "wizard/column_grid.h"

#include <QWidget>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tabellix {

class Teditgrid;
class TMySQLUniProvider;
class TUniConnection;

// The state a file dialog keeps between showings.
struct TFileDialogState {
    std::string Filter;
    std::string FileName;
};

class TForm4 : public QWidget {
public:
    TForm4();
    ~TForm4() override;

    TColumnGridView& ColumnGrid() { return *grid; }
    void SetFieldEditor(Teditgrid* editor) { FEditor = editor; }

    void gotostep(int n);
    void nextstep();
    void prevstep();

    void btnnextClick();
    void btnbackClick();
    void btncloseClick();
    void btn_browsClick();
    void btn3Click();

    // The server page.
    void btn1Click();
    void edt_mysql_serverChange();
    void edt_mysql_portChange();
    void edt_mysql_usernameChange();
    void edt_mysql_passwordChange();
    void btn_tls_caClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class TGaugeSink;

    void FormCreate();
    void BuildWindow();
    void BuildStep1(QFrame* page);
    void BuildStep2(QFrame* page);
    void BuildServerPage(QFrame* page);
    void BuildProgressPages();
    void CreateConnection();
    void Connect();

    void reset();
    void ShowStep(QFrame* page, int step);
    void Step1();
    void Step2();
    void Step3();
    void Step4();
    void Step5();
    void Step6();
    bool TableNameAccepted();
    bool ServerChecks();
    bool TableExists(const std::string& table);
    bool RunPass();
    void ReturnToStep(int step);
    TListModel SheetList() const;
    void SetSheetList(const TListModel& list);

    std::unique_ptr<myfuns> funs;
    std::unique_ptr<TGaugeSink> FGauge;
    // The provider component on the window has no effect of its own: the
    // registry's provider object serves con1. Declared first so that con1,
    // closing its connection, goes before it.
    std::unique_ptr<TMySQLUniProvider> mysqlnprvdr1;
    std::unique_ptr<TUniConnection> con1;
    Teditgrid* FEditor = nullptr;
    std::string dfile;
    TFileDialogState dlgOpen;
    TFileDialogState dlgSave;
    // A conversion pass is running: closing waits until it has finished.
    bool FPassRunning = false;
    bool FCloseRequested = false;

    QFrame* pnl1 = nullptr;
    QFrame* wiz1 = nullptr;
    QFrame* wiz2 = nullptr;
    QFrame* wiz4 = nullptr;
    QFrame* wiz5 = nullptr;
    QFrame* wiz6 = nullptr;
    QPushButton* btnback = nullptr;
    QPushButton* btnnext = nullptr;
    QPushButton* btnclose = nullptr;
    QLabel* lstep = nullptr;

    QLabel* filename = nullptr;
    QPushButton* btn_brows = nullptr;
    QListWidget* sheets = nullptr;
    QRadioButton* rb_file = nullptr;
    QRadioButton* rb_server = nullptr;
    QCheckBox* chk_names = nullptr;

    QLineEdit* sql_table_name = nullptr;
    TColumnGridView* grid = nullptr;
    QPushButton* btn3 = nullptr;
    QLineEdit* edit_prefix = nullptr;

    QLineEdit* edt_mysql_server = nullptr;
    QLineEdit* edt_mysql_port = nullptr;
    QLineEdit* edt_mysql_username = nullptr;
    QLineEdit* edt_mysql_password = nullptr;
    QPushButton* btn1 = nullptr;
    QComboBox* dblist = nullptr;
    QListWidget* lst_tables = nullptr;
    // TLS: the check box and a CA file (which implies TLS) become the
    // connection's Protocol and SSLCACert options at Connect.
    QCheckBox* chk_tls = nullptr;
    QLineEdit* edt_tls_ca = nullptr;
    QPushButton* btn_tls_ca = nullptr;
    void ApplyTlsOptions();

    QProgressBar* gauge = nullptr;
};

} // namespace tabellix
