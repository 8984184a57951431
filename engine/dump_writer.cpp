#include "engine/dump_writer.h"

#include "base/Exception.h"
#include "base/Format.h"

#include <cerrno>
#include <filesystem>
#include <ostream>

namespace tabellix {
namespace {

std::string Expanded(const std::string& fileName) {
    std::error_code ec;
    auto path = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : path.lexically_normal().string();
}

} // namespace

TDumpWriter::TDumpWriter(const std::string& fileName) : FFileName(fileName) {
    FFile = std::fopen(fileName.c_str(), "wb");
    if (!FFile) {
        int error = errno;
        throw EFCreateError(
            Format("Cannot create file \"%s\". %s", {Expanded(fileName), SysErrorMessage(error)}));
    }
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
}

bool TDumpWriter::Put(const std::string& text) {
    if (FStream)
        return FStream->write(text.data(), static_cast<std::streamsize>(text.size()))
            .flush()
            .good();
    return std::fwrite(text.data(), 1, text.size(), FFile) == text.size() &&
           std::fflush(FFile) == 0;
}

void TDumpWriter::Write(const std::string& text) {
    errno = 0;
    if (!Put(text)) {
        int error = errno;
        throw EOSError(Format("Cannot write to file \"%s\". %s",
                              {FStream ? FFileName : Expanded(FFileName), SysErrorMessage(error)}),
                       error);
    }
}

} // namespace tabellix
