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

// Answers the server's request for the file `requested`: its content in
// packets of 8192 bytes when it is the file the statement named (`allowed`),
// then the empty packet; then receives the server's answer into the packet
// buffer. A file that cannot be opened or read raises EOSError after that.
void AnswerLocalFileRequest(TMySqlNet& net, const std::string& requested,
                            const std::optional<std::string>& allowed);

} // namespace tabellix
