// The events of an XML parser written as markup again, text escaped, so that
// two parsers' readings of a document compare as strings.
#pragma once

#include "automation/WorkbookError.h"
#include "automation/XmlScanner.h"
#include "automation/XmlStream.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace tabellix::test {

class TXmlRecorder : public TXmlHandler {
public:
    std::string Log;

    void StartElement(std::string_view name, const char** attrs) override {
        Log.append("<").append(name);
        for (; attrs[0]; attrs += 2)
            Log.append(" ").append(attrs[0]).append("=[").append(attrs[1]).append("]");
        Log.append(">");
    }
    void EndElement(std::string_view name) override { Log.append("</").append(name).append(">"); }
    void Text(std::string_view text) override {
        for (char c : text)
            Log += c == '<' ? std::string("&lt;") : std::string(1, c);
    }
    bool WantText() const override { return true; }
};

struct TXmlOutcome {
    std::string Log;
    std::optional<TWorkbookErrorCode> Error;
    std::string Message;
};

// Parses xml handed over in pieces of the given size.
template <class Parser> TXmlOutcome ParseXmlEvents(std::string_view xml, size_t piece) {
    TXmlRecorder recorder;
    TXmlOutcome outcome;
    try {
        Parser parser(recorder, "part.xml");
        for (size_t at = 0; at < xml.size(); at += piece)
            parser.Feed(xml.data() + at, std::min(piece, xml.size() - at));
        parser.Finish();
    } catch (const EWorkbookError& e) {
        outcome.Error = e.Code();
        outcome.Message = e.Message();
    }
    outcome.Log = recorder.Log;
    return outcome;
}

} // namespace tabellix::test
