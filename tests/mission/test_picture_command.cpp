// halyx-log picture: a picture at a minute as PNG or SVG, one frame each M minutes, a cut-off log
// read through the repair, and malformed values refused with the usage before anything is read.
#include "testhome.h"
#include "toolrun.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace halyx {
namespace {

// halyx-log picture with args (the file names here hold no blanks).
test::ToolRun HalyxLog(const std::string& args) {
    return test::RunTool("HALYX_MAP_DIR=" HALYX_SOURCE_DIR "/data/maps/ " HALYX_BINARY_DIR
                         "/bin/halyx-log picture",
                         args);
}

struct PictureCommand : ::testing::Test {
    const std::string log = HALYX_SOURCE_DIR "/tests/record/data/all_events.xml";
    std::string out;
    void SetUp() override { out = test::FreshFolder("picture"); }
};

TEST_F(PictureCommand, WritesAPictureAtAMinuteAsPngOrSvgAndFramesEveryMMinutesAlsoFromACutLog) {
    test::ToolRun run = HalyxLog(log + " --minute 5 -o " + out + "at5.PNG");
    ASSERT_EQ(run.status, 0) << run.out;
    const QImage png(QString::fromStdString(out + "at5.PNG"), "PNG");
    EXPECT_GT(png.width(), 800);

    run = HalyxLog(log + " -o " + out + "end.svg");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(test::ReadFile(out + "end.svg").find("<svg"), std::string::npos);

    // The log's last command is at minute 25, its decision at the close of the window: the
    // frames run to minute 960, the last one off the 400-minute steps.
    run = HalyxLog(log + " --every 400 -o " + out + "frames");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(QDir(QString::fromStdString(out + "frames")).entryList(QDir::Files),
              (QStringList{QStringLiteral("minute_0000.png"), QStringLiteral("minute_0400.png"),
                           QStringLiteral("minute_0800.png"), QStringLiteral("minute_0960.png")}));

    // A cut-off log is read through the repair.
    const std::string text = test::ReadFile(log);
    const size_t cut = text.find("<Event", text.find("<SimEvents") + 200) + 20;
    ASSERT_GT(cut, 20u);
    std::ofstream(out + "broken.xml", std::ios::binary) << text.substr(0, cut);
    run = HalyxLog(out + "broken.xml -o " + out + "b.png");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("repair"), std::string::npos) << run.out;
    EXPECT_FALSE(test::ReadFile(out + "b.png").empty());
}

TEST_F(PictureCommand, MalformedValuesAreRefusedWithTheUsageAndNothingWritten) {
    const std::string png = out + "x.png";
    for (const std::string& args :
         {log + " --minute abc -o " + png, log + " --minute 961 -o " + png,
          log + " --minute -3 -o " + png, log + " --every 0 -o " + out,
          log + " --every 5 --minute 3 -o " + out, log + " -o " + out + "x.gif", log + " --minute",
          log + " " + log + " -o " + png}) {
        const test::ToolRun run = HalyxLog(args);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_NE(run.out.find("Usage"), std::string::npos) << run.out;
    }
    EXPECT_TRUE(test::ReadFile(png).empty());
    // A log that cannot be read is a failure, not a usage error.
    EXPECT_EQ(HalyxLog(out + "missing.xml -o " + png).status, 1);
}

} // namespace
} // namespace halyx
