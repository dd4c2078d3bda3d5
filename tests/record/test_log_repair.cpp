// Making a closed, loadable copy of a log whose program died during the run.

#include "record/experimentlog.h"
#include "record/logrepair.h"
#include "recordtestutil.h"

#include "record/fileio.h"
#include "record/logloader.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace halyx {
namespace {

using test::ReadFile;

// A log as the writer leaves it in the middle of a run: four complete events.
std::string RunningLog() {
    const std::string folder = test::FreshFolder("running");
    CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
    log.Open(folder, "run", "notes", "<Scenario>\n<Radars/>\n</Scenario>\n");
    log.LogInitSim();
    log.LogChatMsg(2, "ALPHA", "first");
    log.LogAbort(3, "ALPHA", "Radar", "R1", "1", "2", "3", "4");
    log.LogUnitDisplay(4, "ALPHA", "tell :unitType Incursion :id I1");
    return ReadFile(folder + "run.xml"); // read while the log is still open
}

test::LoadedLog Load(const std::string& text) {
    return test::LoadLog(text, true);
}

TEST(LogRepair, ALogCutInItsEventsBecomesALoadableCopyOfItsCompleteEventsCutBeforeItIsRefused) {
    const std::string full = RunningLog();
    const size_t eventsStart = full.find("<SimEvents>\n") + 12;
    // Every cut from the start of the events section to the end of the file.
    for (size_t cut = eventsStart; cut <= full.size(); ++cut) {
        std::string repaired;
        const LogRepairResult r = RepairExperimentLogText(full.substr(0, cut), repaired);
        ASSERT_EQ(r.status, LogRepairStatus::Repaired) << "cut at " << cut << ": " << r.message;
        const test::LoadedLog loaded = Load(repaired);
        ASSERT_TRUE(loaded.result) << "cut at " << cut << ": " << loaded.result.detail;
        EXPECT_TRUE(loaded.team.empty());
        EXPECT_EQ(r.keptBytes + r.droppedBytes, cut);
        EXPECT_EQ(repaired.compare(0, r.keptBytes, full, 0, r.keptBytes), 0);
    }

    // Every complete event is kept and the one being written is dropped.
    const std::string cutInChat = full.substr(0, full.find("first") + 3);
    std::string repaired;
    LogRepairResult r = RepairExperimentLogText(cutInChat, repaired);
    EXPECT_EQ(r.eventsKept, 1u);
    EXPECT_EQ(repaired.find("first"), std::string::npos);
    EXPECT_TRUE(repaired.ends_with(
        "Name=\"InitSim\"/>\n</SimEvents>\n<TeamMembers>\n</TeamMembers></HalyxSimLog>"));

    r = RepairExperimentLogText(full, repaired);
    EXPECT_EQ(r.eventsKept, 4u);
    EXPECT_EQ(r.droppedBytes, 0u);
    EXPECT_EQ(Load(repaired).events.Count(), 2u); // the chat and the abort are replayable

    // Without its whole scenario a log cannot be replayed.
    for (const char* marker : {"<Radars/>", "<Notes>", "<HalyxSimLog>"}) {
        r = RepairExperimentLogText(full.substr(0, full.find(marker)), repaired);
        EXPECT_EQ(r.status, LogRepairStatus::NotRepairable) << marker;
        EXPECT_FALSE(r.message.empty());
        EXPECT_TRUE(repaired.empty());
    }
    EXPECT_EQ(RepairExperimentLogText("", repaired).status, LogRepairStatus::NotRepairable);
    EXPECT_EQ(RepairExperimentLogText("\x01\x02 binary <<<", repaired).status,
              LogRepairStatus::NotRepairable);
}

// A run cut off after initialisation: the team line, confirmations in another order, a
// station-unreachable note among the events.
std::string CutRun(bool withTeamLine, std::vector<std::string> team = {"ALPHA", "BRAVO"}) {
    const std::string folder = test::FreshFolder("cutrun");
    CExperimentLog log(test::SteppingClock{test::kAfternoonTsid});
    log.Open(folder, "run", "", "<Scenario>\n</Scenario>\n");
    log.LogInitSim();
    log.LogTeamMode("Multiplayer");
    if (withTeamLine) {
        log.LogTeam(team);
    }
    log.LogInitSimConf("BRAVO");
    log.LogInitSimConf("ALPHA");
    log.LogInitSimConf("BRAVO");
    log.WriteText("<!-- station BRAVO unreachable at clock 3 -->\n");
    log.LogChatMsg(4, "ALPHA", "hello");
    return ReadFile(folder + "run.xml") + "<Event TimeStamp=\"12/5/20";
}

TEST(LogRepair, TheTeamComesBackFromTheTeamLineOrFromTheConfirmations) {
    std::string repaired;
    LogRepairResult r = RepairExperimentLogText(CutRun(true), repaired);
    ASSERT_EQ(r.status, LogRepairStatus::Repaired) << r.message;
    EXPECT_NE(r.message.find("The team (ALPHA, BRAVO) was taken from the team line"),
              std::string::npos)
        << r.message;
    test::LoadedLog loaded = Load(repaired);
    ASSERT_TRUE(loaded.result) << loaded.result.detail;
    EXPECT_EQ(loaded.team, (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_EQ(loaded.events.Count(), 1u);

    // An older log, written before the team line: the stations in the order they confirmed.
    r = RepairExperimentLogText(CutRun(false), repaired);
    ASSERT_EQ(r.status, LogRepairStatus::Repaired) << r.message;
    EXPECT_NE(r.message.find("no team line (an older log): the team (BRAVO, ALPHA) was taken "
                             "from the stations that confirmed"),
              std::string::npos)
        << r.message;
    EXPECT_EQ(Load(repaired).team, (std::vector<std::string>{"BRAVO", "ALPHA"}));

    // Names that could end a comment or the list.
    const std::vector<std::string> odd = {"A--B", "C | D", "-E-", "50%", "<F&G>", "", "tab\there"};
    r = RepairExperimentLogText(CutRun(true, odd), repaired);
    ASSERT_EQ(r.status, LogRepairStatus::Repaired) << r.message;
    loaded = Load(repaired);
    ASSERT_TRUE(loaded.result) << loaded.result.detail;
    EXPECT_EQ(loaded.team, odd);
}

// What a run leaves when it breaks off after the events section. (A complete log is copied
// unchanged: WritesABesideCopy...)
TEST(LogRepair, EndsBrokenOffAfterTheEvents) {
    const std::string running = RunningLog();
    std::string repaired;
    // A team section broken off keeps its complete names.
    ASSERT_TRUE(RepairExperimentLogText(running + "</SimEvents>\n<TeamMembers>\n<TeamMember "
                                                  "Name=\"ALPHA\"/>\n<TeamMember Na",
                                        repaired));
    EXPECT_EQ(Load(repaired).team, std::vector<std::string>{"ALPHA"});

    // An ended mission without the closing tag, cut in a late report: the report goes.
    const std::string ended = running + "</SimEvents>\n" + TeamMembersXml({"ALPHA", "BRAVO"});
    ASSERT_EQ(RepairExperimentLogText(ended + "<MissionStats TeamMember=\"ALPHA\">\n<TotalCost>"
                                              "5</TotalCost>\n<Rada",
                                      repaired)
                  .status,
              LogRepairStatus::Repaired);
    EXPECT_EQ(Load(repaired).team, (std::vector<std::string>{"ALPHA", "BRAVO"}));
    EXPECT_EQ(repaired.find("MissionStats"), std::string::npos);

    // An older log closed without its events' end.
    ASSERT_EQ(RepairExperimentLogText(running + "</HalyxSimLog>", repaired).status,
              LogRepairStatus::Repaired);
    EXPECT_TRUE(Load(repaired).result);
}

TEST(LogRepair, WhateverTheDamageARepairedCopyAlwaysLoads) {
    const std::string good = RunningLog() + "</SimEvents>\n" + TeamMembersXml({"A"});
    test::Lcg next{777};
    const std::string alphabet = "<>/\"=' \n&;!-?";
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        text[next() % text.size()] = alphabet[next() % alphabet.size()];
        text.resize(text.size() - next() % (text.size() / 2));
        std::string repaired;
        const LogRepairResult r = RepairExperimentLogText(text, repaired);
        if (r) {
            EXPECT_TRUE(Load(repaired).result) << text;
        } else {
            EXPECT_TRUE(repaired.empty());
        }
    }
}

TEST(LogRepair, WritesABesideCopyAndNeverOverTheOriginal) {
    const std::string folder = test::FreshFolder("repairfile");
    const std::string in = folder + "HalyxSimLog_0007.xml";
    const std::string cut = RunningLog();
    test::WriteAll(in, cut);
    EXPECT_EQ(RepairedLogPath(in), folder + "HalyxSimLog_0007_repaired.xml");

    const LogRepairResult r = RepairExperimentLog(in, RepairedLogPath(in));
    ASSERT_TRUE(r) << r.message;
    EXPECT_NE(r.message.find(RepairedLogPath(in)), std::string::npos);
    EXPECT_TRUE(Load(ReadFile(RepairedLogPath(in))).result);
    EXPECT_EQ(ReadFile(in), cut);
    // The file is written from the input's text and the ending: the same bytes as the text's
    // repair, and nothing left under the temporary name.
    std::string fromText;
    ASSERT_TRUE(RepairExperimentLogText(cut, fromText));
    EXPECT_EQ(ReadFile(RepairedLogPath(in)), fromText);
    EXPECT_FALSE(std::filesystem::exists(RepairedLogPath(in) + ".part"));
    const std::string again = folder + "again.xml";
    EXPECT_EQ(RepairExperimentLog(RepairedLogPath(in), again).status,
              LogRepairStatus::AlreadyComplete);
    EXPECT_EQ(ReadFile(again), fromText);

    EXPECT_EQ(RepairExperimentLog(in, in).status, LogRepairStatus::CannotWrite);
    EXPECT_EQ(RepairExperimentLog(folder + "absent.xml", folder + "x.xml").status,
              LogRepairStatus::CannotRead);
    EXPECT_EQ(RepairExperimentLog(in, folder + "no/such/dir/x.xml").status,
              LogRepairStatus::CannotWrite);
    EXPECT_EQ(ReadFile(in), cut);
}

TEST(LogRepair, AFileOfZerosIsRefusedWithoutReadingIt) {
    // 256 MiB of zeros (a hole in the file, so it costs no disk): the loader and the repair
    // answer at once, and the process grows by nothing like the file's size.
    const std::string folder = test::FreshFolder("zeros");
    const std::string zeros = folder + "zeros.xml";
    test::WriteAll(zeros, "");
    std::filesystem::resize_file(zeros, size_t{256} << 20);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const LogLoadResult loaded = CLogLoader({}).Load(zeros);
    EXPECT_EQ(loaded.status, LogLoadStatus::NotXml);
    EXPECT_EQ(loaded.detail, zeros + " is not an experiment log: it does not begin with markup");
    const LogRepairResult repaired = RepairExperimentLog(zeros, folder + "out.xml");
    EXPECT_EQ(repaired.status, LogRepairStatus::NotRepairable);
    EXPECT_EQ(repaired.message, "This is not an experiment log: no log element was found.");
    EXPECT_FALSE(std::filesystem::exists(folder + "out.xml"));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 16 * 1024) << "KiB";

    // Blanks and a byte-order mark before the markup are a log's own business.
    size_t offset = 0;
    test::WriteAll(folder + "bom.xml", "\xEF\xBB\xBF \n\t<HalyxSimLog>");
    EXPECT_TRUE(BeginsWithMarkup(folder + "bom.xml", offset));
    EXPECT_EQ(offset, 6u);
    test::WriteAll(folder + "text.xml", "  HalyxSimLog");
    EXPECT_FALSE(BeginsWithMarkup(folder + "text.xml", offset));
    EXPECT_EQ(offset, 2u);
    EXPECT_TRUE(BeginsWithMarkup(folder + "absent.xml", offset));
}

// Large logs are read into memory of their own (huge pages), small ones into a string: both
// must give every byte, survive a move, and refuse what is not a file or is too large.
TEST(FileBytes, ReadsSmallAndLargeFilesWholeAndRefusesWhatIsNoLog) {
    const std::string folder = test::FreshFolder("bytes");
    std::string large(size_t{9} << 20, '\0');
    for (size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<char>('a' + i * 7919 % 26);
    }
    for (const std::string& text : {std::string("<small/>"), large}) {
        SCOPED_TRACE(text.size());
        test::WriteAll(folder + "f.xml", text);
        CFileBytes bytes;
        ASSERT_EQ(bytes.Read(folder + "f.xml", text.size()), ReadFileStatus::Ok);
        EXPECT_TRUE(bytes.View() == text);
        CFileBytes moved(std::move(bytes));
        EXPECT_TRUE(moved.View() == text);
        EXPECT_TRUE(bytes.View().empty());
        EXPECT_EQ(moved.Read(folder + "f.xml", text.size() - 1), ReadFileStatus::TooLarge);
        EXPECT_TRUE(moved.View().empty());
    }
    CFileBytes bytes;
    EXPECT_EQ(bytes.Read(folder, 100), ReadFileStatus::NotAFile);
    EXPECT_EQ(bytes.Read(folder + "absent.xml", 100), ReadFileStatus::CannotOpen);
}

} // namespace
} // namespace halyx
