// The packet layer: packet headers and sequence numbers, the split of large
// payloads, the compressed format, and the little-endian readers and
// writers over the packet buffer.
#pragma once

#include "mysql/protocol/CRVio.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

class EMySqlException;

// A byte buffer whose capacity grows by half (or to the size needed) and
// never shrinks until Release.
class TMemoryStream {
public:
    explicit TMemoryStream(size_t capacity);
    uint8_t* Memory() { return FData.get(); }
    const uint8_t* Memory() const { return FData.get(); }
    size_t Capacity() const { return FCapacity; }
    size_t Size() const { return FSize; }
    // A new size; bytes gained are not initialised.
    void SetSize(size_t size);
    size_t Position() const { return FPosition; }
    // Beyond the size the size follows.
    void SetPosition(size_t position);
    void Write(const void* bytes, size_t count);
    void Release();

private:
    void Reserve(size_t needed);

    std::unique_ptr<uint8_t[]> FData;
    size_t FCapacity = 0;
    size_t FSize = 0;
    size_t FPosition = 0;
};

class TMySqlNet {
public:
    static constexpr int HeaderSize = 4;
    static constexpr int CompressHeaderExtra = 3;
    static constexpr int InitialBufferSize = 8192;
    static constexpr int MaxPacketSize = 0xFFFFFF;
    static constexpr int LoginMaxPacketSize = 0x40000000;
    // The largest packet taken by default, as a server's max_allowed_packet
    // commonly is: compressed data inflating a thousandfold must not reach
    // the 1 GiB the login announces.
    static constexpr size_t DefaultPacketLimit = 64 << 20;
    static constexpr int MinCompressLength = 50;
    static constexpr int64_t NullLength = -1;

    TMySqlNet();
    ~TMySqlNet();
    TMySqlNet(const TMySqlNet&) = delete;
    TMySqlNet& operator=(const TMySqlNet&) = delete;

    uint8_t* Buffer() { return Fbuffer.Memory(); }
    int Length() const { return static_cast<int>(Fbuffer.Size()); }
    void SetLength(int length) { Fbuffer.SetSize(static_cast<size_t>(length)); }
    int Position() const { return static_cast<int>(Fbuffer.Position()); }
    void SetPosition(int position) { Fbuffer.SetPosition(static_cast<size_t>(position)); }
    bool Compress() const { return FCompress; }
    void SetCompress(bool value) { FCompress = value; }
    TCRVio* vio() const { return Fvio.get(); }
    // Closes and frees the transport it replaces.
    void SetVio(std::unique_ptr<TCRVio> vio);
    // After a read or decode fault the stream position is lost: Abandon
    // closes and frees the transport, and Broken stays true until another
    // transport is attached.
    void Abandon();
    bool Broken() const { return FBroken; }
    // Abandons the transport, then raises error: for every fault in the
    // middle of an exchange.
    template <class E> [[noreturn]] void Fail(const E& error) {
        Abandon();
        throw error;
    }
    uint8_t PacketNumber() const { return FPacketNumber; }
    // The largest logical packet received (compressed ones as inflated);
    // a larger one is error 2020 before its bytes are taken.
    size_t PacketLimit() const { return FPacketLimit; }
    void SetPacketLimit(size_t bytes) { FPacketLimit = bytes; }

    // Building and sending.
    void Clear();
    void NewCommand();
    void WriteByte(uint8_t value);
    void WriteInt16(int value);
    void WriteInt24(int value);
    void WriteInt32(int64_t value);
    void WriteInt64(int64_t value);
    void WriteBool(bool value);
    void WriteDouble(double value);
    void WriteFieldLength(uint64_t value);
    void WriteBytes(const uint8_t* buffer, int offset, int count);
    void WriteBytes(const std::vector<uint8_t>& buffer, int offset, int count);
    void WriteBytes(const std::vector<uint8_t>& buffer);
    // The bytes and one zero byte.
    void WriteString(std::string_view value);
    void Fill(uint8_t pattern, int count);
    // Appends a block of any size, streaming what does not fit the buffer.
    void WriteOrSendBytes(const uint8_t* buffer, int offset, int count);
    void Send();
    void SendEmpty();

    // Receiving.
    void Receive();
    void ReceiveBuffer(std::vector<uint8_t>& bytes);
    int SkipBuffer(std::vector<uint8_t>& buf, int len, bool firstPacket);

    // Readers at Position. A read past Length is a malformed packet (2027):
    // the transport is abandoned and nothing outside the payload is touched.
    uint8_t ReadByte();
    int16_t ReadInt16();
    uint16_t ReadUInt16();
    int32_t ReadInt24();
    int32_t ReadInt32();
    int64_t ReadInt64();
    double ReadDouble();
    void ReadBytes(std::vector<uint8_t>& buffer, int offset, int count);
    std::string ReadString(int l);
    // Up to the next zero byte, or the rest of the payload when there is none.
    std::string ReadString();
    // A little-endian value of count bytes of which those past Length count
    // as zero; only for the greeting, whose capability flags are read as soon
    // as the filler before them is there.
    uint64_t ReadPadded(int count);
    int64_t ReadFieldLength();
    // Raises the server's error when the next byte is 0xFF.
    void ReadError();

    void Close();

private:
    uint8_t ByteAt(size_t index) const;
    void Require(int count);
    uint64_t ReadLittleEndian(int count);
    void WriteLittleEndian(uint64_t value, int count);
    void WriteHeader(int payloadLength);
    void Transmit(const uint8_t* bytes, int count);
    void TransmitCompressed(const uint8_t* bytes, int count);
    void WriteAll(const uint8_t* bytes, int count);
    void AddChunk(const uint8_t* bytes, int count, int declaredLength);
    void AfterSend();
    int ReceiveHeader();
    void ReadExact(uint8_t* bytes, int count);
    void ReadPayload(uint8_t* bytes, int count);
    void ReadDecompressed(uint8_t* bytes, int count);
    void FillCompressBuffer();
    void Inflate(const std::vector<uint8_t>& packed, uint32_t plain);
    // A packet of size bytes past the limit is 2020, and the session ends.
    void CheckSize(size_t size);
    void ReadCompressedPacket();
    void ThrowIfErrorPiece(const uint8_t* bytes, int count);

    std::unique_ptr<TCRVio> Fvio;
    TMemoryStream Fbuffer;
    TMemoryStream FCompressBuffer;
    uint8_t FPacketNumber = 0;
    uint8_t FComprPacketNumber = 0;
    uint8_t FHeader[4] = {};
    uint8_t FCompressHeader[7] = {};
    bool FCompress = false;
    bool FBroken = false;
    size_t FPacketLimit = DefaultPacketLimit;
};

} // namespace tabellix
