// Loading a recorded experiment for playback: what loads, what is refused and with which
// message, and what reaches the scenario, the team and the playback store.

#include "common/progress.h"
#include "record/logloader.h"
#include "record/logreader.h"
#include "record/simeventstore.h"
#include "recordtestutil.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utility>

namespace halyx {
namespace {

constexpr const char* kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<HalyxSimLog>\n"
                              "<LogHeader CreationDate=\"d\" CreationTime=\"t\"/>\n"
                              "<Notes>\n\n</Notes>\n<Scenario Name=\"S1\">\n</Scenario>\n";
constexpr const char* kEvents = "<SimEvents>\n<Event Name=\"Abort\" ClockTime=\"4\" TSID=\"1\" "
                                "From=\"ALPHA\" ResType=\"Radar\" ResID=\"R1\"/>\n</SimEvents>\n";
constexpr const char* kTeam = "<TeamMembers>\n<TeamMember Name=\"ALPHA\"/>\n<TeamMember "
                              "Name=\"BRAVO\"/>\n<TeamMember Name=\"CHARLIE\"/>\n</TeamMembers>";

using Targets = test::LoadedLog;

TEST(LogLoader, WhatIsRefusedSaysWhyAndReachesNothing) {
    // Cut off during a run.
    Targets t;
    LogLoadResult r = t.Loader().LoadText(std::string(kHead) + "<SimEvents>\n<Event Name=");
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_GT(r.offset, 0u);
    // A missing section.
    r = t.Loader().LoadText(std::string(kHead) + kEvents + "</HalyxSimLog>");
    EXPECT_EQ(r.status, LogLoadStatus::Incomplete);
    EXPECT_EQ(r.message,
              "ERROR:Unable to load the Experiment Log because it is incomplete or corrupted.");
    EXPECT_NE(r.detail.find("TeamMembers"), std::string::npos);
    EXPECT_TRUE(t.scenarioName.empty());
    EXPECT_TRUE(t.team.empty());
    // A fault in an earlier events section is found where it is, as one parse of the whole
    // text finds it.
    std::string broken = std::string(kHead) + kEvents + kTeam + kEvents + "</HalyxSimLog>";
    const size_t bad = broken.find("ResID=\"R1\"");
    broken.replace(bad, 6, "ResID=");
    broken.insert(bad + 6, "R1 ");
    r = t.Loader().LoadText(broken);
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_GE(r.offset, bad);
    EXPECT_LT(r.offset, bad + 12);
    EXPECT_TRUE(t.scenarioName.empty());
    // A scenario that cannot be read stops the load.
    t.scenarioOk = false;
    r = t.Loader().LoadText(std::string(kHead) + kEvents + kTeam + "</HalyxSimLog>");
    EXPECT_EQ(r.detail, "bad unit list");
    EXPECT_TRUE(t.team.empty());
    // Empty text, garbage and deep nesting.
    std::string deep = std::string(kHead);
    for (int i = 0; i < 200000; ++i) {
        deep += "<n>";
    }
    for (const std::string text : {"", "   \n", "not xml at all", "<a><b></a>", "<a></a><b>"}) {
        EXPECT_EQ(t.Loader().LoadText(text).status, LogLoadStatus::NotXml) << text;
    }
    EXPECT_EQ(t.Loader().LoadText(deep).status, LogLoadStatus::NotXml);
    // Files that cannot be opened show nothing; a folder is not a log.
    const std::string folder = test::FreshFolder("loader");
    r = t.Loader().Load(folder + "absent.xml");
    EXPECT_EQ(r.status, LogLoadStatus::CannotOpen);
    EXPECT_TRUE(r.message.empty());
    EXPECT_EQ(t.Loader().Load(folder).status, LogLoadStatus::CannotOpen);
    // Nor is a pipe, at once: no writer will ever come.
    ASSERT_EQ(::mkfifo((folder + "pipe.xml").c_str(), 0600), 0);
    EXPECT_EQ(CLogReader().Open(folder + "pipe.xml").status, LogLoadStatus::CannotOpen);
}

TEST(LogLoader, OtherRootsExtraChildrenPrefixesCrLfCommentsAndRepeatedSectionsAreAccepted) {
    Targets t;
    EXPECT_TRUE(t.Loader().LoadText("<Other xmlns:h=\"urn:x\"><h:LogHeader/><Notes/>"
                                    "<Scenario Name=\"S2\"/><SimEvents/><TeamMembers/>"
                                    "<MissionStats TeamMember=\"A\"/><Event Name=\"ChatMsg\"/>"
                                    "</Other>"));
    EXPECT_EQ(t.scenarioName, "S2");

    // Line ends of another system and no final line break.
    const std::string folder = test::FreshFolder("loaderfile");
    std::string crlf;
    for (char c : std::string(kHead) + kEvents + kTeam + "</HalyxSimLog>") {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    test::WriteAll(folder + "crlf.xml", crlf);
    EXPECT_TRUE(t.Loader().Load(folder + "crlf.xml"));
    EXPECT_EQ(t.events.Count(), 1u);

    // Comments anywhere, and the last section of a name wins.
    const std::string events =
        "<SimEvents>\n<!-- team: ALPHA | BRAVO -->\n<Event Name=\"Abort\" ClockTime=\"4\" "
        "TSID=\"1\" From=\"ALPHA\" ResType=\"Radar\" ResID=\"R1\"/>\n"
        "<!-- station BRAVO unreachable at clock 4 -->\n<Event Name=\"ChatMsg\" "
        "ClockTime=\"4\" TSID=\"2\" From=\"BRAVO\">\nhi\n</Event><!-- x -->\n</SimEvents>\n";
    ASSERT_TRUE(t.Loader().LoadText(std::string(kHead) + events + kTeam +
                                    "<!-- end -->\n<TeamMembers><TeamMember Name=\"ZULU\"/>"
                                    "<TeamMember/></TeamMembers></HalyxSimLog>"));
    EXPECT_EQ(t.scenarioName, "S1");
    EXPECT_EQ(t.team, (std::vector<std::string>{"ZULU", ""}));
    ASSERT_EQ(t.events.Count(), 2u);
    EXPECT_EQ(t.events.At(1).sender, "BRAVO");
    // An empty last events section leaves no events.
    ASSERT_TRUE(
        t.Loader().LoadText(std::string(kHead) + kEvents + kTeam + "<SimEvents/></HalyxSimLog>"));
    EXPECT_EQ(t.events.Count(), 0u);
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

// Follows the reading like the window's progress dialog, and presses Cancel at a position.
class CountingProgress final : public IProgress {
public:
    explicit CountingProgress(int cancelAt = -1) : m_cancelAt(cancelAt) {}
    void SetRange(int low, int high) override { range = {low, high}; }
    void SetPos(int pos) override { positions.push_back(pos); }
    void SetText(const std::string&) override {}
    bool Canceled() const override {
        return m_cancelAt >= 0 && !positions.empty() && positions.back() >= m_cancelAt;
    }

    std::pair<int, int> range;
    std::vector<int> positions;

private:
    int m_cancelAt;
};

TEST(LogLoader, ALongLogReportsHowFarItGotStopsWhenCanceledAndFindsABreakDeepInIt) {
    const std::string folder = test::FreshFolder("loaderprogress");
    std::string text = std::string(kHead) + LongEvents(30000) + kTeam + "</HalyxSimLog>";
    test::WriteAll(folder + "long.xml", text);

    Targets whole;
    CountingProgress followed;
    ASSERT_TRUE(whole.Loader(&followed).Load(folder + "long.xml"));
    EXPECT_EQ(followed.range, std::make_pair(0, 1000));
    ASSERT_GE(followed.positions.size(), 3u); // a file of several chunks
    EXPECT_TRUE(std::is_sorted(followed.positions.begin(), followed.positions.end()));
    EXPECT_LE(followed.positions.back(), 1000);
    EXPECT_EQ(whole.events.Count(), 30000u);

    // Stopped half way: nothing reaches the scenario, the team or the store, and no message
    // is shown.
    CountingProgress cancel(1);
    Targets canceled;
    const LogLoadResult c = canceled.Loader(&cancel).Load(folder + "long.xml");
    EXPECT_EQ(c.status, LogLoadStatus::Canceled);
    EXPECT_TRUE(c.message.empty());
    EXPECT_TRUE(canceled.scenarioName.empty());
    EXPECT_TRUE(canceled.team.empty());
    EXPECT_EQ(canceled.events.Count(), 0u);

    // An attribute broken deep in the text is found where it broke.
    const size_t bad = text.find("TSID=\"25000\"");
    text.insert(bad + 4, "=\"x");
    Targets broken;
    const LogLoadResult r = broken.Loader().LoadText(text);
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_GT(r.offset, bad);
    EXPECT_LT(r.offset, bad + 40);
    EXPECT_TRUE(broken.team.empty());
}

// Damages text at byte at: kind 0 changes the byte, 1 removes a few bytes, 2 cuts the text there.
void Damage(std::string& text, unsigned kind, size_t at, test::Lcg& next,
            const std::string& alphabet) {
    if (kind == 0) {
        text[at] = alphabet[next() % alphabet.size()];
    } else if (kind == 1) {
        text.erase(at, 1 + next() % 30);
    } else {
        text.resize(at);
    }
}

TEST(LogLoader, DamagedLogsAreRefusedOrLoadedButNeverCrash) {
    const std::string good = std::string(kHead) + LongEvents(40) + kTeam + "</HalyxSimLog>";
    test::Lcg next{12345};
    const std::string alphabet = "<>/\"=' \n&;!-?[]xA";
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        for (int k = 0; k < 1 + static_cast<int>(next() % 4); ++k) {
            const size_t at = next() % text.size();
            Damage(text, next() % 3, at, next, alphabet);
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

// Logs keep what stations sent, byte for byte: text that is not UTF-8, control bytes from an
// older writer, entity names the format does not define, a repeated attribute. A stricter XML
// reader refuses every one of these logs; they must go on loading and replay as written.
TEST(LogLoader, EightBitTextControlBytesUnknownEntitiesAndRepeatedAttributesLoadAsWritten) {
    const std::string events =
        "<SimEvents>\n"
        "<Event Name=\"ChatMsg\" ClockTime=\"1\" TSID=\"1\" From=\"Jos\xe9\">\ncaf\xe9 "
        "\xff\n</Event>\n"
        "<Event Name=\"ChatMsg\" ClockTime=\"1\" TSID=\"2\" From=\"A\">\nbell\x07 "
        "tab\x01\n</Event>\n"
        "<Event Name=\"Abort\" ClockTime=\"1\" TSID=\"3\" From=\"A\" ResType=\"a&nbsp;b\" "
        "ResID=\"R1\"/>\n"
        "<Event Name=\"Abort\" ClockTime=\"1\" TSID=\"4\" From=\"A\" ResType=\"first\" "
        "ResType=\"second\" ResID=\"R2\"/>\n"
        "</SimEvents>\n";
    // From the text: a file gives what its text gives (AFileReadInChunksLoadsWhatItsTextLoads).
    Targets t;
    const LogLoadResult r =
        t.Loader().LoadText(std::string(kHead) + events + kTeam + "</HalyxSimLog>");
    ASSERT_TRUE(r) << r.detail;
    test::RecordingSender sender;
    t.events.Release(1, sender);
    EXPECT_EQ(sender.sent,
              (std::vector<std::string>{
                  "tell to team as Jos\xe9: tell :command subject_communication :from Jos\xe9 "
                  ":message (caf\xe9 \xff)",
                  // Control bytes stand only inside a string on the wire.
                  "tell to team as A: tell :command subject_communication :from A :message "
                  "\"bell\x07 tab\x01\"",
                  "tell to team as A: tell :command abort :resource a&nbsp;b :id R1",
                  "tell to team as A: tell :command abort :resource first :id R2"}));
}

// A file is read a chunk at a time, and a text a piece at a time: markup longer than a chunk, a
// chunk ending anywhere, and a file without a final line break give what one parse of the whole
// text gives.
TEST(LogLoader, AFileReadInChunksLoadsWhatItsTextLoads) {
    const std::string longChat(3u << 20, 'x'); // longer than a chunk and a piece
    std::string events = "<SimEvents>\n<Event Name=\"ChatMsg\" ClockTime=\"2\" TSID=\"9\" From=\"" +
                         std::string(1500000, 'F') + "\">\n" + longChat + "\n</Event>\n";
    events += LongEvents(20000).substr(std::string("<SimEvents>\n").size());
    // An earlier events section first: the last one wins, across pieces too.
    const std::string text = std::string(kHead) + kEvents + events + kTeam + "</HalyxSimLog>";
    const std::string folder = test::FreshFolder("loaderchunks");
    test::WriteAll(folder + "log.xml", text);
    Targets fromText;
    ASSERT_TRUE(fromText.Loader().LoadText(text));
    Targets fromFile;
    ASSERT_TRUE(fromFile.Loader().Load(folder + "log.xml"));
    ASSERT_EQ(fromFile.events.Count(), 20001u);
    ASSERT_EQ(fromText.events.Count(), 20001u);
    // One parse of the section (its tags, 12 and 13 bytes, are StoreOf's).
    const CSimEventStore whole = test::StoreOf(events.substr(12, events.size() - 12 - 13));
    ASSERT_EQ(whole.Count(), 20001u);
    for (size_t i = 0; i < fromText.events.Count(); ++i) {
        ASSERT_EQ(fromFile.events.At(i), fromText.events.At(i)) << i;
        ASSERT_EQ(fromText.events.At(i), whole.At(i)) << i;
    }
    const CSimEvent chat = fromFile.events.At(fromFile.events.SeekTo(2));
    EXPECT_EQ(chat.tsid, 9);
    EXPECT_EQ(chat.sender.size(), 1500000u);
    EXPECT_EQ(chat.content.size(), longChat.size() + 54 + 1500000);
    EXPECT_EQ(fromFile.team, (std::vector<std::string>{"ALPHA", "BRAVO", "CHARLIE"}));

    // Cut off inside the long message: refused, with the place where the text broke off.
    test::WriteAll(folder + "cut.xml", text.substr(0, text.size() / 2));
    Targets cut;
    const LogLoadResult r = cut.Loader().Load(folder + "cut.xml");
    EXPECT_EQ(r.status, LogLoadStatus::NotXml);
    EXPECT_TRUE(cut.team.empty());
    EXPECT_EQ(cut.events.Count(), 0u);
}

// The file is read in chunks of 1 MiB: damage next to where one chunk ends and the next begins
// must give the same answer as the same text loaded at once.
TEST(LogLoader, DamageAtAChunkBoundaryGivesTheSameAnswerFromTheFile) {
    const std::string good = std::string(kHead) + LongEvents(27000) + kTeam + "</HalyxSimLog>\n";
    ASSERT_GT(good.size(), 3u << 20);
    const std::string folder = test::FreshFolder("loaderboundary");
    test::Lcg next{777};
    const std::string alphabet = "<>/\"=' \n&;!-?x";
    for (int round = 0; round < 24; ++round) {
        std::string text = good;
        const size_t at = (size_t{1} + next() % 3) * (size_t{1} << 20) - 64 + next() % 128;
        if (round % 4 != 3) { // the fourth round unchanged
            Damage(text, round % 4, at, next, alphabet);
        }
        if (round % 4 == 2) {
            text += '\n';
        }
        test::WriteAll(folder + "log.xml", text);
        Targets fromText;
        const LogLoadResult a = fromText.Loader().LoadText(text);
        Targets fromFile;
        const LogLoadResult b = fromFile.Loader().Load(folder + "log.xml");
        ASSERT_EQ(a.status, b.status) << round;
        EXPECT_EQ(a.offset, b.offset) << round;
        EXPECT_EQ(a.detail, b.detail) << round;
        ASSERT_EQ(fromText.events.Count(), fromFile.events.Count()) << round;
        for (size_t i = 0; i < fromText.events.Count(); ++i) {
            ASSERT_EQ(fromText.events.At(i), fromFile.events.At(i)) << round << " " << i;
        }
    }
}

} // namespace
} // namespace halyx
