// The dump file: UTF-8 with a byte order mark, written to a temporary file
// beside it that takes its name only once it is complete and on the disk,
// so that a pass that fails or is stopped leaves the old file as it was.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

namespace tabellix {

class TProgressSink;

class TDumpWriter {
public:
    // Creates the temporary file in fileName's folder and writes the byte
    // order mark; raises EFCreateError "Cannot create file "%s". %s" when it
    // cannot. gauge (may be null) hears the temporary file's name before it
    // is made and "" once it is renamed or removed.
    explicit TDumpWriter(const std::string& fileName, TProgressSink* gauge = nullptr);
    // Writes into a stream the caller holds (the command line's standard
    // output) as it goes; name stands for it in messages.
    TDumpWriter(std::ostream& stream, std::string name);
    // Removes the temporary file of a dump that was not finished.
    ~TDumpWriter();
    TDumpWriter(const TDumpWriter&) = delete;
    TDumpWriter& operator=(const TDumpWriter&) = delete;

    // Writes text and flushes it to the file; a failed write raises EOSError.
    void Write(const std::string& text);
    // The dump is complete: the temporary file is flushed to the disk and
    // renamed over the file, and the folder flushed too; raises EOSError
    // when any of it fails, the old file then left as it was.
    void Finish();

private:
    void CreateTemporary();
    void Announce(const std::string& temporary) const;
    // Writes and flushes; false when either failed.
    bool Put(const std::string& text);
    [[noreturn]] void Fail(const std::string& what, int error) const;

    std::string FFileName;
    std::string FTarget;    // the file the temporary one becomes
    std::string FTemporary; // until it is renamed or removed
    TProgressSink* FGauge = nullptr;
    std::FILE* FFile = nullptr;
    std::ostream* FStream = nullptr; // instead of FFile, not owned
};

} // namespace tabellix
