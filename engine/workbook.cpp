#include "engine/workbook.h"

namespace tabellix {

std::unique_ptr<TAutomationApplication> OpenWorkbook(const std::string& fileName) {
    auto app = CreateOleObject(SpreadsheetProgID);
    app->SetVisible(false);
    app->WorkBooks().Open(fileName);
    return app;
}

void ShutDown(TAutomationApplication& app) {
    app.SetDisplayAlerts(false);
    app.WorkBooks().Close();
    app.Quit();
}

} // namespace tabellix
