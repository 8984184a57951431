#include "automation/XmlScanner.h"

#include "base/Text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tabellix {
namespace {

constexpr size_t npos = std::string_view::npos;

using TByteSet = std::array<bool, 256>;

template <class Pred> constexpr TByteSet MakeSet(Pred pred) {
    TByteSet set{};
    for (int c = 0; c < 256; ++c)
        set[static_cast<size_t>(c)] = pred(c);
    return set;
}

constexpr bool IsControl(int c) {
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}
constexpr bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
constexpr bool IsNameStart(int c) {
    return ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '_' || c == ':' || c >= 0x80;
}
constexpr bool IsNameChar(int c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

constexpr TByteSet NameStart = MakeSet(IsNameStart);
constexpr TByteSet NameChar = MakeSet(IsNameChar);
// Bytes that end a plain run of character data.
constexpr TByteSet TextStops = MakeSet([](int c) {
    return c == '<' || c == '&' || c == '\r' || c == ']' || c >= 0x80 || IsControl(c);
});
// Bytes that end a plain run of an attribute value; a literal tab or line
// end is read as a space.
constexpr TByteSet ValueStops = MakeSet([](int c) {
    return c == '<' || c == '&' || c == '"' || c == '\'' || (IsSpace(c) && c != ' ') || c >= 0x80 ||
           IsControl(c);
});

unsigned char Byte(const char* p) {
    return static_cast<unsigned char>(*p);
}

// The length of the UTF-8 sequence at p (a lead byte of 0x80 or more) when
// it is a character XML allows, 0 when the data ends inside it, -1 when not.
int Utf8Length(const char* p, size_t avail) {
    const unsigned lead = Byte(p);
    unsigned low = 0x80;
    unsigned high = 0xBF;
    int length = 4;
    if (lead < 0xC2 || lead > 0xF4)
        return -1;
    if (lead < 0xE0) {
        length = 2;
    } else if (lead < 0xF0) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high; // no surrogates
    } else {
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<size_t>(i) >= avail)
            return 0;
        const unsigned c = Byte(p + i);
        if (c < (i == 1 ? low : 0x80u) || c > (i == 1 ? high : 0xBFu))
            return -1;
    }
    // U+FFFE and U+FFFF are no characters of XML.
    if (lead == 0xEF && Byte(p + 1) == 0xBF && Byte(p + 2) >= 0xBE)
        return -1;
    return length;
}

bool IsXmlChar(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

int DigitValue(char c, bool hex) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const int lower = c | 0x20;
    return hex && lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

const char* PredefinedEntity(std::string_view name) {
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name == "amp")
        return "&";
    if (name == "quot")
        return "\"";
    if (name == "apos")
        return "'";
    return nullptr;
}

std::string_view LocalPart(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == npos ? name : name.substr(colon + 1);
}

bool SameAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

// Reads "name = 'value'" at the front of text, past leading white space.
bool TakePseudoAttribute(std::string_view& text, std::string_view name, std::string_view& value) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i == 0 || text.substr(i, name.size()) != name)
        return false;
    i += name.size();
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i >= text.size() || text[i] != '=')
        return false;
    ++i;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\''))
        return false;
    const size_t close = text.find(text[i], i + 1);
    if (close == npos)
        return false;
    value = text.substr(i + 1, close - i - 1);
    text.remove_prefix(close + 1);
    return true;
}

// Whether an XML declaration (between "<?xml" and "?>") is the plain form
// of a UTF-8 document; anything else is left to the general parser.
bool IsPlainUtf8Declaration(std::string_view text) {
    std::string_view value;
    if (!TakePseudoAttribute(text, "version", value) || value.substr(0, 2) != "1.")
        return false;
    if (TakePseudoAttribute(text, "encoding", value) && !SameAscii(value, "UTF-8"))
        return false;
    if (TakePseudoAttribute(text, "standalone", value) && value != "yes" && value != "no")
        return false;
    return std::all_of(text.begin(), text.end(), [](char c) { return IsSpace(c); });
}

struct TAttributeSpan {
    size_t Name, NameLength, Value, ValueLength;
    bool Decode;
};

} // namespace

struct TXmlScanner::Impl {
    TXmlHandler& Handler;
    std::string Part;
    std::unique_ptr<TXmlStream> Fallback;
    bool Decided = false;
    // Bytes not yet read; a token cut by the end of a piece waits here for
    // the next one.
    std::vector<char> Buf;
    size_t Pos = 0;
    // A cut token is tried again once this many bytes wait, so a long one
    // is not rescanned for every piece.
    size_t RetryAt = 0;
    unsigned long Line = 1; // the line Buf starts on
    std::string Open;       // qualified names of the open elements
    std::vector<size_t> OpenStarts;
    bool SeenRoot = false;
    std::string Ref;
    std::vector<TAttributeSpan> Spans;
    std::vector<std::string_view> Names;
    std::vector<const char*> Attrs;

    Impl(TXmlHandler& handler, std::string part) : Handler(handler), Part(std::move(part)) {}

    // Sheets hold few line ends, so they are counted a search at a time.
    unsigned long LinesBefore(size_t end) const {
        unsigned long lines = 0;
        const char* p = Buf.data();
        const char* const stop = p + end;
        while (p < stop && (p = static_cast<const char*>(
                                std::memchr(p, '\n', static_cast<size_t>(stop - p))))) {
            ++lines;
            ++p;
        }
        return lines;
    }
    [[noreturn]] void Fail(TXmlFault fault) const { FailXml(Part, Line + LinesBefore(Pos), fault); }
    bool Wait(bool last) const {
        if (last)
            Fail(TXmlFault::UnclosedToken);
        return false;
    }

    void Feed(const char* data, size_t size) {
        if (Fallback)
            return Fallback->Feed(data, size);
        Buf.insert(Buf.end(), data, data + size);
        if (Buf.size() - Pos >= RetryAt)
            Run(false);
    }

    void Finish() {
        if (!Fallback)
            Run(true);
        if (Fallback)
            return Fallback->Finish();
        if (!SeenRoot || !OpenStarts.empty())
            Fail(TXmlFault::NoElements);
    }

    void Run(bool last) {
        if (!Decided && !Decide(last))
            return;
        if (Fallback)
            return;
        while (Pos < Buf.size() && Step(last)) {
        }
        const size_t pending = Buf.size() - Pos;
        RetryAt = pending * 2;
        Line += LinesBefore(Pos);
        Buf.erase(Buf.begin(), Buf.begin() + static_cast<ptrdiff_t>(Pos));
        Pos = 0;
    }

    // --- the encoding, from the byte order mark and the XML declaration ---

    bool HasPrefix(size_t at, std::string_view prefix) const {
        return Buf.size() - at >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), Buf.begin() + static_cast<ptrdiff_t>(at));
    }
    // Whether what arrived so far could still grow into prefix.
    bool CouldBecome(size_t at, std::string_view prefix) const {
        const size_t have = std::min(prefix.size(), Buf.size() - at);
        return std::equal(prefix.begin(), prefix.begin() + static_cast<ptrdiff_t>(have),
                          Buf.begin() + static_cast<ptrdiff_t>(at));
    }

    bool Decide(bool last) {
        const size_t n = Buf.size();
        if (n >= 2 &&
            ((Byte(&Buf[0]) == 0xFE && Byte(&Buf[1]) == 0xFF) ||
             (Byte(&Buf[0]) == 0xFF && Byte(&Buf[1]) == 0xFE) || Buf[0] == 0 || Buf[1] == 0))
            return Delegate();
        const std::string_view bom = "\xEF\xBB\xBF";
        if (!last && (n < 2 || (n < bom.size() && CouldBecome(0, bom))))
            return false;
        const size_t start = HasPrefix(0, bom) ? bom.size() : 0;
        if (!last && Buf.size() - start < 6 && CouldBecome(start, "<?xml"))
            return false;
        if (HasPrefix(start, "<?xml") && Buf.size() > start + 5 && IsSpace(Buf[start + 5]))
            return ReadDeclaration(start, last);
        Pos = start;
        Decided = true;
        return true;
    }

    bool ReadDeclaration(size_t start, bool last) {
        const std::string_view text(Buf.data() + start, Buf.size() - start);
        const size_t close = text.find("?>");
        // A declaration runs to a few dozen bytes; one that does not end
        // soon is the general parser's to report.
        if (close == npos && !last && text.size() < 1024)
            return false;
        if (close == npos || !IsPlainUtf8Declaration(text.substr(5, close - 5)))
            return Delegate();
        Pos = start + close + 2;
        Decided = true;
        return true;
    }

    bool Delegate() {
        Fallback = std::make_unique<TXmlStream>(Handler, Part);
        Decided = true;
        std::vector<char> held;
        held.swap(Buf);
        Pos = 0;
        Fallback->Feed(held.data(), held.size());
        return true;
    }

    // --- tokens; each returns false when the data ends inside it ---

    bool Step(bool last) {
        if (Buf[Pos] == '<')
            return Markup(last);
        return OpenStarts.empty() ? Between() : Content(last);
    }

    // Outside the document element only white space may stand.
    bool Between() {
        while (Pos < Buf.size() && IsSpace(Buf[Pos]))
            ++Pos;
        if (Pos < Buf.size() && Buf[Pos] != '<')
            Fail(SeenRoot ? TXmlFault::JunkAfterDocument : TXmlFault::InvalidToken);
        return true;
    }

    void Deliver(std::string_view text) {
        if (!text.empty() && Handler.WantText())
            Handler.Text(text);
    }

    bool Content(bool last) {
        const char* b = Buf.data();
        const size_t end = Buf.size();
        size_t p = Pos;
        for (;;) {
            while (p < end && !TextStops[Byte(b + p)])
                ++p;
            if (p == end)
                break;
            if (Byte(b + p) >= 0x80) {
                const int length = Utf8Length(b + p, end - p);
                if (length < 0)
                    Fail(TXmlFault::InvalidToken);
                if (length == 0)
                    break;
                p += static_cast<size_t>(length);
            } else if (b[p] == ']' && end - p >= 3) {
                if (b[p + 1] == ']' && b[p + 2] == '>')
                    Fail(TXmlFault::InvalidToken);
                ++p;
            } else {
                break;
            }
        }
        Deliver(std::string_view(b + Pos, p - Pos));
        Pos = p;
        return p == end || ContentStop(last);
    }

    // What ended a run of character data at Pos.
    bool ContentStop(bool last) {
        const char c = Buf[Pos];
        if (c == '<')
            return true;
        if (c == '&')
            return ContentReference(last);
        if (c == '\r')
            return LineEnd(last);
        if (c == ']') {
            // Too near the end to tell whether "]]>" follows.
            if (!last)
                return false;
            Deliver("]");
            ++Pos;
            return true;
        }
        if (Byte(&c) >= 0x80) {
            if (last)
                Fail(TXmlFault::PartialChar);
            return false;
        }
        Fail(TXmlFault::InvalidToken);
    }

    bool ContentReference(bool last) {
        Ref.clear();
        const size_t after = ReadReference(Pos, Ref);
        if (after == npos)
            return Wait(last);
        Deliver(Ref);
        Pos = after;
        return true;
    }

    // A carriage return, alone or before a line feed, reads as a line feed.
    bool LineEnd(bool last) {
        if (Pos + 1 == Buf.size() && !last)
            return false;
        Deliver("\n");
        Pos += Pos + 1 < Buf.size() && Buf[Pos + 1] == '\n' ? 2 : 1;
        return true;
    }

    // The end of the name at p, or npos when the data ends inside it.
    size_t NameEnd(size_t p) const {
        const char* b = Buf.data();
        const size_t end = Buf.size();
        if (p >= end)
            return npos;
        if (!NameStart[Byte(b + p)])
            Fail(TXmlFault::InvalidToken);
        while (p < end) {
            const unsigned char c = Byte(b + p);
            if (c < 0x80) {
                if (!NameChar[c])
                    return p;
                ++p;
                continue;
            }
            const int length = Utf8Length(b + p, end - p);
            if (length < 0)
                Fail(TXmlFault::InvalidToken);
            if (length == 0)
                return npos;
            p += static_cast<size_t>(length);
        }
        return npos;
    }

    size_t SkipSpace(size_t p) const {
        while (p < Buf.size() && IsSpace(Buf[p]))
            ++p;
        return p;
    }

    // Reads the reference at p (an '&'), appending its character to out;
    // returns the index past its ';', or npos when the data ends first.
    size_t ReadReference(size_t p, std::string& out) const {
        const char* b = Buf.data();
        const size_t end = Buf.size();
        if (p + 1 >= end)
            return npos;
        if (b[p + 1] != '#') {
            const size_t nameEnd = NameEnd(p + 1);
            if (nameEnd == npos)
                return npos;
            if (b[nameEnd] != ';')
                Fail(TXmlFault::InvalidToken);
            const char* text = PredefinedEntity(std::string_view(b + p + 1, nameEnd - p - 1));
            if (!text)
                Fail(TXmlFault::UndefinedEntity);
            out += text;
            return nameEnd + 1;
        }
        size_t i = p + 2;
        const bool hex = i < end && b[i] == 'x';
        i += hex ? 1 : 0;
        uint32_t code = 0;
        size_t digits = 0;
        for (int digit; i < end && (digit = DigitValue(b[i], hex)) >= 0; ++i, ++digits)
            code =
                std::min<uint32_t>(code * (hex ? 16 : 10) + static_cast<uint32_t>(digit), 0x110000);
        if (i >= end)
            return npos;
        if (digits == 0 || b[i] != ';')
            Fail(TXmlFault::InvalidToken);
        if (!IsXmlChar(code))
            Fail(TXmlFault::BadCharRef);
        AppendUtf8(out, code);
        return i + 1;
    }

    // The end of the character at p outside the plain runs (comments,
    // processing instructions, sections), or npos when the data ends first.
    size_t CharEnd(size_t p) const {
        const unsigned char c = Byte(&Buf[p]);
        if (c < 0x80) {
            if (IsControl(c))
                Fail(TXmlFault::InvalidToken);
            return p + 1;
        }
        const int length = Utf8Length(&Buf[p], Buf.size() - p);
        if (length < 0)
            Fail(TXmlFault::InvalidToken);
        return length == 0 ? npos : p + static_cast<size_t>(length);
    }

    // The index of close at or after p, each character on the way checked,
    // or npos when the data ends first.
    size_t FindClose(size_t p, std::string_view close) const {
        while (p < Buf.size()) {
            if (Buf[p] == close[0]) {
                if (Buf.size() - p < close.size())
                    return npos;
                if (std::equal(close.begin(), close.end(), Buf.begin() + static_cast<ptrdiff_t>(p)))
                    return p;
            }
            p = CharEnd(p);
        }
        return npos;
    }

    bool Markup(bool last) {
        if (Buf.size() - Pos < 2)
            return Wait(last);
        switch (Buf[Pos + 1]) {
        case '/':
            return EndTag(last);
        case '?':
            return Instruction(last);
        case '!':
            return Declaration(last);
        default:
            return StartTag(last);
        }
    }

    bool StartTag(bool last) {
        const size_t nameEnd = NameEnd(Pos + 1);
        if (nameEnd == npos)
            return Wait(last);
        Spans.clear();
        size_t p = nameEnd;
        bool empty = false;
        for (;;) {
            const size_t q = SkipSpace(p);
            if (q >= Buf.size())
                return Wait(last);
            if (Buf[q] == '>' || Buf[q] == '/') {
                empty = Buf[q] == '/';
                if (empty && q + 1 >= Buf.size())
                    return Wait(last);
                if (empty && Buf[q + 1] != '>')
                    Fail(TXmlFault::InvalidToken);
                p = q + (empty ? 2 : 1);
                break;
            }
            if (q == p)
                Fail(TXmlFault::InvalidToken);
            p = ScanAttribute(q);
            if (p == npos)
                return Wait(last);
        }
        if (SeenRoot && OpenStarts.empty())
            Fail(TXmlFault::JunkAfterDocument);
        SeenRoot = true;
        CheckDuplicates();
        MakeAttributes();
        const std::string_view name(Buf.data() + Pos + 1, nameEnd - Pos - 1);
        Pos = p;
        OpenStarts.push_back(Open.size());
        Open.append(name);
        Handler.StartElement(LocalPart(name), Attrs.data());
        if (empty)
            CloseElement(name);
        return true;
    }

    // Scans name="value" at p into Spans; returns the index past the closing
    // quote, or npos when the data ends first.
    size_t ScanAttribute(size_t p) {
        const char* b = Buf.data();
        const size_t end = Buf.size();
        const size_t nameEnd = NameEnd(p);
        if (nameEnd == npos)
            return npos;
        size_t i = SkipSpace(nameEnd);
        if (i < end && b[i] != '=')
            Fail(TXmlFault::InvalidToken);
        i = SkipSpace(i + 1);
        if (i >= end)
            return npos;
        const char quote = b[i];
        if (quote != '"' && quote != '\'')
            Fail(TXmlFault::InvalidToken);
        const size_t value = i + 1;
        bool decode = false;
        for (i = value;; ++i) {
            while (i < end && !ValueStops[Byte(b + i)])
                ++i;
            if (i >= end)
                return npos;
            const char c = b[i];
            if (c == quote)
                break;
            if (c == '<' || IsControl(Byte(&c)))
                Fail(TXmlFault::InvalidToken);
            if (c == '&' || IsSpace(c))
                decode = true;
            if (c == '&') {
                Ref.clear();
                const size_t after = ReadReference(i, Ref);
                if (after == npos)
                    return npos;
                i = after - 1;
            } else if (Byte(&c) >= 0x80) {
                const int length = Utf8Length(b + i, end - i);
                if (length < 0)
                    Fail(TXmlFault::InvalidToken);
                if (length == 0)
                    return npos;
                i += static_cast<size_t>(length) - 1;
            }
        }
        Spans.push_back({p, nameEnd - p, value, i - value, decode});
        return i + 1;
    }

    void CheckDuplicates() {
        if (Spans.size() < 2)
            return;
        const auto name = [this](const TAttributeSpan& span) {
            return std::string_view(Buf.data() + span.Name, span.NameLength);
        };
        if (Spans.size() == 2) {
            if (name(Spans[0]) == name(Spans[1]))
                Fail(TXmlFault::DuplicateAttribute);
            return;
        }
        Names.clear();
        for (const TAttributeSpan& span : Spans)
            Names.push_back(name(span));
        std::sort(Names.begin(), Names.end());
        if (std::adjacent_find(Names.begin(), Names.end()) != Names.end())
            Fail(TXmlFault::DuplicateAttribute);
    }

    // Ends each name and value in place (the byte after each is markup the
    // scan is done with) and decodes the values that need it, which only
    // ever shortens them.
    void MakeAttributes() {
        Attrs.clear();
        for (const TAttributeSpan& span : Spans) {
            char* name = Buf.data() + span.Name;
            char* value = Buf.data() + span.Value;
            name[span.NameLength] = '\0';
            if (span.Decode)
                DecodeValue(span.Value, span.ValueLength);
            else
                value[span.ValueLength] = '\0';
            Attrs.push_back(name);
            Attrs.push_back(value);
        }
        Attrs.push_back(nullptr);
    }

    void DecodeValue(size_t from, size_t length) {
        char* b = Buf.data();
        size_t w = from;
        for (size_t r = from; r < from + length;) {
            const char c = b[r];
            if (c == '&') {
                Ref.clear();
                r = ReadReference(r, Ref);
                std::copy(Ref.begin(), Ref.end(), b + w);
                w += Ref.size();
                continue;
            }
            const bool crlf = c == '\r' && r + 1 < from + length && b[r + 1] == '\n';
            b[w++] = IsSpace(c) ? ' ' : c;
            r += crlf ? 2 : 1;
        }
        b[w] = '\0';
    }

    void CloseElement(std::string_view name) {
        Open.resize(OpenStarts.back());
        OpenStarts.pop_back();
        Handler.EndElement(LocalPart(name));
    }

    bool EndTag(bool last) {
        const size_t nameEnd = NameEnd(Pos + 2);
        if (nameEnd == npos)
            return Wait(last);
        const size_t close = SkipSpace(nameEnd);
        if (close >= Buf.size())
            return Wait(last);
        if (Buf[close] != '>' || OpenStarts.empty())
            Fail(TXmlFault::InvalidToken);
        const std::string_view name(Buf.data() + Pos + 2, nameEnd - Pos - 2);
        if (std::string_view(Open).substr(OpenStarts.back()) != name)
            Fail(TXmlFault::MismatchedTag);
        Pos = close + 1;
        CloseElement(name);
        return true;
    }

    // "<!": a comment, a character data section, or a document type.
    bool Declaration(bool last) {
        if (HasPrefix(Pos, "<!--"))
            return Comment(last);
        if (HasPrefix(Pos, "<![CDATA[")) {
            if (OpenStarts.empty())
                Fail(TXmlFault::InvalidToken);
            return Section(last);
        }
        if (HasPrefix(Pos, "<!DOCTYPE")) {
            if (SeenRoot)
                Fail(TXmlFault::InvalidToken);
            FailDoctype(Part);
        }
        if (CouldBecome(Pos, "<!--") || CouldBecome(Pos, "<![CDATA[") ||
            CouldBecome(Pos, "<!DOCTYPE"))
            return Wait(last);
        Fail(TXmlFault::InvalidToken);
    }

    bool Comment(bool last) {
        const size_t dashes = FindClose(Pos + 4, "--");
        if (dashes == npos || dashes + 2 >= Buf.size())
            return Wait(last);
        if (Buf[dashes + 2] != '>')
            Fail(TXmlFault::InvalidToken);
        Pos = dashes + 3;
        return true;
    }

    bool Section(bool last) {
        const size_t start = Pos + 9;
        const size_t close = FindClose(start, "]]>");
        if (close == npos && last)
            Fail(TXmlFault::UnclosedSection);
        if (close == npos)
            return false;
        if (Handler.WantText())
            DeliverLines(start, close);
        Pos = close + 3;
        return true;
    }

    // Text with its line ends read as line feeds.
    void DeliverLines(size_t from, size_t to) {
        const char* b = Buf.data();
        while (from < to) {
            const char* cr = static_cast<const char*>(std::memchr(b + from, '\r', to - from));
            const size_t stop = cr ? static_cast<size_t>(cr - b) : to;
            Deliver(std::string_view(b + from, stop - from));
            if (stop == to)
                return;
            Deliver("\n");
            from = stop + (stop + 1 < to && b[stop + 1] == '\n' ? 2 : 1);
        }
    }

    bool Instruction(bool last) {
        const size_t targetEnd = NameEnd(Pos + 2);
        if (targetEnd == npos)
            return Wait(last);
        if (SameAscii(std::string_view(Buf.data() + Pos + 2, targetEnd - Pos - 2), "xml"))
            Fail(TXmlFault::MisplacedXmlDeclaration);
        if (!IsSpace(Buf[targetEnd]) && Buf[targetEnd] != '?')
            Fail(TXmlFault::InvalidToken);
        const size_t close = FindClose(targetEnd, "?>");
        if (close == npos)
            return Wait(last);
        Pos = close + 2;
        return true;
    }
};

TXmlScanner::TXmlScanner(TXmlHandler& handler, std::string part)
    : FImpl(std::make_unique<Impl>(handler, std::move(part))) {}

TXmlScanner::~TXmlScanner() = default;

void TXmlScanner::Feed(const char* data, size_t size) {
    FImpl->Feed(data, size);
}

void TXmlScanner::Finish() {
    FImpl->Finish();
}

} // namespace tabellix
