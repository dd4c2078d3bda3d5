// printf-style formatting and escaping control bytes for a transcript.
#include "common/format.h"

#include <gtest/gtest.h>

#include <cinttypes>

using halyx::AppendFormat;
using halyx::EscapeControlBytes;
using halyx::Format;

TEST(Format, FollowsPrintfTemplatesAndDoesNotCutLongTexts) {
    EXPECT_EQ(Format("%03d", 7), "007");
    EXPECT_EQ(Format("%0.3f", 12.34567), "12.346");
    EXPECT_EQ(Format("%" PRId64, int64_t{1700000000123}), "1700000000123");
    EXPECT_EQ(Format("T-%d hours, %d mins", 15, 59), "T-15 hours, 59 mins");

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
