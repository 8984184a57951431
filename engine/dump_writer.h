// The dump file: UTF-8 with a byte order mark, each statement handed to the
// file as soon as it is written, closed on every path.
#pragma once

#include <cstdio>
#include <string>

namespace tabellix {

class TDumpWriter {
public:
    // Creates (or replaces) the file and writes the byte order mark; raises
    // EFCreateError "Cannot create file "%s". %s" when it cannot.
    explicit TDumpWriter(const std::string& fileName);
    ~TDumpWriter();
    TDumpWriter(const TDumpWriter&) = delete;
    TDumpWriter& operator=(const TDumpWriter&) = delete;

    // Writes text and flushes it to the file; a failed write raises EOSError.
    void Write(const std::string& text);

private:
    std::string FFileName;
    std::FILE* FFile;
};

} // namespace tabellix
