// Feeds arbitrary bytes, in pieces of a size the first byte picks, to the
// scanner of the large parts and the whole document to the general parser:
// whatever the general parser reads, the scanner must read into the same
// events; and it must never crash or hang on the rest.
#include "tests/support/XmlRecorder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tabellix;
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 64;
    const std::string_view xml(reinterpret_cast<const char*>(data) + 1, size - 1);
    const test::TXmlOutcome general = test::ParseXmlEvents<TXmlStream>(xml, xml.size() + 1);
    const test::TXmlOutcome scanned = test::ParseXmlEvents<TXmlScanner>(xml, piece);
    if (!general.Error && (scanned.Error || scanned.Log != general.Log))
        std::abort();
    return 0;
}
