#include "wizard/Unit4.h"

#include "engine/dump_name.h"
#include "engine/reject_file.h"
#include "engine/table_name.h"
#include "engine/type_proposal.h"
#include "wizard/controls.h"
#include "wizard/dialogs.h"
#include "wizard/edit_grid.h"
#include "wizard/options_dialog.h"
#include "wizard/pictures.h"
#include "wizard/settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <filesystem>

namespace tabellix {
namespace {

const char* const kNoFile = "File Name ...";
const char* const kProcessing = "Processing Data...\nPlease wait until the comversion completed!";

// "1 row" or "3 rows".
QString Rows(int n) {
    return QString("%1 %2").arg(n).arg(n == 1 ? "row" : "rows");
}

// Seconds to a tenth under a minute, else minutes and seconds.
QString Duration(std::chrono::milliseconds taken) {
    const auto ms = taken.count();
    if (ms < 60000)
        return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1) + " s";
    return QString("%1 min %2 s").arg(ms / 60000).arg((ms / 1000) % 60);
}

QLabel* Picture(QWidget* parent, const QPixmap& pixmap, QRect geometry) {
    auto* label = Place<QLabel>(parent, "", geometry);
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

class TForm4::TGaugeSink : public TProgressSink {
public:
    explicit TGaugeSink(QProgressBar& gauge) : FGauge(&gauge) {}
    void SetRange(int minimum, int maximum) override { FGauge->setRange(minimum, maximum); }
    void SetPosition(int position) override { FGauge->setValue(position); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    void Created() override { FCreated = true; }
    void RowStarted(int row) override { FRow = row; }
    void RowWritten(int) override { ++FWritten; }

    void Reset() {
        FCreated = false;
        FRow = 0;
        FWritten = 0;
    }
    bool IsCreated() const { return FCreated; }
    int Row() const { return FRow; }
    int Written() const { return FWritten; }

private:
    QProgressBar* FGauge;
    bool FCreated = false;
    int FRow = 0; // the sheet row being converted, 0 before the first
    int FWritten = 0;
};

TForm4::TForm4()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("Form4");
    setWindowTitle("Tabellix");
    setFont(WizardFont());
    setFixedSize(721, 412);
    BuildWindow();
    FGauge = std::make_unique<TGaugeSink>(*gauge);
    Connect();
    FormCreate();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm4::~TForm4() = default;

void TForm4::FormCreate() {
    TStringGrid& cells = grid->Grid();
    cells.SetCell(0, 0, "Field Name");
    cells.SetCell(1, 0, "Field Type");
    cells.SetCell(2, 0, "Length");
    grid->setColumnWidth(0, 230);
    grid->setColumnWidth(1, 110);
    grid->setColumnWidth(2, 70);
    funs = std::make_unique<myfuns>();
    funs->OnShowMessage = [this](const std::string& text) { ShowMessage(this, text); };
}

void TForm4::BuildWindow() {
    pnl1 = Place<QFrame>(this, "pnl1", QRect(10, 14, 206, 351));
    Picture(pnl1, SidePanelPicture(QSize(206, 351)), QRect(0, 0, 206, 351));
    const QRect page(222, 13, 487, 353);
    wiz1 = Place<QFrame>(this, "wiz1", page);
    wiz2 = Place<QFrame>(this, "wiz2", page);
    wiz4 = Place<TServerPage>(this, "wiz4", page);
    wiz5 = Place<QFrame>(this, "wiz5", page);
    wiz6 = Place<QFrame>(this, "wiz6", page);
    for (QFrame* p : Pages()) {
        p->setFrameShape(QFrame::StyledPanel);
        p->hide();
    }
    wiz1->show();
    BuildStep1(wiz1);
    BuildStep2(wiz2);
    BuildProgressPages();
    btnback = Button(this, "btnback", "<<  Back", QRect(266, 372, 145, 29));
    btnback->setEnabled(false);
    btnnext = Button(this, "btnnext", "Next Step >>", QRect(417, 372, 145, 29));
    btnclose = Button(this, "btnclose", "Close", QRect(568, 372, 145, 29));
    lstep = Label(this, "lstep", "1", QRect(10, 380, 20, 13));
    lstep->hide();
    btnoptions = Button(this, "btnoptions", "Options\u2026", QRect(40, 372, 145, 29));
    FTableOptions = LoadTableOptions();
    FLoaderOptions = LoadLoaderOptions();
    connect(btnoptions, &QPushButton::clicked, this, [this] {
        TOptionsDialog(this).Edit(FTableOptions, FLoaderOptions, wiz4->ConnectionOptions());
    });
}

void TForm4::BuildStep1(QFrame* page) {
    filename = Label(page, "filename", kNoFile, QRect(16, 16, 455, 21));
    QFont italic = filename->font();
    italic.setItalic(true);
    filename->setFont(italic);
    filename->setAutoFillBackground(true);
    QPalette white = filename->palette();
    white.setColor(QPalette::Window, Qt::white);
    filename->setPalette(white);
    btn_brows = Button(page, "btn_brows", "Choose Excel File", QRect(16, 46, 145, 27));
    Label(page, "Label1", "Choose a Sheet to Convert it:", QRect(16, 86, 300, 16));
    sheets = Place<QListWidget>(page, "sheets", QRect(16, 104, 455, 112));
    Label(page, "lbl1", "How whoud you like to get the result ?", QRect(16, 228, 300, 16));
    rb_file = Place<QRadioButton>(page, "rb_file", QRect(32, 248, 320, 19));
    rb_file->setText("Save the result to .SQL Dump file");
    rb_file->setChecked(true);
    rb_server = Place<QRadioButton>(page, "rb_server", QRect(32, 270, 320, 19));
    rb_server->setText("Tansfer the result to MySQL server");
    chk_names = Place<QCheckBox>(page, "chk_names", QRect(16, 306, 400, 19));
    chk_names->setText("Use the first row of the excel file as column names");
}

void TForm4::BuildStep2(QFrame* page) {
    Label(page, "lbl_tn", "Mysql Table Name", QRect(16, 14, 128, 16));
    sql_table_name = EditBox(page, "sql_table_name", "New_table", QRect(150, 11, 200, 21));
    grid = Place<TColumnGridView>(page, "grid", QRect(16, 42, 455, 196));
    btn3 = Button(page, "btn3", "Edit Selected", QRect(16, 244, 121, 27));
    btnpropose = Button(page, "btnpropose", "Propose types", QRect(143, 244, 121, 27));
    Label(page, "lbl6", "Column Names Prefix", QRect(16, 284, 128, 16));
    edit_prefix = EditBox(page, "edit_prefix", "", QRect(150, 281, 200, 21));
    Label(page, "lbl7", "Note: Leave it empty if it is not needed", QRect(150, 304, 321, 16));
    QLabel* lbl2 = Label(page, "lbl2",
                         "Note: if you want to use the first row of the excel file as column "
                         "names, go back and check this option",
                         QRect(16, 320, 455, 30));
    lbl2->setWordWrap(true);
}

void TForm4::BuildProgressPages() {
    Picture(wiz5, ProgressPicture(QSize(220, 120)), QRect(133, 40, 220, 120));
    lbl5 = Label(wiz5, "lbl5", kProcessing, QRect(16, 170, 455, 48));
    lbl5->setWordWrap(true);
    lbl5->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    gauge = Place<QProgressBar>(wiz5, "gauge", QRect(16, 226, 455, 22));
    QPalette blue = gauge->palette();
    blue.setColor(QPalette::Highlight, QColor(30, 90, 200));
    gauge->setPalette(blue);
    gauge->setRange(0, 100);
    gauge->setValue(0);
    lblleft = Label(wiz5, "lblleft", "", QRect(16, 260, 455, 32));
    lblleft->setWordWrap(true);
    lblleft->hide();
    btndrop = Button(wiz5, "btndrop", "Remove the Table", QRect(16, 298, 145, 27));
    btndrop->hide();
    Picture(wiz6, CompletionPicture(QSize(96, 96)), QRect(195, 70, 96, 96));
    QLabel* done =
        Label(wiz6, "lbl4", "The Conversion Process Completed!", QRect(16, 190, 455, 20));
    done->setAlignment(Qt::AlignCenter);
    lblsummary = Label(wiz6, "lblsummary", "", QRect(16, 214, 455, 20));
    lblsummary->setAlignment(Qt::AlignCenter);
}

void TForm4::Connect() {
    for (const auto& [button, handler] :
         {std::pair{btnnext, &TForm4::btnnextClick}, std::pair{btnback, &TForm4::btnbackClick},
          std::pair{btnclose, &TForm4::btncloseClick},
          std::pair{btn_brows, &TForm4::btn_browsClick}, std::pair{btn3, &TForm4::btn3Click},
          std::pair{btnpropose, &TForm4::ProposeTypesClick},
          std::pair{btndrop, &TForm4::RemoveLeftTable}})
        connect(button, &QPushButton::clicked, this, Handler(this, handler));
    grid->OnOpenRow = Handler(this, &TForm4::btn3Click);
}

std::array<QFrame*, 5> TForm4::Pages() const {
    return {wiz1, wiz2, wiz4, wiz5, wiz6};
}

void TForm4::btnnextClick() {
    nextstep();
}

void TForm4::btnbackClick() {
    prevstep();
}

void TForm4::btncloseClick() {
    close();
}

void TForm4::closeEvent(QCloseEvent* event) {
    // The pass still uses the window: end once it has finished.
    if (FPassRunning) {
        FCloseRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}

void TForm4::btn_browsClick() {
    dlgOpen.Filter = "MS Excel Files|*.xls;*.xlsx";
    const std::string start = dlgOpen.FileName.empty()
                                  ? Remembered(setting::OpenFolder).toString().toStdString()
                                  : dlgOpen.FileName;
    if (auto chosen = Dialogs().OpenFile(this, dlgOpen.Filter, start)) {
        dlgOpen.FileName = *chosen;
        RememberFolderOf(setting::OpenFolder, Q(*chosen));
    }
    if (dlgOpen.FileName.empty())
        return;
    btnnext->setEnabled(false);
    filename->setText(Q(dlgOpen.FileName));
    TListModel list = SheetList();
    funs->loadsheets(dlgOpen.FileName, list);
    SetSheetList(list);
    btnnext->setEnabled(true);
}

void TForm4::btn3Click() {
    const int r = grid->SelectedRow();
    const TStringGrid& cells = grid->Grid();
    FEditor->Edit(r, cells.Cell(0, r), cells.Cell(1, r), cells.Cell(2, r));
}

void TForm4::ProposeTypesClick() {
    // Texts are measured for the character set the Options dialog gives.
    funs->TableOptions = FTableOptions;
    std::vector<std::string> notes;
    try {
        notes = propose_types(*funs, grid->Grid(), filename->text().toStdString(), SheetList(),
                              chk_names->isChecked());
    } catch (const Exception& e) {
        ShowMessage(this, e.Message());
        return;
    }
    std::string text;
    for (const std::string& note : notes)
        text += (text.empty() ? "" : "\n") + note;
    if (!text.empty())
        ShowMessage(this, text);
}

TListModel TForm4::SheetList() const {
    TListModel list;
    for (int i = 0; i < sheets->count(); ++i)
        list.Items.Add(sheets->item(i)->text().toStdString());
    list.ItemIndex = sheets->currentRow();
    return list;
}

void TForm4::SetSheetList(const TListModel& list) {
    sheets->clear();
    for (const std::string& name : list.Items.Items())
        sheets->addItem(Q(name));
    sheets->setCurrentRow(list.ItemIndex);
}

void TForm4::nextstep() {
    const QString step = lstep->text();
    if (step == "1")
        gotostep(2);
    else if (step == "2" && rb_file->isChecked())
        gotostep(3);
    else if (step == "2" && TableNameAccepted())
        gotostep(4);
    else if (step == "4")
        gotostep(5);
}

void TForm4::prevstep() {
    const QString step = lstep->text();
    if (step == "2" || step == "6")
        gotostep(1);
    else if (step == "4")
        gotostep(2);
    else if (step == "5" && FRetryStep != 0)
        ReturnToStep(FRetryStep);
}

void TForm4::gotostep(int n) {
    switch (n) {
    case 1:
        return Step1();
    case 2:
        return Step2();
    case 3:
        return Step3();
    case 4:
        return Step4();
    case 5:
        return Step5();
    case 6:
        return Step6();
    default:
        return;
    }
}

void TForm4::reset() {
    for (QFrame* p : Pages())
        p->hide();
}

void TForm4::ShowStep(QFrame* page, int step) {
    reset();
    page->show();
    lstep->setText(QString::number(step));
}

void TForm4::Step1() {
    wiz4->ClearDatabases();
    ShowStep(wiz1, 1);
    btnback->setEnabled(false);
    btnnext->setEnabled(true);
    gauge->setValue(0);
}

void TForm4::Step2() {
    if (filename->text() == kNoFile) {
        ShowMessage(this, "Please choose an excel file!");
        return;
    }
    if (!funs->load_grid(grid->Grid(), filename->text().toStdString(), SheetList(),
                         chk_names->isChecked()))
        return;
    ShowStep(wiz2, 2);
    btnback->setEnabled(true);
}

// The two checks of the table name, with their message and focus. The
// server path applies them too, before anything reaches the server.
bool TForm4::TableNameAccepted() {
    if (const auto problem = check_table_name(*funs, sql_table_name->text().toStdString())) {
        ShowMessage(this, *problem);
        sql_table_name->setFocus();
        return false;
    }
    return true;
}

void TForm4::Step3() {
    if (!TableNameAccepted())
        return;
    dlgSave.FileName.clear();
    dlgSave.Filter = "SQL files|*.SQL";
    dlgSave.FileName = Dialogs().SaveFile(this, dlgSave.Filter, ProposedDumpFile()).value_or("");
    if (!dlgSave.FileName.empty())
        RememberFolderOf(setting::SaveFolder, Q(dlgSave.FileName));
    const auto settled = choose_dump_file(dlgSave.FileName, [this](const std::string& question) {
        return ConfirmBox(this, question);
    });
    if (!settled)
        return;
    if (const auto problem = dump_overwrites_workbook(*settled, filename->text().toStdString())) {
        ShowMessage(this, *problem);
        return;
    }
    dfile = *settled;
    gotostep(5);
}

// The table's name, filtered as the dump will name it, in the folder the
// last dump went to.
std::string TForm4::ProposedDumpFile() const {
    const std::string name = funs->spchar_filter(sql_table_name->text().toStdString());
    const QString folder = Remembered(setting::SaveFolder).toString();
    const QString file = name.empty() ? QString() : Q(name + ".SQL");
    return (folder.isEmpty() ? file : QDir(folder).filePath(file)).toStdString();
}

void TForm4::Step4() {
    ShowStep(wiz4, 4);
}

void TForm4::Step5() {
    sql_table_name->setText(Q(funs->spchar_filter(sql_table_name->text().toStdString())));
    const int from = lstep->text().toInt();
    TPassEnd end = TPassEnd::Refused;
    try {
        end = RunPass();
    } catch (const std::exception& e) {
        // Errors before the progress page showed leave the step as it was.
        if (lstep->text() == "5")
            PassFailed(from, e);
        throw;
    }
    switch (end) {
    case TPassEnd::Refused:
        return;
    case TPassEnd::NameTaken:
        gotostep(2);
        sql_table_name->setFocus();
        return;
    case TPassEnd::NotOpened:
        ReturnToStep(from);
        return;
    case TPassEnd::Done:
        lblsummary->setText(Q(CompletionLine()));
        gotostep(6);
        return;
    }
}

// Runs the dump, or the server branch with its checks; the progress page is
// shown once the pass is about to start.
// A close asked for meanwhile takes effect once the current handler is done.
TPassEnd TForm4::RunPass() {
    struct TRunning {
        TForm4* Form;
        explicit TRunning(TForm4* form) : Form(form) { Form->FPassRunning = true; }
        ~TRunning() {
            Form->FPassRunning = false;
            if (Form->FCloseRequested)
                QMetaObject::invokeMethod(Form, &QWidget::close, Qt::QueuedConnection);
        }
    } running(this);
    std::string table = sql_table_name->text().toStdString();
    TListModel list = SheetList();
    TConversionInput form{&grid->Grid(),
                          &list,
                          &table,
                          edit_prefix->text().toStdString(),
                          filename->text().toStdString(),
                          chk_names->isChecked(),
                          FGauge.get()};
    TConversionSettings settings = wiz4->ConnectionSettings();
    settings.Table = FTableOptions;
    settings.Loader = FLoaderOptions;
    // The reject file box counts only while its pass goes on past refusals.
    if (!settings.Loader.KeepGoing)
        settings.Loader.RejectFile.clear();
    const TSettledConversion settled = settle_conversion(
        *funs, settings,
        rb_file->isChecked() ? TConversionTarget::DumpFile : TConversionTarget::Server,
        grid->Grid(), form.filename, table);
    funs->TableOptions = settled.Table;
    funs->Loader = settled.Loader;
    if (rb_server->isChecked() && !RejectFileAccepted(funs->Loader, form.filename))
        return TPassEnd::Refused;
    const auto starting = [this] {
        PassStarting();
        ShowStep(wiz5, 5);
        btnnext->setEnabled(false);
        btnback->setEnabled(false);
    };
    const auto dump = [&] {
        starting();
        return funs->dump_file(dfile, form) ? TPassEnd::Done : TPassEnd::NotOpened;
    };
    const TPassEnd end = rb_file->isChecked() ? dump() : wiz4->Transfer(*funs, form, starting);
    sql_table_name->setText(Q(table));
    return end;
}

// Before anything is sent: the reject file may never be the workbook, and
// an existing one is replaced only after a yes.
bool TForm4::RejectFileAccepted(TLoaderOptions& loader, const std::string& workbook) {
    if (!loader.KeepGoing)
        return true;
    if (const auto problem = rejects_overwrite_workbook(loader.RejectFile, workbook)) {
        ShowMessage(this, *problem);
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::exists(loader.RejectFile, ec))
        return true;
    loader.ReplaceRejects =
        ConfirmBox(this, "The reject file " + loader.RejectFile + " exists. Replace it?");
    return loader.ReplaceRejects;
}

// The progress page as a new pass finds it.
void TForm4::PassStarting() {
    FGauge->Reset();
    FRetryStep = 0;
    FLeftDatabase.clear();
    FLeftTable.clear();
    lbl5->setText(kProcessing);
    lblleft->hide();
    btndrop->hide();
    FPassStart = std::chrono::steady_clock::now();
}

// The error box follows with the error's message; the page tells where the
// pass stopped, offers Back to the page it started from, and on the server
// path the removal of a table it left behind.
void TForm4::PassFailed(int from, const std::exception& error) {
    const QString message = Q(ErrorBoxText(error.what()));
    const int row = FGauge->Row();
    lbl5->setText(
        row > 0 ? QString("The conversion stopped at sheet row %1:\n%2").arg(row).arg(message)
                : QString("The conversion stopped before the first sheet row:\n%1").arg(message));
    FRetryStep = from;
    btnback->setEnabled(true);
    if (rb_server->isChecked() && FGauge->IsCreated()) {
        FLeftDatabase = wiz4->ChosenDatabase();
        FLeftTable = sql_table_name->text().toStdString();
        const int written = StoredRows();
        lblleft->setText(QString("The table %1.%2 stays on the server, %3.")
                             .arg(Q(FLeftDatabase), Q(FLeftTable),
                                  written == 0 ? QString("empty") : "holding " + Rows(written)));
        lblleft->show();
        btndrop->show();
    }
}

// After a confirmation, one DROP TABLE of the table the failed pass left.
void TForm4::RemoveLeftTable() {
    if (FLeftTable.empty())
        return;
    const std::string name = FLeftDatabase + "." + FLeftTable;
    if (!ConfirmBox(this, "Remove the table " + name + " from the server?"))
        return;
    wiz4->DropTable(FLeftDatabase, FLeftTable);
    lblleft->setText(Q("The table " + name + " was removed."));
    btndrop->hide();
    FLeftTable.clear();
}

// The loader counts what the server took; a refused row was handed over
// all the same.
int TForm4::StoredRows() const {
    if (rb_server->isChecked() && funs->Loader.Active())
        return funs->LastLoad().Stored;
    return FGauge->Written();
}

// Rows written, where to, and the time taken; the rows refused on the way
// and the file that lists them.
std::string TForm4::CompletionLine() const {
    const auto taken = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - FPassStart);
    const std::string target =
        rb_file->isChecked() ? dfile
                             : wiz4->ChosenDatabase() + "." + sql_table_name->text().toStdString();
    QString line =
        QString("%1 written to %2 in %3").arg(Rows(StoredRows()), Q(target), Duration(taken));
    const TLoadReport& load = funs->LastLoad();
    if (rb_server->isChecked() && funs->Loader.Active() && load.Refused > 0)
        line += QString("\n%1 refused, listed in %2").arg(Rows(load.Refused), Q(load.RejectFile));
    return line.toStdString();
}

// Back to the page a failed pass started from, ready to try again.
void TForm4::ReturnToStep(int step) {
    FRetryStep = 0;
    ShowStep(step == 4 ? wiz4 : wiz2, step);
    btnback->setEnabled(true);
    btnnext->setEnabled(true);
}

void TForm4::Step6() {
    ShowStep(wiz6, 6);
    btnnext->setEnabled(false);
    btnback->setEnabled(true);
}

} // namespace tabellix
