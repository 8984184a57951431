#include "wizard/tabellix.h"

#include "dataaccess/MySQLUniProvider.h"
#include "wizard/pictures.h"

#include <QApplication>

namespace tabellix {

QFont WizardFont() {
    QFont font("Tahoma");
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

TDataAccessUnits::TDataAccessUnits() {
    TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
}

TDataAccessUnits::~TDataAccessUnits() {
    TUniProviders::Instance().UnRegisterProvider(TMySQLUniProvider::Class());
}

TTabellixForms CreateTabellixForms() {
    QCoreApplication::setApplicationName(TabellixTitle);
    QApplication::setWindowIcon(WindowIcon());
    TTabellixForms forms;
    forms.Form4 = std::make_unique<TForm4>();
    forms.editgrid = std::make_unique<Teditgrid>(forms.Form4->ColumnGrid());
    forms.Form4->SetFieldEditor(forms.editgrid.get());
    return forms;
}

int RunTabellix(int& argc, char** argv) {
    const TDataAccessUnits units;
    QApplication app(argc, argv);
    TTabellixForms forms = CreateTabellixForms();
    forms.Form4->show();
    return app.exec();
}

} // namespace tabellix
