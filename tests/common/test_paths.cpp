// Making folders, probing for files and patterns, and the parts of a path.
#include "common/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace halyx;

namespace {

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root =
            fs::temp_directory_path() /
            ("halyx_paths_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::string Root() const { return m_root.string() + "/"; }
    fs::path m_root;
};

} // namespace

TEST_F(PathsTest, CreatePathMakesEveryMissingFolderButTheLastComponent) {
    const fs::path before = fs::current_path();
    EXPECT_TRUE(CreatePath(Root() + "Halyx/ExpLogs/"));
    EXPECT_TRUE(fs::is_directory(m_root / "Halyx" / "ExpLogs"));
    EXPECT_EQ(fs::current_path(), before);
    EXPECT_TRUE(CreatePath(Root() + "a/b/log.xml"));
    EXPECT_TRUE(fs::is_directory(m_root / "a" / "b"));
    EXPECT_FALSE(fs::exists(m_root / "a" / "b" / "log.xml"));
    EXPECT_TRUE(CreatePath(Root() + "x\\y\\"));
    EXPECT_TRUE(fs::is_directory(m_root / "x" / "y"));
    // A bare name is refused, and a file on the way stops it.
    EXPECT_FALSE(CreatePath("bare_name_without_separator"));
    std::ofstream(m_root / "file") << "x";
    EXPECT_FALSE(CreatePath(Root() + "file/sub/"));
    EXPECT_FALSE(fs::exists(m_root / "file" / "sub"));
}

TEST_F(PathsTest, ProbesTellFoldersFilesAndPatterns) {
    std::ofstream(m_root / "one.hsf") << "x";
    EXPECT_TRUE(FolderExists(Root()));
    EXPECT_FALSE(FolderExists(Root() + "missing/"));
    EXPECT_FALSE(FolderExists(Root() + "missing/deeper/")); // cannot be made is not "exists"
    EXPECT_FALSE(fs::exists(m_root / "missing"));
    EXPECT_TRUE(FileExists(Root() + "one.hsf"));
    EXPECT_FALSE(FileExists(Root() + "two.hsf"));
    EXPECT_TRUE(FileExists(Root() + "*.hsf"));
    EXPECT_TRUE(FileExists(Root() + "o?e.*"));
    EXPECT_FALSE(FileExists(Root() + "*.xml"));
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
    setenv("HALYX_HOME", "/tmp/hh", 1);
    EXPECT_EQ(HalyxHome(), "/tmp/hh/");
    EXPECT_EQ(DefaultExpLogFolder(), "/tmp/hh/ExpLogs/");
    EXPECT_EQ(DefaultScenarioFolder(), "/tmp/hh/Scenarios/");
    unsetenv("HALYX_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(HalyxHome(), "/home/u/Halyx/");
}
