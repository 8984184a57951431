#include "automation/TextDecode.h"

namespace tabellix {

void AppendUtf16Le(std::string& out, std::string_view bytes) {
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
    }
}

void AppendLatin1(std::string& out, std::string_view bytes) {
    for (char c : bytes)
        AppendUtf8(out, static_cast<uint8_t>(c));
}

} // namespace tabellix
