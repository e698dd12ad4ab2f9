#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>

#include "TestPaths.h"

using nb::platform::XmlAttribute;
using nb::platform::XmlDocument;
using nb::platform::XmlElement;

namespace {

std::string TextOr(const char* text, const char* none = "(none)") { return text ? text : none; }

}  // namespace

TEST(XmlDocument, TextsAreTrimmedAndCollapsedAttributesAreNot) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadBytes("<r>\n"
                              "  <login>\n abc\n</login>\n"
                              "  <key>\t k1 \r\n\r\n  k2\t</key>\n"
                              "  <auth>a&amp;b &lt;c&gt;</auth>\n"
                              "  <blank>   \n </blank>\n"
                              "  <empty/>\n"
                              "  <nested><x>1</x>tail</nested>\n"
                              "  <s name=\"  S  1 \" url=\"a&amp;b\"/>\n"
                              "</r>"));
    const XmlElement root = doc.Root();
    EXPECT_STREQ(root.Name(), "r");
    EXPECT_EQ(TextOr(root.FirstChildElement("login").Text()), "abc");
    EXPECT_EQ(TextOr(root.FirstChildElement("key").Text()), "k1 k2");
    EXPECT_EQ(TextOr(root.FirstChildElement("auth").Text()), "a&b <c>");
    // No text at all and a first child that is an element both read as no text.
    EXPECT_EQ(TextOr(root.FirstChildElement("blank").Text(), ""), "");
    EXPECT_EQ(TextOr(root.FirstChildElement("empty").Text()), "(none)");
    EXPECT_EQ(TextOr(root.FirstChildElement("nested").Text()), "(none)");
    const XmlElement server = root.FirstChildElement("s");
    EXPECT_EQ(TextOr(server.Attribute("name")), "  S  1 ");
    EXPECT_EQ(TextOr(server.Attribute("url")), "a&b");
    EXPECT_EQ(server.Attribute("missing"), nullptr);
}

TEST(XmlDocument, WalksElementsAndAttributesInDocumentOrder) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadBytes("<?xml version=\"1.0\"?><!-- c --><z><a/>text<!-- c --><b i=\"1\" j=\"2\" k=\"3\"/>"
                              "<a n=\"second\"/><c><a n=\"inner\"/></c></z>"));
    const XmlElement root = doc.Root();
    const XmlElement a = root.FirstChildElement("a");
    EXPECT_STREQ(a.Attribute("n"), nullptr);
    EXPECT_STREQ(a.NextSiblingElement().Name(), "b");                  // any name, text skipped
    EXPECT_STREQ(a.NextSiblingElement("a").Attribute("n"), "second");  // by name
    EXPECT_FALSE(a.NextSiblingElement("a").NextSiblingElement("a"));   // children are not siblings
    EXPECT_STREQ(root.FirstChildElement().Name(), "a");
    EXPECT_FALSE(root.FirstChildElement("missing"));

    std::string walked;
    for (XmlAttribute at = root.FirstChildElement("b").FirstAttribute(); at; at = at.Next()) {
        walked += std::string(at.Name()) + "=" + at.Value() + ";";
    }
    EXPECT_EQ(walked, "i=1;j=2;k=3;");

    // Every look-up on "none" gives none again, so chains need no checks in between.
    const XmlElement none = root.FirstChildElement("missing").FirstChildElement("x").NextSiblingElement();
    EXPECT_FALSE(none);
    EXPECT_STREQ(none.Name(), "");
    EXPECT_EQ(none.Attribute("a"), nullptr);
    EXPECT_EQ(none.Text(), nullptr);
    EXPECT_FALSE(none.FirstAttribute());
}

// The launcher's strings are GBK: a document's texts come back as the bytes it holds, whatever
// its declaration names (the account service declares GBK), on every platform; a character
// reference becomes UTF-8.
TEST(XmlDocument, TextsKeepTheDocumentsOwnBytes) {
    XmlDocument gbk;
    ASSERT_TRUE(gbk.LoadBytes("<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n"
                              "<loginRes><nick>\xD6\xD0\xCE\xC4\x81\x40</nick><r v=\"\xB7\xFE\"/>"
                              "<ref>&#x4E2D;</ref></loginRes>"));
    EXPECT_EQ(TextOr(gbk.Root().FirstChildElement("nick").Text()), "\xD6\xD0\xCE\xC4\x81\x40");
    EXPECT_EQ(TextOr(gbk.Root().FirstChildElement("r").Attribute("v")), "\xB7\xFE");
    EXPECT_EQ(TextOr(gbk.Root().FirstChildElement("ref").Text()), "\xE4\xB8\xAD");

    XmlDocument utf8;
    ASSERT_TRUE(utf8.LoadBytes("\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?><z n=\"\xE5\x8C\x97\">"
                               "\xE5\x8D\x97</z>"));
    EXPECT_EQ(TextOr(utf8.Root().Attribute("n")), "\xE5\x8C\x97");
    EXPECT_EQ(TextOr(utf8.Root().Text()), "\xE5\x8D\x97");
}

TEST(XmlDocument, DocumentsThatCannotBeReadLoadNothing) {
    nb::test::ScopedTempDir dir;
    nb::test::WriteFile(dir.File("good.xml"), "<ok><v>1</v></ok>");
    nb::test::WriteFile(dir.File("bom.xml"), "\xEF\xBB\xBF<ok>\xE7\x94\xB5</ok>");
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(dir.File("good.xml")));
    EXPECT_STREQ(doc.Root().FirstChildElement("v").Text(), "1");
    ASSERT_TRUE(doc.LoadFile(dir.File("bom.xml")));
    EXPECT_STREQ(doc.Root().Text(), "\xE7\x94\xB5");

    for (const std::string& bytes : std::initializer_list<std::string>{"", "   ", "<?xml version=\"1.0\"?>", "<!-- only a comment -->", "<a>",
                                    "<a></b>", "<a x=\"1\" x=\"2\"/>", "<a/><b/>",
                                    std::string("<a>\0</a>", 8), "not xml"}) {
        SCOPED_TRACE(bytes);
        EXPECT_FALSE(doc.LoadBytes(bytes));
        // A failed load leaves no part of the earlier document behind.
        EXPECT_FALSE(doc.Root());
    }
    EXPECT_FALSE(doc.LoadFile(dir.File("missing.xml")));
    EXPECT_FALSE(doc.LoadFile(dir.Path()));  // a folder
    EXPECT_FALSE(doc.Root());
}
