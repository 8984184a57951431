// What the wizard remembers between runs, per user: organisation
// "Quorvane", application "Tabellix", in the INI format (tests point the
// INI path of QSettings at a folder of their own); the Options dialog's too.
#pragma once

#include "engine/conversion_settings.h"

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
inline constexpr const char* ReadTimeout = "connection/readTimeout";
inline constexpr const char* AllowOldPasswords = "connection/allowOldPasswords";
} // namespace setting

// The value stored under key, or fallback when there is none.
QVariant Remembered(const char* key, const QVariant& fallback = {});
void Remember(const char* key, const QVariant& value);
// Remembers the folder holding path under key.
void RememberFolderOf(const char* key, const QString& path);

// The Options dialog's choices as remembered; the defaults when none were
// saved. The key row is not among them: it is a row of one workbook's grid,
// so a remembered one would land on another workbook's column.
TTableOptions LoadTableOptions();
void SaveTableOptions(const TTableOptions& options);
TLoaderOptions LoadLoaderOptions();
void SaveLoaderOptions(const TLoaderOptions& options);
// The read time-out and old passwords; TLS is the server page's, for the run.
TConnectionOptions LoadConnectionOptions();
void SaveConnectionOptions(const TConnectionOptions& options);

} // namespace tabellix
