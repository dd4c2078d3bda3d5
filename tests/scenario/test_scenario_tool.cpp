// Runs the halyx-scenario program as a researcher would (the build makes it before this test). The
// unit files under data/units/ were written byte by byte from the unit file layout (count, then
// each record's fields in file order); truncated.hii announces two interceptors and breaks off
// inside the second one's Name. Each .xml beside a unit file is what dumping it must print.
#include "testhome.h"
#include "toolrun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kTool = std::string(HALYX_BINARY_DIR) + "/bin/halyx-scenario";
const std::string kUnits = std::string(HALYX_TEST_DATA_DIR) + "/units/";

halyx::test::ToolRun Tool(const std::string& args) {
    return halyx::test::RunTool(kTool, args);
}

std::string Home() {
    return halyx::test::RequiredHome() + "_tool_";
}

using halyx::test::ReadFile;

} // namespace

TEST(ScenarioTool, DumpsUnitFilesAsTheirXmlLists) {
    for (const char* name : {"two_incursions.hid", "one_radar.hrd"}) {
        const std::string file = kUnits + name;
        const auto run = Tool("dump " + file);
        EXPECT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out, ReadFile(file.substr(0, file.rfind('.')) + ".xml")) << name;
    }
}

TEST(ScenarioTool, BrokenFileIsReportedWithItsOffsetAndWrongUsageExitsWithTwo) {
    const std::string path = kUnits + "truncated.hii";
    auto run = Tool("dump " + path);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "halyx-scenario: " + path +
                           ": at offset 120: expected an interceptor's Name (record 2 of 2, a "
                           "CInterceptor)\n");
    run = Tool("dump " + Home() + "missing.hrd");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("No such file or directory"), std::string::npos);

    const std::string noCommand = kUnits + "two_incursions.hid";
    for (const char* args :
         {"", "frob", "dump", "dump a.hid b.hid", "dump notes.txt", "weather", noCommand.c_str(),
          "weather --season 4 -o x.hwd", "weather --space -1 -o x", "weather --seed twelve -o x",
          "weather --colour red -o x", "weather -o"}) {
        EXPECT_EQ(Tool(args).status, 2) << args;
    }
    // The program's own --help is the command lines' test (tests/e2e).
    EXPECT_EQ(Tool("weather --help").status, 0);
}

TEST(ScenarioTool, WeatherWithASeedIsRepeatableAndDumpable) {
    const std::string a = Home() + "a.hwd";
    const std::string b = Home() + "b.hwd";
    auto run = Tool("weather --season 1 --space 0.5 --time 2 --seed 9 -o " + a);
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Summer"), std::string::npos);
    ASSERT_EQ(Tool("weather --season 1 --space 0.5 --time 2 --seed 9 -o " + b).status, 0);
    EXPECT_EQ(ReadFile(a), ReadFile(b));
    EXPECT_FALSE(ReadFile(a).empty());

    run = Tool("dump " + a);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("<WeatherMap>\n<T16>\n<WeatherData GridRow=\"9\" GridCol=\"5\"", 0),
              0u);
    EXPECT_EQ(run.out.substr(run.out.size() - 20), "</T1>\n</WeatherMap>\n");
}
