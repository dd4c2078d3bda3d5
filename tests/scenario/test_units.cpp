// The three unit kinds: their course and rim, the unit list, ids, the XML forms, the binary unit
// files (.hid, .hrd, .hii), and the kinds' one home (traits, lists, table cells, dialog texts).
#include "scenariotest.h"

#include "common/random.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/unitfiles.h"
#include "scenario/unitid.h"
#include "scenario/unitkind.h"
#include "scenario/unitlist.h"

#include <algorithm>
#include <cerrno>
#include <set>

using namespace halyx;
using test::ThrownArchiveError;

namespace {

using Bytes = std::vector<uint8_t>;

// A count of 1, then each field as the archive writes a string (its encoding is the archive's
// own test's).
std::vector<uint8_t> OneRecord(std::initializer_list<const char*> fields) {
    CArchiveWriter out;
    out.WriteI32(1);
    for (const char* field : fields) {
        out.WriteString(field);
    }
    return out.Bytes();
}

// The list's bytes read back whole, and cut at every offset they fail, keeping the complete units.
template <class T> void ExpectRoundTripAndCleanTruncation(const CUnitList<T>& list) {
    const std::vector<uint8_t> bytes = UnitFileBytes(list);
    // Where each complete record ends, so that the units kept after a cut can be predicted.
    std::vector<size_t> recordEnds;
    CUnitList<T> prefix;
    for (const T& unit : list) {
        prefix.Add(unit);
        recordEnds.push_back(UnitFileBytes(prefix).size());
    }
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
        CUnitList<T> back;
        back.Add(T());
        if (cut < bytes.size()) {
            EXPECT_THROW(ReadUnitFileBytes<T>(part, back), ArchiveError) << "cut at " << cut;
        } else {
            ReadUnitFileBytes<T>(part, back);
        }
        const auto complete =
            std::upper_bound(recordEnds.begin(), recordEnds.end(), cut) - recordEnds.begin();
        ASSERT_EQ(back.Count(), complete) << "cut at " << cut;
        for (int i = 0; i < complete; ++i) {
            EXPECT_EQ(back.At(i), list.At(i));
        }
    }
}

} // namespace

TEST(IncursionCourse, StartsAtItsStartPointAtItsStartMinuteAndDriftsAtNinety) {
    auto [lat, lng] = CIncursion("a", "1", "100", "200", "60", "45", "-").GetPositionAt(0.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);
    const CIncursion late("b", "2", "100", "200", "60", "45", "120");
    std::tie(lat, lng) = late.GetPositionAt(2.0);
    EXPECT_DOUBLE_EQ(lat, 100.0);
    EXPECT_DOUBLE_EQ(lng, 200.0);
    // An hour before its start it lies behind the start point.
    std::tie(lat, lng) = late.GetPositionAt(1.0);
    EXPECT_LT(lat, 100.0);
    EXPECT_LT(lng, 200.0);
    // Heading 90 drifts slightly off the axis because the course is worked in sevenths.
    std::tie(lat, lng) = CIncursion("e", "1", "0", "0", "100", "90", "-").GetPositionAt(1.0);
    EXPECT_NEAR(lat, 99.99998, 1e-5);
    EXPECT_NEAR(lng, -0.0632, 1e-4);
}

TEST(RadarRim, AcceptsPointsWithinSixOfTheCircle) {
    const CRadar radar("r", "1", "100", "100", "50", "", "");
    for (double lat : {150.0, 155.9, 144.5}) {
        EXPECT_TRUE(radar.IsNearRangeEdge(lat, 100)) << lat;
    }
    EXPECT_FALSE(radar.IsNearRangeEdge(156, 100)); // exactly 6 away
    EXPECT_FALSE(radar.IsNearRangeEdge(100, 100));
}

TEST(UnitList, KeepsInsertionOrderMatchesByIdAndTellsObservers) {
    CUnitList<CRadar> list;
    std::vector<std::pair<UnitListChange, int>> seen;
    const int token = list.Subscribe([&](UnitListChange c, int i) { seen.emplace_back(c, i); });
    list.Add(CRadar("a", "1", "", "", "", "", ""));
    list.Add(CRadar("b", "2", "", "", "", "", ""));
    list.Add(CRadar("c", "3", "", "", "", "", ""));
    EXPECT_TRUE(list.NameExists("b"));
    EXPECT_FALSE(list.NameExists("B"));
    ASSERT_NE(list.FindById("3"), nullptr);
    EXPECT_EQ(list.FindById("3")->GetName(), "c");
    EXPECT_EQ(list.FindById("4"), nullptr);
    EXPECT_TRUE(list.RemoveById("2"));
    EXPECT_FALSE(list.RemoveById("2"));
    std::string names;
    for (const CRadar& radar : list) {
        names += radar.GetName();
    }
    EXPECT_EQ(names, "ac");
    list.NotifyChanged(0);
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
    list.Unsubscribe(token);
    list.Add(CRadar("d", "4", "", "", "", "", ""));
    using C = UnitListChange;
    EXPECT_EQ(seen, (std::vector<std::pair<C, int>>{{C::Added, 0},
                                                    {C::Added, 1},
                                                    {C::Added, 2},
                                                    {C::Removed, 1},
                                                    {C::Changed, 0},
                                                    {C::Reset, -1}}));
}

TEST(UnitIds, TimeOfDayThenZeroThenRandomValueAndNeverAnIdTaken) {
    // 12:30:05.789 UTC (the tests run with TZ=UTC); the milliseconds never show.
    const int64_t tsid = ((12 * 3600 + 30 * 60 + 5) * 1000LL) + 789;
    EXPECT_EQ(MakeUnitIdAt(tsid, 4711), "12300504711");
    EXPECT_EQ(MakeUnitIdAt(tsid - 12 * 3600 * 1000LL, 0), "00300500");

    SeedRandom(1);
    const int first = NextRandom();
    SeedRandom(1);
    const std::string clash = MakeUnitId();
    EXPECT_EQ(clash.substr(7), std::to_string(first));
    SeedRandom(1); // the same draw again: the first candidate is taken
    EXPECT_NE(MakeUnitId([&](std::string_view candidate) { return candidate == clash; }), clash);

    CUnitList<CRadar> radars;
    std::set<std::string> ids;
    for (int i = 0; i < 300; ++i) {
        radars.Add(CRadar("r", radars.NewId(), "", "", "", "", ""));
        ids.insert(radars.At(i).GetId());
    }
    EXPECT_EQ(ids.size(), 300u);
}

TEST(UnitXml, ReadersKeepWhatTheElementHoldsAndCountIncompleteOnes) {
    // Names with markup survive the round trip (the attribute names are pinned by the literal
    // elements read below, so a round trip keeps the writer to them).
    CUnitList<CIncursion> marked;
    marked.Add(CIncursion("a\"<b>&'c", "1", "2", "3", "4", "5", "6"));
    pugi::xml_document doc;
    CUnitList<CIncursion> back;
    ReadIncursionsXml(test::ParseXml(doc, IncursionsToXml(marked)), back);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.At(0), marked.At(0));

    // Interceptor ranges and scope, radar Life and Owner are not in the XML: they come back empty.
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I", "7", 1.25, 2.5, 300.0, 45.0, 5.0, 6.0, "scope"));
    CUnitList<CInterceptor> interceptorsBack;
    ReadInterceptorsXml(test::ParseXml(doc, InterceptorsToXml(interceptors)), interceptorsBack);
    ASSERT_EQ(interceptorsBack.Count(), 1);
    EXPECT_EQ(interceptorsBack.At(0), CInterceptor("I", "7", 1.25, 2.5, 300.0, 45.0, 0, 0, ""));
    CUnitList<CRadar> radars;
    radars.Add(CRadar("old", "0", "", "", "", "", ""));
    ReadRadarsXml(test::ParseXml(doc, "<Radars><Radar Name=\"R\" ID=\"9\" Lat=\"1\" Lng=\"2\" "
                                      "Range=\"50\"/>\n</Radars>"),
                  radars);
    ASSERT_EQ(radars.Count(), 1);
    EXPECT_EQ(radars.At(0), CRadar("R", "9", "1", "2", "50", "", ""));

    // An element missing attributes is kept and counted; comments are skipped.
    CUnitList<CIncursion> list;
    const UnitXmlResult result = ReadIncursionsXml(
        test::ParseXml(doc, "<Incursions><Incursion Name=\"A\" ID=\"1\"/><!-- note -->"
                            "<Incursion Name=\"B\" ID=\"2\" Lat=\"1\" Lng=\"2\" Speed=\"3\" "
                            "Heading=\"4\" Time=\"5\"/></Incursions>"),
        list);
    EXPECT_EQ(result.units, 2);
    EXPECT_EQ(result.incomplete, 1);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.At(0), CIncursion("A", "1", "", "", "", "", ""));
    EXPECT_EQ(list.At(1).GetTime(), "5");
}

TEST(UnitFileLayout, RecordsAreWrittenInFileOrder) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Boat 1", "1230001234", "100.5", "200", "150", "90", "-"));
    // Heading, ID, Lat, Lng, Name, Speed, Time.
    EXPECT_EQ(UnitFileBytes(incursions),
              OneRecord({"90", "1230001234", "100.5", "200", "Boat 1", "150", "-"}));
    CUnitList<CRadar> radars;
    radars.Add(CRadar("R", "7", "1", "2", "50", "life", "own"));
    EXPECT_EQ(UnitFileBytes(radars), OneRecord({"7", "1", "2", "life", "R", "own", "50"}));

    // An interceptor's numbers come first, as doubles: Lat, Lng, Speed, Min Range, Range,
    // Heading; then ID, Name, Scope.
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("I", "9", 1.0, 2.0, 0.5, -2.0, 4.0, 0.0, "s"));
    CArchiveWriter expected;
    expected.WriteI32(1);
    for (double value : {1.0, 2.0, 0.5, 0.0, 4.0, -2.0}) {
        expected.WriteDouble(value);
    }
    for (const char* text : {"9", "I", "s"}) {
        expected.WriteString(text);
    }
    EXPECT_EQ(UnitFileBytes(interceptors), expected.Bytes());

    // An empty list is four zero bytes, and reading one empties the list.
    radars.RemoveAll();
    EXPECT_EQ(UnitFileBytes(radars), (Bytes{0, 0, 0, 0}));
    radars.Add(CRadar("old", "1", "", "", "", "", ""));
    ReadUnitFileBytes<CRadar>(Bytes{0, 0, 0, 0}, radars);
    EXPECT_EQ(radars.Count(), 0);
}

TEST(UnitFileRoundTrip, EveryKindComesBackAndCutFilesKeepTheCompleteUnits) {
    CUnitList<CIncursion> incursions;
    incursions.Add(CIncursion("Incursion 0", "1", "10.25", "645.00", "400", "359.99", "17"));
    incursions.Add(CIncursion("caf\xc3\xa9 <&>", "2", "", "x", "-3e2", "0", "-"));
    incursions.Add(CIncursion(std::string(300, 'b'), "2", "1", "2", "3", "4", "5"));
    ExpectRoundTripAndCleanTruncation(incursions);
    CUnitList<CRadar> radars;
    radars.Add(CRadar("Radar 0", "3", "940", "105", "200.00", "-", "-"));
    ExpectRoundTripAndCleanTruncation(radars);
    CUnitList<CInterceptor> interceptors;
    interceptors.Add(CInterceptor("Interceptor 0", "4", 10.5, 645.0, 400.0, 0.0, 0.0, 0.0, "-"));
    interceptors.Add(CInterceptor("n", "5", -1e300, 1e-300, 0.1, 360.0, 7.0, 3.0, ""));
    ExpectRoundTripAndCleanTruncation(interceptors);

    // A file that cannot be opened answers its cause and keeps the list.
    EXPECT_EQ(ReadUnitFile("/nonexistent/folder/r.hrd", radars), ENOENT);
    EXPECT_EQ(radars.Count(), 1);
}

TEST(CorruptUnitFiles, AbsurdCountsFailAtOnceAndObserversHearOfIt) {
    // 2,000,000,000 = 0x77359400, and nothing behind it: refused before reserving any room.
    CUnitList<CInterceptor> interceptors;
    ArchiveError error = ThrownArchiveError([&] {
        ReadUnitFileBytes<CInterceptor>(Bytes{0x00, 0x94, 0x35, 0x77}, interceptors, "huge.hii");
    });
    EXPECT_EQ(error.Offset(), 0u);
    EXPECT_EQ(std::string(error.what()), "huge.hii: at offset 0: expected at most 100000 units "
                                         "in a unit file, found 2000000000");
    EXPECT_EQ(interceptors.Count(), 0);

    // Seven bytes a unit on file cost a few hundred in memory: past the limit nothing is read,
    // up to it everything is.
    CUnitList<CIncursion> incursions;
    std::vector<uint8_t> many = Bytes{0xA1, 0x86, 0x01, 0x00}; // 100001
    many.resize(4 + 7 * 100001, 0);
    error = ThrownArchiveError([&] { ReadUnitFileBytes<CIncursion>(many, incursions); });
    EXPECT_EQ(error.Offset(), 0u);
    EXPECT_EQ(error.Expected(), "at most 100000 units in a unit file, found 100001");
    EXPECT_EQ(incursions.Count(), 0);
    many[0] = 0xA0;
    many.resize(4 + 7 * 100000);
    ReadUnitFileBytes<CIncursion>(many, incursions);
    EXPECT_EQ(incursions.Count(), 100000);

    CUnitList<CRadar> radars;
    error = ThrownArchiveError([&] {
        ReadUnitFileBytes<CRadar>(Bytes{0xFF, 0xFF, 0xFF, 0xFF}, radars);
    });
    EXPECT_EQ(error.Offset(), 0u);
    EXPECT_EQ(error.Expected(), "a unit count of 0 or more, found -1");
    EXPECT_EQ(radars.Count(), 0);

    // A list that lost its units on a failed load must say so to the tables showing it.
    int resets = 0;
    radars.Subscribe(
        [&](UnitListChange change, int) { resets += change == UnitListChange::Reset; });
    EXPECT_THROW(ReadUnitFileBytes<CRadar>((Bytes{2, 0, 0, 0, 1}), radars), ArchiveError);
    EXPECT_EQ(resets, 1);
}

TEST(UnitKinds, VisitorTraitsAndListsAgreeForEveryKind) {
    CScenario scenario;
    std::set<int> editIds;
    for (const UnitKind kind : kUnitKinds) {
        VisitUnitKind(kind, [&](auto tag) {
            using T = typename decltype(tag)::Type;
            using Traits = UnitTraits<T>;
            EXPECT_EQ(Traits::kKind, kind);
            EXPECT_EQ(KindInfo(kind).kind, kind);
            EXPECT_EQ(std::string(KindInfo(kind).noun), Traits::kNoun);
            editIds.insert(Traits::kEditId);

            CUnitFields fields{"Unit", "10", "20", "30", "40", "50", "5"};
            const T unit = Traits::Make(fields, "id-1", "-");
            Traits::List(scenario).Add(std::make_unique<T>(unit));
            EXPECT_EQ(Traits::List(std::as_const(scenario)).Count(), 1);
            // Tables and undo find a unit by the text of column 1.
            EXPECT_EQ(Traits::CellText(unit, 1), "id-1");
            EXPECT_EQ(Traits::CellText(unit, 99), "");
            EXPECT_DOUBLE_EQ(Traits::Lat(unit), 10.0);
            EXPECT_DOUBLE_EQ(Traits::Lng(unit), 20.0);
        });
    }
    // One unit in each list, not three in one.
    EXPECT_EQ(scenario.Radars().Count(), 1);
    EXPECT_EQ(scenario.Incursions().Count(), 1);
    EXPECT_EQ(scenario.Interceptors().Count(), 1);
    // Edits of different kinds must never merge into one undo step.
    EXPECT_EQ(editIds.size(), 3u);
}

TEST(UnitKinds, DialogTextsMakeReadAndApplyWithoutLosingOtherFields) {
    const CUnitFields typed{"R", "1.5", "2.5", "75", "", "", ""};
    const CRadar paged = UnitTraits<CRadar>::Make(typed, "r", "-");
    EXPECT_EQ(paged, CRadar("R", "r", "1.5", "2.5", "75", "-", "-"));
    EXPECT_EQ(UnitTraits<CRadar>::Make(typed, "r", ""),
              CRadar("R", "r", "1.5", "2.5", "75", "", ""));
    EXPECT_EQ(UnitTraits<CRadar>::Fields(paged), typed);

    // An interceptor's new heading is 0 whoever adds it; its scope takes the unasked text.
    const CInterceptor cutter =
        UnitTraits<CInterceptor>::Make({"C", "1", "2", "", "", "40", ""}, "c", "-");
    EXPECT_DOUBLE_EQ(cutter.GetHeading(), 0.0);
    EXPECT_EQ(cutter.GetScope(), "-");

    // Applying the dialog's texts changes only what the dialog shows (an incursion's start time
    // through the dialog itself: tests/controls).
    CInterceptor wide("I", "9", 1, 2, 3, 45, 60, 10, "wide");
    CUnitFields fields = UnitTraits<CInterceptor>::Fields(wide);
    fields.speed = "500";
    fields.range = "999"; // not an interceptor's dialog field
    UnitTraits<CInterceptor>::Apply(fields, wide);
    EXPECT_EQ(wide, CInterceptor("I", "9", 1, 2, 500, 45, 60, 10, "wide"));
}
