#include "engine/conversion_settings.h"

#include "engine/funcs.h"

#include <filesystem>

namespace tabellix {
namespace {

const char* const kProtocol = "MySQL.Protocol=";
const char* const kCaFile = "MySQL.SSLCACert=";
const char* const kPublicKey = "MySQL.GetServerPublicKey=";
const char* const kReadTimeout = "MySQL.ReadTimeout=";
const char* const kOldPasswords = "MySQL.AllowOldPasswords=";

std::string DefaultRejectFile(const myfuns& funs, const std::string& workbook,
                              const std::string& table) {
    const std::filesystem::path folder =
        std::filesystem::absolute(workbook).lexically_normal().parent_path();
    return (folder / (funs.spchar_filter(table) + "-rejects.csv")).string();
}

} // namespace

std::vector<std::string> connection_lines(const TConversionSettings& settings) {
    const TConnectionOptions defaults, &options = settings.Connection;
    std::vector<std::string> lines;
    if (settings.Tls.Enabled || !settings.Tls.CaFile.empty())
        lines.push_back(std::string(kProtocol) + "mpSSL");
    if (!settings.Tls.CaFile.empty())
        lines.push_back(kCaFile + settings.Tls.CaFile);
    if (settings.GetServerPublicKey)
        lines.push_back(std::string(kPublicKey) + "True");
    if (options.ReadTimeout != defaults.ReadTimeout)
        lines.push_back(kReadTimeout + std::to_string(options.ReadTimeout));
    if (options.AllowOldPasswords)
        lines.push_back(std::string(kOldPasswords) + "True");
    return lines;
}

std::vector<std::string> connection_line_prefixes() {
    return {kProtocol, kCaFile, kPublicKey, kReadTimeout, kOldPasswords};
}

TSettledConversion settle_conversion(const myfuns& funs, const TConversionSettings& settings,
                                     TConversionTarget target, const TStringGrid& grid,
                                     const std::string& workbook, const std::string& table) {
    TSettledConversion settled{settings.Table, settings.Loader, connection_lines(settings)};
    if (settled.Table.PrimaryKey < 0 || settled.Table.PrimaryKey >= grid.RowCount())
        settled.Table.PrimaryKey = 0;
    TLoaderOptions& loader = settled.Loader;
    if (!loader.KeepGoing && !loader.RejectFile.empty())
        throw ERejectsWithoutKeepGoing(
            "A reject file is written only when the pass goes on past refused rows");
    if (target == TConversionTarget::DumpFile) {
        loader.KeepGoing = false;
        loader.RejectFile.clear();
    }
    if (!loader.KeepGoing)
        return settled;
    if (!loader.Active())
        loader.Method = TLoadMethod::Batch;
    if (loader.RejectFile.empty())
        loader.RejectFile = DefaultRejectFile(funs, workbook, table);
    return settled;
}

} // namespace tabellix
