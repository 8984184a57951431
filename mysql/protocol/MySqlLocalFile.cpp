#include "mysql/protocol/MySqlLocalFile.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace tabellix {
namespace {

constexpr size_t ChunkSize = 8192;

class StatementScanner {
public:
    explicit StatementScanner(std::string_view text) : FText(text) {}

    bool Word(std::string_view word) {
        SkipBlanks();
        if (FText.size() - FAt < word.size() || !SameText(FText.substr(FAt, word.size()), word))
            return false;
        size_t end = FAt + word.size();
        if (end < FText.size() && IsWordChar(FText[end]))
            return false;
        FAt = end;
        return true;
    }

    // A quoted literal with backslash escapes and doubled quotes.
    std::optional<std::string> Literal() {
        SkipBlanks();
        if (FAt >= FText.size() || (FText[FAt] != '\'' && FText[FAt] != '"'))
            return std::nullopt;
        char quote = FText[FAt++];
        std::string value;
        while (FAt < FText.size()) {
            char c = FText[FAt++];
            if (c == '\\' && FAt < FText.size()) {
                value += Unescape(FText[FAt++]);
            } else if (c == quote) {
                if (FAt < FText.size() && FText[FAt] == quote)
                    value += FText[FAt++];
                else
                    return value;
            } else {
                value += c;
            }
        }
        return std::nullopt;
    }

private:
    static bool IsWordChar(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
    }
    static std::string Unescape(char c) {
        switch (c) {
        case '0':
            return std::string(1, '\0');
        case 'b':
            return "\b";
        case 'n':
            return "\n";
        case 'r':
            return "\r";
        case 't':
            return "\t";
        case 'Z':
            return "\x1A";
        case '%':
        case '_':
            return std::string("\\") + c;
        default:
            return std::string(1, c);
        }
    }
    void SkipBlanks() {
        while (FAt < FText.size() && std::isspace(static_cast<unsigned char>(FText[FAt])))
            ++FAt;
    }

    std::string_view FText;
    size_t FAt = 0;
};

// Sends the file's content; returns the file error, 0 when there was none.
// The file is closed on every path, also when sending a chunk fails.
int SendContent(TMySqlNet& net, const std::string& name) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(AnsiToText(name).c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        return errno;
    std::vector<uint8_t> chunk(ChunkSize);
    for (;;) {
        size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (n > 0) {
            net.WriteBytes(chunk.data(), 0, static_cast<int>(n));
            net.Send();
        }
        if (n < chunk.size())
            return std::ferror(file.get()) ? EIO : 0;
    }
}

void SendData(TMySqlNet& net, std::string_view data) {
    for (size_t at = 0; at < data.size(); at += ChunkSize) {
        const size_t n = std::min(ChunkSize, data.size() - at);
        net.WriteBytes(reinterpret_cast<const uint8_t*>(data.data() + at), 0, static_cast<int>(n));
        net.Send();
    }
}

} // namespace

std::optional<std::string> LocalInfileName(std::string_view statement) {
    StatementScanner scan(statement);
    if (!scan.Word("LOAD") || !scan.Word("DATA"))
        return std::nullopt;
    if (!scan.Word("LOW_PRIORITY"))
        scan.Word("CONCURRENT");
    if (!scan.Word("LOCAL") || !scan.Word("INFILE"))
        return std::nullopt;
    return scan.Literal();
}

// The file goes out only when the statement itself asked to load that very
// file, so that a server cannot pull an arbitrary local file; otherwise the
// empty packet alone says "no data".
void AnswerLocalFileRequest(TMySqlNet& net, const std::string& requested,
                            const std::optional<std::string>& allowed, const TLocalRows* rows) {
    net.Clear();
    const bool named = allowed && *allowed == requested;
    int fileError = 0;
    if (rows && requested == rows->Name) {
        if (named)
            SendData(net, rows->Data);
    } else if (named) {
        fileError = SendContent(net, requested);
    }
    net.SendEmpty();
    net.Receive();
    if (fileError != 0)
        throw EOSError(Format("Cannot open file \"%s\". %s",
                              {AnsiToText(requested), SysErrorMessage(fileError)}),
                       fileError);
}

} // namespace tabellix
