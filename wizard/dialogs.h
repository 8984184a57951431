// The seam through which the wizard shows its message boxes and file
// dialogs: the program uses Qt's standard ones, tests install answers.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

namespace tabellix {

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // A modal box with the text, the application title and OK.
    virtual void Message(QWidget* parent, const std::string& text) = 0;
    // "Confirm" with a question icon and Yes/No; true for Yes.
    virtual bool Confirm(QWidget* parent, const std::string& text) = 0;
    // The application's error box: stop icon, the application title, OK.
    virtual void Error(QWidget* parent, const std::string& text) = 0;
    // filter in the form "Description|*.a;*.b"; nothing when cancelled.
    // start: the file or folder the dialog starts at (may be empty).
    virtual std::optional<std::string> OpenFile(QWidget* parent, const std::string& filter,
                                                const std::string& start) = 0;
    // proposed: the file name offered, in the folder to start at.
    virtual std::optional<std::string> SaveFile(QWidget* parent, const std::string& filter,
                                                const std::string& proposed) = 0;
};

// The standard save dialog as it is shown: patterns of any letter case, and
// no overwrite question of its own (the wizard asks about the settled name).
std::unique_ptr<QFileDialog> StandardSaveDialog(QWidget* parent, const std::string& filter,
                                                const std::string& proposed);

// The dialogs in use; Qt's standard ones unless a test installed others.
TDialogs& Dialogs();
// Installs dialogs (tests); nullptr restores the standard ones.
void SetDialogs(std::unique_ptr<TDialogs> dialogs);

// The application title on every message box.
std::string ApplicationTitle();

// A message as the error box shows it: "." appended when the last character
// has a code above that of ".".
std::string ErrorBoxText(const std::string& message);

void ShowMessage(QWidget* parent, const std::string& text);
bool ConfirmBox(QWidget* parent, const std::string& text);

// Runs an event handler; an error it does not catch itself is reported by
// the application's error box, and the handler simply ends there.
void RunHandler(QWidget* parent, const std::function<void()>& handler);

} // namespace tabellix
