// The XML reader: the tokens a caller sees, the error texts and their line numbers.
#include "snapshot/xml_reader.h"
#include "snapshot_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

// The tokens of a whole file, one word each (None steps left out), and the error text.
struct Trace {
    std::string tokens;
    std::string error;
    int lastLine = 0;
};

std::string Describe(const XmlReader& r)
{
    switch (r.Token()) {
    case XmlToken::StartElement: return "<" + r.ElementName();
    case XmlToken::EndElement: return "/" + r.ElementName();
    case XmlToken::Attribute: return r.ElementName() + "." + r.AttributeName() + "=[" + r.AttributeValue() + "]";
    case XmlToken::Text: return "T[" + r.Text() + "]";
    case XmlToken::Declaration: return "?" + r.DeclarationName();
    case XmlToken::Comment: return "#";
    case XmlToken::CData: return "C";
    case XmlToken::None: return "";
    }
    return "!";
}

Trace ReadAll(ScratchDrive& drive, XmlReader& reader, const std::string& bytes)
{
    drive.Put("in.xml", bytes);
    reader.SetFileName("C:\\in.xml");
    Trace trace;
    int steps = 0;
    while (reader.ReadNext()) {
        std::string word = Describe(reader);
        if (!word.empty())
            trace.tokens += (trace.tokens.empty() ? "" : " ") + word;
        if (++steps > 100000) {
            ADD_FAILURE() << "the reader does not come to an end";
            break;
        }
    }
    trace.error = reader.Error();
    trace.lastLine = reader.LineNumber();
    reader.Close();
    return trace;
}

struct TokenCase {
    const char* what;
    std::string input;
    std::string tokens;
};

TEST(XmlReader, ReportsTheTokensOfEachConstruct)
{
    const TokenCase cases[] = {
        {"empty element", "<v name=\"a\" value=\"b\"/>", "<v v.name=[a] v.value=[b] /v"},
        {"what the writer writes",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n  <k name=\"A\">\r\n  </k>\r\n </registry>\r\n",
         "??xml .version=[1.0] .encoding=[UTF-8] T[ ] <registry T[  ] <k k.name=[A] T[  ] /k T[ ] /registry"},
        {"quotes and '>' inside a value", "<v value=\"it's > that\" b='say \"hi\"'/>",
         "<v v.value=[it's > that] v.b=[say \"hi\"] /v"},
        {"value over three lines, the middle one empty", "<v value=\"first\r\n\r\nlast\"/>",
         "<v v.value=[first\r\n\r\nlast] /v"},
        {"value beginning with line breaks", "<v value=\"\r\n\r\nx\"/>", "<v v.value=[\r\n\r\nx] /v"},
        {"value starting on the next line", "<v value=\n  \"x\"/>", "<v v.value=[x] /v"},
        {"empty value", "<v value=\"\"/>", "<v v.value=[] /v"},
        {"blanks around '=' and inside the tag", "< k   name = \"A\" >text</k>", "<k k.name=[A] T[text] /k"},
        {"comment over two lines", "<a><!-- one\ntwo --> after</a>", "<a # # T[ after] /a"},
        {"CDATA passed over", "<a><![CDATA[ <not a tag> ]]></a>", "<a C /a"},
        {"declaration with '!'", "<!DOCTYPE registry>\n<registry/>", "?!DOCTYPE <registry /registry"},
        {"end tag without a name", "<a></>", "<a /"},
        {"lines ended by LF alone", "<a>\n<b/>\n</a>\n", "<a <b /b /a"},
    };
    ScratchDrive drive;
    XmlReader reader(drive.system());
    for (const TokenCase& c : cases) {
        Trace trace = ReadAll(drive, reader, c.input);
        EXPECT_EQ(c.tokens, trace.tokens) << c.what;
        EXPECT_EQ("", trace.error) << c.what;
    }
}

struct ErrorCase {
    std::string input;
    std::string error;
};

TEST(XmlReader, StopsAtAParseErrorWithItsTextAndLine)
{
    const ErrorCase cases[] = {
        {"<a>\r\n<b>\r\n<\r\n</a>", "Parse error in line 3 : ('<' symbol not allowed at the end of a line)"},
        {"<a <b>", "Parse error in line 1 : (Bad '<' symbol)"},
        {"<a>\n< >", "Parse error in line 2 : (Empty element name)"},
        {"<a ='x'>", "Parse error in line 1 : (Missing attribute name before '=')"},
        {"<a x='1' ='2'>", "Parse error in line 1 : (Missing attribute name before '=')"},
        {" <a/>", "Parse error in line 1 : (Syntax error)"},
        {"text first", "Parse error in line 1 : (Syntax error)"},
    };
    ScratchDrive drive;
    XmlReader reader(drive.system());
    for (const ErrorCase& c : cases)
        EXPECT_EQ(c.error, ReadAll(drive, reader, c.input).error) << c.input;
}

TEST(XmlReader, AfterAnErrorStaysStoppedUntilClosedThenReadsTheNextFile)
{
    ScratchDrive drive;
    drive.Put("bad.xml", "<a>\n<>\n<b/>\n");
    drive.Put("good.xml", "<c/>");
    XmlReader reader(drive.system());
    reader.SetFileName("C:\\bad.xml");
    while (reader.ReadNext()) {
    }
    EXPECT_EQ("Parse error in line 2 : (Empty element name)", reader.Error());
    EXPECT_FALSE(reader.ReadNext());
    EXPECT_EQ(2, reader.LineNumber());
    reader.Close();
    EXPECT_EQ("Parse error in line 2 : (Empty element name)", reader.Error());  // kept for the caller

    reader.SetFileName("C:\\good.xml");
    ASSERT_TRUE(reader.ReadNext());
    EXPECT_EQ("", reader.Error());
    EXPECT_EQ(XmlToken::StartElement, reader.Token());
    EXPECT_EQ("c", reader.ElementName());
    EXPECT_EQ(1, reader.LineNumber());
}

TEST(XmlReader, MissingFileAndEndOfInputGiveFalseWithoutAnErrorText)
{
    ScratchDrive drive;
    XmlReader reader(drive.system());
    reader.SetFileName("C:\\missing.xml");
    EXPECT_FALSE(reader.ReadNext());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ("", reader.Error());
    Trace trace = ReadAll(drive, reader, "");
    EXPECT_EQ("", trace.tokens);
    EXPECT_EQ("", trace.error);
}

TEST(XmlReader, StrayCarriageReturnsDoNotStopTheReading)
{
    // CR CR LF line ends leave a CR in each line; text after a tag must still end.
    ScratchDrive drive;
    XmlReader reader(drive.system());
    Trace trace = ReadAll(drive, reader, "<a>\r\r\n<b x=\"1\"\r/>\r\r\n</a>\r\r\n");
    EXPECT_EQ("<a <b b.x=[1] /b /a", trace.tokens);
    EXPECT_EQ("", trace.error);
    EXPECT_EQ(3, trace.lastLine);
}

TEST(XmlReader, ReadsLinesAndValuesLongerThanItsBuffers)
{
    ScratchDrive drive;
    XmlReader reader(drive.system());
    std::string big(300000, 'q');
    std::string multi = big + "\r\n" + big;
    Trace trace = ReadAll(drive, reader, "<v value=\"" + big + "\" other=\"" + multi + "\"/>");
    EXPECT_EQ("<v v.value=[" + big + "] v.other=[" + multi + "] /v", trace.tokens);
}

}  // namespace
}  // namespace tw::test
