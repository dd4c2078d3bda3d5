// The whole scenario: the one the station starts with, its XML form, and scenario sets (the
// scenario page's path fields, the scenario file, saving and loading a set).
#include "scenariotest.h"

#include "common/random.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "scenario/scenariopagemodel.h"
#include "scenario/scenarioxml.h"

#include <array>

namespace halyx {
namespace {

namespace fs = std::filesystem;
using C = ScenarioComponent;

using test::FreshFolder;
using test::RecordingProgress;

void FillScenario(CScenario& scenario) {
    SeedRandom(7);
    LoadDefaultScenario(scenario, "/maps/");
    scenario.Weather().Generate(1600, 0.3, 4.0);
}

// Everything a set stores is the same; the trajectory is not part of a set.
void ExpectSameSet(CScenario& copy, const CScenario& original) {
    copy.Geography().SetTrajectory(original.Geography().GetTrajectory());
    EXPECT_EQ(ScenarioXml(copy), ScenarioXml(original));
    EXPECT_EQ(copy.Geography().GetMapURLs(), original.Geography().GetMapURLs());
    EXPECT_EQ(copy.Geography().GetTerrain(), original.Geography().GetTerrain());
}

TEST(DefaultScenario, HoldsTheStartUpUnitsWithTheirOddTextsAndAReadyGeography) {
    CScenario scenario;
    scenario.Radars().Add(CRadar("Old", "1", "1", "1", "1", "", ""));
    int replaced = 0;
    scenario.Subscribe([&](ScenarioChange, int) { ++replaced; });
    LoadDefaultScenario(scenario, "/maps/");
    EXPECT_EQ(replaced, 1);
    ASSERT_EQ(scenario.Radars().Count(), 12);
    ASSERT_EQ(scenario.Incursions().Count(), 9);
    ASSERT_EQ(scenario.Interceptors().Count(), 14);

    EXPECT_EQ(scenario.Radars().At(9).GetLat(), "178"); // "Key Largo"

    const CIncursion& seeBreeze = scenario.Incursions().At(7);
    EXPECT_EQ(seeBreeze.GetName(), "SeeBreeze");
    EXPECT_EQ(seeBreeze.GetTime(), "00");
    EXPECT_EQ(scenario.Incursions().At(8).GetLng(), "395.4");
    EXPECT_EQ(scenario.Incursions().At(1).GetName(), scenario.Incursions().At(2).GetName());

    EXPECT_EQ(scenario.Interceptors().At(7).GetMinRange(), 2);   // "Patrol Boat"
    EXPECT_EQ(scenario.Interceptors().At(13).GetScope(), "air"); // "Cessner"

    // The geography is ready to initialise a simulation; the map folder becomes file addresses.
    LoadDefaultScenario(scenario, "/srv/halyx maps");
    const CGeography& geography = scenario.Geography();
    EXPECT_TRUE(geography.HasTrajectory());
    EXPECT_TRUE(geography.HasImpactLines());
    EXPECT_TRUE(geography.HasMapURLs());
    EXPECT_EQ(geography.GetImpactLines().GetSLine().back(), (CLatLng{870, 159}));
    EXPECT_EQ(geography.GetTrajectory().GetTrajectory().front(), (CLatLng{184, 472}));
    EXPECT_EQ(geography.GetTerrain().at(45), CTerrain("Sea", "Solid", 45, MakeRgb(0, 99, 99)));
    EXPECT_EQ(geography.GetMapURLs(),
              (std::array<std::string, 4>{
                  "file:///srv/halyx%20maps/atlantic.txt", "file:///srv/halyx%20maps/bahamas.txt",
                  "file:///srv/halyx%20maps/florida.txt", "file:///srv/halyx%20maps/world.txt"}));
}

TEST(ScenarioXml, ReadsBackIntoAnotherScenarioAndTakesPrefixedNamesUnknownPartsAndBadLines) {
    // An empty list still writes its element: the XML of an empty scenario reads back whole.
    pugi::xml_document document;
    CScenario read;
    const CScenarioXmlResult empty =
        ReadScenarioXml(test::ParseXml(document, ScenarioXml(CScenario())), read);
    EXPECT_EQ(empty.parts, 7);
    EXPECT_TRUE(empty.problems.empty());

    CScenario original;
    FillScenario(original);
    const std::string xml = ScenarioXml(original);
    // As at start-up, the grid exists before a scenario is read into it; the XML names cells.
    read.Weather().Generate(1600, 0.3, 4.0);
    read.Geography().SetMapURL(0, "kept");
    const CScenarioXmlResult result = ReadScenarioXml(test::ParseXml(document, xml), read);
    EXPECT_EQ(result.parts, 7);
    EXPECT_TRUE(result.problems.empty());
    // The addresses come back only from a set's map file, never from the XML.
    EXPECT_EQ(read.Geography().GetMapURL(0), "kept");
    // Every unit, line and weather cell is back (what the XML form leaves out: UnitXml).
    read.Geography().SetMapURLs(original.Geography().GetMapURLs());
    EXPECT_EQ(ScenarioXml(read), xml);

    // Prefixed names are read, unknown parts skipped, and a bad line keeps the lines there were.
    const CImpactLines lines = read.Geography().GetImpactLines();
    const CScenarioXmlResult prefixed = ReadScenarioXml(
        test::ParseXml(document,
                       "<h:Scenario xmlns:h=\"urn:halyx\"><h:Radars><Radar Name=\"R\" ID=\"1\" "
                       "Lat=\"2\" Lng=\"3\" Range=\"4\"/></h:Radars><Plumes/>"
                       "<ImpactLines><NLine><Point Lat=\"1\"/></NLine></ImpactLines>"
                       "<Trajectory><Point Lat=\"5\" Lng=\"6\"/></Trajectory></h:Scenario>"),
        read);
    EXPECT_EQ(prefixed.parts, 3);
    ASSERT_EQ(prefixed.problems.size(), 1u);
    EXPECT_EQ(read.Radars().Count(), 1);
    EXPECT_EQ(read.Geography().GetImpactLines(), lines);
    EXPECT_EQ(read.Geography().GetTrajectory().GetTrajectoryCt(), 1);
}

TEST(ScenarioPageFields, ChoosingAParentFolderThenRenamingMovesTheScenarioFolder) {
    CScenarioPageModel page;
    page.SetName("Alpha");
    page.ChooseLocation("C:\\Halyx\\Scenarios");
    const CScenarioFields& f = page.Fields();
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios\\Alpha\\");
    EXPECT_EQ(f.Location(C::TerrainCodes), "C:\\Halyx\\Scenarios\\Alpha\\Terrain Codes\\");
    EXPECT_EQ(f.FileName(C::Incursions), "Alpha_Incursions.hid");

    page.SetName("Beta");
    EXPECT_EQ(f.location, "C:\\Halyx\\Scenarios\\Beta\\");
    EXPECT_EQ(f.Location(C::PlumeLines), "C:\\Halyx\\Scenarios\\Beta\\Plume Lines\\");
    // Every component's file name is in the scenario file's layout (ScenarioFileText below).
    EXPECT_EQ(f.FileName(C::Weather), "Beta_Weather.hwd");
    EXPECT_EQ(f.ScenarioFilePath(), "C:\\Halyx\\Scenarios\\Beta\\Beta.hsf");

    // Typing a name letter by letter keeps one name folder.
    page.ChooseLocation("/home/lab/Scenarios");
    for (const char* name : {"R", "Ru", "Run", "Run1"}) {
        page.SetName(name);
    }
    EXPECT_EQ(f.location, "/home/lab/Scenarios/Run1/");
    EXPECT_EQ(f.Location(C::Weather), "/home/lab/Scenarios/Run1/Weather Data/");

    // An empty name empties the file names and drops the name folder.
    page.SetName("");
    EXPECT_EQ(f.location, "/home/lab/Scenarios");
    EXPECT_EQ(f.Location(C::Maps), "/home/lab/Scenarios/Maps/");
    for (const std::string& name : f.fileNames) {
        EXPECT_TRUE(name.empty());
    }
    EXPECT_EQ(page.CheckBeforeSave(), CScenarioPageModel::kFillAllFields);
}

TEST(ScenarioPageFields, EditedLocationsAndSaveNeedEveryFileNameAndLocationButNotTheNotes) {
    CScenarioPageModel page;
    EXPECT_EQ(page.CheckBeforeSave(), CScenarioPageModel::kFillAllFields);
    page.SetName("Alpha");
    page.SetLocation("/data/sets/Alpha/");
    EXPECT_EQ(page.Fields().Location(C::Radars), "/data/sets/Alpha/Radars/");
    // A location typed without its final separator still gives usable component folders.
    page.SetLocation("/data/sets/Other");
    EXPECT_EQ(page.Fields().Location(C::Radars), "/data/sets/Other/Radars/");
    EXPECT_EQ(page.CheckBeforeSave(), "");
    page.ChooseComponentLocation(C::PlumeLines, "");
    EXPECT_EQ(page.CheckBeforeSave(), CScenarioPageModel::kFillAllFields);
    page.ChooseComponentLocation(C::PlumeLines, "/elsewhere/");
    EXPECT_EQ(page.CheckBeforeSave(), "");
    page.SetLocation("");
    for (const std::string& location : page.Fields().locations) {
        EXPECT_TRUE(location.empty());
    }
}

TEST(ScenarioFileText, NotesOfNoneOneAndThreeLinesRoundTripAndShortFilesAreRefused) {
    for (const std::string& notes : {std::string(), std::string("one line"),
                                     std::string("first\n\nthird, after an empty line")}) {
        CScenarioFields fields = ScenarioFieldsFor("Alpha", "/sets/Alpha/");
        fields.notes = notes;
        const std::string text = ScenarioFileText(fields);
        CScenarioFields read;
        std::string error;
        ASSERT_TRUE(ReadScenarioFileText(text, read, error)) << error;
        EXPECT_EQ(read, fields);
    }
    CScenarioFields fields = ScenarioFieldsFor("Alpha", "/sets/Alpha/");
    // The layout other programs read: the scenario file, the notes, then each component's file.
    EXPECT_EQ(ScenarioFileText(fields),
              test::ReadFile(std::string(HALYX_TEST_DATA_DIR) + "/scenariofile/Alpha.hsf"));
    fields.notes = "a\nb\nc";
    EXPECT_NE(ScenarioFileText(fields).find("----BEGIN NOTES----\na\nb\nc\n----END NOTES----\n"),
              std::string::npos);

    // A file that ends early changes nothing.
    const CScenarioFields before = fields;
    std::string error;
    EXPECT_FALSE(ReadScenarioFileText("/a/A.hsf\n----BEGIN NOTES----\nnotes\n", fields, error));
    EXPECT_NE(error.find("END NOTES"), std::string::npos) << error;
    std::string cut = ScenarioFileText(ScenarioFieldsFor("A", "/a/"));
    cut.resize(cut.rfind("/a/Weather"));
    EXPECT_FALSE(ReadScenarioFileText(cut, fields, error));
    EXPECT_NE(error.find("Weather Data"), std::string::npos) << error;
    EXPECT_EQ(fields, before);
}

TEST(ScenarioSet, SavesItsFolderLayoutAndLoadsBackWholeButNeedsEveryFileName) {
    CScenario original;
    FillScenario(original);
    const std::string folder = FreshFolder("layout") + "Alpha/";
    CScenarioFields fields = ScenarioFieldsFor("Alpha", folder);
    fields.notes = "first\nsecond\nthird";
    RecordingProgress progress;
    const CScenarioSaveResult saved = SaveScenarioSet(fields, original, &progress);
    ASSERT_TRUE(saved) << saved.error;
    EXPECT_TRUE(saved.skipped.empty());
    EXPECT_EQ(saved.scenarioFile, folder + "Alpha.hsf");
    for (const char* file :
         {"Alpha.hsf", "Maps/Alpha_Maps.hmi", "Terrain Codes/Alpha_Terrain.htd",
          "Incursions/Alpha_Incursions.hid", "Interceptors/Alpha_Interceptors.hii",
          "Radars/Alpha_Radars.hrd", "Impact Lines/Alpha_ImpactLines.hil",
          "Weather Data/Alpha_Weather.hwd"}) {
        EXPECT_TRUE(fs::is_regular_file(folder + file)) << file;
    }
    EXPECT_TRUE(fs::is_directory(folder + "Plume Lines"));
    EXPECT_TRUE(fs::is_empty(folder + "Plume Lines"));
    EXPECT_EQ(progress.pos, progress.high); // the bar reaches its end
    EXPECT_TRUE(progress.closed);
    EXPECT_EQ(progress.texts[1], "Verifying path\n\n" + folder);
    EXPECT_EQ(progress.texts.back(), "Saving Terrain Data\n\n" + folder + "Alpha_Terrain.htd");

    CScenario loaded;
    int replaced = 0;
    loaded.Subscribe(
        [&](ScenarioChange change, int) { replaced += change == ScenarioChange::Replaced; });
    CScenarioFields read;
    RecordingProgress loading;
    const CScenarioLoadResult result = LoadScenarioSet(saved.scenarioFile, read, loaded, &loading);
    ASSERT_TRUE(result) << result.error;
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(read, fields);
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(loading.pos, loading.high);
    EXPECT_EQ(loading.texts[2], "Loading Maps\n\n" + folder + "Maps/Alpha_Maps.hmi");
    ExpectSameSet(loaded, original);
    EXPECT_EQ(loaded.Interceptors().At(0), original.Interceptors().At(0)); // ranges and scope too

    fields = ScenarioFieldsFor("Alpha", FreshFolder("incomplete") + "Alpha/");
    fields.FileName(C::Weather).clear();
    EXPECT_FALSE(SaveScenarioSet(fields, original));
    EXPECT_FALSE(fs::exists(fields.ScenarioFilePath()));
}

// A save or a batch on a worker writes from a copy: the copy holds every part a set stores, and
// a staged set changes nothing until it is put in place.
TEST(ScenarioSetLoad, ACopyHoldsEverythingASetStoresAndAStagedSetWaitsForItsCommit) {
    CScenario original;
    FillScenario(original);
    CScenario copy;
    CopyScenarioSet(original, copy);
    ExpectSameSet(copy, original);
    original.Radars().Add(CRadar("Later", "1", "1", "2", "3", "-", "-"));
    EXPECT_NE(copy.Radars().Count(), original.Radars().Count());

    const std::string folder = FreshFolder("staged") + "Alpha/";
    const CScenarioFields fields = ScenarioFieldsFor("Alpha", folder);
    ASSERT_TRUE(SaveScenarioSet(fields, copy));
    CScenario target;
    const std::string before = ScenarioXml(target);
    CStagedScenarioSet staged = StageScenarioSet(fields.ScenarioFilePath());
    ASSERT_TRUE(staged.result.ok) << staged.result.error;
    EXPECT_EQ(ScenarioXml(target), before);
    CScenarioFields read;
    ASSERT_TRUE(CommitScenarioSet(staged, read, target));
    EXPECT_EQ(read, fields);
    EXPECT_EQ(target.Radars().Count(), copy.Radars().Count());
    // A set put in place once is not put in place again.
    target.Radars().Add(CRadar("Mine", "1", "1", "2", "3", "-", "-"));
    CommitScenarioSet(staged, read, target);
    EXPECT_EQ(target.Radars().Count(), copy.Radars().Count() + 1);
}

// What a failed load must leave as it was: the scenario's XML and its map addresses.
std::pair<std::string, std::array<std::string, CGeography::kMapCount>>
Take(const CScenario& scenario) {
    return {ScenarioXml(scenario), scenario.Geography().GetMapURLs()};
}

TEST(ScenarioSetLoad, AnyFailingComponentLeavesScenarioAndFieldsAsTheyWereAndIsNamed) {
    CScenario original;
    FillScenario(original);
    for (const ScenarioComponent component : kAllScenarioComponents) {
        if (component == C::PlumeLines) {
            continue; // a folder, not a file
        }
        SCOPED_TRACE(ComponentFolder(component));
        const std::string folder =
            FreshFolder(std::string("partial-") + ComponentSuffix(component)) + "Alpha/";
        ASSERT_TRUE(SaveScenarioAs("Alpha", folder, original));
        const CScenarioFields saved = ScenarioFieldsFor("Alpha", folder);
        const std::string missing = saved.FullPath(component);
        ASSERT_TRUE(fs::remove(missing));
        // With the radars, the weather is cut off too: both are named, the cut one with where.
        const std::string weather = saved.FullPath(C::Weather);
        if (component == C::Radars) {
            fs::resize_file(weather, fs::file_size(weather) / 2);
        }

        // A scenario that differs from the saved set in every part, so that a partial load shows.
        CScenario loaded;
        loaded.Radars().Add(CRadar("Kept", "1", "1", "2", "3", "-", "-"));
        loaded.Incursions().Add(CIncursion("Kept", "1", "1", "2", "3", "4", "5"));
        loaded.Geography().SetMapURL(0, "http://kept/");
        const auto before = Take(loaded);
        CScenarioFields read = ScenarioFieldsFor("Before", "/before/");
        const CScenarioFields fieldsBefore = read;
        const CScenarioLoadResult result = LoadScenarioSet(folder + "Alpha.hsf", read, loaded);
        EXPECT_FALSE(result);
        const std::string reason = std::string(ComponentFolder(component)) + ": " + missing +
                                   ": No such file or directory";
        if (component == C::Radars) {
            EXPECT_EQ(result.error.rfind(reason + "; Weather Data: " + weather, 0), 0u)
                << result.error;
            EXPECT_NE(result.error.find("offset"), std::string::npos) << result.error;
        } else {
            EXPECT_EQ(result.error, reason);
        }
        EXPECT_TRUE(result.problems.empty());
        EXPECT_TRUE(Take(loaded) == before);
        EXPECT_EQ(read, fieldsBefore);
    }
    CScenario loaded;
    CScenarioFields read;
    const CScenarioLoadResult none = LoadScenarioSet("", read, loaded);
    EXPECT_TRUE(!none && !none.error.empty());
}

TEST(ScenarioSetLoad, ShippedSetFromTheOtherPlatformLoads) {
    // data/scenarioset/Delta is a set whose scenario file names C:\ paths, as saved by the
    // desktop program on the other platform. To remake it, save the default scenario (weather
    // left empty) with SaveScenarioAs("Delta", ...), then write Delta.hsf with C:\ paths.
    const std::string path = std::string(HALYX_TEST_DATA_DIR) + "/scenarioset/Delta/Delta.hsf";
    CScenario loaded;
    CScenarioFields read;
    const CScenarioLoadResult result = LoadScenarioSet(path, read, loaded);
    ASSERT_TRUE(result) << result.error;
    EXPECT_TRUE(result.problems.empty());
    EXPECT_EQ(read.name, "Delta");
    EXPECT_EQ(read.notes, "Shipped test set\nwritten with C:\\ paths");
    EXPECT_EQ(loaded.Incursions().Count(), 9);
    EXPECT_EQ(loaded.Interceptors().Count(), 14);
    EXPECT_EQ(loaded.Geography().GetImpactLines().GetSLineCt(), 21);
    // The fields name where the files really are, so that a later save stays on this machine.
    const std::string folder = std::string(HALYX_TEST_DATA_DIR) + "/scenarioset/Delta/";
    EXPECT_EQ(read.location, folder);
    EXPECT_EQ(read.Location(C::PlumeLines), folder + "Plume Lines/");
    EXPECT_EQ(read.FileName(C::TerrainCodes), "Delta_Terrain.htd");
}

} // namespace
} // namespace halyx
