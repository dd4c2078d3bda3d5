// Writes the seed files of the fuzz corpus that no shipped program or test file provides: small
// weather and trajectory files, and a scenario XML and an experiment log that hold every part.
// Built on request only (ninja make_fuzz_seeds), then run from the source tree:
//   BUILD/make_fuzz_seeds fuzz/corpus
// The other seeds are copies of files under tests/*/data and data/maps.
#include "common/archive.h"
#include "common/random.h"
#include "external/maplib/trajectory.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"
#include "scenario/weathermap.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace halyx;

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (WriteFileBytes(path, bytes) != 0) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Write(const std::string& path, const std::string& text) {
    return Write(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// The weather page's grid of 16 layers of 40 x 40 slots with a cell in every third of the first
// eight; the rest are empty slots of two bytes each, which the fuzzer can shorten.
std::vector<uint8_t> SmallWeatherFile() {
    constexpr int kSlots = CWeatherMap::kLayers * CWeatherMap::kCellsPerLayer;
    CArchiveWriter out;
    out.WriteI32(CWeatherMap::kGridCols);
    out.WriteI32(CWeatherMap::kGridRows);
    out.WriteI32(kSlots);
    out.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
    CWeatherMap::SeasonReference(1).Serialize(out);
    out.WriteCount(kSlots);
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slot < 8 && slot % 3 == 1) {
            out.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
            CWeatherData(20.0 + slot, 1013.0, 12.5, 270.0, 60.0).Serialize(out);
        } else {
            out.WriteNullTag();
        }
    }
    return out.TakeBytes();
}

std::string ScenarioWithEveryPart() {
    CScenario scenario;
    scenario.Incursions().Add(CIncursion("Drug Lord 1", "101", "220", "325", "60", "10", "0"));
    scenario.Incursions().Add(
        CIncursion("Fishing <Boat> & Co", "102", "558", "461", "60", "95", "-"));
    scenario.Radars().Add(CRadar("Natal", "201", "538", "269", "130", "5", "ALPHA"));
    scenario.Interceptors().Add(
        CInterceptor("Frigate", "301", 776.0, 251.0, 70.0, 0.0, 80.0, 5.0, "Sea"));
    CImpactLines lines;
    lines.AddNLinePoint(100.0, 200.0);
    lines.AddNLinePoint(150.5, 210.25);
    lines.AddSLinePoint(100.0, 180.0);
    lines.AddSLinePoint(150.5, 170.75);
    scenario.Geography().SetImpactLines(lines);
    CTrajectory trajectory;
    trajectory.AddTrajectoryPoint(300.0, 300.0);
    trajectory.AddTrajectoryPoint(600.0, 320.0);
    scenario.Geography().SetTrajectory(trajectory);
    scenario.Geography().SetMapURLs({"file:///maps/atlantic.txt", "file:///maps/bahamas.txt",
                                     "file:///maps/florida.txt", "http://maps.test/world.txt"});
    ReadWeatherFileBytes(SmallWeatherFile(), scenario.Weather());
    // Only the layers that hold cells are kept: the empty ones add nothing for the fuzzer.
    std::string xml = ScenarioXml(scenario);
    for (int layer = 15; layer >= 2; --layer) {
        const std::string empty =
            "<T" + std::to_string(layer) + ">\n</T" + std::to_string(layer) + ">\n";
        if (const size_t at = xml.find(empty); at != std::string::npos) {
            xml.erase(at, empty.size());
        }
    }
    return xml;
}

std::string LogAround(const std::string& scenarioXml) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<HalyxSimLog>\n"
           "<LogHeader CreationDate=\"12/05/26\" CreationTime=\"14:03:09\"/>\n"
           "<Notes>\nA run with every replayed event\n</Notes>\n" +
           scenarioXml +
           "\n<SimEvents>\n"
           "<Event TimeStamp=\"12/5/2026 2:3:9:48 PM\" TSID=\"1796479389048\" Name=\"InitSim\"/>\n"
           "<Event TimeStamp=\"12/5/2026 2:3:9:54 PM\" TSID=\"1796479389054\" Name=\"ChatMsg\" "
           "ClockTime=\"9\" From=\"ALPHA\">\nhello &amp; &lt;team&gt;\n</Event>\n"
           "<Event TimeStamp=\"12/5/2026 2:3:9:58 PM\" TSID=\"1796479389058\" "
           "Name=\"DeployResource\" ClockTime=\"13\" From=\"ALPHA\" ResType=\"Interceptor\" "
           "ResID=\"301\" DestLat=\"300\" DestLng=\"400\"/>\n"
           "<Event TimeStamp=\"12/5/2026 2:3:9:59 PM\" TSID=\"1796479389059\" "
           "Name=\"DeployBalloon\" ClockTime=\"13\" From=\"BRAVO\" DestLat=\"1\" DestLng=\"2\"/>\n"
           "<Event TimeStamp=\"12/5/2026 2:4:0:1 PM\" TSID=\"1796479389061\" "
           "Name=\"InterceptInc\" ClockTime=\"2\" From=\"CHARLIE\" ResType=\"Interceptor\" "
           "IntID=\"301\" IncID=\"101\"/>\n"
           "</SimEvents>\n<TeamMembers>\n<Member Name=\"ALPHA\"/>\n<Member Name=\"BRAVO\"/>\n"
           "<Member Name=\"CHARLIE\"/>\n</TeamMembers>\n</HalyxSimLog>\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS-FOLDER\n");
        return 2;
    }
    const std::string corpus = std::string(argv[1]) + "/";
    SeedRandom(1);
    CTrajectory trajectory;
    trajectory.AddTrajectoryPoint(282.5, 371.0);
    trajectory.AddTrajectoryPoint(300.0, 380.0);
    trajectory.AddTrajectoryPoint(900.0, 99.0);
    CArchiveWriter trajectoryBytes;
    trajectory.Serialize(trajectoryBytes);

    const std::string scenarioXml = ScenarioWithEveryPart();
    const std::string log = LogAround(scenarioXml);
    // A log cut off in the middle of an event line, as when the program dies during a run.
    const std::string cutLog = log.substr(0, log.find("Name=\"InterceptInc\""));
    const bool ok = Write(corpus + "archive/small.hwd", SmallWeatherFile()) &&
                    Write(corpus + "archive/three_points.trajectory", trajectoryBytes.Bytes()) &&
                    Write(corpus + "scenario/every_part.xml", scenarioXml) &&
                    Write(corpus + "log/every_part.xml", log) &&
                    Write(corpus + "log/cut_off.xml", cutLog);
    return ok ? 0 : 1;
}
