#include "automation/XmlStream.h"

#include "automation/WorkbookError.h"
#include "base/Format.h"

#include <expat.h>

#include <climits>
#include <exception>

namespace tabellix {
namespace {

[[noreturn]] void FailXmlCode(const std::string& part, unsigned long line, XML_Error code) {
    FailRead(code == XML_ERROR_NO_ELEMENTS || code == XML_ERROR_UNCLOSED_TOKEN
                 ? TWorkbookErrorCode::Truncated
                 : TWorkbookErrorCode::Malformed,
             Format("part \"%s\" is not well-formed XML at line %u (%s)",
                    {part, line, XML_ErrorString(code)}));
}

XML_Error ExpatCode(TXmlFault fault) {
    switch (fault) {
    case TXmlFault::InvalidToken:
        return XML_ERROR_INVALID_TOKEN;
    case TXmlFault::UnclosedToken:
        return XML_ERROR_UNCLOSED_TOKEN;
    case TXmlFault::UnclosedSection:
        return XML_ERROR_UNCLOSED_CDATA_SECTION;
    case TXmlFault::PartialChar:
        return XML_ERROR_PARTIAL_CHAR;
    case TXmlFault::NoElements:
        return XML_ERROR_NO_ELEMENTS;
    case TXmlFault::MismatchedTag:
        return XML_ERROR_TAG_MISMATCH;
    case TXmlFault::DuplicateAttribute:
        return XML_ERROR_DUPLICATE_ATTRIBUTE;
    case TXmlFault::JunkAfterDocument:
        return XML_ERROR_JUNK_AFTER_DOC_ELEMENT;
    case TXmlFault::UndefinedEntity:
        return XML_ERROR_UNDEFINED_ENTITY;
    case TXmlFault::BadCharRef:
        return XML_ERROR_BAD_CHAR_REF;
    case TXmlFault::MisplacedXmlDeclaration:
        return XML_ERROR_MISPLACED_XML_PI;
    }
    return XML_ERROR_SYNTAX;
}

} // namespace

void FailXml(const std::string& part, unsigned long line, TXmlFault fault) {
    FailXmlCode(part, line, ExpatCode(fault));
}

void FailDoctype(const std::string& part) {
    FailRead(TWorkbookErrorCode::Malformed,
             Format("part \"%s\" holds a document type declaration", {part}));
}

struct TXmlStream::Impl {
    XML_Parser Parser = nullptr;
    TXmlHandler* Handler = nullptr;
    std::string Part;
    bool RefusedDoctype = false;
    // An error raised by the handler, carried across the parser's C frames.
    std::exception_ptr Pending;

    ~Impl() {
        if (Parser)
            XML_ParserFree(Parser);
    }

    template <class Call> static void Guard(void* self, Call call) {
        auto* impl = static_cast<Impl*>(self);
        if (impl->Pending)
            return;
        try {
            call(*impl->Handler);
        } catch (...) {
            impl->Pending = std::current_exception();
            XML_StopParser(impl->Parser, XML_FALSE);
        }
    }
    static void OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
        Guard(self, [&](TXmlHandler& h) { h.StartElement(LocalName(name), attrs); });
    }
    static void OnEnd(void* self, const XML_Char* name) {
        Guard(self, [&](TXmlHandler& h) { h.EndElement(LocalName(name)); });
    }
    static void OnText(void* self, const XML_Char* text, int length) {
        Guard(self, [&](TXmlHandler& h) {
            if (h.WantText())
                h.Text(std::string_view(text, static_cast<size_t>(length)));
        });
    }
    static void OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        auto* impl = static_cast<Impl*>(self);
        impl->RefusedDoctype = true;
        XML_StopParser(impl->Parser, XML_FALSE);
    }

    void Parse(const char* data, int size, bool last) {
        const auto status = XML_Parse(Parser, data, size, last ? XML_TRUE : XML_FALSE);
        if (Pending)
            std::rethrow_exception(Pending);
        if (status != XML_STATUS_ERROR)
            return;
        if (RefusedDoctype)
            FailDoctype(Part);
        FailXmlCode(Part, static_cast<unsigned long>(XML_GetCurrentLineNumber(Parser)),
                    XML_GetErrorCode(Parser));
    }
};

TXmlStream::TXmlStream(TXmlHandler& handler, std::string part) : FImpl(std::make_unique<Impl>()) {
    FImpl->Handler = &handler;
    FImpl->Part = std::move(part);
    FImpl->Parser = XML_ParserCreate(nullptr);
    if (!FImpl->Parser)
        FailRead(TWorkbookErrorCode::TooLarge, "no memory for the XML parser");
    XML_SetUserData(FImpl->Parser, FImpl.get());
    XML_SetElementHandler(FImpl->Parser, &Impl::OnStart, &Impl::OnEnd);
    XML_SetCharacterDataHandler(FImpl->Parser, &Impl::OnText);
    XML_SetStartDoctypeDeclHandler(FImpl->Parser, &Impl::OnDoctype);
}

TXmlStream::~TXmlStream() = default;

void TXmlStream::Feed(const char* data, size_t size) {
    while (size > 0) {
        const size_t piece = size > INT_MAX / 2 ? INT_MAX / 2 : size;
        FImpl->Parse(data, static_cast<int>(piece), false);
        data += piece;
        size -= piece;
    }
}

void TXmlStream::Finish() {
    FImpl->Parse("", 0, true);
}

const char* XmlAttribute(const char** attrs, std::string_view local) {
    for (; attrs[0]; attrs += 2)
        if (LocalName(attrs[0]) == local)
            return attrs[1];
    return nullptr;
}

void ParseXml(TXmlHandler& handler, const std::string& part, std::string_view xml) {
    TXmlStream stream(handler, part);
    stream.Feed(xml.data(), xml.size());
    stream.Finish();
}

} // namespace tabellix
