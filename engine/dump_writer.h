// The dump file: UTF-8 with a byte order mark, each statement handed to the
// file as soon as it is written, closed on every path.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

namespace tabellix {

class TDumpWriter {
public:
    // Creates (or replaces) the file and writes the byte order mark; raises
    // EFCreateError "Cannot create file "%s". %s" when it cannot.
    explicit TDumpWriter(const std::string& fileName);
    // Writes into a stream the caller holds (the command line's standard
    // output); name stands for it in messages.
    TDumpWriter(std::ostream& stream, std::string name);
    ~TDumpWriter();
    TDumpWriter(const TDumpWriter&) = delete;
    TDumpWriter& operator=(const TDumpWriter&) = delete;

    // Writes text and flushes it to the file; a failed write raises EOSError.
    void Write(const std::string& text);

private:
    // Writes and flushes; false when either failed.
    bool Put(const std::string& text);

    std::string FFileName;
    std::FILE* FFile = nullptr;
    std::ostream* FStream = nullptr; // instead of FFile, not owned
};

} // namespace tabellix
