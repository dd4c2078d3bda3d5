// Fetching a map by its address (a path, a file address or a web address) and what the user is
// told when that fails; the map loaded before must survive every failure.
#include "scenariotest.h"

#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace halyx {
namespace {

const std::string kData = std::string(HALYX_TEST_DATA_DIR) + "/geography/";

// Answers each connection on a loopback port with status and body. Without a status it only
// listens: the system completes each connection and nobody ever answers, as with a hung server.
class LoopbackServer {
public:
    explicit LoopbackServer(const std::string& status = "", const std::string& body = "") {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        ::listen(m_socket, 4);
        const std::string answer = "HTTP/1.1 " + status +
                                   "\r\nContent-Length: " + std::to_string(body.size()) +
                                   "\r\nConnection: close\r\n\r\n" + body;
        if (!status.empty()) {
            m_thread = std::thread([this, answer] {
                for (int client; (client = ::accept(m_socket, nullptr, nullptr)) >= 0;
                     ::close(client)) {
                    char request[4096];
                    (void)::recv(client, request, sizeof request, 0);
                    (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
                }
            });
        }
    }
    ~LoopbackServer() {
        ::shutdown(m_socket, SHUT_RDWR); // ends a waiting accept
        ::close(m_socket);
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    int m_socket = -1;
    int m_port = 0;
    std::thread m_thread;
};

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = test::RequiredHome() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

class MapFetch : public testing::Test {
protected:
    void SetUp() override {
        geography.SetTerrain(CTerrain("Land", "Solid", 35, MakeRgb(0, 0, 0)));
        ASSERT_TRUE(geography.GetMapFromURL(kData + "small12.txt", view));
        EXPECT_TRUE(view.messages.empty());
    }
    // The 4 by 3 map of small12.txt is still the one loaded.
    void ExpectPreviousMap() {
        const CWorldMap& map = geography.GetWorldMap();
        EXPECT_EQ(map.getWidth(), 4);
        EXPECT_EQ(map.getHeight(), 3);
        EXPECT_EQ(map.TerrainAt(3, 0), '#');
        EXPECT_EQ(map.getScalefactor(), 3);
        EXPECT_TRUE(map.GetGridlines());
        EXPECT_EQ(map.GetGridLatStep(), 40);
    }

    CGeography geography;
    test::RecordingView view;
};

// The header itself is the map reader's test; here, what the geography adds.
TEST_F(MapFetch, TheMapTakesTheTerrainColoursAndVersion11ReportsItsSize) {
    EXPECT_EQ(geography.GetWorldMap().TerrainColour('#'), MakeRgb(0, 0, 0));
    ASSERT_TRUE(geography.GetMapFromURL("file://" + kData + "small11.txt", view));
    EXPECT_EQ(view.messages, std::vector<std::string>{"Map is 5 pixels wide by 3 pixels high"});
}

TEST_F(MapFetch, UnreadableFilesSayWhyAndKeepThePreviousMap) {
    const std::string missing = kData + "no-such-map.txt";
    EXPECT_FALSE(geography.GetMapFromURL(missing, view));
    EXPECT_EQ(view.messages, std::vector<std::string>{"Error in retriving " + missing});
    EXPECT_NE(geography.LastMapError().find("no such file"), std::string::npos);
    ExpectPreviousMap();

    const std::string internal = "Internal Error: CHalyxStationView::GetMapFromURL()";
    const std::string plain = WriteTemp("plain.txt", "just some text\n4#/\n");
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {plain, {"Invalid File Format " + plain, internal}},
        {WriteTemp("h1.txt", "#Brisal MapData(1.2) -"), {internal}}};
    for (const auto& [path, messages] : cases) {
        view.messages.clear();
        EXPECT_FALSE(geography.GetMapFromURL(path, view)) << path;
        EXPECT_EQ(view.messages, messages);
        ExpectPreviousMap();
    }

    // A broken body: the reader's description of where follows the path.
    const std::string rows =
        WriteTemp("rows.txt", "#Brisal MapData(1.2) -\n4\n0:4\n2\n0:2\n0:0\n4-/\n3-");
    view.messages.clear();
    EXPECT_FALSE(geography.GetMapFromURL(rows, view));
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].rfind("Invalid File Format " + rows + "\n", 0), 0u);
    ExpectPreviousMap();
}

TEST_F(MapFetch, WebAddressesReadLikeFilesAndFailWithoutHanging) {
    const std::string body = test::ReadFile(kData + "small11.txt");
    {
        LoopbackServer server("200 OK", body);
        ASSERT_TRUE(geography.GetMapFromURL(server.Url("/maps/world.txt"), view));
        EXPECT_EQ(geography.GetWorldMap().getWidth(), 5);
    }
    ASSERT_TRUE(geography.GetMapFromURL(kData + "small12.txt", view));
    view.messages.clear();

    LoopbackServer missing("404 Not Found", "gone");
    const std::string url = missing.Url("/maps/none.txt");
    EXPECT_FALSE(geography.GetMapFromURL(url, view));
    EXPECT_EQ(view.messages, std::vector<std::string>{"Error in retriving " + url});
    EXPECT_NE(geography.LastMapError().find("404"), std::string::npos) << geography.LastMapError();
    ExpectPreviousMap();

    // A server that accepts and never answers times out.
    LoopbackServer silent;
    CMapSourceOptions options;
    options.totalTimeoutMs = 300;
    geography.SetMapSourceOptions(options);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(geography.GetMapFromURL(silent.Url("/world.txt"), view));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ExpectPreviousMap();
}

TEST(MapAddresses, FileAddressesAndOtherPlatformPathsNameLocalFiles) {
    EXPECT_EQ(MapAddressToPath("file:///srv/maps/world.txt"), "/srv/maps/world.txt");
    EXPECT_EQ(MapAddressToPath("file://localhost/srv/my%20maps/a.txt"), "/srv/my maps/a.txt");
    EXPECT_EQ(MapAddressToPath("FILE:///C:/Halyx/world.txt"), "C:/Halyx/world.txt");
    EXPECT_EQ(MapAddressToPath("maps\\world.txt"), "maps/world.txt");
    EXPECT_EQ(ClassifyMapAddress("HTTPS://maps.example/world.txt"), MapAddressKind::Http);
    EXPECT_EQ(ClassifyMapAddress("/srv/http/world.txt"), MapAddressKind::File);
    EXPECT_EQ(MapAddressToPath(PathToFileAddress("/srv/my maps/50%.txt")), "/srv/my maps/50%.txt");
}

TEST(MapBounds, CornersComeFromTheHeaderAndAreRememberedPerAddress) {
    CGeography geography;
    test::RecordingView view;
    geography.SetMapURL(0, kData + "small12.txt");
    geography.SetMapURL(1, kData + "small11.txt");
    CLatLng one, two;
    ASSERT_TRUE(geography.GetCachedMapBounds(0, one, two, view));
    EXPECT_EQ(one, (CLatLng{100, 200}));
    EXPECT_EQ(two, (CLatLng{140, 230}));
    EXPECT_FALSE(geography.GetCachedMapBounds(1, one, two, view)); // 1.1 has no bounds
    EXPECT_TRUE(view.messages.empty());

    geography.SetMapURL(2, kData + "gone.txt");
    EXPECT_FALSE(geography.GetCachedMapBounds(2, one, two, view));
    EXPECT_FALSE(geography.GetCachedMapBounds(2, one, two, view));
    // A dead address is tried once, not on every redraw.
    EXPECT_EQ(view.messages, std::vector<std::string>{"Error in retriving " + kData + "gone.txt"});
}

TEST(ShippedMaps, DefaultAddressesFindThemAndTheWorldMapPutsLandAndSeaWhereTheyBelong) {
    setenv("HALYX_MAP_DIR", (std::string(HALYX_SOURCE_DIR) + "/data/maps").c_str(), 1);
    CScenario scenario;
    LoadDefaultScenario(scenario);
    unsetenv("HALYX_MAP_DIR");
    CGeography& geography = scenario.Geography();
    test::RecordingView view;
    // The station maps are windows around their stations; the global map is read last.
    for (int i = 0; i < 4; ++i) {
        const std::string address = geography.GetMapURL(i);
        ASSERT_TRUE(geography.GetMapFromURL(address, view)) << geography.LastMapError();
        CLatLng one, two;
        if (i < 3) {
            ASSERT_TRUE(geography.GetMapBounds(address, one, two, view)) << address;
            const CLatLng station = CGeography::StationPosition(i);
            EXPECT_TRUE(one.lat < station.lat && station.lat < two.lat) << address;
            EXPECT_TRUE(one.lng < station.lng && station.lng < two.lng) << address;
        }
    }
    const CWorldMap& map = geography.GetWorldMap();
    EXPECT_EQ(map.getWidth(), 1000);
    EXPECT_EQ(map.getHeight(), 700);
    // Map latitude = 8.42 (longitude + 101.5), map longitude = 9.36 (latitude + 23.6).
    auto terrain = [&](double lonDeg, double latDeg) {
        const CMapPixel p = map.pixelloc(8.42 * (lonDeg + 101.5), 9.36 * (latDeg + 23.6));
        return map.TerrainAt(p.x, p.y);
    };
    EXPECT_EQ(terrain(-50, -10), '#');  // Brazil
    EXPECT_EQ(terrain(0, 20), '#');     // Sahara
    EXPECT_EQ(terrain(-81.5, 28), '#'); // Florida
    EXPECT_EQ(terrain(-40, 30), '-');   // mid-Atlantic
    EXPECT_EQ(terrain(-90, 25), '-');   // Gulf of Mexico
    EXPECT_EQ(terrain(-20, 5), '-');    // Gulf of Guinea's west

    // Without the variable, the maps are found where the build copies them, share/halyx/maps
    // beside bin/ (as when installed), whatever folder the build was configured in.
    EXPECT_TRUE(std::filesystem::exists(DefaultMapFolder() + "world.txt")) << DefaultMapFolder();
    EXPECT_TRUE(
        std::filesystem::exists(std::string(HALYX_BINARY_DIR) + "/share/halyx/maps/world.txt"));
}

} // namespace
} // namespace halyx
