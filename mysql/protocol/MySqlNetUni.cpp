#include "mysql/protocol/MySqlNetUni.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "mysql/protocol/MySqlErrorsUni.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace tabellix {
namespace {

// Payload gathered in the packet buffer before the rest is streamed.
constexpr int GatherLimit = 8192;
constexpr int CompressHeaderSize = TMySqlNet::HeaderSize + TMySqlNet::CompressHeaderExtra;

uint32_t Get24(const uint8_t* p) {
    return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
}

void Put24(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value);
    p[1] = static_cast<uint8_t>(value >> 8);
    p[2] = static_cast<uint8_t>(value >> 16);
}

EMySqlException OutOfOrder(const char* where, int received, int expected) {
    return EMySqlException(ER_NET_PACKETS_OUT_OF_ORDER,
                           Format("%s: Net packets out of order: received[%d], expected[%d]",
                                  {where, received, expected}));
}

// Output room added per step while inflating: a hostile length in the
// header claims no memory before the data backs it.
constexpr size_t InflateStep = 65536;

EMySqlException DoesNotInflate() {
    return EMySqlException(ER_NET_UNCOMPRESS_ERROR, "Compressed packet does not inflate");
}

} // namespace

// ---- growable buffer ----

TMemoryStream::TMemoryStream(size_t capacity)
    : FData(std::make_unique<uint8_t[]>(capacity)), FCapacity(capacity) {}

void TMemoryStream::Reserve(size_t needed) {
    if (needed <= FCapacity)
        return;
    size_t capacity = std::max(needed, FCapacity + FCapacity / 2);
    auto data = std::make_unique_for_overwrite<uint8_t[]>(capacity);
    if (FSize > 0)
        std::memcpy(data.get(), FData.get(), FSize);
    FData = std::move(data);
    FCapacity = capacity;
}

void TMemoryStream::SetSize(size_t size) {
    Reserve(size);
    FSize = size;
}

void TMemoryStream::SetPosition(size_t position) {
    if (position > FSize)
        SetSize(position);
    FPosition = position;
}

void TMemoryStream::Write(const void* bytes, size_t count) {
    Reserve(FPosition + count);
    if (count > 0)
        std::memcpy(FData.get() + FPosition, bytes, count);
    FPosition += count;
    FSize = std::max(FSize, FPosition);
}

void TMemoryStream::Release() {
    FData.reset();
    FCapacity = 0;
    FSize = 0;
    FPosition = 0;
}

// ---- construction and transport ----

TMySqlNet::TMySqlNet() : Fbuffer(InitialBufferSize), FCompressBuffer(100) {}

TMySqlNet::~TMySqlNet() {
    try {
        Close();
    } catch (...) {
        // Destruction must not fail; a transport that cannot close is dropped anyway.
    }
}

void TMySqlNet::SetVio(std::unique_ptr<TCRVio> vio) {
    if (Fvio && Fvio != vio)
        Fvio->Close();
    Fvio = std::move(vio);
    FBroken = false;
}

void TMySqlNet::Abandon() {
    FBroken = true;
    std::unique_ptr<TCRVio> vio = std::move(Fvio);
    if (!vio)
        return;
    try {
        vio->Close();
    } catch (const Exception&) {
        // The fault that led here is the one to report.
    }
}

void TMySqlNet::Close() {
    Fbuffer.Release();
    FCompressBuffer.Release();
    std::unique_ptr<TCRVio> vio = std::move(Fvio);
    if (vio)
        vio->Close();
}

// ---- building ----

void TMySqlNet::Clear() {
    SetLength(HeaderSize);
    SetPosition(HeaderSize);
}

void TMySqlNet::NewCommand() {
    FPacketNumber = 0;
    FComprPacketNumber = 0;
    Clear();
}

void TMySqlNet::WriteLittleEndian(uint64_t value, int count) {
    uint8_t bytes[8];
    for (int i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Fbuffer.Write(bytes, static_cast<size_t>(count));
}

void TMySqlNet::WriteByte(uint8_t value) {
    Fbuffer.Write(&value, 1);
}
void TMySqlNet::WriteInt16(int value) {
    WriteLittleEndian(static_cast<uint64_t>(value), 2);
}
void TMySqlNet::WriteInt24(int value) {
    WriteLittleEndian(static_cast<uint64_t>(value), 3);
}
void TMySqlNet::WriteInt32(int64_t value) {
    WriteLittleEndian(static_cast<uint64_t>(value), 4);
}
void TMySqlNet::WriteInt64(int64_t value) {
    WriteLittleEndian(static_cast<uint64_t>(value), 8);
}
void TMySqlNet::WriteBool(bool value) {
    WriteByte(value ? 1 : 0);
}

void TMySqlNet::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLittleEndian(bits, 8);
}

void TMySqlNet::WriteFieldLength(uint64_t value) {
    if (value <= 250) {
        WriteByte(static_cast<uint8_t>(value));
    } else if (value <= 0xFFFF) {
        WriteByte(0xFC);
        WriteLittleEndian(value, 2);
    } else if (value <= 0xFFFFFF) {
        WriteByte(0xFD);
        WriteLittleEndian(value, 3);
    } else {
        WriteByte(0xFE);
        WriteLittleEndian(value, 8);
    }
}

void TMySqlNet::WriteBytes(const uint8_t* buffer, int offset, int count) {
    if (count > 0)
        Fbuffer.Write(buffer + offset, static_cast<size_t>(count));
}

void TMySqlNet::WriteBytes(const std::vector<uint8_t>& buffer, int offset, int count) {
    if (offset < 0 || count < 0 || static_cast<size_t>(offset) + count > buffer.size())
        throw EArgumentException("TMySqlNet.WriteBytes: range outside the array");
    WriteBytes(buffer.data(), offset, count);
}

void TMySqlNet::WriteBytes(const std::vector<uint8_t>& buffer) {
    WriteBytes(buffer.data(), 0, static_cast<int>(buffer.size()));
}

void TMySqlNet::WriteString(std::string_view value) {
    Fbuffer.Write(value.data(), value.size());
    WriteByte(0);
}

void TMySqlNet::Fill(uint8_t pattern, int count) {
    for (int i = 0; i < count; ++i)
        WriteByte(pattern);
}

// ---- sending ----

void TMySqlNet::WriteHeader(int payloadLength) {
    uint8_t* p = Buffer();
    Put24(p, static_cast<uint32_t>(payloadLength));
    p[3] = FPacketNumber++;
}

void TMySqlNet::WriteAll(const uint8_t* bytes, int count) {
    if (!Fvio)
        throw EMySqlException(CR_SERVER_LOST);
    if (Fvio->Write(bytes, 0, count) < count)
        Fail(EMySqlException(CR_SERVER_LOST, Fvio->LastError()));
}

void TMySqlNet::TransmitCompressed(const uint8_t* bytes, int count) {
    std::vector<uint8_t> packet(CompressHeaderSize);
    uLongf stored = 0;
    bool compressed = false;
    if (count > MinCompressLength) {
        uLongf room = static_cast<uLongf>(count) + count / 5 + 12;
        packet.resize(CompressHeaderSize + room);
        stored = room;
        compressed = compress2(packet.data() + CompressHeaderSize, &stored, bytes,
                               static_cast<uLong>(count), Z_DEFAULT_COMPRESSION) == Z_OK;
    }
    if (!compressed) {
        stored = static_cast<uLongf>(count);
        packet.resize(CompressHeaderSize);
        packet.insert(packet.end(), bytes, bytes + count);
    }
    packet.resize(CompressHeaderSize + stored);
    Put24(packet.data(), static_cast<uint32_t>(stored));
    packet[3] = FComprPacketNumber++;
    Put24(packet.data() + 4, compressed ? static_cast<uint32_t>(count) : 0);
    WriteAll(packet.data(), static_cast<int>(packet.size()));
}

void TMySqlNet::Transmit(const uint8_t* bytes, int count) {
    if (FCompress)
        TransmitCompressed(bytes, count);
    else
        WriteAll(bytes, count);
}

void TMySqlNet::AfterSend() {
    // The server answers a compressed exchange with the number after the last one sent.
    if (FCompress)
        FPacketNumber = FComprPacketNumber;
}

void TMySqlNet::Send() {
    if (Length() > HeaderSize) {
        if (Length() - HeaderSize >= MaxPacketSize)
            throw EAssertionFailed("TMySqlNet.Send: payload larger than one packet");
        WriteHeader(Length() - HeaderSize);
        Transmit(Buffer(), Length());
        Clear();
    }
    AfterSend();
}

void TMySqlNet::SendEmpty() {
    if (Length() != HeaderSize)
        throw EAssertionFailed("TMySqlNet.SendEmpty: packet buffer not empty");
    WriteHeader(0);
    Transmit(Buffer(), HeaderSize);
    AfterSend();
}

void TMySqlNet::AddChunk(const uint8_t* bytes, int count, int declaredLength) {
    if (Length() < HeaderSize || Position() != Length())
        throw EAssertionFailed("TMySqlNet.WriteOrSendBytes: cursor not at the end of the packet");
    if (Length() < GatherLimit) {
        int fit = std::min(count, GatherLimit - Length());
        WriteBytes(bytes, 0, fit);
        bytes += fit;
        count -= fit;
    }
    if (count > 0) {
        WriteHeader(declaredLength);
        Transmit(Buffer(), Length());
        Clear();
        Transmit(bytes, count);
    }
}

void TMySqlNet::WriteOrSendBytes(const uint8_t* buffer, int offset, int count) {
    const uint8_t* p = buffer + offset;
    bool filledPackets = false;
    while (static_cast<int64_t>(Length() - HeaderSize) + count >= MaxPacketSize) {
        int take = MaxPacketSize - (Length() - HeaderSize);
        AddChunk(p, take, MaxPacketSize);
        p += take;
        count -= take;
        filledPackets = true;
    }
    if (filledPackets && count == 0) {
        // A payload of whole packets ends with an empty one.
        WriteHeader(0);
        Transmit(Buffer(), HeaderSize);
        return;
    }
    AddChunk(p, count, Length() - HeaderSize + count);
}

// ---- receiving ----

void TMySqlNet::ReadExact(uint8_t* bytes, int count) {
    if (!Fvio)
        throw EMySqlException(CR_SERVER_LOST);
    if (count > 0 && Fvio->Read(bytes, 0, count) < count)
        Fail(EMySqlException(CR_SERVER_LOST, Fvio->LastError()));
}

void TMySqlNet::ReadCompressedPacket() {
    ReadExact(FCompressHeader, CompressHeaderSize);
    if (FCompressHeader[3] != FPacketNumber)
        Fail(OutOfOrder("ReceiveCompHeader", FCompressHeader[3], FPacketNumber));
    FComprPacketNumber = ++FPacketNumber;
}

// Inflates one compressed packet into the buffer, growing it as the output
// grows, up to the length the header declares (checked against the limit
// before).
void TMySqlNet::Inflate(const std::vector<uint8_t>& packed, uint32_t plain) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        Fail(DoesNotInflate());
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    const size_t start = FCompressBuffer.Size();
    int rc = Z_OK;
    size_t produced = 0;
    while (rc == Z_OK && produced < plain) {
        const size_t room = std::min<size_t>(InflateStep, plain - produced);
        FCompressBuffer.SetSize(start + produced + room);
        z.next_out = FCompressBuffer.Memory() + start + produced;
        z.avail_out = static_cast<uInt>(room);
        rc = inflate(&z, Z_NO_FLUSH);
        produced = z.total_out;
    }
    FCompressBuffer.SetSize(start + produced);
    const bool whole = rc == Z_STREAM_END && produced == plain;
    inflateEnd(&z);
    if (!whole)
        Fail(DoesNotInflate());
}

// One compressed packet at a time: the logical packets inside are gathered
// by Receive, under its limit.
void TMySqlNet::FillCompressBuffer() {
    FCompressBuffer.SetSize(0);
    FCompressBuffer.SetPosition(0);
    ReadCompressedPacket();
    const uint32_t stored = Get24(FCompressHeader);
    const uint32_t plain = Get24(FCompressHeader + 4);
    CheckSize(plain != 0 ? plain : stored);
    if (plain == 0) {
        FCompressBuffer.SetSize(stored);
        ReadExact(FCompressBuffer.Memory(), static_cast<int>(stored));
    } else {
        std::vector<uint8_t> packed(stored);
        ReadExact(packed.data(), static_cast<int>(stored));
        Inflate(packed, plain);
    }
    FCompressBuffer.SetPosition(0);
}

void TMySqlNet::ReadDecompressed(uint8_t* bytes, int count) {
    for (bool refill = false;; refill = true) {
        if (refill)
            FillCompressBuffer();
        size_t at = FCompressBuffer.Position();
        size_t n = std::min(static_cast<size_t>(count), FCompressBuffer.Size() - at);
        if (n > 0)
            std::memcpy(bytes, FCompressBuffer.Memory() + at, n);
        bytes += n;
        count -= static_cast<int>(n);
        FCompressBuffer.SetPosition(at + n);
        if (FCompressBuffer.Position() == FCompressBuffer.Size()) {
            FCompressBuffer.SetSize(0);
            FCompressBuffer.SetPosition(0);
        }
        if (count == 0)
            return;
    }
}

int TMySqlNet::ReceiveHeader() {
    if (FCompress) {
        ReadDecompressed(FHeader, HeaderSize);
    } else {
        ReadExact(FHeader, HeaderSize);
        if (FHeader[3] != FPacketNumber)
            Fail(OutOfOrder("ReceiveHeader", FHeader[3], FPacketNumber));
        FComprPacketNumber = ++FPacketNumber;
    }
    return static_cast<int>(Get24(FHeader));
}

void TMySqlNet::ReadPayload(uint8_t* bytes, int count) {
    if (FCompress)
        ReadDecompressed(bytes, count);
    else
        ReadExact(bytes, count);
}

void TMySqlNet::CheckSize(size_t size) {
    if (size > FPacketLimit)
        Fail(EMySqlException(CR_NET_PACKET_TOO_LARGE,
                             Format("a packet of at least %s bytes, more than the %s allowed here",
                                    {std::to_string(size), std::to_string(FPacketLimit)})));
}

void TMySqlNet::Receive() {
    SetPosition(0);
    size_t total = 0;
    int n;
    do {
        n = ReceiveHeader();
        CheckSize(total + n);
        SetLength(static_cast<int>(total + n));
        ReadPayload(Buffer() + total, n);
        total += n;
    } while (n == MaxPacketSize);
    SetPosition(0);
    if (total > 0 && Buffer()[0] == 0xFF)
        ReadError();
}

void TMySqlNet::ThrowIfErrorPiece(const uint8_t* bytes, int count) {
    if (count == 0 || bytes[0] != 0xFF)
        return;
    SetLength(0);
    SetPosition(0);
    Fbuffer.Write(bytes, static_cast<size_t>(count));
    SetPosition(0);
    ReadError();
}

void TMySqlNet::ReceiveBuffer(std::vector<uint8_t>& bytes) {
    int n = ReceiveHeader();
    if (n <= 0)
        Fail(EAssertionFailed("TMySqlNet.ReceiveBuffer l = " + std::to_string(n)));
    if (n == MaxPacketSize)
        Fail(EArgumentException("Cannot retrieve huge data in FetchAll mode"));
    bytes.resize(static_cast<size_t>(n));
    ReadPayload(bytes.data(), n);
    ThrowIfErrorPiece(bytes.data(), n);
}

int TMySqlNet::SkipBuffer(std::vector<uint8_t>& buf, int len, bool firstPacket) {
    int n = ReceiveHeader();
    buf.clear();
    uint8_t firstByte = 0;
    for (int left = n; left > 0;) {
        int piece = std::min(len, left);
        buf.resize(static_cast<size_t>(piece));
        ReadPayload(buf.data(), piece);
        if (left == n) {
            firstByte = buf[0];
            if (firstPacket)
                ThrowIfErrorPiece(buf.data(), piece);
        }
        left -= piece;
    }
    if (!buf.empty())
        buf[0] = firstPacket ? firstByte : 0;
    return n;
}

// ---- reading ----

uint8_t TMySqlNet::ByteAt(size_t index) const {
    return index < Fbuffer.Size() ? Fbuffer.Memory()[index] : 0;
}

void TMySqlNet::Require(int count) {
    if (Fbuffer.Position() > Fbuffer.Size() ||
        Fbuffer.Size() - Fbuffer.Position() < static_cast<size_t>(count))
        Fail(EMySqlException(CR_MALFORMED_PACKET));
}

uint64_t TMySqlNet::ReadPadded(int count) {
    size_t at = Fbuffer.Position();
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= static_cast<uint64_t>(ByteAt(at + i)) << (8 * i);
    Fbuffer.SetPosition(std::min(at + count, std::max(Fbuffer.Size(), at)));
    return value;
}

uint64_t TMySqlNet::ReadLittleEndian(int count) {
    Require(count);
    return ReadPadded(count);
}

uint8_t TMySqlNet::ReadByte() {
    return static_cast<uint8_t>(ReadLittleEndian(1));
}
int16_t TMySqlNet::ReadInt16() {
    return static_cast<int16_t>(ReadLittleEndian(2));
}
uint16_t TMySqlNet::ReadUInt16() {
    return static_cast<uint16_t>(ReadLittleEndian(2));
}
int32_t TMySqlNet::ReadInt24() {
    return static_cast<int32_t>(ReadLittleEndian(3));
}
int32_t TMySqlNet::ReadInt32() {
    return static_cast<int32_t>(ReadLittleEndian(4));
}

int64_t TMySqlNet::ReadInt64() {
    if (Position() + 8 > Length())
        Fail(EArgumentException("TMySqlNet.ReadInt64: fewer than 8 bytes left in the packet"));
    return static_cast<int64_t>(ReadLittleEndian(8));
}

double TMySqlNet::ReadDouble() {
    uint64_t bits = static_cast<uint64_t>(ReadInt64());
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void TMySqlNet::ReadBytes(std::vector<uint8_t>& buffer, int offset, int count) {
    if (offset < 0 || count < 0 || static_cast<size_t>(offset) + count > buffer.size())
        throw EArgumentException("TMySqlNet.ReadBytes: range outside the array");
    for (int i = 0; i < count; ++i)
        buffer[static_cast<size_t>(offset + i)] = ReadByte();
}

std::string TMySqlNet::ReadString(int l) {
    if (l <= 0)
        return {};
    Require(l);
    size_t at = Fbuffer.Position();
    std::string result(reinterpret_cast<const char*>(Fbuffer.Memory()) + at,
                       static_cast<size_t>(l));
    Fbuffer.SetPosition(at + static_cast<size_t>(l));
    return result;
}

// Lenient by definition: a string without its zero byte is the rest of the
// payload (the server version, an error message, a local file's name).
std::string TMySqlNet::ReadString() {
    size_t at = std::min(Fbuffer.Position(), Fbuffer.Size());
    const uint8_t* start = Fbuffer.Memory() + at;
    size_t left = Fbuffer.Size() - at;
    const void* zero = left > 0 ? std::memchr(start, 0, left) : nullptr;
    size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - start) : left;
    std::string result(reinterpret_cast<const char*>(start), n);
    Fbuffer.SetPosition(at + n + (zero ? 1 : 0));
    return result;
}

int64_t TMySqlNet::ReadFieldLength() {
    uint8_t first = ReadByte();
    switch (first) {
    case 251:
        return NullLength;
    case 252:
        return static_cast<int64_t>(ReadLittleEndian(2));
    case 253:
        return static_cast<int64_t>(ReadLittleEndian(3));
    case 254:
        return static_cast<int64_t>(ReadLittleEndian(8));
    case 255:
        Fail(EArgumentException("TMySqlNet.ReadFieldLength: invalid first byte 255"));
    default:
        return first;
    }
}

// ERR packet: 0xFF, the code as a signed 16-bit value, then the message
// (with "#" and the SQLSTATE in front for 4.1 servers).
void TMySqlNet::ReadError() {
    if (ByteAt(Fbuffer.Position()) != 0xFF)
        return;
    ReadByte();
    int code = ReadInt16();
    std::string message = AnsiToText(ReadString());
    throw EMySqlException(code, message);
}

} // namespace tabellix
