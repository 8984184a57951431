// Text of the binary and package formats into UTF-8: code points, UTF-16
// (little-endian) code units and single-byte Latin-1 characters.
#pragma once

#include "base/Text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tabellix {

// Unpaired surrogates become U+FFFD.
void AppendUtf16Le(std::string& out, std::string_view bytes);
void AppendLatin1(std::string& out, std::string_view bytes);

} // namespace tabellix
