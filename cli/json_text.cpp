#include "cli/json_text.h"

#include <ostream>

namespace tabellix::cli {

void WriteJsonString(std::ostream& out, const std::string& text) {
    out << '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default:
            if (c < 0x20) {
                static const char hex[] = "0123456789abcdef";
                out << "\\u00" << hex[c >> 4] << hex[c & 15];
            } else {
                out << static_cast<char>(c);
            }
        }
    }
    out << '"';
}

} // namespace tabellix::cli
