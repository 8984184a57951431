#include "wizard/settings.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace tabellix {
namespace {

QSettings Store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Quorvane", "Tabellix");
}

} // namespace

QVariant Remembered(const char* key, const QVariant& fallback) {
    return Store().value(key, fallback);
}

void Remember(const char* key, const QVariant& value) {
    Store().setValue(key, value);
}

void RememberFolderOf(const char* key, const QString& path) {
    Remember(key, QFileInfo(path).absolutePath());
}

TTableOptions LoadTableOptions() {
    TTableOptions options;
    options.Engine = Remembered(setting::TableEngine).toString().toStdString();
    const int charset = Remembered(setting::TableCharset, 0).toInt();
    if (charset >= 0 && charset <= 2)
        options.Charset = static_cast<TCharsetChoice>(charset);
    return options;
}

void SaveTableOptions(const TTableOptions& options) {
    Remember(setting::TableEngine, QString::fromStdString(options.Engine));
    Remember(setting::TableCharset, static_cast<int>(options.Charset));
}

TLoaderOptions LoadLoaderOptions() {
    TLoaderOptions options;
    const int method = Remembered(setting::LoadMethod, 0).toInt();
    if (method >= 0 && method <= static_cast<int>(TLoadMethod::Fastest))
        options.Method = static_cast<TLoadMethod>(method);
    options.BatchRows = std::max(0, Remembered(setting::BatchRows, 0).toInt());
    options.KeepGoing = Remembered(setting::KeepGoing, false).toBool();
    options.RejectFile = Remembered(setting::RejectFile).toString().toStdString();
    return options;
}

void SaveLoaderOptions(const TLoaderOptions& options) {
    Remember(setting::LoadMethod, static_cast<int>(options.Method));
    Remember(setting::BatchRows, options.BatchRows);
    Remember(setting::KeepGoing, options.KeepGoing);
    Remember(setting::RejectFile, QString::fromStdString(options.RejectFile));
}

TConnectionOptions LoadConnectionOptions() {
    TConnectionOptions options;
    bool number = false;
    // A damaged value keeps the bound rather than lifting it.
    const int seconds = Remembered(setting::ReadTimeout, options.ReadTimeout).toInt(&number);
    if (number && seconds >= 0)
        options.ReadTimeout = seconds;
    options.AllowOldPasswords = Remembered(setting::AllowOldPasswords, false).toBool();
    return options;
}

void SaveConnectionOptions(const TConnectionOptions& options) {
    Remember(setting::ReadTimeout, options.ReadTimeout);
    Remember(setting::AllowOldPasswords, options.AllowOldPasswords);
}

} // namespace tabellix
