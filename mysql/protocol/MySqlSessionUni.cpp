#include "mysql/protocol/MySqlSessionUni.h"

#include "base/Exception.h"
#include "base/Text.h"
#include "mysql/protocol/CRVioTcp.h"
#include "mysql/protocol/CRVioTls.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlLocalFile.h"
#include "mysql/protocol/MySqlNativeAuth.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace tabellix {
namespace {

constexpr int ProtocolVersion = 10;
constexpr int DefaultPort = 3306;
// Multi-statements only when the caller asks: a value whose quoting a
// server mode undoes must not be able to start a statement of its own.
constexpr uint32_t AlwaysSent = 0x2A285;
constexpr uint32_t ServerDecided = CLIENT_COMPRESS | CLIENT_PROTOCOL_41 | CLIENT_SSL;
constexpr int ConnectRefused = 10061;
// A bound on the packets of one login, against a server that never ends it.
constexpr int MaxAuthPackets = 16;
constexpr uint8_t MoreDataPacket = 0x01;
constexpr uint8_t SwitchRequestPacket = 0xFE;
constexpr uint8_t LocalFilePacket = 0xFB;
// Greeting and login packets are small; more is a hostile server's.
constexpr size_t LoginPacketLimit = 65536;
// The most columns a table can have on the servers this client speaks to.
constexpr int64_t MaxColumns = 4096;
// The same sql_mode without NO_BACKSLASH_ESCAPES, so that the backslash
// escapes of our statements keep their meaning.
constexpr std::string_view KeepBackslashesSql =
    "SET SESSION sql_mode = TRIM(BOTH ',' FROM REPLACE(CONCAT(',', @@SESSION.sql_mode, ','), "
    "',NO_BACKSLASH_ESCAPES,', ','))";

} // namespace

// ---- construction ----

void TMySqlSession::WriteBytes(std::string_view bytes) {
    Fnet.WriteBytes(reinterpret_cast<const uint8_t*>(bytes.data()), 0,
                    static_cast<int>(bytes.size()));
}

TMySqlSession::TMySqlSession() = default;
TMySqlSession::~TMySqlSession() = default;

bool TMySqlSession::protocol41() const {
    return (serverCapabilities & CLIENT_PROTOCOL_41) != 0 && (clientFlag & CLIENT_PROTOCOL_41) != 0;
}

void TMySqlSession::SetSSL(std::string key, std::string cert, std::string ca, std::string capath,
                           std::string cipher) {
    SSL_key = std::move(key);
    SSL_cert = std::move(cert);
    SSL_ca = std::move(ca);
    SSL_capath = std::move(capath);
    SSL_cipher = std::move(cipher);
}

// ---- handshake ----

void TMySqlSession::OpenTransport(const std::string& hostName, int64_t portNumber) {
    FTls = nullptr;
    if (protocolType == MYSQL_PROTOCOL_DEFAULT || protocolType == MYSQL_PROTOCOL_TCP) {
        Fnet.SetVio(std::make_unique<TCRVioTcp>(hostName, portNumber));
        hostInfo = hostName + " via TCP/IP";
    } else if (protocolType == MYSQL_PROTOCOL_SSL) {
        auto tls =
            std::make_unique<TCRVioTls>(std::make_unique<TCRVioTcp>(hostName, portNumber),
                                        TTlsSettings{AnsiToText(SSL_ca), AnsiToText(SSL_cert),
                                                     AnsiToText(SSL_key), SSL_cipher, FSSLVerify});
        FTls = tls.get();
        Fnet.SetVio(std::move(tls));
        hostInfo = hostName + " via TCP/IP";
    } else if (!Fnet.vio()) {
        throw EMySqlException(CR_CONN_UNKNOW_PROTOCOL);
    }
    TCRVio* vio = Fnet.vio();
    try {
        vio->SetTimeout(_connectTimeout);
        vio->Connect();
    } catch (const Exception&) {
        throw EMySqlException(CR_CONN_HOST_ERROR, {hostName, ConnectRefused}, vio->LastError());
    }
}

// Handshake packet, protocol 10: version, server version text, thread id,
// 8 salt bytes, filler, capabilities, character set, status, upper
// capabilities, plugin data length, filler, 12 more salt bytes (at least 13
// bytes with their zero), and with CLIENT_PLUGIN_AUTH the plugin's name.
void TMySqlSession::ReadGreeting() {
    Fnet.SetCompress(false);
    Fnet.NewCommand();
    Fnet.Receive();
    int version = Fnet.ReadByte();
    if (version != ProtocolVersion)
        Fnet.Fail(EMySqlException(CR_VERSION_ERROR, {version, ProtocolVersion}, ""));
    serverVersion = Fnet.ReadString();
    // The version's zero byte, the connection id and the first salt bytes at least.
    if (Fnet.Length() - Fnet.Position() < 12)
        Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET, "the server's greeting is cut short"));
    threadId = Fnet.ReadInt32();
    for (int i = 0; i < 8; ++i)
        scrambleBuff[static_cast<size_t>(i)] = Fnet.ReadByte();
    const int p = Fnet.Position();
    const int length = Fnet.Length();
    if (length >= p + 1) {
        Fnet.ReadByte();
        serverCapabilities = static_cast<int>(Fnet.ReadPadded(2));
    }
    int pluginDataLength = 0;
    if (length >= p + 18) {
        serverLanguage = Fnet.ReadByte();
        serverStatus = Fnet.ReadUInt16();
        serverCapabilities |= static_cast<int>(static_cast<uint32_t>(Fnet.ReadUInt16()) << 16);
        pluginDataLength = Fnet.ReadByte();
    }
    FFullSalt = length >= p + 30;
    if (FFullSalt) {
        Fnet.SetPosition(p + 19);
        for (size_t i = 8; i < 20; ++i)
            scrambleBuff[i] = Fnet.ReadByte();
    }
    FGreetingPlugin.clear();
    if (FFullSalt && (serverCapabilities & CLIENT_PLUGIN_AUTH)) {
        Fnet.SetPosition(p + 19 + std::max(13, pluginDataLength - 8));
        if (Fnet.Position() < length)
            FGreetingPlugin = Fnet.ReadString();
    }
    CheckGreeting(p);
}

// Without the pre-4.1 road only a whole 4.1 greeting will do.
void TMySqlSession::CheckGreeting(int afterSalt) {
    if (FAllowOldPasswords)
        return;
    if (!(serverCapabilities & CLIENT_SECURE_CONNECTION))
        Fnet.Fail(EMySqlException(CR_SECURE_AUTH));
    if (!FFullSalt)
        Fnet.Fail(EMySqlException(
            CR_MALFORMED_PACKET,
            Format("the server's greeting is cut short: %d bytes after the first salt bytes",
                   {Fnet.Length() - afterSalt})));
}

// The pre-4.1 scramble of the password, where the user allows it.
std::string TMySqlSession::OldScramble(const std::string& passwd) {
    if (!FAllowOldPasswords)
        Fnet.Fail(EMySqlException(CR_SECURE_AUTH));
    return ScrambleOld(passwd, scrambleBuff.data());
}

uint32_t TMySqlSession::ChooseFlags(uint32_t clientflag) const {
    if (clientflag & CLIENT_MULTI_STATEMENTS)
        clientflag |= CLIENT_MULTI_RESULTS;
    uint32_t flags = clientFlag | clientflag | AlwaysSent;
    if (protocolType == MYSQL_PROTOCOL_SSL)
        flags |= CLIENT_SSL;
    flags |= CLIENT_CONNECT_WITH_DB;
    flags = (flags & ~ServerDecided) | (flags & static_cast<uint32_t>(serverCapabilities));
    // Plugin authentication only where the server offers it; elsewhere the
    // login keeps its classic bytes.
    const auto server = static_cast<uint32_t>(serverCapabilities);
    if ((flags & CLIENT_PROTOCOL_41) && FFullSalt && (server & CLIENT_PLUGIN_AUTH) &&
        (server & CLIENT_SECURE_CONNECTION))
        flags |= CLIENT_PLUGIN_AUTH | (server & CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA);
    return flags;
}

// Returns whether the field ends with a terminating zero; with
// SECURE_CONNECTION the lone zero of an empty password is a length byte.
bool TMySqlSession::WriteAuthentication(const std::string& passwd) {
    bool secure = (serverCapabilities & CLIENT_SECURE_CONNECTION) != 0;
    if (passwd.empty()) {
        Fnet.WriteByte(0);
        return !secure;
    } else if (secure && FFullSalt) {
        Fnet.WriteByte(20);
        auto answer = Scramble41(passwd, scrambleBuff.data());
        Fnet.WriteBytes(answer.data(), 0, 20);
        return false;
    } else if (secure) {
        Fnet.Fill('x', 8);
        Fnet.WriteByte(0);
    } else {
        WriteBytes(OldScramble(passwd));
    }
    return true;
}

// Login packet and SSL request, 4.1 form: flags, maximum packet size,
// character set, 23 zero bytes; pre-4.1 form: 2 bytes of flags, 3 of size.
void TMySqlSession::WriteLoginHeader(uint32_t flags) {
    if (flags & CLIENT_PROTOCOL_41) {
        Fnet.WriteInt32(flags);
        Fnet.WriteInt32(TMySqlNet::LoginMaxPacketSize);
        Fnet.WriteByte(FLoginCollation);
        Fnet.Fill(0, 23);
    } else {
        Fnet.WriteInt16(static_cast<int>(flags & 0xFFFF));
        Fnet.WriteInt24(TMySqlNet::LoginMaxPacketSize & 0xFFFF);
    }
}

// SSL request: the login header alone; then the TLS handshake on the same
// socket, and everything after it inside TLS.
void TMySqlSession::StartTls(uint32_t flags, const std::string& hostName) {
    if (!(flags & CLIENT_SSL))
        throw EMySqlException(CR_SSL_CONNECTION_ERROR,
                              "SSL is required but the server doesn't support it");
    WriteLoginHeader(flags);
    Fnet.Send();
    FTls->StartTls(hostName);
}

// After the header: user, authentication and database; with plugin
// authentication the plugin's first answer, length-coded, the database with
// its zero byte and the plugin's name.
void TMySqlSession::WriteLogin(uint32_t flags, const std::string& userName,
                               const std::string& passwd, const std::string& db,
                               TAuthPlugin* plugin) {
    WriteLoginHeader(flags);
    clientFlag = flags;
    Fnet.WriteString(userName);
    if (plugin) {
        WritePluginLogin(db, *plugin);
        return;
    }
    bool endsWithZero = WriteAuthentication(passwd);
    if ((serverCapabilities & CLIENT_CONNECT_WITH_DB) && !db.empty()) {
        WriteBytes(db);
        database = db;
    } else if (!endsWithZero) {
        // CLIENT_CONNECT_WITH_DB is always sent, so the server reads a database
        // field after the authentication: it must find at least its zero byte.
        Fnet.WriteByte(0);
    }
}

// A 24-byte answer carries a new salt behind a 4-byte prefix; "*" asks for the pre-4.1 scramble.
void TMySqlSession::AnswerNewSalt(const std::string& passwd) {
    std::array<uint8_t, 24> answer;
    std::memcpy(answer.data(), Fnet.Buffer(), answer.size());
    Fnet.Clear();
    if (answer[0] == '*') {
        std::memcpy(scrambleBuff.data(), answer.data() + 4, 20);
        WriteBytes(OldScramble(passwd));
        return;
    }
    auto reply = NewSaltReply(passwd, answer.data(), scrambleBuff.data());
    Fnet.WriteBytes(reply.data(), 0, 20);
}

void TMySqlSession::WritePluginLogin(const std::string& db, TAuthPlugin& plugin) {
    TSecretBytes answer = plugin.FirstResponse(
        {reinterpret_cast<const char*>(scrambleBuff.data()), scrambleBuff.size()});
    const auto length = static_cast<uint64_t>(answer.Bytes().size());
    if (clientFlag & CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA)
        Fnet.WriteFieldLength(length);
    else if (length <= 255)
        Fnet.WriteByte(static_cast<uint8_t>(length));
    else
        throw EMySqlException(CR_MALFORMED_PACKET,
                              "the server takes no authentication answer of that length");
    WriteBytes(answer.Bytes());
    if (serverCapabilities & CLIENT_CONNECT_WITH_DB) {
        Fnet.WriteString(db);
        if (!db.empty())
            database = db;
    } else {
        Fnet.WriteByte(0);
    }
    Fnet.WriteString(plugin.Name());
}

// Sends the packet built and wipes it from the buffer: it may carry a
// password or what stands for one.
void TMySqlSession::SendWiped() {
    const int length = Fnet.Length();
    if (length == TMySqlNet::HeaderSize)
        Fnet.SendEmpty();
    else
        Fnet.Send();
    WipeBytes(Fnet.Buffer(), static_cast<size_t>(length));
}

// Switch request: the plugin's name, then its data; nothing is sent for a
// plugin this client does not have.
std::unique_ptr<TAuthPlugin> TMySqlSession::SwitchPlugin(const TAuthContext& context,
                                                         TSecretBytes& reply) {
    Fnet.SetPosition(1);
    std::string name = Fnet.ReadString();
    std::string_view data(reinterpret_cast<const char*>(Fnet.Buffer()) + Fnet.Position(),
                          static_cast<size_t>(Fnet.Length() - Fnet.Position()));
    auto plugin = CreateAuthPlugin(name, context);
    if (!plugin)
        throw EMySqlException(CR_AUTH_PLUGIN_CANNOT_LOAD, {name}, "");
    reply = plugin->FirstResponse(data);
    return plugin;
}

// The answers after a plugin login: OK ends it, a switch request changes
// the plugin, a more-data packet goes to the current one, and the one-byte
// 0xFE still asks for the pre-4.1 scramble. Sequence numbers run on.
void TMySqlSession::PluginExchange(const std::string& passwd, TAuthContext& context,
                                   std::unique_ptr<TAuthPlugin>& plugin) {
    for (int packets = 0;; ++packets) {
        Fnet.Receive();
        if (packets == MaxAuthPackets)
            Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET, "the login does not end"));
        const uint8_t* p = Fnet.Buffer();
        const int length = Fnet.Length();
        if (length > 0 && p[0] == 0)
            return;
        std::optional<TSecretBytes> reply;
        if (length == 1 && p[0] == SwitchRequestPacket) {
            reply.emplace(OldScramble(passwd));
        } else if (length > 1 && p[0] == SwitchRequestPacket) {
            reply.emplace();
            plugin = SwitchPlugin(context, *reply);
        } else if (length > 0 && p[0] == MoreDataPacket) {
            reply = plugin->MoreData(
                {reinterpret_cast<const char*>(p) + 1, static_cast<size_t>(length - 1)});
        } else {
            Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET, "unexpected packet during the login"));
        }
        if (!reply)
            continue;
        Fnet.Clear();
        WriteBytes(reply->Bytes());
        SendWiped();
    }
}

void TMySqlSession::FinishLogin(const std::string& passwd) {
    Fnet.Receive();
    if (!(serverCapabilities & CLIENT_SECURE_CONNECTION))
        return;
    if (Fnet.Length() == 1 && Fnet.Buffer()[0] == 0xFE) {
        Fnet.Clear();
        WriteBytes(OldScramble(passwd));
    } else if (Fnet.Length() == 24 && Fnet.Buffer()[0] != 0) {
        AnswerNewSalt(passwd);
    } else {
        return;
    }
    Fnet.Send();
    Fnet.Receive();
}

void TMySqlSession::Connect(const std::string& host_, const std::string& user_,
                            const std::string& passwd_, const std::string& db_, unsigned port_,
                            const std::string&, uint32_t clientflag) {
    std::string hostName = host_.empty() ? host : host_;
    const std::string& userName = user_.empty() ? user : user_;
    const std::string& passwd = passwd_.empty() ? password : passwd_;
    const std::string& db = db_.empty() ? database : db_;
    int64_t portNumber = port_ != 0 ? port_ : (port != 0 ? port : DefaultPort);
    if (hostName.empty())
        hostName = TCRVioTcp::LoopbackHost;
    serverStatus = SERVER_STATUS_AUTOCOMMIT;
    Fnet.SetPacketLimit(LoginPacketLimit);
    OpenTransport(hostName, portNumber);
    ReadGreeting();
    host = hostName;
    port = static_cast<int>(portNumber);
    Fnet.Clear();
    uint32_t flags = ChooseFlags(clientflag);
    if (protocolType == MYSQL_PROTOCOL_SSL)
        StartTls(flags, hostName);
    TAuthContext context{passwd, FTls && FTls->Encrypted(), FGetServerPublicKey,
                         FServerPublicKeyFile};
    std::unique_ptr<TAuthPlugin> plugin;
    if (flags & CLIENT_PLUGIN_AUTH) {
        plugin = CreateAuthPlugin(FGreetingPlugin, context);
        if (!plugin)
            plugin = CreateAuthPlugin(NativePasswordPlugin, context);
    }
    WriteLogin(flags, userName, passwd, db, plugin.get());
    if (plugin) {
        SendWiped();
        PluginExchange(passwd, context, plugin);
    } else {
        Fnet.Send();
        FinishLogin(passwd);
    }
    ReadLoginStatus();
    Fnet.SetPacketLimit(std::min<size_t>(FMaxPacket, TMySqlNet::LoginMaxPacketSize));
    Fnet.SetCompress((flags & CLIENT_COMPRESS) != 0);
    status = TMySqlStatus::msReady;
    isClosed = false;
    if (serverStatus & SERVER_STATUS_NO_BACKSLASH_ESCAPES)
        KeepBackslashEscapes();
}

// OK packet ending the login: only its status flags (which show the
// server's NO_BACKSLASH_ESCAPES) are taken; an answer that ends before them
// keeps the status as it was.
void TMySqlSession::ReadLoginStatus() {
    const int length = Fnet.Length();
    if (length == 0 || Fnet.Buffer()[0] != 0 ||
        !(protocol41() || (serverCapabilities & CLIENT_TRANSACTIONS)))
        return;
    Fnet.SetPosition(1);
    for (int field = 0; field < 2 && Fnet.Position() < length; ++field)
        Fnet.ReadFieldLength();
    if (Fnet.Position() + 2 <= length)
        serverStatus = Fnet.ReadUInt16();
}

void TMySqlSession::KeepBackslashEscapes() {
    SimpleCommand(TServerCommand::scQuery,
                  reinterpret_cast<const uint8_t*>(KeepBackslashesSql.data()),
                  static_cast<int>(KeepBackslashesSql.size()), true);
    ReadQueryResult();
    if (serverStatus & SERVER_STATUS_NO_BACKSLASH_ESCAPES)
        Fnet.Fail(EMySqlException(CR_MALFORMED_PACKET,
                                  "the server keeps NO_BACKSLASH_ESCAPES in its sql_mode"));
}

// ---- commands ----

void TMySqlSession::WriteCommand(TServerCommand command) {
    if (status != TMySqlStatus::msReady)
        throw EMySqlException(CR_COMMANDS_OUT_OF_SYNC);
    info.clear();
    affectedRows = 0;
    Fnet.NewCommand();
    Fnet.WriteByte(static_cast<uint8_t>(command));
}

// Without a transport nothing is sent; but once a fault has cost the session
// its transport, every command except the goodbye reports the lost server.
void TMySqlSession::SimpleCommand(TServerCommand command, const uint8_t* args, int length,
                                  bool skipCheck) {
    if (!Fnet.vio()) {
        if (Fnet.Broken() && command != TServerCommand::scQuit)
            throw EMySqlException(CR_SERVER_GONE_ERROR);
        return;
    }
    Fnet.vio()->SetTimeout(commandTimeout > 0 ? commandTimeout : FReadTimeout);
    WriteCommand(command);
    RememberLocalFileStatement(command, args, length);
    if (args)
        Fnet.WriteOrSendBytes(args, 0, length);
    Fnet.Send();
    if (!skipCheck)
        Fnet.Receive();
}

// OK packet: affected rows, insert id, status (4.1 or transactions),
// warnings (4.1), then the message as a length-coded string.
void TMySqlSession::ReadOk() {
    affectedRows = Fnet.ReadFieldLength();
    insertId = Fnet.ReadFieldLength();
    if (protocol41() || (serverCapabilities & CLIENT_TRANSACTIONS))
        serverStatus = Fnet.ReadUInt16();
    if (protocol41())
        warningCount = Fnet.ReadUInt16();
    // The message is a length-coded string; taken as raw text its length
    // byte would lead it. It is the rest of the packet at most: a length
    // beyond it keeps what is there.
    if (Fnet.Position() < Fnet.Length()) {
        int64_t length = Fnet.ReadFieldLength();
        int64_t left = Fnet.Length() - Fnet.Position();
        info = Fnet.ReadString(length > 0 ? static_cast<int>(std::min(length, left)) : 0);
    }
}

// Result set header, then the column descriptions up to their end-of-data packet.
void TMySqlSession::ReadResultSetHeader(int64_t count) {
    if (count < 0 || count > MaxColumns)
        Fnet.Fail(EMySqlException(
            CR_MALFORMED_PACKET,
            Format("the result set header announces %s columns, more than %d",
                   {std::to_string(static_cast<uint64_t>(count)), static_cast<int>(MaxColumns)})));
    fieldCount = static_cast<int>(count);
    if (Fnet.Position() < Fnet.Length())
        extraInfo = Fnet.ReadFieldLength();
    TMySqlResultSet descriptions(
        this, {}, protocol41() ? DescriptionColumns41 : DescriptionColumnsOld, nullptr);
    descriptions.ReadRows(false);
    fields = descriptions.ReadFieldsInfo(static_cast<int>(count));
    status = TMySqlStatus::msGetResult;
    warningCount = 0;
}

void TMySqlSession::ReadQueryResult() {
    serverStatus = SERVER_STATUS_AUTOCOMMIT;
    Fnet.Receive();
    for (;;) {
        Fnet.SetPosition(0);
        // Only the 0xFB header byte asks for a local file; a length-coded
        // count can read as the same -1.
        if (Fnet.Length() > 0 && Fnet.Buffer()[0] == LocalFilePacket) {
            Fnet.ReadByte();
            SendLocalFile();
            continue;
        }
        int64_t count = Fnet.ReadFieldLength();
        if (count == 0) {
            fieldCount = 0;
            ReadOk();
            return;
        }
        ReadResultSetHeader(count);
        return;
    }
}

void TMySqlSession::RememberLocalFileStatement(TServerCommand command, const uint8_t* args,
                                               int length) {
    FLocalInfileName.reset();
    if (command == TServerCommand::scQuery && args && length > 0)
        FLocalInfileName =
            LocalInfileName({reinterpret_cast<const char*>(args), static_cast<size_t>(length)});
}

// Local-file request: 0xFB and a file name, which runs to the packet's end.
void TMySqlSession::SendLocalFile() {
    AnswerLocalFileRequest(Fnet, Fnet.ReadString(), FLocalInfileName, FLocalRows);
}

void TMySqlSession::SkipRows() {
    std::vector<uint8_t> packet;
    if (Fnet.Compress()) {
        do
            Fnet.ReceiveBuffer(packet);
        while (!IsEndOfData(packet.data(), packet.size()));
        return;
    }
    // Pieces that follow a full-size packet continue it and are neither errors nor end markers.
    bool continuation = false;
    for (;;) {
        int n = Fnet.SkipBuffer(packet, 65536, !continuation);
        if (!continuation && IsEndOfData(packet.data(), static_cast<size_t>(n)))
            return;
        continuation = n == TMySqlNet::MaxPacketSize;
    }
}

void TMySqlSession::FreeQuery() {
    if (status == TMySqlStatus::msReady)
        return;
    try {
        SkipRows();
    } catch (...) {
        status = TMySqlStatus::msReady;
        throw;
    }
    status = TMySqlStatus::msReady;
    if (FSkipPacket) {
        FSkipPacket = false;
        std::vector<uint8_t> packet;
        Fnet.ReceiveBuffer(packet);
    }
}

void TMySqlSession::SelectDb(const std::string& db) {
    SimpleCommand(TServerCommand::scInitDb, reinterpret_cast<const uint8_t*>(db.data()),
                  static_cast<int>(db.size()), false);
    database = db;
}

void TMySqlSession::Ping() {
    SimpleCommand(TServerCommand::scPing, nullptr, 0, false);
}

std::string TMySqlSession::Statistics() {
    SimpleCommand(TServerCommand::scStatistics, nullptr, 0, false);
    return {reinterpret_cast<const char*>(Fnet.Buffer()), static_cast<size_t>(Fnet.Length())};
}

void TMySqlSession::Close() {
    if (isClosed)
        return;
    isClosed = true;
    status = TMySqlStatus::msReady;
    try {
        SimpleCommand(TServerCommand::scQuit, nullptr, 0, true);
    } catch (...) {
        Fnet.Close();
        throw;
    }
    Fnet.Close();
}

} // namespace tabellix
