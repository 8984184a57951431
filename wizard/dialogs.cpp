#include "wizard/dialogs.h"

#include "base/Exception.h"
#include "wizard/controls.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace tabellix {
namespace {

// "Description|*.a;*.b|..." as Qt writes it: "Description (*.a *.b);;...".
QString QtFilter(const std::string& filter) {
    const QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + parts[i + 1].split(';').join(' ') + ")";
    return filters.join(";;");
}

class TStandardDialogs : public TDialogs {
public:
    void Message(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::NoIcon, Q(ApplicationTitle()), Q(text), QMessageBox::Ok,
                        parent);
        box.exec();
    }
    bool Confirm(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::Question, "Confirm", Q(text),
                        QMessageBox::Yes | QMessageBox::No, parent);
        return box.exec() == QMessageBox::Yes;
    }
    void Error(QWidget* parent, const std::string& text) override {
        QMessageBox box(QMessageBox::Critical, Q(ApplicationTitle()), Q(text), QMessageBox::Ok,
                        parent);
        box.exec();
    }
    std::optional<std::string> OpenFile(QWidget* parent, const std::string& filter,
                                        const std::string& fileName) override {
        const QString chosen =
            QFileDialog::getOpenFileName(parent, QString(), Q(fileName), QtFilter(filter));
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen.toStdString();
    }
    std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter) override {
        const QString chosen =
            QFileDialog::getSaveFileName(parent, QString(), QString(), QtFilter(filter));
        if (chosen.isEmpty())
            return std::nullopt;
        return chosen.toStdString();
    }
};

std::unique_ptr<TDialogs>& Installed() {
    static std::unique_ptr<TDialogs> dialogs = std::make_unique<TStandardDialogs>();
    return dialogs;
}

} // namespace

TDialogs& Dialogs() {
    return *Installed();
}

void SetDialogs(std::unique_ptr<TDialogs> dialogs) {
    Installed() = dialogs ? std::move(dialogs) : std::make_unique<TStandardDialogs>();
}

std::string ApplicationTitle() {
    return QCoreApplication::applicationName().toStdString();
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowMessage(QWidget* parent, const std::string& text) {
    Dialogs().Message(parent, text);
}

bool ConfirmBox(QWidget* parent, const std::string& text) {
    return Dialogs().Confirm(parent, text);
}

void RunHandler(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const EAbort&) {
        // Ends an operation silently by design.
    } catch (const Exception& e) {
        Dialogs().Error(parent, ErrorBoxText(e.Message()));
    } catch (const std::exception& e) {
        Dialogs().Error(parent, ErrorBoxText(e.what()));
    }
}

} // namespace tabellix
