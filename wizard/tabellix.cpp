#include "wizard/tabellix.h"

#include "engine/server_target.h"
#include "wizard/pictures.h"

#include <QApplication>

namespace tabellix {

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
    // The MySQL provider is registered from before the first window to after
    // the last one.
    const TProviderRegistration units;
    QApplication app(argc, argv);
    TTabellixForms forms = CreateTabellixForms();
    forms.Form4->show();
    return app.exec();
}

} // namespace tabellix
