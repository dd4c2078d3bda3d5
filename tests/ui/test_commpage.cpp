// The human communication page: chat transcript, a location that follows the experiment name,
// the communication log file, and the chat of a replay kept apart from the transcript.
#include "record/simeventstore.h"
#include "testhome.h"
#include "ui/commpage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace halyx;

namespace {

struct RecordingView : ICommPageView {
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

using test::ReadFile;

} // namespace

TEST(CommPage, TranscriptLinesGoFromSenderToReceiverAndTheLocationFollowsTheName) {
    CCommPage page;
    const std::string header = page.LogText();
    EXPECT_EQ(header.rfind("New Log Started at ", 0), 0u);
    EXPECT_EQ(header.substr(header.size() - 80), "\n" + std::string(77, '-') + "\n\n");
    page.AddChatEntry("B<", "A", "hi <b>");
    const std::string line = page.LogText().substr(header.size());
    EXPECT_EQ(line.front(), '[');
    EXPECT_EQ(line.substr(line.find("] [")), "] [A] -> [B<]: hi <b>\n");

    // The log's location follows the experiment name.
    page.SetLocation("D:\\Exps");
    page.SetExperimentName("R");
    EXPECT_EQ(page.Location(), "D:\\Exps/R/");
    page.SetExperimentName("Ru");
    EXPECT_EQ(page.Location(), "D:\\Exps/Ru/");
    page.SetExperimentName("");
    EXPECT_EQ(page.Location(), "D:\\Exps");
    // A root keeps being the root.
    page.SetLocation("/");
    page.SetExperimentName("S");
    page.SetExperimentName("T");
    EXPECT_EQ(page.Location(), "/T/");
}

TEST(CommLogFile, SaveNeedsANameThenLoadGivesBackNotesPlaceAndTranscript) {
    const std::string folder = test::FreshFolder("commlog");
    RecordingView unnamedView;
    CCommPage unnamed(&unnamedView);
    unnamed.SetLocation(folder);
    EXPECT_FALSE(unnamed.SaveLog());
    EXPECT_EQ(
        unnamedView.messages,
        std::vector<std::string>{"Please fill the name and save location for this experiment"});
    for (std::string notes : {std::string("one line note"), std::string(), std::string("a\n\nb")}) {
        RecordingView view;
        CCommPage page(&view);
        page.SetLocation(folder);
        page.SetExperimentName("Run1");
        page.SetNotes(notes);
        page.AddChatEntry("B", "A", "hello there");
        ASSERT_TRUE(page.SaveLog());
        EXPECT_EQ(view.messages, std::vector<std::string>{"Communication Log Saved"});
        const std::string file = folder + "Run1/Run1.hcl";
        // Saving again brings this page's own file up to date; another page (another
        // experiment) may not overwrite it.
        EXPECT_TRUE(page.SaveLog());
        RecordingView otherView;
        CCommPage other(&otherView);
        other.SetLocation(folder);
        other.SetExperimentName("Run1");
        EXPECT_FALSE(other.SaveLog());
        EXPECT_EQ(otherView.messages,
                  std::vector<std::string>{"A log of this name exists in this folder"});
        const std::string text = ReadFile(file);
        EXPECT_EQ(text.substr(0, text.find('\n')), folder + "Run1/Run1.hef");
        EXPECT_NE(text.find("\n----BEGIN COMMUNICATION LOG----\n" + page.LogText() +
                            "\n----END COMMUNICATION LOG----\n----BEGIN NOTES----\n" + notes +
                            "\n----END NOTES----\n"),
                  std::string::npos);

        CCommPage loaded;
        ASSERT_TRUE(loaded.LoadLog(file));
        EXPECT_EQ(loaded.Notes(), notes);
        EXPECT_EQ(loaded.ExperimentName(), "Run1");
        EXPECT_EQ(loaded.Location(), folder + "Run1/");
        EXPECT_EQ(loaded.LogText(), page.LogText() + "\n");
        // The next round is another experiment of that name: its old file goes first.
        std::filesystem::remove(file);
    }
}

TEST(CommLogFile, FileFromTheOtherPlatformLoads) {
    const std::string file = test::FreshFolder("commlog_crlf") + "x.hcl";
    std::ofstream(file, std::ios::binary)
        << "D:\\Exps\\Run1\\Run1.hef\r\nFile saved on: x\r\n----BEGIN COMMUNICATION LOG----\r\n"
           "line one\r\n\r\n----END COMMUNICATION LOG----\r\n----BEGIN NOTES----\r\nnote\r\n"
           "----END NOTES----\r\n";
    CCommPage page;
    ASSERT_TRUE(page.LoadLog(file));
    EXPECT_EQ(page.Location(), "D:\\Exps\\Run1\\");
    EXPECT_EQ(page.ExperimentName(), "Run1");
    EXPECT_EQ(page.LogText(), "line one\n\n");
    EXPECT_EQ(page.Notes(), "note");
}

TEST(CommLogFile, CutOffFileIsRefusedAndLosesNothing) {
    const std::string folder = test::FreshFolder("commlog_cut");
    CCommPage source;
    source.SetLocation(folder);
    source.SetExperimentName("Cut");
    source.AddChatEntry("B", "A", "m");
    ASSERT_TRUE(source.SaveLog());
    const std::string whole = ReadFile(folder + "Cut/Cut.hcl");

    RecordingView view;
    CCommPage page(&view);
    page.AddChatEntry("Y", "X", "keep me");
    page.SetNotes("mine");
    const std::string before = page.LogText();
    const std::string cut = folder + "cut.hcl";
    for (size_t n = 0; n < whole.rfind("----END NOTES----") + 5; n += 3) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << whole.substr(0, n);
        EXPECT_FALSE(page.LoadLog(cut)) << "cut at " << n;
        EXPECT_EQ(page.LogText(), before);
        EXPECT_EQ(page.Notes(), "mine");
    }
    EXPECT_EQ(view.messages.back(), "The communication log file is incomplete and was not loaded.");
    // A file that cannot be opened changes nothing and shows nothing.
    view.messages.clear();
    EXPECT_FALSE(page.LoadLog(folder + "missing.hcl"));
    EXPECT_TRUE(view.messages.empty());
}

TEST(CommPageReplay, RecordedChatIsShownByMinuteAndWhatIsNoChatIsSkipped) {
    CCommPage page;
    const std::string transcript = page.LogText();
    const auto record = [](int minute, std::string sender, std::string content) {
        return CSimEvent{.clockTime = minute,
                         .sender = std::move(sender),
                         .receiver = {},
                         .tsid = minute,
                         .content = std::move(content)};
    };
    CSimEventStore events;
    events.LoadRecords({
        record(3, "ALPHA", "tell :command subject_communication :from ALPHA :message (hi (there))"),
        // A broken record, another command, a chat naming no sender: none of them stops the
        // replay, the broken one is left out, the last is shown under its recorded station.
        record(4, "ALPHA", "tell :command subject_communication :from (ALPHA :message"),
        record(5, "BRAVO", "tell :command abort :resource 1 :id I1"),
        record(6, "BRAVO", "tell :command subject_communication :to ALPHA :message (ok)"),
        record(7, "BRAVO", "tell :command subject_communication :from ALPHA :message (me)"),
    });
    page.ClearReplay();
    EXPECT_TRUE(page.ReplayActive());
    page.ShowReplayUpTo(960, events);
    EXPECT_EQ(page.ReplayText(),
              "[Minute 3] [ALPHA]: hi (there)\n[Minute 6] [BRAVO] -> [ALPHA]: ok\n"
              "[Minute 7] [BRAVO (as ALPHA)]: me\n");
    const unsigned generation = page.ReplayGeneration();
    page.ShowReplayUpTo(5, events);
    EXPECT_EQ(page.ReplayText(), "[Minute 3] [ALPHA]: hi (there)\n");
    EXPECT_NE(page.ReplayGeneration(), generation);
    page.ShowReplayUpTo(2, events);
    EXPECT_EQ(page.ReplayText(), "");
    // Another experiment loaded in between is read from its start.
    events.LoadRecords({record(1, "CHARLIE",
                               "tell :command subject_communication :from CHARLIE "
                               ":message (new)")});
    page.ShowReplayUpTo(2, events);
    EXPECT_EQ(page.ReplayText(), "[Minute 1] [CHARLIE]: new\n");
    // The log keeps no receiver: with the team known, the line names those the replay sends to.
    page.ClearReplay();
    page.ShowReplayUpTo(2, events, {"ALPHA", "CHARLIE", "BRAVO"});
    EXPECT_EQ(page.ReplayText(), "[Minute 1] [CHARLIE] -> [ALPHA, BRAVO]: new\n");
    EXPECT_EQ(page.LogText(), transcript);
}
