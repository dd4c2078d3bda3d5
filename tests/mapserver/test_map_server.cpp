// The map server over a real socket: whole maps with their type and length, and nothing but the
// handed-over files.
#include "mapserver/mapserver.h"

#include "rawhttp.h"
#include "testapp.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace halyx {
namespace {

namespace fs = std::filesystem;

// One raw request, read until the server closes the connection: every request here asks it to
// close after answering, so a body that should not come (a HEAD's, a refusal's) is read too.
std::string Ask(quint16 port, const std::string& method, const std::string& target) {
    return test::HttpExchange(port, method + " " + target +
                                        " HTTP/1.1\r\nHost: localhost\r\nContent-Length: 0\r\n"
                                        "Connection: close\r\n\r\n");
}

// What follows the head of an answer ("" without a head).
std::string Body(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? "" : answer.substr(end + 4);
}

class MapServing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestApp("test_mapserver"); }

    void SetUp() override {
        m_root = test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_root / "maps" / "sub");
        Write(m_root / "maps" / "world.txt", m_world);
        Write(m_root / "maps" / "atlantic.txt", "#Brisal MapData(1.1) - atlantic\n1 2 3\n");
        Write(m_root / "maps" / "make-maps.sh", "#!/bin/sh\n");
        Write(m_root / "maps" / "sub" / "inner.txt", "inner\n");
        Write(m_root / "secret.txt", "secret\n");
        fs::create_symlink(m_root / "secret.txt", m_root / "maps" / "link.txt");
        EXPECT_EQ(m_server.ServeFolder((m_root / "maps").string()), 2u);
        std::string error;
        ASSERT_TRUE(m_server.Listen(QHostAddress::LocalHost, 0, error)) << error;
        m_port = m_server.Port();
    }

    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    fs::path m_root;
    std::string m_world = "#Brisal MapData(1.2) - world\n" + std::string(5000, 'w') + "\n";
    CMapServer m_server;
    quint16 m_port = 0;
};

TEST_F(MapServing, GetAnswersTheWholeFileAndHeadItsLength) {
    const std::string length = "\r\nContent-Length: " + std::to_string(m_world.size()) + "\r\n";
    const std::string reply = Ask(m_port, "GET", "/maps/world.txt");
    EXPECT_EQ(test::HttpStatus(reply), 200);
    EXPECT_EQ(Body(reply), m_world);
    EXPECT_NE(reply.find(length), std::string::npos);
    EXPECT_NE(reply.find("\r\nContent-Type: text/plain; charset=utf-8\r\n"), std::string::npos);
    EXPECT_EQ(m_server.AddressOf("world.txt", "127.0.0.2"),
              "http://127.0.0.2:" + std::to_string(m_port) + "/maps/world.txt");
    EXPECT_EQ(m_server.AddressOf("world.txt", "::1"),
              "http://[::1]:" + std::to_string(m_port) + "/maps/world.txt");

    // HEAD answers the length without the body.
    const std::string head = Ask(m_port, "HEAD", "/maps/world.txt");
    EXPECT_EQ(test::HttpStatus(head), 200);
    EXPECT_NE(head.find(length), std::string::npos);
    EXPECT_TRUE(head.ends_with("\r\n\r\n")) << head;
    // And so does a refusal: a kept connection would read its body as the next answer.
    const std::string missing = Ask(m_port, "HEAD", "/maps/none.txt");
    EXPECT_EQ(test::HttpStatus(missing), 404);
    EXPECT_TRUE(missing.ends_with("\r\n\r\n")) << missing;
}

// Which request paths name a map at all is the path reader's test; here, what the server adds:
// a link out of the folder, a file that is no map, a subfolder, an absolute or absolute-form
// target, and one traversal to show the reader is asked.
TEST_F(MapServing, NothingButTheHandedOverFilesIsReachable) {
    // Owned strings: the absolute path is built here, and a pointer into that temporary would
    // be gone before the loop reads it.
    const std::vector<std::string> targets = {"/maps/../secret.txt",
                                              (m_root / "secret.txt").string(),
                                              "/maps/link.txt",
                                              "/maps/make-maps.sh",
                                              "/maps/sub/inner.txt",
                                              "/maps/",
                                              "http://localhost/etc/passwd"};
    for (const std::string& target : targets) {
        const std::string reply = Ask(m_port, "GET", target);
        const int status = test::HttpStatus(reply);
        EXPECT_TRUE(status == 404 || status == 403) << target << " " << status;
        EXPECT_EQ(Body(reply).find("secret"), std::string::npos) << target;
    }
}

TEST_F(MapServing, OnlyGetAndHeadAreAnswered) {
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        EXPECT_EQ(test::HttpStatus(Ask(m_port, method, "/maps/world.txt")), 405) << method;
    }
    EXPECT_EQ(m_server.Served(), 0u);
}

TEST_F(MapServing, AFileTurnedIntoALinkOutOfTheFolderIsNoLongerServed) {
    ASSERT_EQ(test::HttpStatus(Ask(m_port, "GET", "/maps/atlantic.txt")), 200);
    fs::remove(m_root / "maps" / "atlantic.txt");
    fs::create_symlink(m_root / "secret.txt", m_root / "maps" / "atlantic.txt");
    const std::string reply = Ask(m_port, "GET", "/maps/atlantic.txt");
    EXPECT_EQ(test::HttpStatus(reply), 404);
    EXPECT_EQ(Body(reply).find("secret"), std::string::npos);
}

TEST_F(MapServing, ScenarioFilesGetNamesOfTheirOwn) {
    fs::create_directories(m_root / "other");
    Write(m_root / "other" / "world.txt", "#Brisal MapData(1.1) - another world\n");
    const std::string name = m_server.ServeFile((m_root / "other" / "world.txt").string());
    EXPECT_EQ(name, "world-2.txt");
    EXPECT_EQ(m_server.ServeFile((m_root / "other" / "world.txt").string()), "world-2.txt");
    EXPECT_EQ(m_server.ServeFile((m_root / "maps" / "world.txt").string()), "world.txt");
    EXPECT_EQ(m_server.ServeFile((m_root / "missing.txt").string()), "");
    EXPECT_EQ(m_server.ServeFile(m_root.string()), "");
    EXPECT_EQ(Body(Ask(m_port, "GET", "/maps/world-2.txt")),
              "#Brisal MapData(1.1) - another world\n");
}

} // namespace
} // namespace halyx
