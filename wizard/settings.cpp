#include "wizard/settings.h"

#include <QFileInfo>
#include <QSettings>

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

} // namespace tabellix
