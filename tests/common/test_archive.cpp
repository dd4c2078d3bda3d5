// The binary archive format of the unit, weather and line files: strings, numbers, object tags,
// and refusing what is malformed or hostile.
#include "common/archivetest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

using halyx::ArchiveError;
using halyx::CArchiveReader;
using halyx::CArchiveWriter;
using halyx::test::ThrownArchiveError;
using Bytes = std::vector<uint8_t>;

TEST(ArchiveStrings, LengthPrefixGrowsAtEachThresholdAndWideStringsBecomeUtf8) {
    CArchiveWriter w;
    w.WriteString("");
    w.WriteString("ab");
    EXPECT_EQ(w.Bytes(), (Bytes{0x00, 0x02, 'a', 'b'}));

    CArchiveWriter w300;
    w300.WriteString(std::string(300, 'n'));
    ASSERT_EQ(w300.Size(), 3u + 300u);
    EXPECT_EQ(Bytes(w300.Bytes().begin(), w300.Bytes().begin() + 3), (Bytes{0xFF, 0x2C, 0x01}));

    CArchiveWriter wBig;
    wBig.WriteString(std::string(0xFFFE, 'z'));
    ASSERT_EQ(wBig.Size(), 7u + 0xFFFE);
    EXPECT_EQ(Bytes(wBig.Bytes().begin(), wBig.Bytes().begin() + 7),
              (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));

    CArchiveReader r(w300.Bytes());
    EXPECT_EQ(r.ReadString(), std::string(300, 'n'));
    CArchiveReader rBig(wBig.Bytes());
    EXPECT_EQ(rBig.ReadString().size(), 0xFFFEu);

    // 0xFF 0xFFFE marks 16-bit characters, read as UTF-8: "Aé" then a surrogate pair (U+1F680)
    // and a lone surrogate.
    const auto bytes =
        Bytes{0xFF, 0xFE, 0xFF, 0x05, 'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x80, 0xDE, 0x00, 0xD8};
    CArchiveReader rWide(bytes);
    EXPECT_EQ(rWide.ReadString(), "A\xC3\xA9\xF0\x9F\x9A\x80?");
    EXPECT_TRUE(rWide.AtEnd());
}

TEST(ArchiveStrings, HostileLengthIsRefusedBeforeAllocating) {
    // A 32-bit length of 4,000,000,000 with two bytes behind it.
    const auto bytes = Bytes{0xFF, 0xFF, 0xFF, 0x00, 0x28, 0x6B, 0xEE, 'a', 'b'};
    const ArchiveError e = ThrownArchiveError([&] {
        CArchiveReader r(bytes, "units.hid");
        r.ReadString("a Name");
    });
    EXPECT_STREQ(e.what(), "units.hid: at offset 0: expected a Name");

    const auto wide = Bytes{0xFF, 0xFE, 0xFF, 0x04, 'a', 0, 'b', 0};
    EXPECT_THROW(CArchiveReader(wide).ReadString(), ArchiveError);
}

TEST(ArchiveNumbers, LittleEndianAndCountEscape) {
    CArchiveWriter w;
    w.WriteI32(-2);
    w.WriteU16(0x1234);
    w.WriteDouble(1.5);
    w.WriteCount(0xFFFE);
    w.WriteCount(0xFFFF);
    EXPECT_EQ(w.Bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x34, 0x12, 0,    0,    0,    0, 0,
                                0,    0xF8, 0x3F, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
    CArchiveReader r(w.Bytes());
    EXPECT_EQ(r.ReadI32(), -2);
    EXPECT_EQ(r.ReadU16(), 0x1234);
    EXPECT_EQ(r.ReadDouble(), 1.5);
    EXPECT_EQ(r.ReadCount(), 0xFFFEu);
    EXPECT_EQ(r.ReadCount(), 0xFFFFu);
    EXPECT_TRUE(r.AtEnd());
    const ArchiveError e = ThrownArchiveError([&] { r.ReadU32("a weather Count"); });
    EXPECT_EQ(e.Offset(), w.Size());
}

TEST(ArchiveObjects, ClassIndicesCountClassesAndObjects) {
    CArchiveWriter w;
    w.WriteObjectTag("CA"); // class CA takes 1, the object 2
    w.WriteNullTag();       // takes nothing
    w.WriteObjectTag("CA"); // object 3
    w.WriteObjectTag("CB"); // class CB takes 4, the object 5
    w.WriteObjectTag("CB");
    EXPECT_EQ(w.Bytes(), (Bytes{0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00, 'C',  'A', 0x00, 0x00, 0x01,
                                0x80, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00, 'C', 'B',  0x04, 0x80}));
    CArchiveReader r(w.Bytes());
    EXPECT_EQ(r.ReadObjectTag({"CA", "CB"}), "CA");
    EXPECT_EQ(r.ReadObjectTag({"CA", "CB"}), "");
    EXPECT_EQ(r.ReadObjectTag({"CA", "CB"}), "CA");
    EXPECT_EQ(r.ReadObjectTag({"CA", "CB"}), "CB");
    EXPECT_EQ(r.ReadObjectTag({"CA", "CB"}), "CB");
    EXPECT_TRUE(r.AtEnd());
}

TEST(ArchiveObjects, ClassIndexAbove7FFEUsesTheBigForm) {
    CArchiveWriter w;
    w.WriteObjectTag("CA");
    for (int i = 0; i < 0x7FFE; ++i) {
        w.WriteObjectTag("CA"); // objects 3 ... 0x8000
    }
    w.WriteObjectTag("CB"); // class index 0x8001
    const size_t before = w.Size();
    w.WriteObjectTag("CB");
    EXPECT_EQ(std::vector<uint8_t>(w.Bytes().begin() + before, w.Bytes().end()),
              (Bytes{0xFF, 0x7F, 0x01, 0x80, 0x00, 0x80}));
    CArchiveReader r(w.Bytes());
    for (int i = 0; i < 0x7FFF; ++i) {
        ASSERT_TRUE(r.ReadObjectOf("CA"));
    }
    EXPECT_EQ(r.ReadObjectTag({"CB"}), "CB");
    EXPECT_EQ(r.ReadObjectTag({"CB"}), "CB");
}

TEST(ArchiveObjects, UnknownClassesAndMalformedTagsAreRefused) {
    CArchiveWriter w;
    w.WriteU32(7);
    w.WriteObjectTag("CSomethingElse");
    const ArchiveError e = ThrownArchiveError([&] {
        CArchiveReader r(w.Bytes(), "x.hwd");
        r.ReadU32();
        r.ReadObjectOf("CWeatherData");
    });
    EXPECT_EQ(e.Offset(), 4u);
    EXPECT_NE(e.Expected().find("CWeatherData"), std::string::npos);
    EXPECT_NE(e.Expected().find("unknown class \"CSomethingElse\""), std::string::npos);

    // A back-reference to object 2, a class index that was never defined, a wrong schema, and a
    // class name longer than the file.
    const std::vector<std::vector<uint8_t>> cases = {
        Bytes{0xFF, 0xFF, 0, 0, 2, 0, 'C', 'A', 0x02, 0x00},
        Bytes{0x05, 0x80},
        Bytes{0xFF, 0xFF, 1, 0, 2, 0, 'C', 'A'},
        Bytes{0xFF, 0xFF, 0, 0, 0xFF, 0x7F, 'C'},
        Bytes{0xFF, 0x7F, 0x02, 0x00, 0x00, 0x00},
    };
    for (const auto& bytes : cases) {
        CArchiveReader r(bytes);
        EXPECT_THROW(
            {
                while (true) {
                    r.ReadObjectOf("CA");
                }
            },
            ArchiveError);
    }
}

TEST(ArchiveFiles, MissingFolderOrFileGivesTheErrnoCode) {
    std::vector<uint8_t> bytes = {1, 2, 3};
    EXPECT_EQ(halyx::ReadFileBytes("/nonexistent/h1/file.hid", bytes), ENOENT);
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_EQ(halyx::ReadFileBytes("/", bytes), EISDIR);
    EXPECT_EQ(halyx::ReadFileBytes("/dev/zero", bytes), EINVAL);
    EXPECT_EQ(halyx::WriteFileBytes("/nonexistent/h1/file.hid", bytes), ENOENT);
}
