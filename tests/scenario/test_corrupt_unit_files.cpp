#include "common/archive.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace halyx;

namespace {

template <class T> void ExpectEveryTruncationFailsCleanly(const CUnitList<T>& list) {
    const std::vector<uint8_t> bytes = UnitFileBytes(list);
    // Where each complete record ends, so that the units kept after a cut can be predicted.
    std::vector<size_t> recordEnds;
    {
        CArchiveReader reader(bytes);
        reader.ReadI32();
        for (int i = 0; i < list.Count(); ++i) {
            T unit;
            unit.Serialize(reader);
            recordEnds.push_back(reader.Offset());
        }
    }
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        CUnitList<T> back;
        back.Add(T());
        try {
            ReadUnitFileBytes<T>(part, back, "cut.bin");
            ADD_FAILURE() << "a file cut at " << cut << " was read without error";
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.File(), "cut.bin");
            EXPECT_LE(error.Offset(), cut);
        }
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

TEST(CorruptUnitFiles, HugeCountInAFourByteFileFailsAtOnce) {
    // 2,000,000,000 = 0x77359400, and nothing behind it.
    const std::vector<uint8_t> bytes = {0x00, 0x94, 0x35, 0x77};
    CUnitList<CInterceptor> list;
    try {
        ReadUnitFileBytes<CInterceptor>(bytes, list, "huge.hii");
        FAIL() << "no error";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Offset(), 4u);
        EXPECT_NE(std::string(error.what()).find("huge.hii: at offset 4: expected"),
                  std::string::npos);
        EXPECT_NE(error.Expected().find("record 1 of 2000000000"), std::string::npos);
    }
    EXPECT_EQ(list.Count(), 0);
}

TEST(CorruptUnitFiles, NegativeCountIsAnError) {
    const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF};
    CUnitList<CRadar> list;
    try {
        ReadUnitFileBytes<CRadar>(bytes, list);
        FAIL() << "no error";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Offset(), 0u);
        EXPECT_EQ(error.Expected(), "a unit count of 0 or more, found -1");
    }
    EXPECT_EQ(list.Count(), 0);
}

TEST(CorruptUnitFiles, ObserversHearOfAFailedLoad) {
    CUnitList<CRadar> list;
    int resets = 0;
    list.Subscribe([&](UnitListChange change, int) { resets += change == UnitListChange::Reset; });
    EXPECT_THROW(ReadUnitFileBytes<CRadar>(std::vector<uint8_t>{2, 0, 0, 0, 1}, list),
                 ArchiveError);
    EXPECT_EQ(resets, 1);
}
