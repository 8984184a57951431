// Feeds arbitrary bytes to both workbook readers (the content picks one):
// they must read or raise their error, never crash, hang or run away.
#include "automation/WorkbookError.h"
#include "automation/WorkbookReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        tabellix::LoadWorkbookFromMemory(
            std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const tabellix::EWorkbookError&) {
    }
    return 0;
}
