#include "common/xmlescape.h"

#include <gtest/gtest.h>

using halyx::IsXmlSafe;
using halyx::XmlEscape;

TEST(XmlEscape, MarkupBecomesEntitiesForbiddenBytesQuestionMarks) {
    EXPECT_EQ(XmlEscape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
    EXPECT_EQ(XmlEscape("plain text 123"), "plain text 123");
    EXPECT_EQ(XmlEscape("tab\tnl\ncr\r"), "tab\tnl\ncr\r");
    EXPECT_EQ(XmlEscape("caf\xc3\xa9"), "caf\xc3\xa9");
    EXPECT_EQ(XmlEscape(""), "");
    // Control characters XML forbids are replaced.
    EXPECT_EQ(XmlEscape(std::string("a\x01"
                                    "b\x1f",
                                    4)),
              "a?b?");
    EXPECT_EQ(XmlEscape(std::string("\0", 1)), "?");
    EXPECT_FALSE(IsXmlSafe("x&y"));
    EXPECT_TRUE(IsXmlSafe("xy z"));
}

// A log declares UTF-8: a byte that is no part of it becomes its Latin-1 character.
TEST(XmlEscape, BytesThatAreNoUtf8BecomeTheirLatin1Characters) {
    for (const auto& [in, out] : std::initializer_list<std::pair<const char*, const char*>>{
             {"\xe9\xff\xfe", "\xc3\xa9\xc3\xbf\xc3\xbe"},
             {"\xf0\x9f\x98\x80\xe2\x82\xac", "\xf0\x9f\x98\x80\xe2\x82\xac"},
             {"\xc0\xaf\xed\xa0<", "\xc3\x80\xc2\xaf\xc3\xad\xc2\xa0&lt;"}}) {
        EXPECT_EQ(XmlEscape(in), out) << in;
        EXPECT_EQ(IsXmlSafe(in), std::string(in) == out) << in;
    }
}

TEST(XmlEscape, AttributeValuesKeepTheirWhiteSpaceAsReferences) {
    std::string attribute;
    halyx::AppendXmlAttributeEscaped(attribute, "a\tb\nc\rd <&> \x01");
    EXPECT_EQ(attribute, "a&#9;b&#10;c&#13;d &lt;&amp;&gt; ?");
    std::string text;
    halyx::AppendXmlTextEscaped(text, "a\tb\nc\r\nd<");
    EXPECT_EQ(text, "a\tb\nc&#13;\nd&lt;");
}
