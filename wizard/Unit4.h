// The wizard window: the side picture, the step pages (the server page is a
// class of its own), the three buttons, and the step machine that moves
// between the pages.
#pragma once

#include "engine/conversion_settings.h"
#include "engine/funcs.h"
#include "engine/models.h"
#include "wizard/column_grid.h"
#include "wizard/server_page.h"

#include <QWidget>

#include <array>
#include <chrono>
#include <exception>
#include <memory>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tabellix {

class Teditgrid;

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class TGaugeSink;

    void FormCreate();
    void BuildWindow();
    void BuildStep1(QFrame* page);
    void BuildStep2(QFrame* page);
    void BuildProgressPages();
    void Connect();
    std::array<QFrame*, 5> Pages() const;

    void reset();
    void ShowStep(QFrame* page, int step);
    void Step1();
    void Step2();
    void Step3();
    void Step4();
    void Step5();
    void Step6();
    bool TableNameAccepted();
    std::string ProposedDumpFile() const;
    TPassEnd RunPass();
    bool RejectFileAccepted(TLoaderOptions& loader, const std::string& workbook);
    void ReturnToStep(int step);
    void PassStarting();
    void PassFailed(int from, const std::exception& error);
    void RemoveLeftTable();
    std::string CompletionLine() const;
    // Types every grid row from its column of the sheet, telling of the
    // error cells that keep columns as text.
    void ProposeTypesClick();
    int StoredRows() const;
    TListModel SheetList() const;
    void SetSheetList(const TListModel& list);

    std::unique_ptr<myfuns> funs;
    std::unique_ptr<TGaugeSink> FGauge;
    Teditgrid* FEditor = nullptr;
    std::string dfile;
    TFileDialogState dlgOpen;
    TFileDialogState dlgSave;
    // A conversion pass is running: closing waits until it has finished.
    bool FPassRunning = false;
    bool FCloseRequested = false;
    // The step Back returns to after a failed pass (0: none failed).
    int FRetryStep = 0;
    std::chrono::steady_clock::time_point FPassStart;
    // The table a failed transfer left on the server, empty when none.
    std::string FLeftDatabase;
    std::string FLeftTable;

    QFrame* pnl1 = nullptr;
    QFrame* wiz1 = nullptr;
    QFrame* wiz2 = nullptr;
    TServerPage* wiz4 = nullptr;
    QFrame* wiz5 = nullptr;
    QFrame* wiz6 = nullptr;
    QPushButton* btnback = nullptr;
    QPushButton* btnnext = nullptr;
    QPushButton* btnclose = nullptr;
    QPushButton* btnoptions = nullptr;
    TTableOptions FTableOptions;   // the Options dialog's; remembered but the key row
    TLoaderOptions FLoaderOptions; // the Options dialog's, remembered between runs
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
    QPushButton* btnpropose = nullptr;
    QLineEdit* edit_prefix = nullptr;

    QLabel* lbl5 = nullptr;
    QProgressBar* gauge = nullptr;
    QLabel* lblleft = nullptr;
    QPushButton* btndrop = nullptr;
    QLabel* lblsummary = nullptr;
};

} // namespace tabellix
