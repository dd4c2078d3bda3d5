#include "common/progress.h"
#include "common/random.h"
#include "scenario/weathermap.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>

using namespace halyx;

namespace {

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class CountingProgress : public IProgress {
public:
    void SetRange(int low, int high) override { range = {low, high}; }
    void SetPos(int pos) override {
        ++steps;
        last = pos;
    }
    void SetText(const std::string&) override {}
    void Close() override { closed = true; }
    std::pair<int, int> range{};
    int steps = 0;
    int last = 0;
    bool closed = false;
};

} // namespace

TEST(WeatherXml, LayersRunFromSixteenHoursToOne) {
    SeedRandom(3);
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.3, 4.0);
    CountingProgress progress;
    const std::string xml = map.ToXml(&progress);
    EXPECT_EQ(xml.rfind("<WeatherMap>\n<T16>\n<WeatherData GridRow=\"9\" GridCol=\"5\" ", 0), 0u);
    const std::string tail = "\n</T1>\n</WeatherMap>";
    EXPECT_EQ(xml.substr(xml.size() - tail.size()), tail);
    EXPECT_EQ(Occurrences(xml, "<WeatherData "), 16 * 191);
    const size_t t16 = xml.find("<T16>"), t15 = xml.find("<T15>");
    EXPECT_EQ(Occurrences(xml.substr(t16, t15 - t16), "<WeatherData "), 191);
    EXPECT_EQ(progress.range, std::make_pair(0, 25600));
    EXPECT_EQ(progress.steps, 25600);
    EXPECT_EQ(progress.last, 25600);
    EXPECT_TRUE(progress.closed);
}

TEST(WeatherXml, ReadingBackRestoresEveryCell) {
    SeedRandom(11);
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.3, 4.0);
    const std::string xml = map.ToXml();

    CWeatherMap back(40, 40);
    back.Generate(1600, 0.0, 0.0);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(xml.c_str()));
    EXPECT_EQ(back.ReadXml(doc.child("WeatherMap")), 3056);
    for (int slot = 0; slot < map.GetCount(); ++slot) {
        const CWeatherData* a = map.GetCell(slot);
        const CWeatherData* b = back.GetCell(slot);
        ASSERT_EQ(a == nullptr, b == nullptr);
        if (a != nullptr) {
            // "%f" keeps six decimals.
            EXPECT_NEAR(a->GetTemperature(), b->GetTemperature(), 1e-6);
            EXPECT_NEAR(a->GetWindDir(), b->GetWindDir(), 1e-6);
            EXPECT_NEAR(a->GetHumidity(), b->GetHumidity(), 1e-6);
        }
    }
}

TEST(WeatherXml, ReadingKeepsUnnamedCellsAndSkipsOutsideSlots) {
    CWeatherMap map(40, 40);
    map.Generate(1600, 0.0, 0.0);
    const CWeatherData before = *map.GetCell(9 * 40 + 6);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(
        "<WeatherMap><Note/>"
        "<T16><WeatherData GridRow=\"9\" GridCol=\"5\" Temperature=\"1\" Pressure=\"2\" "
        "Humidity=\"3\" WindSpeed=\"4\" WindDir=\"5\"/><Other/></T16>"
        "<T1><WeatherData GridRow=\"0\" GridCol=\"0\" Temperature=\"9\"/></T1>"
        "<T17><WeatherData GridRow=\"9\" GridCol=\"5\" Temperature=\"6\"/></T17>"
        "<T0><WeatherData GridRow=\"0\" GridCol=\"0\" Temperature=\"6\"/></T0>"
        "<T16><WeatherData GridRow=\"-1000000\" GridCol=\"5\" Temperature=\"6\"/></T16>"
        "</WeatherMap>"));
    EXPECT_EQ(map.ReadXml(doc.child("WeatherMap")), 2);
    EXPECT_EQ(*map.GetCell(9 * 40 + 5), CWeatherData(1, 2, 4, 5, 3));
    EXPECT_EQ(*map.GetCell(9 * 40 + 6), before);
    ASSERT_NE(map.GetCell(15 * 1600), nullptr); // an empty slot of layer 15 gets a cell
    EXPECT_EQ(map.GetCell(15 * 1600)->GetTemperature(), 9.0);
}
