#include "study/study.h"

#include "common/paths.h"
#include "common/sha256.h"
#include "scenario/defaultscenario.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace halyx {
namespace {

class StudyFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder =
            test::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CreatePath(m_folder + "logs/");
        CScenario scenario;
        LoadDefaultScenario(scenario);
        ASSERT_TRUE(SaveScenarioAs("easy", m_folder + "scen/easy/", scenario));
        std::ofstream(m_folder + "plan.csv")
            << "run,team,block,scenario,mode,stations,notes\n"
               "1,T01,B1,scen/easy/easy.hsf,multi,ALPHA BRAVO,\"first, pilot\"\n"
               "2,T01,B2,scen/easy/easy.hsf,single,ALPHA,\n";
        ASSERT_TRUE(m_study.Open(m_folder + "plan.csv"));
    }

    // One attempt of run index that wrote text as its log.
    void Run(size_t index, const std::string& text, bool completed) {
        const std::string log =
            m_study.Plan().LogsFolder() + m_study.ProposedLogName(index) + ".xml";
        std::ofstream(log) << text;
        m_study.SetRunning(index, log, 1796650000000);
        std::string error;
        ASSERT_TRUE(
            m_study.Finish(index, {completed, completed ? "Launch" : "", 42, 1796650960000}, error))
            << error;
        EXPECT_EQ(error, "");
    }

    std::string m_folder;
    CStudy m_study;
};

// The tables of a study: one row per attempt, the manifest's state, and the one that counts.
TEST(StudyAttempts, ARepeatSupersedesAndOnlyTheLastDoneAttemptCounts) {
    std::vector<CManifestRow> rows;
    for (const char* row : {"1 done", "2 skipped", "1 repeat", "3 failed", "1 done"}) {
        rows.emplace_back().run = std::string(row, 1);
        rows.back().state = row + 2;
    }
    std::string seen;
    for (const CStudyAttempt& a : StudyAttempts(rows)) {
        seen += a.row.run + std::to_string(a.attempt) + a.state + (a.counts ? "+ " : " ");
    }
    EXPECT_EQ(seen, "11superseded 20skipped 31failed 12done+ ");
}

// States come back from the manifest after a restart, repeats get _r2, skipped runs are not
// offered, and a name already taken on disk (a crashed attempt) is never reused.
TEST_F(StudyFolder, StateSurvivesRestart) {
    EXPECT_EQ(m_study.NextPending(), 0u);
    EXPECT_EQ(m_study.ProposedLogName(0), "T01_B1");
    Run(0, "<log one/>", true);
    std::string error;
    ASSERT_TRUE(m_study.Repeat(0, error)) << error;
    EXPECT_EQ(m_study.ProposedLogName(0), "T01_B1_r2");
    std::ofstream(m_folder + "logs/T01_B1_r2.xml") << "begun, then the console crashed";
    EXPECT_EQ(m_study.ProposedLogName(0), "T01_B1_r3");
    ASSERT_TRUE(m_study.Skip(1, error));

    CStudy again;
    ASSERT_TRUE(again.Open(m_folder + "plan.csv"));
    EXPECT_EQ(again.Status()[0].state, StudyRunState::Pending);
    EXPECT_EQ(again.Status()[0].attempts, 1);
    EXPECT_EQ(again.Status()[1].state, StudyRunState::Skipped);
    EXPECT_EQ(again.NextPending(), 0u);
    EXPECT_EQ(again.ProposedLogName(0), "T01_B1_r3");

    std::vector<CManifestRow> rows;
    ASSERT_TRUE(CStudyManifest::Read(m_folder + "manifest.csv", rows));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].log, "logs/T01_B1.xml");
    EXPECT_EQ(rows[0].start, "2026-12-07T13:26:40Z");
    EXPECT_EQ(rows[0].notes, "first, pilot");
    EXPECT_EQ(rows[0].events, "42");
    EXPECT_EQ(rows[0].scenarioSha256.size(), 64u);
    EXPECT_EQ(rows[2].state, "skipped");
}

// A crash while a row was written leaves a line without its end (even inside quotes): it is
// left out, and the next row still reads whole.
TEST_F(StudyFolder, TornRowLosesNothingEarlier) {
    Run(0, "<log/>", true);
    std::ofstream(m_folder + "manifest.csv", std::ios::app) << "2,T01,B2,\"scen/ea";
    Run(1, "<log two/>", false);
    std::vector<CManifestRow> rows;
    const CManifestReadResult read = CStudyManifest::Read(m_folder + "manifest.csv", rows);
    ASSERT_TRUE(read);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].run, "2");
    EXPECT_EQ(rows[1].state, "failed");
    EXPECT_EQ(read.tornRows, (std::vector<size_t>{3}));
    EXPECT_EQ(CStudy::Verify(m_folder).notes.size(), 1u);
}

// A manifest that cannot take the row (here a folder in its place) fails the finish loudly and
// leaves the run to be run again under a new name, never shown as done.
TEST_F(StudyFolder, UnwritableManifestLeavesTheRunPending) {
    std::filesystem::create_directories(m_folder + "manifest.csv");
    std::ofstream(m_folder + "logs/T01_B1.xml") << "<log/>";
    m_study.SetRunning(0, m_folder + "logs/T01_B1.xml", 1796650000000);
    std::string error;
    EXPECT_FALSE(m_study.Finish(0, {true, "Launch", 3, 1796650960000}, error));
    EXPECT_NE(error.find("manifest.csv"), std::string::npos) << error;
    EXPECT_EQ(m_study.Status()[0].state, StudyRunState::Pending);
    EXPECT_EQ(m_study.ProposedLogName(0), "T01_B1_r2");
    EXPECT_FALSE(m_study.Running());
}

// Verify names each log or scenario file that changed or went missing, and nothing else; a
// row saying done stands only with its log as recorded, else it is said and the run offered again.
TEST_F(StudyFolder, VerifyNamesEveryChangedFileAndADoneRowWithoutItsLogOffersTheRunAgain) {
    Run(0, "<log one/>", true);
    Run(1, "<log two/>", true);
    CStudyVerifyReport report = CStudy::Verify(m_folder);
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.filesChecked, 3u); // one scenario set, two logs

    std::string log = test::ReadFile(m_folder + "logs/T01_B2.xml");
    log[3] ^= 1;
    std::ofstream(m_folder + "logs/T01_B2.xml") << log;
    std::filesystem::remove(m_folder + "logs/T01_B1.xml");
    report = CStudy::Verify(m_folder);
    ASSERT_EQ(report.problems.size(), 2u);
    EXPECT_NE(report.problems[0].find("run 1: log missing:"), std::string::npos);
    EXPECT_NE(report.problems[1].find("T01_B2.xml differs"), std::string::npos);
    CStudy again;
    ASSERT_TRUE(again.Open(m_folder + "plan.csv"));
    EXPECT_EQ(again.Status()[0].problem, "the manifest says done, but its log "
                                         "logs/T01_B1.xml is missing");
    EXPECT_EQ(again.Status()[1].problem, "the manifest says done, but its log "
                                         "logs/T01_B2.xml differs from the one recorded");
    EXPECT_EQ(again.Status()[1].state, StudyRunState::Pending);

    std::ofstream(m_folder + "scen/easy/Radars/easy_Radars.hrd", std::ios::app) << " ";
    report = CStudy::Verify(m_folder);
    EXPECT_EQ(report.problems.size(), 4u);
    EXPECT_NE(report.problems[0].find("scenario set"), std::string::npos);
}

// Links planted in the plan's folder: nothing of the study is written through them, and a run
// that cannot start says why.
TEST_F(StudyFolder, NothingIsWrittenThroughLinks) {
    namespace fs = std::filesystem;
    fs::create_symlink(m_folder + "elsewhere.xml", m_folder + "logs/T01_B1.xml"); // dangling
    EXPECT_EQ(m_study.ProposedLogName(0), "T01_B1_r2");
    fs::create_symlink(m_folder + "other.csv", m_folder + "manifest.csv");
    std::string error;
    EXPECT_FALSE(m_study.Skip(1, error));
    EXPECT_FALSE(fs::exists(m_folder + "other.csv"));
    EXPECT_NE(m_study.WhyNoRunCanStart().find("manifest.csv is a link"), std::string::npos);
    fs::remove(m_folder + "manifest.csv");
    fs::remove_all(m_folder + "logs");
    fs::create_directory_symlink(m_folder + "scen", m_folder + "logs");
    EXPECT_NE(m_study.WhyNoRunCanStart().find("logs is a link"), std::string::npos);
}

// Hostile rows: a device and a pipe as logs are refused at once (reading them would never end),
// and one file named by many rows is read once.
TEST_F(StudyFolder, VerifyReadsOnlyRegularFilesEachOnce) {
    ASSERT_EQ(::mkfifo((m_folder + "logs/pipe.xml").c_str(), 0600), 0);
    std::ofstream(m_folder + "logs/same.xml") << "<log/>";
    std::ofstream manifest(m_folder + CStudyManifest::kFileName);
    manifest << CStudyManifest::kHeader << "\n1,T,B,,,/dev/zero,x,,,,done,0,,\n"
             << "1,T,B,,,logs/pipe.xml,x,,,,done,0,,\n";
    for (int i = 0; i < 2000; ++i) {
        manifest << "2,T,B,,,logs/same.xml," << Sha256Hex("<log/>") << ",,,,done,0,,\n";
    }
    manifest.close();
    const CStudyVerifyReport report = CStudy::Verify(m_folder);
    EXPECT_EQ(report.filesChecked, 3u);
    EXPECT_EQ(report.problems.size(), 2u);
}

} // namespace
} // namespace halyx
