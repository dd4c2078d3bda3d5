// printf-style formatting and escaping control bytes for a transcript.
#include "common/format.h"

#include <gtest/gtest.h>

using halyx::AppendFormat;
using halyx::EscapeControlBytes;
using halyx::Format;

TEST(Format, DoesNotCutLongTexts) {
    const std::string big(10000, 'x');
    EXPECT_EQ(Format("<%s>", big.c_str()), "<" + big + ">");
    std::string acc = "a";
    AppendFormat(acc, "%s|%d", big.c_str(), 5);
    EXPECT_EQ(acc, "a" + big + "|5");
}

TEST(Format, ControlBytesAreEscapedForATranscriptLine) {
    using namespace std::string_literals;
    EXPECT_EQ(EscapeControlBytes("one\rtwo\0three\nfour\tfive\x7f\x1b"s),
              "one\\rtwo\\x00three\\nfour\\tfive\\x7f\\x1b");
    // Ordinary text, UTF-8 included, stays as it is.
    EXPECT_EQ(EscapeControlBytes("Zo\xc3\xab \\ \"ok\""), "Zo\xc3\xab \\ \"ok\"");
}
