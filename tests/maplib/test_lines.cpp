// The impact lines and the trajectory in their three outer forms: XML (read back by the scenario
// reader), KQML (sent to the stations) and the archive files.
#include "common/archivetest.h"
#include "external/maplib/impactlines.h"
#include "external/maplib/trajectory.h"
#include "fakexml.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

using test::FakeElement;
using test::Point;

CImpactLines SampleLines() {
    CImpactLines lines;
    lines.AddNLinePoint(178, 487);
    lines.AddNLinePoint(204.5, 487.25);
    lines.AddSLinePoint(184, 463);
    return lines;
}

TEST(ImpactLineText, XmlHasFixedLayoutAndKqmlNumbersEveryPoint) {
    EXPECT_EQ(SampleLines().ToXML(), "<ImpactLines>\n<NLine>\n"
                                     "<Point Lat=\"178.000000\" Lng=\"487.000000\"/>\n"
                                     "<Point Lat=\"204.500000\" Lng=\"487.250000\"/>\n"
                                     "</NLine>\n<SLine>\n"
                                     "<Point Lat=\"184.000000\" Lng=\"463.000000\"/>\n"
                                     "</SLine>\n</ImpactLines>");
    EXPECT_EQ(CTrajectory().ToXML(), "<Trajectory>\n</Trajectory>");

    // KQML numbers every point.
    EXPECT_EQ(SampleLines().ToKQML(),
              "tell :nline (tell :number 2 :0 (tell :lat 178.000000 :lon 487.000000)"
              " :1 (tell :lat 204.500000 :lon 487.250000))"
              " :sline (tell :number 1 :0 (tell :lat 184.000000 :lon 463.000000))");
    CTrajectory trajectory;
    EXPECT_EQ(trajectory.ToKQML(), "tell :number 0");
    trajectory.AddTrajectoryPoint(184, 472);
    EXPECT_EQ(trajectory.ToKQML(), "tell :number 1 :0 (tell :lat 184.000000 :lon 472.000000)");
}

TEST(ImpactLineText, XmlElementReadsBackOrLeavesTheLinesAsTheyWere) {
    const FakeElement element(
        "ImpactLines", {},
        {FakeElement("NLine", {},
                     {Point("178.000000", "487.000000"), Point("204.500000", "487.250000")}),
         FakeElement("Comment"), FakeElement("SLine", {}, {Point("184", "463")})});
    CImpactLines lines;
    lines.AddNLinePoint(1, 1); // replaced, not appended to
    ASSERT_TRUE(lines.IILFromXML(element));
    EXPECT_EQ(lines, SampleLines());

    const FakeElement track("Trajectory", {}, {Point("184", "472"), Point("240", "469")});
    CTrajectory trajectory;
    ASSERT_TRUE(trajectory.TrajectoryFromXML(track));
    ASSERT_EQ(trajectory.GetTrajectoryCt(), 2);
    EXPECT_EQ(trajectory.GetTrajectory()[1], (CLatLng{240, 469}));

    // Malformed XML leaves the lines as they were.
    const FakeElement missingLng(
        "ImpactLines", {},
        {FakeElement("NLine", {}, {Point("1", "2")}),
         FakeElement("SLine", {}, {FakeElement("Point", {{"Lat", "3"}})})});
    EXPECT_FALSE(lines.IILFromXML(missingLng));
    EXPECT_EQ(lines, SampleLines());
    EXPECT_FALSE(lines.IILFromXML(FakeElement("Trajectory")));

    EXPECT_FALSE(trajectory.TrajectoryFromXML(FakeElement("ImpactLines")));
    EXPECT_EQ(trajectory.GetTrajectoryCt(), 2);
}

TEST(LineArchives, RoundTripAndTruncatedOrHostileFilesThrowAndKeepTheLines) {
    CArchiveWriter out;
    SampleLines().Serialize(out);
    CTrajectory trajectory;
    trajectory.AddTrajectoryPoint(184, 472);
    trajectory.Serialize(out);
    // 4 + 2 * 16 northern, 4 + 16 southern, 4 + 16 trajectory.
    EXPECT_EQ(out.Size(), 76u);

    CArchiveReader in(out.Bytes(), "lines");
    CImpactLines lines;
    lines.Serialize(in);
    CTrajectory readTrajectory;
    readTrajectory.Serialize(in);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(lines, SampleLines());
    EXPECT_EQ(readTrajectory, trajectory);

    // Truncated or hostile files throw and keep the lines.
    std::vector<uint8_t> bytes = out.Bytes();
    bytes.resize(56 - 3); // the last southern point cut short
    lines.AddSLinePoint(9, 9);
    const CImpactLines before = lines;
    CArchiveReader cut(bytes, "cut.hil");
    EXPECT_THROW(lines.Serialize(cut), ArchiveError);
    EXPECT_EQ(lines, before);

    // A count of four billion points in a file of a few bytes.
    const std::vector<uint8_t> hostile = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    CArchiveReader hostileIn(hostile, "hostile.hti");
    const ArchiveError error = test::ThrownArchiveError([&] { trajectory.Serialize(hostileIn); });
    EXPECT_EQ(error.File(), "hostile.hti");
    EXPECT_EQ(error.Offset(), 4u);
}

} // namespace
} // namespace halyx
