// Walks the wizard through each page and the field editor with a small
// in-memory workbook and writes a PNG of each to the folder given.
#include "automation/Automation.h"
#include "automation/WorkbookApplication.h"
#include "wizard/dialogs.h"
#include "wizard/tabellix.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <iostream>

using namespace tabellix;

namespace {

const char* const kBook = "/samples/staff.xlsx";

// Answers the open and save dialogs with fixed names; nothing is asked.
class TShotDialogs : public TDialogs {
public:
    explicit TShotDialogs(std::string out) : FOut(std::move(out)) {}
    void Message(QWidget*, const std::string& text) override { std::cerr << text << "\n"; }
    bool Confirm(QWidget*, const std::string&) override { return true; }
    void Error(QWidget*, const std::string& text) override { std::cerr << text << "\n"; }
    std::optional<std::string> OpenFile(QWidget*, const std::string&, const std::string&) override {
        return kBook;
    }
    std::optional<std::string> SaveFile(QWidget*, const std::string&, const std::string&) override {
        return FOut;
    }

private:
    std::string FOut;
};

std::unique_ptr<TWorkbook> StaffBook() {
    auto book = std::make_unique<TWorkbook>();
    book->AddSheet("Summary").SetText(1, 1, "see Staff");
    TSheet& staff = book->AddSheet("Staff");
    const char* names[] = {"Name", "Department", "Started", "Salary"};
    for (int c = 0; c < 4; ++c)
        staff.SetText(1, c + 1, names[c]);
    for (int r = 2; r <= 400; ++r) {
        staff.SetText(r, 1, "Person " + std::to_string(r - 1));
        staff.SetText(r, 2, r % 3 ? "Sales" : "Support");
        staff.SetDate(r, 3, 40000 + r);
        staff.SetNumber(r, 4, 1800 + 7.5 * r);
    }
    book->AddSheet("Archive");
    // A sheet whose fourth row holds an error value: the conversion stops there.
    TSheet& faulty = book->AddSheet("Faulty");
    faulty.SetText(1, 1, "Item");
    for (int r = 2; r <= 6; ++r)
        faulty.SetText(r, 1, "Item " + std::to_string(r - 1));
    faulty.SetValue(4, 1, Variant(VarError{"#DIV/0!"}));
    return book;
}

void Click(QWidget& window, const char* name) {
    window.findChild<QPushButton*>(name)->click();
}

bool Save(QWidget& widget, const QDir& dir, const QString& name) {
    QCoreApplication::processEvents();
    const bool saved = widget.grab().save(dir.filePath(name + ".png"));
    std::cout << (saved ? "wrote " : "could not write ")
              << dir.filePath(name + ".png").toStdString() << "\n";
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Nothing remembered from an earlier run changes the pictures.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    const QDir dir(argc > 1 ? argv[1] : "screenshots");
    QDir().mkpath(dir.path());
    SetDialogs(std::make_unique<TShotDialogs>(dir.filePath("staff").toStdString()));
    SetAutomationFactory([] {
        return std::make_unique<TWorkbookApplication>(
            [](const std::string&) { return StaffBook(); });
    });
    TTabellixForms forms = CreateTabellixForms();
    TForm4& form = *forms.Form4;
    form.show();
    bool ok = Save(form, dir, "1-wiz1-start");
    Click(form, "btn_brows");
    form.findChild<QListWidget*>("sheets")->setCurrentRow(1);
    form.findChild<QCheckBox*>("chk_names")->setChecked(true);
    ok &= Save(form, dir, "1-wiz1-sheets");
    Click(form, "btnnext");
    ok &= Save(form, dir, "2-wiz2");
    QTimer::singleShot(0, &form, [&] {
        QWidget* options = QApplication::activeModalWidget();
        ok &= options && Save(*options, dir, "2-options");
        if (options)
            options->close();
    });
    Click(form, "btnoptions");
    Click(form, "btnpropose");
    ok &= Save(form, dir, "2-wiz2-proposed");
    QTimer::singleShot(0, forms.editgrid.get(), [&] {
        ok &= Save(*forms.editgrid, dir, "3-editgrid");
        forms.editgrid->close();
    });
    Click(form, "btn3");
    form.gotostep(4);
    ok &= Save(form, dir, "4-wiz4");
    form.gotostep(2);
    bool progressShot = false;
    SetAutomationObserver([&](const std::string& call) {
        if (call != "Cells(200,1).value" || progressShot)
            return;
        progressShot = true;
        QTimer::singleShot(0, &form, [&] { ok &= Save(form, dir, "5-wiz5"); });
    });
    Click(form, "btnnext");
    ok &= progressShot && Save(form, dir, "6-wiz6");
    SetAutomationObserver({});
    Click(form, "btnback");
    form.findChild<QListWidget*>("sheets")->setCurrentRow(3);
    Click(form, "btnnext");
    Click(form, "btnnext");
    ok &= Save(form, dir, "7-wiz5-failed");
    return ok ? 0 : 1;
}
