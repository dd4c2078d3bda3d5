#include "common/archive.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace halyx;

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<uint8_t>(v));
    }
    return out;
}

void AppendText(std::vector<uint8_t>& out, const char* text) {
    out.push_back(static_cast<uint8_t>(std::strlen(text)));
    out.insert(out.end(), text, text + std::strlen(text));
}

std::string TempPath(const char* name) {
    const char* home = std::getenv("HALYX_HOME");
    return std::string(home != nullptr ? home : "/tmp") + "_" + name;
}

} // namespace

TEST(UnitFileLayout, IncursionRecordIsWrittenInFileOrder) {
    CUnitList<CIncursion> list;
    list.Add(CIncursion("Boat 1", "1230001234", "100.5", "200", "150", "90", "-"));

    // Count 1, then Heading, ID, Lat, Lng, Name, Speed, Time.
    std::vector<uint8_t> expected = Bytes({0x01, 0x00, 0x00, 0x00});
    for (const char* field : {"90", "1230001234", "100.5", "200", "Boat 1", "150", "-"}) {
        AppendText(expected, field);
    }
    EXPECT_EQ(UnitFileBytes(list), expected);
}

TEST(UnitFileLayout, RadarRecordIsWrittenInFileOrder) {
    CUnitList<CRadar> list;
    list.Add(CRadar("R", "7", "1", "2", "50", "life", "own"));
    std::vector<uint8_t> expected = Bytes({0x01, 0x00, 0x00, 0x00});
    for (const char* field : {"7", "1", "2", "life", "R", "own", "50"}) {
        AppendText(expected, field);
    }
    EXPECT_EQ(UnitFileBytes(list), expected);
}

TEST(UnitFileLayout, InterceptorNumbersComeFirstAsDoubles) {
    CUnitList<CInterceptor> list;
    // Lat 1, Lng 2, Speed 0.5, Heading -2, Range 4, Min Range 0.
    list.Add(CInterceptor("I", "9", 1.0, 2.0, 0.5, -2.0, 4.0, 0.0, "s"));
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
    EXPECT_EQ(UnitFileBytes(list), expected);
}

TEST(UnitFileLayout, EmptyListIsFourZeroBytes) {
    CUnitList<CRadar> list;
    EXPECT_EQ(UnitFileBytes(list), Bytes({0, 0, 0, 0}));
    list.Add(CRadar("old", "1", "", "", "", "", ""));
    ReadUnitFileBytes<CRadar>(Bytes({0, 0, 0, 0}), list);
    EXPECT_EQ(list.Count(), 0);
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

    const std::string hid = TempPath("round.hid");
    const std::string hrd = TempPath("round.hrd");
    const std::string hii = TempPath("round.hii");
    ASSERT_EQ(WriteUnitFile(hid, incursions), 0);
    ASSERT_EQ(WriteUnitFile(hrd, radars), 0);
    ASSERT_EQ(WriteUnitFile(hii, interceptors), 0);

    CUnitList<CIncursion> incursionsBack;
    CUnitList<CRadar> radarsBack;
    CUnitList<CInterceptor> interceptorsBack;
    ASSERT_EQ(ReadUnitFile(hid, incursionsBack), 0);
    ASSERT_EQ(ReadUnitFile(hrd, radarsBack), 0);
    ASSERT_EQ(ReadUnitFile(hii, interceptorsBack), 0);
    ASSERT_EQ(incursionsBack.Count(), 2);
    ASSERT_EQ(radarsBack.Count(), 1);
    ASSERT_EQ(interceptorsBack.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(incursionsBack.At(i), incursions.At(i));
        EXPECT_EQ(interceptorsBack.At(i), interceptors.At(i));
    }
    EXPECT_EQ(radarsBack.At(0), radars.At(0));
}

TEST(UnitFileRoundTrip, UnopenableFileGivesCodeAndKeepsTheList) {
    CUnitList<CRadar> list;
    list.Add(CRadar("keep", "1", "", "", "", "", ""));
    EXPECT_EQ(ReadUnitFile("/nonexistent/folder/r.hrd", list), ENOENT);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(WriteUnitFile("/nonexistent/folder/r.hrd", list), ENOENT);
}
