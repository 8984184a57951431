#include "base/Exception.h"

#include <cstring>

namespace tabellix {

std::string SysErrorMessage(int errorCode) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errorCode, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

} // namespace tabellix
