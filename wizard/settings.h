// What the wizard remembers between runs, per user: organisation
// "Quorvane", application "Tabellix", in the INI format (tests point the
// INI path of QSettings at a folder of their own).
#pragma once

#include <QString>
#include <QVariant>

namespace tabellix {

// The keys in use.
namespace setting {
inline constexpr const char* ServerHost = "server/host";
inline constexpr const char* ServerPort = "server/port";
inline constexpr const char* ServerUser = "server/user";
inline constexpr const char* OpenFolder = "folders/open";
inline constexpr const char* SaveFolder = "folders/save";
inline constexpr const char* LoadMethod = "loader/method";
inline constexpr const char* BatchRows = "loader/batchRows";
inline constexpr const char* KeepGoing = "loader/keepGoing";
inline constexpr const char* RejectFile = "loader/rejectFile";
inline constexpr const char* TableEngine = "table/engine";
inline constexpr const char* TableCharset = "table/charset";
inline constexpr const char* TablePrimaryKey = "table/primaryKey";
inline constexpr const char* ReadTimeout = "connection/readTimeout";
inline constexpr const char* AllowOldPasswords = "connection/allowOldPasswords";
} // namespace setting

// The value stored under key, or fallback when there is none.
QVariant Remembered(const char* key, const QVariant& fallback = {});
void Remember(const char* key, const QVariant& value);
// Remembers the folder holding path under key.
void RememberFolderOf(const char* key, const QString& path);

} // namespace tabellix
