// The human communication page: chat transcript, location that follows the experiment name, and
// the communication log file.
#include "ui/commpage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace halyx;
namespace fs = std::filesystem;

namespace {

struct RecordingView : ICommPageView {
    std::vector<std::string> messages;
    int refreshes = 0;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Refresh() override { ++refreshes; }
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

fs::path TempFolder(const std::string& name) {
    const char* home = std::getenv("HALYX_HOME");
    fs::path base = home ? fs::path(home) : fs::temp_directory_path();
    fs::path folder = base / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(ChatTranscript, StartsWithHeaderAndRule) {
    CCommPage page;
    const std::string& text = page.LogText();
    EXPECT_EQ(text.rfind("New Log Started at ", 0), 0u);
    std::string rule = "\n" + std::string(77, '-') + "\n\n";
    ASSERT_GE(text.size(), rule.size());
    EXPECT_EQ(text.substr(text.size() - rule.size()), rule);
}

TEST(ChatTranscript, ChatLineNamesSenderThenReceiver) {
    RecordingView view;
    CCommPage page(&view);
    std::string before = page.LogText();
    page.AddChatEntry("B", "A", "hi");
    std::string line = page.LogText().substr(before.size());
    ASSERT_EQ(line.front(), '[');
    EXPECT_NE(line.find("] [A] -> [B]: hi\n"), std::string::npos);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(view.refreshes, 1);
}

TEST(ChatTranscript, MarkupInChatIsKeptAsTyped) {
    CCommPage page;
    page.AddChatEntry("B<", "A&", "<b>\"x\"</b>");
    EXPECT_NE(page.LogText().find("[A&] -> [B<]: <b>\"x\"</b>\n"), std::string::npos);
}

TEST(CommLogLocation, FollowsTheExperimentName) {
    CCommPage page;
    page.SetLocation("D:\\Exps");
    EXPECT_EQ(page.Location(), "D:\\Exps");
    page.SetExperimentName("R");
    EXPECT_EQ(page.Location(), "D:\\Exps/R/");
    page.SetExperimentName("Ru");
    EXPECT_EQ(page.Location(), "D:\\Exps/Ru/");
    page.SetExperimentName("");
    EXPECT_EQ(page.Location(), "D:\\Exps");
}

TEST(CommLogLocation, PickingAFolderKeepsTheNameFolder) {
    CCommPage page;
    page.SetExperimentName("Run1");
    page.SetLocation("/data/exps/");
    EXPECT_EQ(page.Location(), "/data/exps/Run1/");
    page.SetExperimentName("Run2");
    EXPECT_EQ(page.Location(), "/data/exps/Run2/");
}

TEST(CommLogLocation, RootFolderStaysARoot) {
    CCommPage page;
    page.SetLocation("/");
    page.SetExperimentName("R");
    EXPECT_EQ(page.Location(), "/R/");
    page.SetExperimentName("S");
    EXPECT_EQ(page.Location(), "/S/");
}

TEST(CommLogFile, SaveNeedsNameAndLocation) {
    RecordingView view;
    CCommPage page(&view);
    EXPECT_FALSE(page.SaveLog());
    page.SetLocation("/tmp");
    EXPECT_FALSE(page.SaveLog());
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[0], "Please fill the name and save location for this experiment");
}

TEST(CommLogFile, SaveWritesMarkersAndLoadRestoresNotesAndPlace) {
    fs::path folder = TempFolder("commlog");
    RecordingView view;
    CCommPage page(&view);
    page.SetLocation(folder.string());
    page.SetExperimentName("Run1");
    page.SetNotes("one line note");
    page.AddChatEntry("B", "A", "hello there");
    std::string logText = page.LogText();
    ASSERT_TRUE(page.SaveLog());
    EXPECT_EQ(view.messages.back(), "Communication Log Saved");

    fs::path file = folder / "Run1" / "Run1.hcl";
    std::string text = ReadAll(file);
    std::string firstLine = text.substr(0, text.find('\n'));
    EXPECT_EQ(firstLine, (folder / "Run1" / "Run1.hef").string());
    EXPECT_NE(text.find("\nFile saved on: "), std::string::npos);
    EXPECT_NE(text.find("\n----BEGIN COMMUNICATION LOG----\n" + logText +
                        "\n----END COMMUNICATION LOG----\n----BEGIN NOTES----\none line "
                        "note\n----END NOTES----\n"),
              std::string::npos);

    CCommPage loaded(&view);
    ASSERT_TRUE(loaded.LoadLog(file.string()));
    EXPECT_EQ(loaded.Notes(), "one line note");
    EXPECT_EQ(loaded.ExperimentName(), "Run1");
    EXPECT_EQ(loaded.Location(), (folder / "Run1").string() + "/");
    EXPECT_EQ(loaded.LogText(), logText + "\n");

    // Later chat lands after the loaded transcript.
    loaded.AddChatEntry("A", "B", "again");
    EXPECT_EQ(loaded.LogText().rfind(logText + "\n[", 0), 0u);
}

TEST(CommLogFile, MultiLineAndEmptyNotesSurviveARoundTrip) {
    fs::path folder = TempFolder("commlog_notes");
    for (std::string notes : {std::string(), std::string("a\nb\n\nc")}) {
        CCommPage page;
        page.SetLocation(folder.string());
        page.SetExperimentName("N");
        page.SetNotes(notes);
        ASSERT_TRUE(page.SaveLog());
        CCommPage loaded;
        ASSERT_TRUE(loaded.LoadLog((folder / "N" / "N.hcl").string()));
        EXPECT_EQ(loaded.Notes(), notes);
    }
}

TEST(CommLogFile, FileFromTheOtherPlatformLoads) {
    fs::path folder = TempFolder("commlog_crlf");
    fs::path file = folder / "x.hcl";
    std::ofstream(file, std::ios::binary)
        << "D:\\Exps\\Run1\\Run1.hef\r\nFile saved on: x\r\n----BEGIN COMMUNICATION LOG----\r\n"
           "line one\r\n\r\n----END COMMUNICATION LOG----\r\n----BEGIN NOTES----\r\nnote\r\n"
           "----END NOTES----\r\n";
    CCommPage page;
    ASSERT_TRUE(page.LoadLog(file.string()));
    EXPECT_EQ(page.Location(), "D:\\Exps\\Run1\\");
    EXPECT_EQ(page.ExperimentName(), "Run1");
    EXPECT_EQ(page.LogText(), "line one\n\n");
    EXPECT_EQ(page.Notes(), "note");
}

TEST(CommLogFile, TruncatedFileIsRefusedAndLosesNothing) {
    fs::path folder = TempFolder("commlog_cut");
    CCommPage source;
    source.SetLocation(folder.string());
    source.SetExperimentName("Cut");
    source.SetNotes("notes");
    source.AddChatEntry("B", "A", "m");
    ASSERT_TRUE(source.SaveLog());
    fs::path file = folder / "Cut" / "Cut.hcl";
    std::string whole = ReadAll(file);

    RecordingView view;
    CCommPage page(&view);
    page.AddChatEntry("Y", "X", "keep me");
    page.SetNotes("mine");
    std::string before = page.LogText();
    fs::path cut = folder / "cut.hcl";
    // Every cut that loses the final end marker must be refused.
    std::size_t lastMarker = whole.rfind("----END NOTES----");
    for (std::size_t n = 0; n <= lastMarker + 5; n += 3) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << whole.substr(0, n);
        EXPECT_FALSE(page.LoadLog(cut.string())) << "cut at " << n;
        EXPECT_EQ(page.LogText(), before);
        EXPECT_EQ(page.Notes(), "mine");
    }
    EXPECT_EQ(view.messages.back(), "The communication log file is incomplete and was not loaded.");
}

TEST(CommLogFile, MissingFileChangesNothingSilently) {
    RecordingView view;
    CCommPage page(&view);
    page.SetNotes("n");
    EXPECT_FALSE(page.LoadLog("/nonexistent/folder/x.hcl"));
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(page.Notes(), "n");
}
