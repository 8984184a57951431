// The abstract byte transport under the packet layer: read-ahead buffering
// and the short-count read and write loops shared by every transport.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tabellix {

class TCRVio {
public:
    // Size of the read-ahead buffer; reads of fewer than ReadAheadLimit bytes go through it.
    static constexpr int ReadAheadSize = 16384;
    static constexpr int ReadAheadLimit = 2048;

    virtual ~TCRVio() = default;

    virtual int Timeout() const = 0;
    virtual void SetTimeout(int seconds) = 0;
    // Opens the connection and resets the read-ahead state.
    virtual void Connect();
    virtual void Close() = 0;
    // One receive or send call; 0 on failure (LastError set) or when the peer closed.
    virtual int ReadNoWait(uint8_t* buffer, int offset, int count) = 0;
    virtual int WriteNoWait(const uint8_t* buffer, int offset, int count) = 0;
    // Deliver or write count bytes; a shorter result means the connection failed.
    virtual int Read(uint8_t* buffer, int offset, int count);
    virtual int Write(const uint8_t* buffer, int offset, int count);
    // True when data became readable within timeout seconds (negative: no limit).
    virtual bool WaitForData(int timeout);

    const std::string& LastError() const { return FLastError; }

protected:
    std::string FLastError;
    std::vector<uint8_t> FBuffer;
    int FBufferLen = 0;
    int FBufferPos = 0;

private:
    int TakeBuffered(uint8_t* buffer, int offset, int count);
};

} // namespace tabellix
