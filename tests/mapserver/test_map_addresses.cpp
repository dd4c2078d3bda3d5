// What the stations are sent for each kind of map address: the console's own files become served
// addresses under the host it is known by, other servers' addresses and unservable files stay.
#include "mapserver/mapaddresses.h"
#include "mapserver/mapserver.h"

#include "testapp.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace halyx {
namespace {

namespace fs = std::filesystem;

class MapAddresses : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp("test_mapserver"); }
    void SetUp() override {
        m_root = test::FreshFolder("addresses");
        fs::create_directories(m_root / "maps");
        fs::create_directories(m_root / "mine");
        std::ofstream(m_root / "maps" / "world.txt") << "world\n";
        std::ofstream(m_root / "mine" / "my map.txt") << "mine\n";
        std::ofstream(m_root / "mine" / "coast.txt") << "coast\n";
    }
    std::string File(const std::string& relative) const {
        return "file://" + (m_root / relative).string();
    }
    fs::path m_root;
};

TEST_F(MapAddresses, TheConsolesFilesAreServedUnderItsRegisteredHost) {
    CMapServer server;
    CMapAddresses addresses(server);
    std::string error;
    ASSERT_TRUE(addresses.Serve((m_root / "maps").string(), "127.0.0.1", 0, error)) << error;
    const std::string base = "http://10.0.0.5:" + std::to_string(server.Port()) + "/maps/";
    const auto host = [] { return std::string("10.0.0.5"); };
    EXPECT_EQ(addresses.Resolve(File("maps/world.txt"), host), base + "world.txt");
    // A map of the scenario elsewhere on this machine is served too, under its own name.
    EXPECT_EQ(addresses.Resolve(File("mine/coast.txt"), host), base + "coast.txt");
    EXPECT_EQ(addresses.Resolve((m_root / "mine" / "coast.txt").string(), host),
              base + "coast.txt");
    EXPECT_EQ(addresses.Resolve("http://maps.lab/world.txt", host), "http://maps.lab/world.txt");
    EXPECT_EQ(addresses.Resolve(File("mine/missing.txt"), host), File("mine/missing.txt"));
    // Without a registration the bound address is the best guess.
    EXPECT_EQ(addresses.Resolve(File("maps/world.txt"), [] { return std::string(); }),
              "http://127.0.0.1:" + std::to_string(server.Port()) + "/maps/world.txt");
}

TEST_F(MapAddresses, AnotherServerTakesTheFileNames) {
    CMapServer server;
    CMapAddresses addresses(server);
    EXPECT_FALSE(addresses.Active());
    EXPECT_EQ(addresses.Resolve(File("maps/world.txt"), nullptr), File("maps/world.txt"));
    addresses.UseServer("http://maps.lab:8080/maps");
    EXPECT_TRUE(addresses.Active());
    EXPECT_EQ(addresses.Resolve(File("maps/world.txt"), nullptr),
              "http://maps.lab:8080/maps/world.txt");
    // A name no web address could carry as it is stays a file address.
    EXPECT_EQ(addresses.Resolve(File("mine/my%20map.txt"), nullptr), File("mine/my%20map.txt"));
    EXPECT_FALSE(server.IsListening());
}

TEST(MapServerUrl, OnlyWebAddressesWithAHost) {
    EXPECT_TRUE(IsMapServerUrl("http://maps.lab/maps/"));
    EXPECT_TRUE(IsMapServerUrl("https://10.0.0.1:8443"));
    EXPECT_FALSE(IsMapServerUrl("http://"));
    EXPECT_FALSE(IsMapServerUrl("http:///maps"));
    EXPECT_FALSE(IsMapServerUrl("ftp://maps.lab/"));
    EXPECT_FALSE(IsMapServerUrl("/srv/maps"));
}

} // namespace
} // namespace halyx
