#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlNetUni.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/support/BoundedRun.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <zlib.h>

namespace tabellix {
namespace {

using test::Le;
using test::Packet;
using test::TMemoryVio;

struct NetWithVio {
    explicit NetWithVio(std::string serve = {}) {
        auto v = std::make_unique<TMemoryVio>(std::move(serve));
        vio = v.get();
        net.SetVio(std::move(v));
    }
    TMySqlNet net;
    TMemoryVio* vio;
};

// Sends one command: its code byte, then block through the write-or-send path.
void SendCommand(TMySqlNet& net, uint8_t code, const std::string& block) {
    net.NewCommand();
    net.WriteByte(code);
    net.WriteOrSendBytes(reinterpret_cast<const uint8_t*>(block.data()), 0,
                         static_cast<int>(block.size()));
    net.Send();
}

std::string Payload(TMySqlNet& net) {
    return {reinterpret_cast<const char*>(net.Buffer()), static_cast<size_t>(net.Length())};
}

// A compressed packet holding `plain` (stored when `deflate` is false).
std::string Compressed(uint8_t seq, const std::string& plain, bool deflate) {
    if (!deflate)
        return Le(plain.size(), 3) + static_cast<char>(seq) + Le(0, 3) + plain;
    uLongf size = compressBound(plain.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    out.resize(size);
    return Le(out.size(), 3) + static_cast<char>(seq) + Le(plain.size(), 3) + out;
}

TEST(PacketLayer, SendWithoutPayloadSendsNothingAndSendEmptySendsAHeader) {
    NetWithVio t;
    t.net.NewCommand();
    t.net.Send();
    EXPECT_TRUE(t.vio->Writes.empty());
    t.net.SendEmpty();
    t.net.SendEmpty();
    ASSERT_EQ(t.vio->Writes.size(), 2u);
    EXPECT_EQ(t.vio->Writes[0], std::string("\0\0\0\0", 4));
    EXPECT_EQ(t.vio->Writes[1], std::string("\0\0\0\1", 4));
}

TEST(PacketLayer, PayloadsUpTo8188BytesLeaveInOneWrite) {
    for (int payload : {8188, 8189}) {
        SCOPED_TRACE(payload);
        NetWithVio t;
        const std::string block(static_cast<size_t>(payload - 1), 'q');
        SendCommand(t.net, 3, block);
        std::string expected = Packet(0, "\x03" + block);
        EXPECT_EQ(t.vio->Written(), expected);
        if (payload == 8188) {
            ASSERT_EQ(t.vio->Writes.size(), 1u);
        } else {
            ASSERT_EQ(t.vio->Writes.size(), 2u);
            EXPECT_EQ(t.vio->Writes[0].size(), 8192u);
            EXPECT_EQ(t.vio->Writes[1], "q");
        }
    }
}

TEST(PacketLayer, LargePayloadsSplitAtTheLargestPacketSize) {
    const int max = TMySqlNet::MaxPacketSize;
    for (int total : {max, max + 1}) {
        SCOPED_TRACE(total);
        NetWithVio t;
        const std::string block(static_cast<size_t>(total - 1), 'z');
        SendCommand(t.net, 3, block);
        std::string all = "\x03" + block;
        std::string expected = Packet(0, all.substr(0, max)) + Packet(1, all.substr(max));
        ASSERT_EQ(t.vio->Written().size(), expected.size());
        EXPECT_TRUE(t.vio->Written() == expected);
    }
}

TEST(PacketLayer, ReceiveJoinsContinuedPackets) {
    const int max = TMySqlNet::MaxPacketSize;
    std::string big(static_cast<size_t>(max), 'a');
    NetWithVio t(Packet(0, big) + Packet(1, "tail") + Packet(2, ""));
    t.net.Receive();
    EXPECT_EQ(t.net.Length(), max + 4);
    EXPECT_EQ(Payload(t.net).substr(static_cast<size_t>(max)), "tail");
    EXPECT_EQ(t.net.Position(), 0);
}

TEST(PacketLayer, SequenceNumbersAreCheckedAndWrap) {
    NetWithVio wrong(Packet(5, "x"));
    wrong.net.NewCommand();
    for (int i = 0; i < 4; ++i)
        wrong.net.SendEmpty();
    auto e = test::ExpectError<EMySqlException>([&] { wrong.net.Receive(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1156);
    EXPECT_EQ(e->Message(),
              "\r\nReceiveHeader: Net packets out of order: received[5], expected[4]");
    EXPECT_TRUE(wrong.net.Broken());

    std::string stream;
    for (int i = 0; i < 258; ++i)
        stream += Packet(static_cast<uint8_t>(i), "p");
    NetWithVio wrap(stream);
    wrap.net.NewCommand();
    for (int i = 0; i < 258; ++i)
        wrap.net.Receive();
    EXPECT_EQ(wrap.net.PacketNumber(), 2);
}

// A server's error packet leaves the stream in step; a short read or a cut
// error packet does not, and costs the transport.
TEST(PacketLayer, ShortReadsAndErrorPacketsRaiseTypedErrors) {
    struct Case {
        const char* name;
        std::string served;
        int code;
        std::string message;
        bool broken;
    };
    const Case cases[] = {
        {"truncated header", "\x05\x00", 2013, "Lost connection to MySQL server during query",
         true},
        {"truncated body", Packet(0, "hello").substr(0, 7), 2013,
         "Lost connection to MySQL server during query", true},
        {"error packet", Packet(0, "\xFF\x1A\x04#42S01Table 'x' already exists"), 1050,
         "\r\n#42S01Table 'x' already exists", false},
        {"error code 0xFFFF", Packet(0, "\xFF\xFF\xFFoops"), -1, "\r\noops", false},
        {"error packet cut inside its code", Packet(0, "\xFF\x10"), 2027, "Malformed packet", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetWithVio t(c.served);
        auto e = test::ExpectError<EMySqlException>([&] { t.net.Receive(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), c.code);
        EXPECT_EQ(e->Message(), c.message);
        EXPECT_EQ(t.net.Broken(), c.broken);
        EXPECT_EQ(t.net.vio() == nullptr, c.broken);
    }
}

TEST(PacketLayer, LengthCodedIntegersBothWays) {
    struct Case {
        uint64_t value;
        std::string bytes;
    };
    const Case cases[] = {
        {0, std::string(1, '\0')},
        {250, "\xFA"},
        {251, std::string("\xFC\xFB\x00", 3)},
        {10000, "\xFC\x10\x27"},
        {65536, std::string("\xFD\x00\x00\x01", 4)},
        {16777216, std::string("\xFE\x00\x00\x00\x01\x00\x00\x00\x00", 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        NetWithVio t;
        t.net.NewCommand();
        t.net.WriteFieldLength(c.value);
        t.net.Send();
        EXPECT_EQ(t.vio->Written(), Packet(0, c.bytes));
        NetWithVio r(Packet(0, c.bytes));
        r.net.Receive();
        EXPECT_EQ(r.net.ReadFieldLength(), static_cast<int64_t>(c.value));
    }
    NetWithVio null(Packet(0, "\xFB"));
    null.net.Receive();
    EXPECT_EQ(null.net.ReadFieldLength(), -1);
    NetWithVio bad(Packet(0, "\x01\xFF"));
    bad.net.Receive();
    bad.net.ReadByte();
    auto e = test::ExpectError<EArgumentException>([&] { bad.net.ReadFieldLength(); });
    ASSERT_TRUE(e);
    EXPECT_NE(e->Message(), "");
    EXPECT_TRUE(bad.net.Broken());
}

TEST(PacketLayer, ZeroTerminatedStringsEndAtThePayloadsEnd) {
    NetWithVio t(Packet(0, std::string("ab\0cd", 5)));
    t.net.Receive();
    EXPECT_EQ(t.net.ReadString(), "ab");
    EXPECT_EQ(t.net.ReadString(), "cd");
    EXPECT_EQ(t.net.ReadString(), "");
    EXPECT_EQ(t.net.Position(), t.net.Length());
    t.net.SetPosition(3);
    EXPECT_EQ(t.net.ReadInt16(), 'c' | ('d' << 8));
    EXPECT_FALSE(t.net.Broken());
}

// The payload "ab", cursor at 1: every read that needs more than one byte
// is malformed and drops the transport.
TEST(PacketLayer, ReadsPastThePayloadsEndAreMalformed) {
    struct Case {
        const char* name;
        std::function<void(TMySqlNet&)> read;
    };
    const Case cases[] = {
        {"two bytes", [](TMySqlNet& n) { n.ReadInt16(); }},
        {"three bytes", [](TMySqlNet& n) { n.ReadInt24(); }},
        {"four bytes", [](TMySqlNet& n) { n.ReadInt32(); }},
        {"a counted string", [](TMySqlNet& n) { n.ReadString(2); }},
        {"bytes into an array",
         [](TMySqlNet& n) {
             std::vector<uint8_t> out(4);
             n.ReadBytes(out, 0, 4);
         }},
        {"a length-coded value cut short", [](TMySqlNet& n) { n.ReadFieldLength(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetWithVio t(Packet(0, "a\xFC"));
        t.net.Receive();
        t.net.ReadByte();
        auto e = test::ExpectError<EMySqlException>([&] { c.read(t.net); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2027);
        EXPECT_EQ(e->Message(), "Malformed packet");
        EXPECT_TRUE(t.net.Broken());
        EXPECT_EQ(t.net.vio(), nullptr);
    }
    NetWithVio t(Packet(0, "1234567"));
    t.net.Receive();
    EXPECT_TRUE(test::ExpectError<EArgumentException>([&] { t.net.ReadInt64(); }));
    EXPECT_TRUE(t.net.Broken());
}

TEST(PacketLayer, CompressionStoresSmallRangesAndDeflatesLargerOnes) {
    for (int payload : {46, 50}) {
        SCOPED_TRACE(payload);
        NetWithVio t;
        t.net.SetCompress(true);
        t.net.NewCommand();
        std::string body(static_cast<size_t>(payload), 'c');
        t.net.WriteBytes(reinterpret_cast<const uint8_t*>(body.data()), 0, payload);
        t.net.Send();
        ASSERT_EQ(t.vio->Writes.size(), 1u);
        const std::string& w = t.vio->Writes[0];
        std::string plain = Packet(0, body);
        EXPECT_EQ(static_cast<uint8_t>(w[3]), 0);
        if (payload == 46) {
            EXPECT_EQ(w, Compressed(0, plain, false));
        } else {
            EXPECT_EQ(w.substr(4, 3), Le(plain.size(), 3));
            uLongf size = plain.size();
            std::string out(size, '\0');
            ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                                 reinterpret_cast<const Bytef*>(w.data() + 7), w.size() - 7),
                      Z_OK);
            EXPECT_EQ(out, plain);
        }
        EXPECT_EQ(t.net.PacketNumber(), 1);
    }
}

TEST(PacketLayer, CompressedStreamsCarrySeveralPacketsAndSplitOnes) {
    std::string plain = Packet(0, std::string(100, 'r')) + Packet(1, "second");
    std::string stream =
        Compressed(0, plain.substr(0, 60), true) + Compressed(1, plain.substr(60), false);
    NetWithVio t(stream);
    t.net.SetCompress(true);
    t.net.NewCommand();
    t.net.Receive();
    EXPECT_EQ(Payload(t.net), std::string(100, 'r'));
    t.net.Receive();
    EXPECT_EQ(Payload(t.net), "second");

    NetWithVio order(Compressed(3, Packet(0, "x"), false));
    order.net.SetCompress(true);
    order.net.NewCommand();
    auto e = test::ExpectError<EMySqlException>([&] { order.net.Receive(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1156);
    EXPECT_EQ(e->Message(),
              "\r\nReceiveCompHeader: Net packets out of order: received[3], expected[0]");

    std::string garbage = Le(5, 3) + '\0' + Le(100, 3) + "12345";
    NetWithVio bad(garbage);
    bad.net.SetCompress(true);
    bad.net.NewCommand();
    e = test::ExpectError<EMySqlException>([&] { bad.net.Receive(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1157);
    EXPECT_EQ(e->Message(), "\r\nCompressed packet does not inflate");
    EXPECT_TRUE(bad.net.Broken());
}

// A hostile length claims no memory: past the limit is 2020 before the
// bytes behind the header are read, plain or compressed.
TEST(PacketLayer, PacketsPastTheLimitAreRefusedBeforeTheirBytes) {
    const std::string filler(4096, 'z');
    struct Case {
        const char* name;
        bool compress;
        std::string stream;
    };
    const Case cases[] = {
        {"one plain packet", false, Le(70000, 3) + '\0' + filler},
        {"plain continuations", false, Le(TMySqlNet::MaxPacketSize, 3) + '\0' + filler},
        {"a packet inflating past the limit", true,
         Le(20, 3) + '\0' + Le(TMySqlNet::MaxPacketSize, 3) + filler},
        {"compressed continuations", true,
         Compressed(0, Le(TMySqlNet::MaxPacketSize, 3) + '\0' + filler, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NetWithVio t(c.stream);
        t.net.SetCompress(c.compress);
        t.net.SetPacketLimit(65536);
        t.net.NewCommand();
        auto e = test::ExpectError<EMySqlException>([&] { t.net.Receive(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2020);
        EXPECT_NE(e->Message().find("more than the 65536 allowed here"), std::string::npos)
            << e->Message();
        EXPECT_TRUE(t.net.Broken());
        EXPECT_LT(t.net.Length(), 65536 + 8192);
    }
}

// Serves compressed packets without end, each a sixteen-mebibyte piece of
// one endless logical packet that deflates to a few kilobytes.
class EndlessCompressedVio : public TCRVio {
public:
    EndlessCompressedVio() { TCRVio::Connect(); }
    int Timeout() const override { return 0; }
    void SetTimeout(int) override {}
    void Close() override {}
    int WriteNoWait(const uint8_t*, int, int count) override { return count; }
    int ReadNoWait(uint8_t* buffer, int offset, int count) override {
        if (FAt == FFrame.size())
            NextFrame();
        const size_t n = std::min(static_cast<size_t>(count), FFrame.size() - FAt);
        std::memcpy(buffer + offset, FFrame.data() + FAt, n);
        FAt += n;
        return static_cast<int>(n);
    }

private:
    void NextFrame() {
        constexpr uint64_t piece = TMySqlNet::MaxPacketSize + TMySqlNet::HeaderSize;
        std::string plain(TMySqlNet::MaxPacketSize, 'a');
        for (char& c : plain) {
            const uint64_t at = FLogical % piece;
            if (at < 3)
                c = '\xFF';
            else if (at == 3)
                c = static_cast<char>(FLogical / piece);
            ++FLogical;
        }
        FFrame = Compressed(FSeq++, plain, true);
        FAt = 0;
    }

    std::string FFrame;
    size_t FAt = 0;
    uint8_t FSeq = 0;
    uint64_t FLogical = 0;
};

// Packets inflating about a thousandfold stop at the default limit, far
// below the 1 GiB the login announces, within 512 MiB of address space.
TEST(PacketLayer, EndlessInflatingPacketsStopAtTheDefaultLimitInBoundedMemory) {
    const test::TBoundedRun run = test::RunBounded(
        [] {
            TMySqlNet net;
            net.SetVio(std::make_unique<EndlessCompressedVio>());
            net.SetCompress(true);
            net.NewCommand();
            net.Receive();
            return std::string("a packet without end was taken");
        },
        60, 512);
    ASSERT_FALSE(run.TimedOut);
    EXPECT_EQ(run.Outcome, "error: Got packet bigger than 'max_allowed_packet'\r\na packet of at "
                           "least 83886075 bytes, more than the 67108864 allowed here");
}

// The declared length of a compressed packet must be what inflates: more or
// less is refused, and the output buffer grows only as data backs it.
TEST(PacketLayer, CompressedPacketsInflateToTheirDeclaredLengthOnly) {
    const std::string plain = Packet(0, std::string(3000, 'q'));
    std::string longer = Compressed(0, plain, true);
    longer[4] = static_cast<char>(longer[4] - 1);
    std::string shorter = Compressed(0, plain, true);
    shorter[5] = static_cast<char>(shorter[5] + 1);
    for (const std::string& stream : {longer, shorter}) {
        NetWithVio t(stream);
        t.net.SetCompress(true);
        t.net.NewCommand();
        auto e = test::ExpectError<EMySqlException>([&] { t.net.Receive(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 1157);
        EXPECT_EQ(e->Message(), "\r\nCompressed packet does not inflate");
    }
}

TEST(PacketLayer, ReceiveBufferRefusesHugeAndEmptyPackets) {
    NetWithVio huge(Le(TMySqlNet::MaxPacketSize, 3) + '\0');
    std::vector<uint8_t> bytes;
    auto e = test::ExpectError<EArgumentException>([&] { huge.net.ReceiveBuffer(bytes); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Cannot retrieve huge data in FetchAll mode");
    NetWithVio empty(Packet(0, ""));
    EXPECT_THROW(empty.net.ReceiveBuffer(bytes), EAssertionFailed);
    NetWithVio error(Packet(0, "\xFF\x01\x00"
                               "bad"));
    EXPECT_THROW(error.net.ReceiveBuffer(bytes), EMySqlException);
}

TEST(PacketLayer, SkipBufferReadsInPiecesAndKeepsTheFirstByte) {
    NetWithVio t(Packet(0, "\xFE"
                           "123456789") +
                 Packet(1, "\xFF\x01\x00"
                           "err"));
    std::vector<uint8_t> buf;
    EXPECT_EQ(t.net.SkipBuffer(buf, 4, false), 10);
    ASSERT_EQ(buf.size(), 2u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_THROW(t.net.SkipBuffer(buf, 4, true), EMySqlException);
}

TEST(Transport, SmallReadsGoThroughTheReadAheadBuffer) {
    std::string data(5000, 'd');
    for (int wanted : {2047, 2048}) {
        SCOPED_TRACE(wanted);
        TMemoryVio vio(data);
        std::vector<uint8_t> out(static_cast<size_t>(wanted));
        EXPECT_EQ(vio.Read(out.data(), 0, wanted), wanted);
        ASSERT_FALSE(vio.Receives.empty());
        EXPECT_EQ(vio.Receives[0], wanted < 2048 ? 16384 : wanted);
    }
}

TEST(Transport, PeerClosingMidReadGivesAShortCountWithoutError) {
    TMemoryVio vio("abc");
    vio.MaxReceive = 1;
    uint8_t out[3000];
    EXPECT_EQ(vio.Read(out, 0, 3000), 3);
    EXPECT_EQ(vio.LastError(), "");
}

} // namespace
} // namespace tabellix
