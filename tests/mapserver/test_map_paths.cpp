// Which request paths name a map: only /maps/NAME with a plain file name, however it is encoded.
#include "mapserver/mappath.h"

#include <gtest/gtest.h>

namespace halyx {
namespace {

TEST(MapRequestPath, PlainAndEncodedNamesOfAMap) {
    EXPECT_EQ(MapNameOfRequestPath("/maps/world.txt"), "world.txt");
    EXPECT_EQ(MapNameOfRequestPath("/maps/world%2etxt"), "world.txt");
    EXPECT_EQ(MapNameOfRequestPath("/maps/%77orld.txt"), "world.txt");
    EXPECT_EQ(MapNameOfRequestPath("/maps/my-map_2.txt"), "my-map_2.txt");
}

TEST(MapRequestPath, NothingOutsideTheMapFolderNorAMalformedEscapeIsNamed) {
    for (const char* path :
         {"/maps/../secret.txt", "/maps/%2e%2e/secret.txt", "/maps/%2E%2E%2Fsecret.txt",
          "/maps/..%2fsecret.txt", "/maps/..", "/maps/%2e%2e", "/maps/.", "/maps/.hidden", "/maps/",
          "/maps", "/", "", "/etc/passwd", "//etc/passwd", "/maps//etc/passwd",
          "/maps/%2Fetc%2Fpasswd", "/maps/sub/inner.txt", "/maps/a%5c..%5cb.txt", "/maps/a\\b.txt",
          "/maps/world.txt%00.png", "/MAPS/world.txt", "maps/world.txt", "/other/maps/world.txt",
          "/maps/a%0ab.txt",
          // Malformed escapes
          "/maps/world.txt%", "/maps/world.txt%2", "/maps/%zz.txt", "/maps/%g1.txt",
          "/maps/%%41.txt"}) {
        EXPECT_EQ(MapNameOfRequestPath(path), std::nullopt) << path;
    }
    EXPECT_EQ(MapNameOfRequestPath(std::string("/maps/") + std::string(129, 'a')), std::nullopt);
    EXPECT_TRUE(MapNameOfRequestPath(std::string("/maps/") + std::string(128, 'a')));
}

} // namespace
} // namespace halyx
