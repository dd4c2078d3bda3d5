// Under a user locale that writes numbers with a decimal comma, the program's start-up keeps
// every number it sends or writes in the '.' form: the weather answer to a station, the unit
// XML and an experiment log. The comma locale is compiled into a folder of the test's own (no
// system locale is needed); where the system cannot compile one the test says so and skips.
#include "agent/halyxcommand.h"
#include "common/numericlocale.h"
#include "external/agentkit/memorycommunicator.h"
#include "external/agentkit/nameregistry.h"
#include "record/experimentlog.h"
#include "scenario/generation.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/scenario.h"
#include "scenario/weatherdata.h"
#include "testhome.h"
#include "ui/consolewiring.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace halyx {
namespace {

constexpr const char* kLocale = "de_DE.UTF-8";

// "1,5"-style numbers: a digit, a comma, a digit.
bool HasCommaDecimal(const std::string& text) {
    static const std::regex comma("[0-9],[0-9]");
    return std::regex_search(text, comma);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(NumbersUnderACommaLocale, StayWithAPointOnTheWireInUnitXmlAndInTheLog) {
    const std::string home = test::RequiredHome() + "/";
    const std::string locales = home + "locales";
    std::filesystem::create_directories(locales);
    const std::string make = "localedef -i de_DE -f UTF-8 '" + locales + "/" + kLocale + "' >'" +
                             home + "localedef.out' 2>&1";
    if (std::system(make.c_str()) != 0 &&
        !std::filesystem::exists(locales + "/" + std::string(kLocale) + "/LC_NUMERIC")) {
        GTEST_SKIP() << "localedef could not make a comma-decimal locale here: "
                     << ReadFile(home + "localedef.out");
    }
    ::setenv("LOCPATH", locales.c_str(), 1);
    ::setenv("LC_ALL", kLocale, 1);

    // The start-up of the programs: the application object takes the user's locale...
    int argc = 1;
    char program[] = "test_numeric_locale";
    char* argv[] = {program, nullptr};
    QCoreApplication app(argc, argv);
    char probe[32];
    std::snprintf(probe, sizeof probe, "%f", 1.5);
    if (std::string(probe) != "1,500000") {
        GTEST_SKIP() << "the compiled locale did not take effect (" << probe << ")";
    }
    // ...and numbers are then put back to the C form, dates and texts stay the user's.
    KeepNumbersInCLocale();
    std::snprintf(probe, sizeof probe, "%f", 1.5);
    ASSERT_STREQ(probe, "1.500000");
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), kLocale);

    CScenario scenario;
    LoadStartScenario(scenario);
    GenerateIncursions(scenario.Incursions(), 20, false);
    GenerateInterceptors(scenario.Interceptors(), 20, false);
    const std::string units =
        IncursionsToXml(scenario.Incursions()) + InterceptorsToXml(scenario.Interceptors());
    EXPECT_FALSE(HasCommaDecimal(units)) << units;
    EXPECT_NE(units.find('.'), std::string::npos);

    CExperimentLog log;
    CHalyxCommand agent(AgentScenario::Of(scenario), log);
    agent.set_debug_sink([](const std::string&) {});
    CNameRegistry registry;
    CMemoryCommunicator comm(agent, &registry);
    agent.AddTeamMember("ALPHA");
    // A cell with fractions under the balloon (the generated grid carries weather only over
    // the launch corridor).
    scenario.Weather().ReplaceCell(scenario.Weather().SlotOfPoint(100, 95),
                                   std::make_unique<CWeatherData>(21.5, 1012.25, 0.75, 8.5, 270.5));
    ASSERT_TRUE(log.Open(home + "logs/", "Comma", "notes", "<Scenario>\n</Scenario>\n"));
    comm.deliver_from("ALPHA", "tell", "tell :command get_weather :lat 100 :lng 95 :balloonID B1");
    ASSERT_EQ(comm.sent().size(), 1u);
    const std::string answer = comm.sent()[0].content;
    EXPECT_NE(answer.find(":temperature 21.500000 :pressure 1012.250000"), std::string::npos)
        << answer;
    EXPECT_FALSE(HasCommaDecimal(answer)) << answer;
    log.LogWeatherResponse(3, "ALPHA", "400", "300", 12.25, 1013.5, 0.5, 7.75, 180.5);
    agent.EndSim();
    log.Close();
    const std::string text = ReadFile(home + "logs/Comma.xml");
    EXPECT_NE(text.find("Temperature=\"12.250000\""), std::string::npos) << text;
    EXPECT_FALSE(HasCommaDecimal(text)) << text;
}

} // namespace
} // namespace halyx
