#include "engine/dump_writer.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "engine/models.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <random>
#include <unistd.h>

namespace tabellix {
namespace {

// Names tried before giving up on a folder full of leftovers.
constexpr int kTemporaryAttempts = 100;

std::string Expanded(const std::string& fileName) {
    std::error_code ec;
    auto path = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : path.lexically_normal().string();
}

// A link is written through, as opening it for writing always did.
std::string Target(const std::string& fileName) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(fileName, ec))
        return fileName;
    const auto resolved = std::filesystem::weakly_canonical(fileName, ec);
    return ec ? fileName : resolved.string();
}

// A rename is durable once the folder that holds it is flushed too.
int SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

} // namespace

TDumpWriter::TDumpWriter(const std::string& fileName, TProgressSink* gauge)
    : FFileName(fileName), FTarget(Target(fileName)), FGauge(gauge) {
    CreateTemporary();
    // The writer's own buffer stays small; every write is flushed anyway.
    std::setvbuf(FFile, nullptr, _IOFBF, 1024);
    Write("\xEF\xBB\xBF");
}

TDumpWriter::TDumpWriter(std::ostream& stream, std::string name)
    : FFileName(std::move(name)), FStream(&stream) {
    Write("\xEF\xBB\xBF");
}

TDumpWriter::~TDumpWriter() {
    if (FFile)
        std::fclose(FFile);
    if (!FTemporary.empty()) {
        unlink(FTemporary.c_str());
        Announce("");
    }
}

// A hidden name in the target's folder, so that the rename stays on one
// file system; made exclusively, with the mode a new file gets.
void TDumpWriter::CreateTemporary() {
    const std::filesystem::path target(FTarget);
    std::random_device seed;
    std::mt19937 random(seed());
    int error = 0;
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        FTemporary = (target.parent_path() / ("." + target.filename().string() + "." +
                                              std::to_string(random() % 1000000) + ".tmp"))
                         .string();
        // Told before it exists, so that no moment has the file unknown.
        Announce(FTemporary);
        const int fd = open(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            FFile = fdopen(fd, "wb");
            if (FFile)
                return;
            error = errno;
            close(fd);
            unlink(FTemporary.c_str());
            break;
        }
        error = errno;
        if (error != EEXIST)
            break;
    }
    FTemporary.clear();
    Announce("");
    throw EFCreateError(
        Format("Cannot create file \"%s\". %s", {Expanded(FFileName), SysErrorMessage(error)}));
}

void TDumpWriter::Announce(const std::string& temporary) const {
    if (FGauge)
        FGauge->Temporary(temporary);
}

bool TDumpWriter::Put(const std::string& text) {
    if (FStream)
        return FStream->write(text.data(), static_cast<std::streamsize>(text.size()))
            .flush()
            .good();
    return std::fwrite(text.data(), 1, text.size(), FFile) == text.size() &&
           std::fflush(FFile) == 0;
}

void TDumpWriter::Fail(const std::string& what, int error) const {
    throw EOSError(Format("%s \"%s\". %s", {what, FStream ? FFileName : Expanded(FFileName),
                                            SysErrorMessage(error)}),
                   error);
}

void TDumpWriter::Write(const std::string& text) {
    errno = 0;
    if (!Put(text))
        Fail("Cannot write to file", errno);
}

void TDumpWriter::Finish() {
    if (FStream)
        return;
    errno = 0;
    if (std::fflush(FFile) != 0 || fsync(fileno(FFile)) != 0)
        Fail("Cannot write to file", errno);
    const int closed = std::fclose(FFile);
    FFile = nullptr;
    if (closed != 0)
        Fail("Cannot write to file", errno);
    if (std::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
        Fail("Cannot create file", errno);
    FTemporary.clear();
    Announce("");
    if (const int error = SyncFolder(std::filesystem::path(FTarget).parent_path()))
        Fail("Cannot write to file", error);
}

} // namespace tabellix
