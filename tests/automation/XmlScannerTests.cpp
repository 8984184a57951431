// The scanner of the large parts against the general parser: the same events
// for every document, the same error for a broken one, however the bytes
// arrive in pieces.
#include "automation/ZipArchive.h"
#include "tests/support/TestEnv.h"
#include "tests/support/XmlRecorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tabellix {
namespace {

// The scanner, in pieces of every size from one byte up, against the
// general parser given the whole document.
void ExpectSameAsGeneralParser(std::string_view xml) {
    const test::TXmlOutcome expected =
        test::ParseXmlEvents<TXmlStream>(xml, std::max<size_t>(xml.size(), 1));
    for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}, size_t{64}, xml.size() + 1}) {
        SCOPED_TRACE("pieces of " + std::to_string(piece));
        const test::TXmlOutcome got = test::ParseXmlEvents<TXmlScanner>(xml, piece);
        EXPECT_EQ(got.Error, expected.Error);
        EXPECT_EQ(got.Message, expected.Message);
        if (!expected.Error) {
            EXPECT_EQ(got.Log, expected.Log);
        }
    }
}

std::string Utf16LittleEndian(std::string_view ascii) {
    std::string out = "\xFF\xFE";
    for (char c : ascii)
        out.append({c, '\0'});
    return out;
}

TEST(XmlScanner, ReadsWellFormedDocumentsAsTheGeneralParserDoes) {
    const std::vector<std::string> documents = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<a x=\"1\" y='2'><b/>text</a>",
        "<?xml version='1.0' encoding='utf-8'?><a/>",
        "\xEF\xBB\xBF<a>after a byte order mark</a>",
        "<a v=\"&lt;&amp;&#65;&#x42; &quot;&apos;&gt;\">&lt;&gt;&amp;&#233;&#x1F600;&apos;</a>",
        "<a x=\" a\r\nb\tc&#10;d\re\nf\"/>",
        "<a>\r\nx\ry\n\r\r\n</a>",
        "<a><![CDATA[<x>&amp;]]y\r\nz]]></a>",
        "<!-- c --><?pi x?><a><!-- in --><?p?>t<!---->u</a><!-- after -->  <?q?>\n",
        "<x:a xmlns:x='u' x:r='1'><x:b x:t=\"s\"/></x:a>",
        "<\xC3\xA4 \xC3\xB6='\xC3\xBC'>\xE2\x82\xAC\xF0\x9F\x98\x80</\xC3\xA4>",
        "<a>]x]]y] ]]</a>",
        "<a x = \"1\"  ></a >",
        "<a x=\"it's\" y='say \"hi\"' z=\"a>b\">c>d</a>",
        "<a><b><c/></b><b></b></a>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a b=\"\xE9\">\xE9</a>",
        Utf16LittleEndian("<a b=\"1\">text</a>"),
    };
    for (const std::string& xml : documents) {
        SCOPED_TRACE(xml);
        ExpectSameAsGeneralParser(xml);
    }
}

TEST(XmlScanner, RefusesBrokenDocumentsWithTheGeneralParsersWords) {
    // What the general parser says of each, checked here so that the table
    // shows what each document is about.
    const std::vector<std::pair<std::string, std::string>> documents = {
        {"", "no element found"},
        {"  \n", "no element found"},
        {"<a><b></b>", "no element found"},
        {"<a>\n<b>x]", "no element found"},
        {"<a", "unclosed token"},
        {"<a x=\"1", "unclosed token"},
        {"<a>&am", "unclosed token"},
        {"<a><!-- x", "unclosed token"},
        {"<a><![CDATA[x", "unclosed CDATA section"},
        {"<a>\xC3", "partial character"},
        {"<a>\n\n<b></c>", "mismatched tag"},
        {"<a/><b/>", "junk after document element"},
        {"<a/>x", "junk after document element"},
        {"x<a/>", "invalid token"},
        {"</a>", "invalid token"},
        {"<a/></a>", "invalid token"},
        {"<a>]]></a>", "invalid token"},
        {"<a x=\"1\" x=\"2\"/>", "duplicate attribute"},
        {"<a x=\"<\"/>", "invalid token"},
        {"<a x=\"1\"y=\"2\"/>", "invalid token"},
        {"<a b/>", "invalid token"},
        {"<a b=1/>", "invalid token"},
        {"<a/ >", "invalid token"},
        {"< a/>", "invalid token"},
        {"<1a/>", "invalid token"},
        {"<a></ a>", "invalid token"},
        {"<a>&foo;</a>", "undefined entity"},
        {"<a>&amp</a>", "invalid token"},
        {"<a>& x;</a>", "invalid token"},
        {"<a>&#65</a>", "invalid token"},
        {"<a>&#0;</a>", "reference to invalid character number"},
        {"<a x='&#x110000;'/>", "reference to invalid character number"},
        {" <?xml version=\"1.0\"?><a/>", "XML or text declaration not at start of entity"},
        {"<a><!-- a -- b --></a>", "invalid token"},
        {"<a>\xFF</a>", "invalid token"},
        {"<a>\xC3</a>", "invalid token"},
        {"<a>\xEF\xBF\xBE</a>", "invalid token"},
        {"<a>\xED\xA0\x80</a>", "invalid token"},
        {"<a>\x01</a>", "invalid token"},
        {"<a><!DOCTYPE a></a>", "invalid token"},
        {"<!DOCTYPE a><a/>", "document type declaration"},
    };
    for (const auto& [xml, words] : documents) {
        SCOPED_TRACE(xml);
        const test::TXmlOutcome general =
            test::ParseXmlEvents<TXmlStream>(xml, std::max<size_t>(xml.size(), 1));
        ASSERT_TRUE(general.Error);
        EXPECT_NE(general.Message.find(words), std::string::npos) << general.Message;
        ExpectSameAsGeneralParser(xml);
    }
}

// The sheets and shared strings of the real workbooks, through both.
TEST(XmlScanner, ReadsTheRealWorkbooksPartsAsTheGeneralParserDoes) {
    TABELLIX_REQUIRE_SHARED_WORKBOOKS(dir);
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.path().extension() != ".xlsx")
            continue;
        std::unique_ptr<TZipArchive> zip;
        try {
            zip = TZipArchive::OpenFile(entry.path().string());
        } catch (const EWorkbookError&) {
            continue;
        }
        std::vector<std::string> parts = {"xl/sharedStrings.xml"};
        for (int i = 1; i <= 32; ++i)
            parts.push_back("xl/worksheets/sheet" + std::to_string(i) + ".xml");
        for (const std::string& part : parts) {
            if (!zip->Has(part))
                continue;
            SCOPED_TRACE(entry.path().string() + " " + part);
            const std::string xml = zip->Read(part);
            const test::TXmlOutcome expected =
                test::ParseXmlEvents<TXmlStream>(xml, xml.size() + 1);
            const test::TXmlOutcome got = test::ParseXmlEvents<TXmlScanner>(xml, 4096);
            EXPECT_EQ(got.Error, expected.Error);
            EXPECT_EQ(got.Log, expected.Log);
            ++compared;
        }
    }
    EXPECT_GE(compared, 60);
}

} // namespace
} // namespace tabellix
