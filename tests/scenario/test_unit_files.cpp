// The binary unit files (.hid, .hrd, .hii): the byte layout other programs read, round trips,
// and damaged files, which must fail with the offset and keep only the complete units.
#include "scenariotest.h"

#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"

#include <cerrno>
#include <cstring>

using namespace halyx;
using test::ThrownArchiveError;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

// A count of 1, then each field as a length byte and its text.
std::vector<uint8_t> OneRecord(std::initializer_list<const char*> fields) {
    std::vector<uint8_t> out = Bytes({0x01, 0x00, 0x00, 0x00});
    for (const char* field : fields) {
        out.push_back(static_cast<uint8_t>(std::strlen(field)));
        out.insert(out.end(), field, field + std::strlen(field));
    }
    return out;
}

template <class T> void ExpectEveryTruncationFailsCleanly(const CUnitList<T>& list) {
    const std::vector<uint8_t> bytes = UnitFileBytes(list);
    // Where each complete record ends, so that the units kept after a cut can be predicted.
    std::vector<size_t> recordEnds;
    CArchiveReader reader(bytes);
    reader.ReadI32();
    for (int i = 0; i < list.Count(); ++i) {
        T unit;
        unit.Serialize(reader);
        recordEnds.push_back(reader.Offset());
    }
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        CUnitList<T> back;
        back.Add(T());
        const ArchiveError error =
            ThrownArchiveError([&] { ReadUnitFileBytes<T>(part, back, "cut.bin"); });
        EXPECT_EQ(error.File(), "cut.bin") << "cut at " << cut;
        EXPECT_LE(error.Offset(), cut);
        int complete = 0;
        for (size_t end : recordEnds) {
            complete += end <= cut ? 1 : 0;
        }
        ASSERT_EQ(back.Count(), complete) << "cut at " << cut;
        for (int i = 0; i < complete; ++i) {
            EXPECT_EQ(back.At(i), list.At(i));
        }
    }
}

} // namespace

TEST(UnitFileLayout, RecordsAreWrittenInFileOrder) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Boat 1", "1230001234", "100.5", "200", "150", "90", "-"));
    // Heading, ID, Lat, Lng, Name, Speed, Time.
    EXPECT_EQ(UnitFileBytes(incursions),
              OneRecord({"90", "1230001234", "100.5", "200", "Boat 1", "150", "-"}));
    CUnitList<CRadar> radars;
    radars.Add(CRadar("R", "7", "1", "2", "50", "life", "own"));
    EXPECT_EQ(UnitFileBytes(radars), OneRecord({"7", "1", "2", "life", "R", "own", "50"}));

    // An interceptor's numbers come first, as doubles: Lat 1, Lng 2, Speed 0.5, Heading -2,
    // Range 4, Min Range 0.
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I", "9", 1.0, 2.0, 0.5, -2.0, 4.0, 0.0, "s"));
    const std::vector<uint8_t> expected = Bytes({
        0x01, 0x00, 0x00, 0x00,                        // count
        0,    0,    0,    0,    0,    0,   0xF0, 0x3F, // Lat 1.0
        0,    0,    0,    0,    0,    0,   0x00, 0x40, // Lng 2.0
        0,    0,    0,    0,    0,    0,   0xE0, 0x3F, // Speed 0.5
        0,    0,    0,    0,    0,    0,   0x00, 0x00, // Min Range 0.0
        0,    0,    0,    0,    0,    0,   0x10, 0x40, // Range 4.0
        0,    0,    0,    0,    0,    0,   0x00, 0xC0, // Heading -2.0
        0x01, '9',  0x01, 'I',  0x01, 's',             // ID, Name, Scope
    });
    EXPECT_EQ(UnitFileBytes(interceptors), expected);

    // An empty list is four zero bytes, and reading one empties the list.
    radars.RemoveAll();
    EXPECT_EQ(UnitFileBytes(radars), Bytes({0, 0, 0, 0}));
    radars.Add(CRadar("old", "1", "", "", "", "", ""));
    ReadUnitFileBytes<CRadar>(Bytes({0, 0, 0, 0}), radars);
    EXPECT_EQ(radars.Count(), 0);
}

TEST(UnitFileRoundTrip, EveryKindComesBackUnchanged) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Incursion 0", "1", "10.25", "645.00", "400", "359.99", "17"));
    incursions.Add(CIncursion("caf\xc3\xa9 <&>", "2", "", "x", "-3e2", "0", "-"));
    CUnitList<CRadar> radars;
    radars.Add(CRadar("Radar 0", "3", "940", "105", "200.00", "-", "-"));
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("Interceptor 0", "4", 10.5, 645.0, 400.0, 0.0, 0.0, 0.0, "-"));
    interceptors.Add(CInterceptor("n", "5", -1e300, 1e-300, 0.1, 360.0, 7.0, 3.0, ""));
    ASSERT_EQ(WriteUnitFile(test::TempPath("round.hid"), incursions), 0);
    ASSERT_EQ(WriteUnitFile(test::TempPath("round.hrd"), radars), 0);
    ASSERT_EQ(WriteUnitFile(test::TempPath("round.hii"), interceptors), 0);

    CUnitList<CIncursion> incursionsBack;
    CUnitList<CRadar> radarsBack;
    CUnitList<CInterceptor> interceptorsBack;
    ASSERT_EQ(ReadUnitFile(test::TempPath("round.hid"), incursionsBack), 0);
    ASSERT_EQ(ReadUnitFile(test::TempPath("round.hrd"), radarsBack), 0);
    ASSERT_EQ(ReadUnitFile(test::TempPath("round.hii"), interceptorsBack), 0);
    ASSERT_EQ(incursionsBack.Count(), 2);
    ASSERT_EQ(interceptorsBack.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(incursionsBack.At(i), incursions.At(i));
        EXPECT_EQ(interceptorsBack.At(i), interceptors.At(i));
    }
    ASSERT_EQ(radarsBack.Count(), 1);
    EXPECT_EQ(radarsBack.At(0), radars.At(0));

    // A file that cannot be opened answers its cause and keeps the list.
    EXPECT_EQ(ReadUnitFile("/nonexistent/folder/r.hrd", radarsBack), ENOENT);
    EXPECT_EQ(radarsBack.Count(), 1);
    EXPECT_EQ(WriteUnitFile("/nonexistent/folder/r.hrd", radarsBack), ENOENT);
}

TEST(CorruptUnitFiles, TruncationAtEveryOffsetKeepsTheCompleteUnits) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("A", "1", "10", "20", "30", "40", "-"));
    incursions.Add(CIncursion(std::string(300, 'b'), "2", "1", "2", "3", "4", "5"));
    ExpectEveryTruncationFailsCleanly(incursions);
    CUnitList<CRadar> radars;
    radars.Add(CRadar("R1", "1", "1", "2", "3", "-", "-"));
    radars.Add(CRadar("R2", "2", "4", "5", "6", "", ""));
    ExpectEveryTruncationFailsCleanly(radars);
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I1", "1", 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, "x"));
    interceptors.Add(CInterceptor("I2", "2", 7.0, 8.0, 9.0, 0.0, 0.0, 0.0, ""));
    ExpectEveryTruncationFailsCleanly(interceptors);
}

TEST(CorruptUnitFiles, AbsurdCountsFailAtOnceAndObserversHearOfIt) {
    // 2,000,000,000 = 0x77359400, and nothing behind it: refused before reserving any room.
    CUnitList<CInterceptor> interceptors;
    ArchiveError error = ThrownArchiveError([&] {
        ReadUnitFileBytes<CInterceptor>(Bytes({0x00, 0x94, 0x35, 0x77}), interceptors, "huge.hii");
    });
    EXPECT_EQ(error.Offset(), 4u);
    EXPECT_NE(std::string(error.what()).find("huge.hii: at offset 4: expected"), std::string::npos);
    EXPECT_NE(error.Expected().find("record 1 of 2000000000"), std::string::npos);
    EXPECT_EQ(interceptors.Count(), 0);

    CUnitList<CRadar> radars;
    error = ThrownArchiveError([&] {
        ReadUnitFileBytes<CRadar>(Bytes({0xFF, 0xFF, 0xFF, 0xFF}), radars);
    });
    EXPECT_EQ(error.Offset(), 0u);
    EXPECT_EQ(error.Expected(), "a unit count of 0 or more, found -1");
    EXPECT_EQ(radars.Count(), 0);

    // A list that lost its units on a failed load must say so to the tables showing it.
    int resets = 0;
    radars.Subscribe(
        [&](UnitListChange change, int) { resets += change == UnitListChange::Reset; });
    EXPECT_THROW(ReadUnitFileBytes<CRadar>(Bytes({2, 0, 0, 0, 1}), radars), ArchiveError);
    EXPECT_EQ(resets, 1);
}
