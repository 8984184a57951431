// A streaming reader for the large parts of a package, the worksheets and
// the shared strings: the events TXmlStream gives, for a UTF-8 document, at a
// fraction of the general parser's cost per byte, which dominates the reading
// of a big sheet. A document declaring another encoding, or starting with a
// UTF-16 byte order mark, goes to TXmlStream instead.
#pragma once

#include "automation/XmlStream.h"

#include <memory>
#include <string>

namespace tabellix {

class TXmlScanner {
public:
    // part names the package part in error messages.
    TXmlScanner(TXmlHandler& handler, std::string part);
    ~TXmlScanner();
    TXmlScanner(const TXmlScanner&) = delete;
    TXmlScanner& operator=(const TXmlScanner&) = delete;

    // Reads the next piece; malformed XML raises EWorkbookError.
    void Feed(const char* data, size_t size);
    // Ends the document; raises when it is incomplete.
    void Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

} // namespace tabellix
