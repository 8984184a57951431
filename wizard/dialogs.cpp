#include "wizard/dialogs.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "wizard/controls.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace tabellix {
namespace {

// A pattern matching names in any letter case: "*.SQL" as "*.[sS][qQ][lL]"
// (native dialogs compare patterns case by case).
QString AnyCase(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter() && c.toLower() != c.toUpper())
            out += QString("[%1%2]").arg(c.toLower(), c.toUpper());
        else
            out += c;
    }
    return out;
}

// "Description|*.a;*.b|..." as Qt writes it: "Description (*.a *.b);;...",
// each pattern joined by its any-case form; the dialogs show the
// descriptions only.
QString QtFilter(const std::string& filter) {
    const QStringList parts = Q(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Each pattern as written comes first: the save dialog takes the
        // suffix it gives a file name from the first one.
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';'))
            patterns << p << AnyCase(p);
        patterns.removeDuplicates();
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters.join(";;");
}

std::optional<std::string> Chosen(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().front();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.toStdString();
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
                                        const std::string& start) override {
        QFileDialog dialog(parent, QString(), Q(start), QtFilter(filter));
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return Chosen(dialog);
    }
    std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter,
                                        const std::string& proposed) override {
        return Chosen(*StandardSaveDialog(parent, filter, proposed));
    }
};

std::unique_ptr<TDialogs>& Installed() {
    static std::unique_ptr<TDialogs> dialogs = std::make_unique<TStandardDialogs>();
    return dialogs;
}

} // namespace

std::unique_ptr<QFileDialog> StandardSaveDialog(QWidget* parent, const std::string& filter,
                                                const std::string& proposed) {
    auto dialog = std::make_unique<QFileDialog>(parent, QString(), Q(proposed), QtFilter(filter));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    return dialog;
}

TDialogs& Dialogs() {
    return *Installed();
}

void SetDialogs(std::unique_ptr<TDialogs> dialogs) {
    Installed() = dialogs ? std::move(dialogs) : std::make_unique<TStandardDialogs>();
}

std::string ApplicationTitle() {
    return QCoreApplication::applicationName().toStdString();
}

std::string ErrorBoxText(const std::string& text) {
    // A server's message may carry terminal controls; the box shows them.
    std::string message = EscapeControls(text);
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += ".";
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
