// The map server over a real socket: maps come back whole with their type and length, HEAD
// answers the length without the body, and nothing but the handed-over files can be reached
// (a parent folder, absolute paths, links out of the folder, other methods).
#include "mapserver/mapserver.h"

#include "rawhttp.h"
#include "testapp.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace halyx {
namespace {

namespace fs = std::filesystem;

struct Reply {
    int status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    bool complete = false;
};

// One raw request, read until the server closes the connection: every request here asks it to
// close after answering, so a body that should not come (a HEAD's, a refusal's) is read too.
Reply Send(quint16 port, const std::string& request) {
    const std::string in = test::HttpExchange(port, request);
    Reply reply;
    const size_t end = in.find("\r\n\r\n");
    if (end == std::string::npos) {
        return reply;
    }
    reply.status = test::HttpStatus(in);
    for (size_t line = in.find("\r\n") + 2; line < end;) {
        const size_t next = in.find("\r\n", line);
        const std::string header = in.substr(line, next - line);
        const size_t colon = header.find(':');
        std::string name = header.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        reply.headers[name] = header.substr(header.find_first_not_of(' ', colon + 1));
        line = next + 2;
    }
    reply.body = in.substr(end + 4);
    reply.complete = true;
    return reply;
}

Reply Get(quint16 port, const std::string& target) {
    return Send(port,
                "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
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
    const Reply reply = Get(m_port, "/maps/world.txt");
    ASSERT_TRUE(reply.complete);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, m_world);
    EXPECT_EQ(reply.headers.at("content-length"), std::to_string(m_world.size()));
    EXPECT_EQ(reply.headers.at("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(m_server.AddressOf("world.txt", "127.0.0.2"),
              "http://127.0.0.2:" + std::to_string(m_port) + "/maps/world.txt");
    EXPECT_EQ(m_server.AddressOf("world.txt", "::1"),
              "http://[::1]:" + std::to_string(m_port) + "/maps/world.txt");

    // HEAD answers the length without the body.
    const std::string close = " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
    const Reply head = Send(m_port, "HEAD /maps/world.txt" + close);
    ASSERT_TRUE(head.complete);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers.at("content-length"), std::to_string(m_world.size()));
    EXPECT_EQ(head.body, "");
    // And so does a refusal: a kept connection would read its body as the next answer.
    const Reply missing = Send(m_port, "HEAD /maps/none.txt" + close);
    ASSERT_TRUE(missing.complete);
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body, "");
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
        const Reply reply = Get(m_port, target);
        ASSERT_TRUE(reply.complete) << target;
        EXPECT_TRUE(reply.status == 404 || reply.status == 403) << target << " " << reply.status;
        EXPECT_EQ(reply.body.find("secret"), std::string::npos) << target;
    }
}

TEST_F(MapServing, OnlyGetAndHeadAreAnswered) {
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
        const Reply reply =
            Send(m_port, std::string(method) + " /maps/world.txt HTTP/1.1\r\nHost: localhost\r\n"
                                               "Content-Length: 0\r\nConnection: close\r\n\r\n");
        ASSERT_TRUE(reply.complete) << method;
        EXPECT_EQ(reply.status, 405) << method;
    }
    EXPECT_EQ(m_server.Served(), 0u);
}

TEST_F(MapServing, AFileTurnedIntoALinkOutOfTheFolderIsNoLongerServed) {
    ASSERT_EQ(Get(m_port, "/maps/atlantic.txt").status, 200);
    fs::remove(m_root / "maps" / "atlantic.txt");
    fs::create_symlink(m_root / "secret.txt", m_root / "maps" / "atlantic.txt");
    const Reply reply = Get(m_port, "/maps/atlantic.txt");
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body.find("secret"), std::string::npos);
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
    EXPECT_EQ(Get(m_port, "/maps/world-2.txt").body, "#Brisal MapData(1.1) - another world\n");
}

} // namespace
} // namespace halyx
