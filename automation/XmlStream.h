// A streaming XML parser for the package parts: elements arrive by local
// name (namespace prefixes dropped, so transitional and strict packages read
// alike), text in pieces. Document type declarations are refused, which
// rules out entity expansion.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace tabellix {

class TXmlHandler {
public:
    virtual ~TXmlHandler() = default;
    // attrs alternates names and values and ends with a null pointer.
    virtual void StartElement(std::string_view name, const char** attrs) = 0;
    virtual void EndElement(std::string_view name) = 0;
    // Only called while WantText() holds, to keep text out of the way of the
    // elements that have none worth reading.
    virtual void Text(std::string_view text) = 0;
    virtual bool WantText() const = 0;
};

class TXmlStream {
public:
    // part names the package part in error messages.
    TXmlStream(TXmlHandler& handler, std::string part);
    ~TXmlStream();
    TXmlStream(const TXmlStream&) = delete;
    TXmlStream& operator=(const TXmlStream&) = delete;

    // Parses the next piece; malformed XML raises EWorkbookError.
    void Feed(const char* data, size_t size);
    // Ends the document; raises when it is incomplete.
    void Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> FImpl;
};

// A view of a short text the parser hands over (a name or an attribute
// value), measured inline: for the one- to three-letter names of a sheet's
// cells the library call costs more than the scan.
inline std::string_view ShortView(const char* text) {
    const char* end = text;
    while (*end)
        ++end;
    return std::string_view(text, static_cast<size_t>(end - text));
}

// The local part of a possibly prefixed name.
inline std::string_view LocalName(const char* name) {
    const char* local = name;
    const char* end = name;
    for (; *end; ++end)
        if (*end == ':')
            local = end + 1;
    return std::string_view(local, static_cast<size_t>(end - local));
}

// The value of the attribute with the given local name, or nullptr.
const char* XmlAttribute(const char** attrs, std::string_view local);

// Parses a whole part held in memory.
void ParseXml(TXmlHandler& handler, const std::string& part, std::string_view xml);

// The faults a part can show, reported in the words TXmlStream uses so that a
// broken part reads alike whichever parser met it.
enum class TXmlFault {
    InvalidToken,
    UnclosedToken,
    UnclosedSection,
    PartialChar,
    NoElements,
    MismatchedTag,
    DuplicateAttribute,
    JunkAfterDocument,
    UndefinedEntity,
    BadCharRef,
    MisplacedXmlDeclaration
};

[[noreturn]] void FailXml(const std::string& part, unsigned long line, TXmlFault fault);
[[noreturn]] void FailDoctype(const std::string& part);

} // namespace tabellix
