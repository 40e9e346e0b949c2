// The XML writer: what reaches the file, byte for byte.
#include "snapshot/xml_writer.h"
#include "snapshot_test_support.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

TEST(XmlWriter, FirstStartTagBringsTheDeclarationThenOneBlankAndTheTag)
{
    ScratchDrive drive;
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\out.xml");
    EXPECT_TRUE(XmlElement("registry").WriteStartTag(writer, +1, true, true));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(kDeclaration + " <registry>\r\n", drive.Read("out.xml"));
}

TEST(XmlWriter, IndentsEachLevelByOneBlankAndEndTagsLikeTheirStartTags)
{
    ScratchDrive drive;
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\out.xml");
    XmlElement root("registry"), k("k"), v("v");
    k.SetAttribute("name", "A");
    v.SetAttribute("name", "x");
    v.SetAttribute("value", "1");
    root.WriteStartTag(writer, +1, true, true);
    k.WriteStartTag(writer, +1, true, true);
    v.WriteEmptyTag(writer, +1, true, true);
    k.WriteEmptyTag(writer, +1, true, true);
    k.WriteEndTag(writer, -1, true, true);
    root.WriteEndTag(writer, -1, true, true);
    EXPECT_EQ(0, writer.Indent());
    // Without the flags: no blanks, no line end.
    k.WriteEmptyTag(writer, +1, false, false);
    k.WriteEndTag(writer, 0, false, false);
    writer.Close();
    EXPECT_EQ(kDeclaration +
                  " <registry>\r\n"
                  "  <k name=\"A\">\r\n"
                  "   <v name=\"x\" value=\"1\"/>\r\n"
                  "   <k name=\"A\"/>\r\n"
                  "  </k>\r\n"
                  " </registry>\r\n"
                  "<k name=\"A\"/></k>",
              drive.Read("out.xml"));
}

TEST(XmlElement, KeepsAttributesInFirstSetOrderAndReplacesOnlyTheExactName)
{
    XmlElement e("v");
    e.SetAttribute("name", "a");
    e.SetAttribute("value", "b");
    e.SetAttribute("name", "c");   // replaced in place
    e.SetAttribute("Name", "d");   // another attribute: names are compared with case
    ASSERT_EQ(3u, e.AttributeCount());
    EXPECT_EQ("name", e.AttributeName(0));
    EXPECT_EQ("c", e.AttributeValue(0));
    EXPECT_EQ("value", e.AttributeName(1));
    EXPECT_EQ("Name", e.AttributeName(2));
    EXPECT_EQ("<?v name=\"c\" value=\"b\" Name=\"d\"?>\r\n", e.DeclarationLine(0));
}

TEST(XmlWriter, IsReusableAfterCloseAndTruncatesAnOlderFile)
{
    ScratchDrive drive;
    drive.Put("b.xml", std::string(1000, 'z'));
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\a.xml");
    XmlElement k("k");
    k.WriteStartTag(writer, +1, true, true);
    k.WriteStartTag(writer, +1, true, true);
    writer.SetFileName("C:\\ignored.xml");  // a file is open: the name stays
    EXPECT_EQ("C:\\a.xml", writer.FileName());
    writer.Close();
    EXPECT_EQ(0, writer.Indent());
    writer.SetFileName("C:\\b.xml");
    k.WriteStartTag(writer, +1, true, true);
    writer.Close();
    EXPECT_EQ(kDeclaration + " <k>\r\n  <k>\r\n", drive.Read("a.xml"));
    EXPECT_EQ(kDeclaration + " <k>\r\n", drive.Read("b.xml"));
    EXPECT_FALSE(std::filesystem::exists(drive.host() / "ignored.xml"));
}

TEST(XmlWriter, TextLongerThanTheBufferArrivesWholeAndInOrder)
{
    ScratchDrive drive;
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\long.xml");
    std::string text;
    for (int i = 0; text.size() < 200000; ++i)
        text += std::to_string(i) + ' ';
    EXPECT_TRUE(writer.Write("<a>"));
    EXPECT_TRUE(writer.Write(text));
    EXPECT_TRUE(writer.Write("</a>"));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(kDeclaration + "<a>" + text + "</a>", drive.Read("long.xml"));
}

TEST(XmlWriter, FileThatCannotBeCreatedWritesNothingAndIsTriedAgain)
{
    ScratchDrive drive;
    XmlWriter writer(drive.system());
    writer.SetFileName("C:\\later\\out.xml");
    EXPECT_FALSE(writer.Write("<a>\r\n"));
    EXPECT_FALSE(writer.IsOpen());
    std::filesystem::create_directory(drive.host() / "later");
    EXPECT_TRUE(writer.Write("<b>\r\n"));
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(kDeclaration + "<b>\r\n", drive.Read("later/out.xml"));
}

TEST(XmlWriter, FailedWriteIsReportedByWriteAndClose)
{
#ifdef _WIN32
    GTEST_SKIP() << "needs /dev/full";
#else
    MemorySystem system;
    system.MapDrive('D', "/dev");
    XmlWriter writer(system);
    writer.SetFileName("D:\\full");
    std::string line(1000, 'x');
    bool ok = true;
    for (int i = 0; i < 200 && ok; ++i)  // more than the writer keeps before it writes
        ok = writer.Write(line);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(writer.Failed());
    EXPECT_FALSE(writer.Write("more"));
    EXPECT_FALSE(writer.Close());
    // A short document fails at Close, when its bytes are handed over.
    writer.SetFileName("D:\\full");
    EXPECT_TRUE(writer.Write("<a/>"));
    EXPECT_FALSE(writer.Close());
#endif
}

}  // namespace
}  // namespace tw::test
