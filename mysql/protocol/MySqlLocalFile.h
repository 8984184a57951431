// LOAD DATA LOCAL INFILE: which file a statement names, and the answer to
// the server's request for a local file.
#pragma once

#include "mysql/protocol/MySqlNetUni.h"

#include <optional>
#include <string>
#include <string_view>

namespace tabellix {

// The file name of a LOAD DATA [LOW_PRIORITY | CONCURRENT] LOCAL INFILE
// statement, or nothing for any other statement.
std::optional<std::string> LocalInfileName(std::string_view statement);

// Rows the program streams from memory for a LOAD DATA statement of its
// own, under a name of its own: that name is never looked up on disk.
struct TLocalRows {
    std::string Name;
    std::string_view Data;
};

// Answers the server's request for the file `requested`: its content in
// packets of 8192 bytes when it is the file the statement named (`allowed`),
// then the empty packet; then receives the server's answer into the packet
// buffer. A request for the name of `rows` gets their data instead, and
// only when the statement named it. A file that cannot be opened or read
// raises EOSError after that.
void AnswerLocalFileRequest(TMySqlNet& net, const std::string& requested,
                            const std::optional<std::string>& allowed,
                            const TLocalRows* rows = nullptr);

} // namespace tabellix
