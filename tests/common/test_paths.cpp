// Making folders, probing for files and patterns, and the parts of a path.
#include "common/paths.h"

#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace halyx;

TEST(PathsTest, CreatePathMakesEveryMissingFolderButTheLastAndProbesTellWhatIsThere) {
    const std::string root = test::FreshFolder("create");
    const fs::path before = fs::current_path();
    EXPECT_TRUE(CreatePath(root + "Halyx/ExpLogs/"));
    EXPECT_TRUE(fs::is_directory(root + "Halyx/ExpLogs"));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_TRUE(CreatePath(root + "a/b/log.xml"));
    EXPECT_TRUE(fs::is_directory(root + "a/b"));
    EXPECT_FALSE(fs::exists(root + "a/b/log.xml"));
    EXPECT_TRUE(CreatePath(root + "x\\y\\"));
    EXPECT_TRUE(fs::is_directory(root + "x/y"));
    // A bare name is refused, and a file on the way stops it.
    EXPECT_FALSE(CreatePath("bare_name_without_separator"));
    std::ofstream(root + "file") << "x";
    EXPECT_FALSE(CreatePath(root + "file/sub/"));
    EXPECT_FALSE(fs::exists(root + "file/sub"));

    std::ofstream(root + "one.hsf") << "x";
    EXPECT_TRUE(FolderExists(root));
    EXPECT_FALSE(FolderExists(root + "missing/"));
    EXPECT_FALSE(FolderExists(root + "missing/deeper/")); // cannot be made is not "exists"
    EXPECT_FALSE(fs::exists(root + "missing"));
    EXPECT_TRUE(FileExists(root + "one.hsf"));
    EXPECT_FALSE(FileExists(root + "two.hsf"));
    EXPECT_TRUE(FileExists(root + "*.hsf"));
    EXPECT_TRUE(FileExists(root + "o?e.*"));
    EXPECT_FALSE(FileExists(root + "*.xml"));
}

TEST(PathText, SplitsAndConverts) {
    EXPECT_EQ(ToPortablePath("C:\\Halyx\\Scenarios\\a.hsf"), "C:/Halyx/Scenarios/a.hsf");
    EXPECT_EQ(FileNamePart("C:\\Halyx\\a.hsf"), "a.hsf");
    EXPECT_EQ(FolderPart("dir/sub\\a.hsf"), "dir/sub\\");
    EXPECT_EQ(FolderPart("a.hsf"), "");
    EXPECT_TRUE(EndsWithSeparator("x\\"));
    EXPECT_FALSE(EndsWithSeparator(""));
}

TEST(HalyxHome, ComesFromTheEnvironmentWithADefault) {
    const std::string home = test::RequiredHome(); // the scratch folders of the tests above
    setenv("HALYX_HOME", "/tmp/hh", 1);
    EXPECT_EQ(HalyxHome(), "/tmp/hh/");
    EXPECT_EQ(DefaultExpLogFolder(), "/tmp/hh/ExpLogs/");
    EXPECT_EQ(DefaultScenarioFolder(), "/tmp/hh/Scenarios/");
    unsetenv("HALYX_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(HalyxHome(), "/home/u/Halyx/");
    setenv("HALYX_HOME", home.c_str(), 1);
}
