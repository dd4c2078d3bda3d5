// A balloon's weather query, answered from the base layer of the scenario's weather grid.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class WeatherAnswer : public AgentTest {
protected:
    void SetUp() override {
        Team({"S1"});
        OpenLog();
    }
    std::string Ask(const std::string& keys) {
        comm.clear_sent();
        Deliver("S1", "tell :command get_weather " + keys);
        return comm.sent().size() == 1 && comm.sent()[0].receiver == "S1"
                   ? comm.sent()[0].content
                   : "no single answer to S1";
    }
};

TEST_F(WeatherAnswer, AnswersFromTheCellUnderThePointOrWithTheNoDataFormAndLogsBoth) {
    EXPECT_EQ(Ask(":lat 100 :lng 95 :balloonID B7"),
              "tell :command weather_data :error (no data) :balloonID B7");
    // lat 100 is column 4 (100 / 23.75 = 4.2); lng 95 is row |0 - 39| = 39: slot 1564.
    PutWeatherCell(1564, 10.0);
    EXPECT_EQ(Ask(":lat 100 :lng 95 :balloonID B7"),
              "tell :command weather_data :balloonID B7 :lat 100 :lng 95 :temperature 10.000000 "
              ":pressure 11.000000 :humidity 14.000000 :windspeed 12.000000 :winddir 13.000000");
    EXPECT_NE(LogText().find(EventStart("WeatherQuery") +
                             " ClockTime=\"0\" From=\"S1\" Lat=\"100\" Lng=\"95\"/>\n" +
                             EventStart("WeatherResponse") +
                             " ClockTime=\"0\" To=\"S1\" Lat=\"100\" Lng=\"95\" "
                             "Temperature=\"10.000000\" Pressure=\"11.000000\" "
                             "Humidity=\"14.000000\" WindSpeed=\"12.000000\" "
                             "WindDir=\"13.000000\"/>\n"),
              std::string::npos);

    // Rows count up from the bottom, and quotients truncate toward zero.
    PutWeatherCell(38 * 40 + 0, 20.0); // lat 23, lng 109: column 0, row |1 - 39| = 38
    PutWeatherCell(39 * 40 + 1, 30.0); // lng 94: -1 / 14 truncates to 0, so row 39
    EXPECT_NE(Ask(":lat 23 :lng 109").find(":temperature 20.000000"), std::string::npos);
    EXPECT_NE(Ask(":lat 24 :lng 94").find(":temperature 30.000000"), std::string::npos);
    // A fraction is dropped for the lookup but echoed as sent.
    EXPECT_EQ(
        Ask(":lat 23.9 :lng 109.5 :balloonID b")
            .rfind("tell :command weather_data :balloonID b :lat 23.9 :lng 109.5 :temperature 20",
                   0),
        0u);

    // Row 0 (lng 641) and column -4 (lat -100) make a negative slot.
    EXPECT_EQ(Ask(":lat -100 :lng 641 :balloonID B8"),
              "tell :command weather_data :error (no data) :balloonID B8");
    EXPECT_NE(LogText().find(EventStart("WeatherResponse") +
                             " ClockTime=\"0\" To=\"S1\" Lat=\"-100\" Lng=\"641\" "
                             "WeatherData=\"NoData\"/>\n"),
              std::string::npos);
    EXPECT_EQ(Ask(""), "tell :command weather_data :error (no data) :balloonID ");
}

// The console works out what a seat's last balloon was told from its own weather.
TEST_F(WeatherAnswer, TheLastBalloonsWeatherIsAProbeFact) {
    for (const char* told :
         {"init_sim :scenario ()", "start_sim :team (tell :number 1 :client0 S1)"}) {
        agent.Probes().WorldFromConsole("HalyxCommand", std::string("tell :command ") + told);
    }
    PutWeatherCell(1564, 10.0);
    Deliver("S1", "tell :command deploy_balloon :destLat 100.5 :destLng 95.5");
    Ask(":lat 100 :lng 95 :balloonID S1-B1");
    CProbe probe = DefaultFreeze(0);
    probe.questions.resize(1);
    probe.questions[0].fact = "balloon_weather:windspeed";
    ASSERT_TRUE(agent.Probes().FreezeNow(probe, 0, {"S1"}));
    Deliver("S1", ProbeAnswerContent(probe.id, {{"contacts", "12"}}));
    EXPECT_NE(LogText().find("Truth=\"12\" Score=\"1\""), std::string::npos);
}

} // namespace
} // namespace halyx::test
