// Loading a recorded experiment for playback: what loads, what is refused and with which
// message, and what reaches the scenario, the team and the playback store.

#include "record/logloader.h"
#include "record/simeventstore.h"
#include "recordtestutil.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace halyx {
namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<HalyxSimLog>\n"
                              "<LogHeader CreationDate=\"d\" CreationTime=\"t\"/>\n"
                              "<Notes>\n\n</Notes>\n<Scenario Name=\"S1\">\n</Scenario>\n";
constexpr const char* kEvents = "<SimEvents>\n<Event Name=\"Abort\" ClockTime=\"4\" TSID=\"1\" "
                                "From=\"ALPHA\" ResType=\"Radar\" ResID=\"R1\"/>\n</SimEvents>\n";
constexpr const char* kTeam = "<TeamMembers>\n<TeamMember Name=\"ALPHA\"/>\n<TeamMember "
                              "Name=\"BRAVO\"/>\n<TeamMember Name=\"CHARLIE\"/>\n</TeamMembers>";

struct Targets {
    std::string scenarioName;
    bool scenarioOk = true;
    std::vector<std::string> team;
    CSimEventStore events;

    CLogLoader Loader() {
        return CLogLoader({.readScenario =
                               [this](const pugi::xml_node& s, std::string& error) {
                                   scenarioName = s.attribute("Name").as_string();
                                   error = "bad unit list";
                                   return scenarioOk;
                               },
                           .loadTeam = [this](const std::vector<std::string>& n) { team = n; },
                           .events = &events});
    }
};

TEST(LogLoader, ACompleteLogReachesScenarioTeamAndStore) {
    Targets t;
    const LogLoadResult r =
        t.Loader().LoadText(std::string(kHead) + kEvents + kTeam + "</HalyxSimLog>");
    ASSERT_TRUE(r) << r.detail;
    EXPECT_EQ(t.scenarioName, "S1");
    EXPECT_EQ(t.team, (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));
    ASSERT_EQ(t.events.Count(), 1u);
    EXPECT_EQ(t.events.At(0).clockTime, 4);
}

TEST(LogLoader, CommentsAmongTheEventsAreSkippedByTheLoaderAndPlayback) {
    const std::string events =
        "<SimEvents>\n<!-- team: ALPHA | BRAVO -->\n<Event Name=\"Abort\" ClockTime=\"4\" "
        "TSID=\"1\" From=\"ALPHA\" ResType=\"Radar\" ResID=\"R1\"/>\n"
        "<!-- station BRAVO unreachable at clock 4 -->\n<Event Name=\"ChatMsg\" "
        "ClockTime=\"4\" TSID=\"2\" From=\"BRAVO\">\nhi\n</Event><!-- x -->\n</SimEvents>\n";
    Targets t;
    const LogLoadResult r =
        t.Loader().LoadText(std::string(kHead) + events + kTeam + "<!-- end -->\n</HalyxSimLog>");
    ASSERT_TRUE(r) << r.detail;
    ASSERT_EQ(t.events.Count(), 2u);
    test::RecordingSender sender;
    t.events.Release(4, sender);
    ASSERT_EQ(sender.sent.size(), 2u);
    EXPECT_EQ(sender.sent[1], "tell to team as BRAVO: tell :command subject_communication :from "
                              "BRAVO :message (hi)");
}

TEST(LogLoader, ALogCutOffDuringARunIsRefusedAsAnError) {
    Targets t;
    const LogLoadResult r = t.Loader().LoadText(std::string(kHead) + "<SimEvents>\n<Event Name=");
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_EQ(r.message, "There was an error loading the experiment log file.");
    EXPECT_GT(r.offset, 0u);
    EXPECT_TRUE(t.team.empty());
}

TEST(LogLoader, AMissingSectionIsRefusedAsIncomplete) {
    Targets t;
    const LogLoadResult r = t.Loader().LoadText(std::string(kHead) + kEvents + "</HalyxSimLog>");
    EXPECT_EQ(r.status, LogLoadStatus::Incomplete);
    EXPECT_EQ(r.message,
              "ERROR:Unable to load the Experiment Log because it is incomplete or corrupted.");
    EXPECT_NE(r.detail.find("TeamMembers"), std::string::npos);
    EXPECT_TRUE(t.scenarioName.empty());
}

TEST(LogLoader, ExtraChildrenAnotherRootNameAndPrefixesAreAccepted) {
    Targets t;
    const std::string text = "<Other xmlns:h=\"urn:x\"><h:LogHeader/><Notes/>"
                             "<Scenario Name=\"S2\"/><SimEvents/><TeamMembers/>"
                             "<MissionStats TeamMember=\"A\"/><Event Name=\"ChatMsg\"/></Other>";
    EXPECT_TRUE(t.Loader().LoadText(text));
    EXPECT_EQ(t.scenarioName, "S2");
}

TEST(LogLoader, TheLastSectionOfANameWins) {
    Targets t;
    ASSERT_TRUE(t.Loader().LoadText(std::string(kHead) + kEvents + kTeam +
                                    "<TeamMembers><TeamMember Name=\"ZULU\"/><TeamMember/>"
                                    "</TeamMembers></HalyxSimLog>"));
    EXPECT_EQ(t.team, (std::vector<std::string>{"ZULU", ""}));
}

TEST(LogLoader, AScenarioThatCannotBeReadStopsTheLoad) {
    Targets t;
    t.scenarioOk = false;
    const LogLoadResult r =
        t.Loader().LoadText(std::string(kHead) + kEvents + kTeam + "</HalyxSimLog>");
    EXPECT_EQ(r.message, "There was an error loading the experiment log file.");
    EXPECT_EQ(r.detail, "bad unit list");
    EXPECT_TRUE(t.team.empty());
}

TEST(LogLoader, EmptyOrGarbageTextIsAnError) {
    Targets t;
    for (const char* text : {"", "   \n", "not xml at all", "<a><b></a>", "<a></a><b>"}) {
        EXPECT_EQ(t.Loader().LoadText(text).status, LogLoadStatus::NotXml) << text;
    }
}

TEST(LogLoader, DeepNestingDoesNotCrash) {
    Targets t;
    std::string text = std::string(kHead);
    for (int i = 0; i < 200000; ++i) {
        text += "<n>";
    }
    EXPECT_EQ(t.Loader().LoadText(text).status, LogLoadStatus::NotXml);
}

TEST(LogLoader, FilesThatCannotBeOpenedShowNothing) {
    Targets t;
    const std::string folder = test::FreshFolder("loader");
    LogLoadResult r = t.Loader().Load(folder + "absent.xml");
    EXPECT_EQ(r.status, LogLoadStatus::CannotOpen);
    EXPECT_TRUE(r.message.empty());
    r = t.Loader().Load(folder); // a folder is not a log
    EXPECT_EQ(r.status, LogLoadStatus::CannotOpen);
}

TEST(LogLoader, AFileWithoutAFinalLineBreakOrWithCrLfLoads) {
    Targets t;
    const std::string folder = test::FreshFolder("loaderfile");
    std::string text = std::string(kHead) + kEvents + kTeam + "</HalyxSimLog>";
    std::string crlf;
    for (char c : text) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    test::WriteAll(folder + "crlf.xml", crlf);
    EXPECT_TRUE(t.Loader().Load(folder + "crlf.xml"));
    EXPECT_EQ(t.events.Count(), 1u);
}

// Long logs are read a piece at a time; what comes out must not depend on where pieces end.
std::string LongEvents(int count) {
    std::string events = "<SimEvents>\n";
    for (int i = 0; i < count; ++i) {
        events += "<Event Name=\"ChatMsg\" ClockTime=\"" + std::to_string(count - i) +
                  "\" TSID=\"" + std::to_string(i) + "\" From=\"A\">\nline &amp; " +
                  std::to_string(i) + "\n</Event>\n<!-- > --><Event Name=\"InitSim\"/>\n";
    }
    return events + "</SimEvents>\n";
}

TEST(LogLoader, ALongLogLoadsTheSameEventsAsAShortOne) {
    const std::string events = LongEvents(30000); // several pieces
    ASSERT_GT(events.size(), 3u << 20);
    Targets t;
    ASSERT_TRUE(
        t.Loader().LoadText(std::string(kHead) + kEvents + events + kTeam + "</HalyxSimLog>"));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(events.c_str()));
    CSimEventStore whole;
    whole.LoadEvents(doc.child("SimEvents"));
    ASSERT_EQ(t.events.Count(), 30000u); // the last SimEvents section wins
    for (size_t i = 0; i < whole.Count(); ++i) {
        ASSERT_EQ(t.events.At(i), whole.At(i)) << i;
    }
    EXPECT_EQ(t.events.At(0).content,
              "tell :command subject_communication :from A :message (line & 29999)");
}

TEST(LogLoader, ABrokenEventDeepInALongLogIsFoundWithItsOffset) {
    std::string text = std::string(kHead) + LongEvents(30000) + kTeam + "</HalyxSimLog>";
    const size_t bad = text.find("TSID=\"25000\"");
    text.replace(bad, 4, "TSID"); // same text, then break an attribute of that event
    text.insert(bad + 4, "=\"x");
    Targets t;
    const LogLoadResult r = t.Loader().LoadText(text);
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_EQ(r.message, "There was an error loading the experiment log file.");
    EXPECT_GT(r.offset, bad);
    EXPECT_LT(r.offset, bad + 40);
    EXPECT_TRUE(t.team.empty());
}

TEST(LogLoader, DamagedLogsAreRefusedOrLoadedButNeverCrash) {
    const std::string good = std::string(kHead) + LongEvents(40) + kTeam + "</HalyxSimLog>";
    unsigned seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    const std::string alphabet = "<>/\"=' \n&;!-?[]xA";
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        for (int k = 0; k < 1 + static_cast<int>(next() % 4); ++k) {
            const size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text[at] = alphabet[next() % alphabet.size()];
                break;
            case 1:
                text.erase(at, 1 + next() % 30);
                break;
            default:
                text.resize(at);
                break;
            }
            if (text.empty()) {
                break;
            }
        }
        Targets t;
        const LogLoadResult r = t.Loader().LoadText(text);
        if (!r) {
            EXPECT_FALSE(r.message.empty());
        }
    }
}

} // namespace
} // namespace halyx
