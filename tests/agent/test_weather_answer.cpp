// A station's weather balloon asks for the weather at a map point; the answer comes from the
// base layer of the scenario's weather grid.
#include "agentfixture.h"

namespace halyx::test {
namespace {

class WeatherAnswer : public AgentTest {
protected:
    void SetUp() override {
        Team({"S1"});
        OpenLog();
    }
};

TEST_F(WeatherAnswer, AnswersTheAskingStationFromTheCellUnderThePoint) {
    // lat 100 is column 4 (100 / 23.75 = 4.2); lng 95 is row |0 - 39| = 39: slot 1564.
    PutWeatherCell(1564, 10.0);
    Deliver("S1", "tell :command get_weather :lat 100 :lng 95 :balloonID B7");
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_EQ(comm.sent()[0].receiver, "S1");
    EXPECT_EQ(comm.sent()[0].performative, "tell");
    EXPECT_EQ(comm.sent()[0].content,
              "tell :command weather_data :balloonID B7 :lat 100 :lng 95 :temperature 10.000000 "
              ":pressure 11.000000 :humidity 14.000000 :windspeed 12.000000 :winddir 13.000000");
    std::string text = LogText();
    size_t query = text.find(EventStart("WeatherQuery") +
                             " ClockTime=\"0\" From=\"S1\" Lat=\"100\" Lng=\"95\"/>\n");
    size_t response = text.find(EventStart("WeatherResponse") +
                                " ClockTime=\"0\" To=\"S1\" Lat=\"100\" Lng=\"95\" "
                                "Temperature=\"10.000000\" Pressure=\"11.000000\" "
                                "Humidity=\"14.000000\" WindSpeed=\"12.000000\" "
                                "WindDir=\"13.000000\"/>\n");
    ASSERT_NE(query, std::string::npos);
    ASSERT_NE(response, std::string::npos);
    EXPECT_LT(query, response);
}

TEST_F(WeatherAnswer, RowsCountUpFromTheBottomAndTruncateTowardZero) {
    // lat 23, lng 109: column 0, row |1 - 39| = 38.
    PutWeatherCell(38 * 40 + 0, 20.0);
    // lng 94: (94 - 95) / 14 truncates to 0, so row 39 like lng 95.
    PutWeatherCell(39 * 40 + 1, 30.0);
    Deliver("S1", "tell :command get_weather :lat 23 :lng 109 :balloonID a");
    Deliver("S1", "tell :command get_weather :lat 24 :lng 94 :balloonID b");
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_NE(comm.sent()[0].content.find(":temperature 20.000000"), std::string::npos);
    EXPECT_NE(comm.sent()[1].content.find(":temperature 30.000000"), std::string::npos);
}

TEST_F(WeatherAnswer, FractionsAreDroppedButEchoedAsSent) {
    PutWeatherCell(1564, 10.0);
    Deliver("S1", "tell :command get_weather :lat 100.9 :lng 95.7 :balloonID B7");
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_EQ(comm.sent()[0].content.rfind("tell :command weather_data :balloonID B7 :lat 100.9 "
                                           ":lng 95.7 :temperature 10.000000",
                                           0),
              0u);
}

TEST_F(WeatherAnswer, NoCellGivesTheNoDataForm) {
    // An empty grid has no cell anywhere.
    Deliver("S1", "tell :command get_weather :lat 100 :lng 95 :balloonID B7");
    // Row 0 (lng 641) and column -4 (lat -100) give a negative slot.
    PutWeatherCell(1564, 1.0);
    Deliver("S1", "tell :command get_weather :lat -100 :lng 641 :balloonID B8");
    ASSERT_EQ(comm.sent().size(), 2u);
    EXPECT_EQ(comm.sent()[0].content, "tell :command weather_data :error (no data) :balloonID B7");
    EXPECT_EQ(comm.sent()[1].content, "tell :command weather_data :error (no data) :balloonID B8");
    EXPECT_NE(LogText().find(EventStart("WeatherResponse") +
                             " ClockTime=\"0\" To=\"S1\" Lat=\"-100\" Lng=\"641\" "
                             "WeatherData=\"NoData\"/>\n"),
              std::string::npos);
}

TEST_F(WeatherAnswer, MissingKeysStillGetAnAnswer) {
    Deliver("S1", "tell :command get_weather");
    ASSERT_EQ(comm.sent().size(), 1u);
    EXPECT_EQ(comm.sent()[0].content, "tell :command weather_data :error (no data) :balloonID ");
}

} // namespace
} // namespace halyx::test
