#pragma once

#include "agent/ichatsink.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CSimEventStore;

// How the human communication page reaches the user: a message box in the desktop program, a
// printed line in the console, a recorded call in tests.
class ICommPageView {
public:
    virtual ~ICommPageView() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    // The fields changed; a widget copies them into its controls.
    virtual void Refresh() {}
    // One chat entry was added, as its transcript line without the line end (called before
    // Refresh). A message may hold any bytes a station sent, line breaks included.
    virtual void ChatEntryAdded(std::string_view /*line*/) {}
};

// Logic of the "Human Communications" page: the running chat transcript of the subjects, the
// experimenter's notes, and the communication log file (.hcl) that saves and restores them.
class CCommPage final : public IChatSink {
public:
    static constexpr const char* kFillNameMessage =
        "Please fill the name and save location for this experiment";
    static constexpr const char* kSavedMessage = "Communication Log Saved";
    // An existing transcript is never overwritten, except the one this page saved itself
    // (saving again brings it up to date).
    static constexpr const char* kExistsMessage = "A log of this name exists in this folder";
    static constexpr const char* kIncompleteMessage =
        "The communication log file is incomplete and was not loaded.";
    static constexpr const char* kTooLargeMessage =
        "The communication log file is too large and was not loaded.";

    // A transcript larger than this loses its oldest entries, so that a station that floods
    // the console with chat cannot exhaust memory. The experiment log keeps every chat message.
    static constexpr std::size_t kMaxLogText = 64u * 1024u * 1024u;
    static constexpr std::size_t kMaxFileSize = 256u * 1024u * 1024u;

    explicit CCommPage(ICommPageView* view = nullptr);

    void SetView(ICommPageView* view) { m_view = view; }

    void AddChatEntry(std::string_view to, std::string_view from,
                      std::string_view message) override;

    // "Test": four identical sample entries from a sender no station can be named, to see the
    // transcript work without a station. They are neither sent nor written to the experiment log.
    static constexpr const char* kTestSender = "(TEST)";
    static constexpr const char* kTestReceiver = "(ALL)";
    static constexpr const char* kTestMessage = "This is a sample chat entry";
    void AddTestEntries();

    // The chat of a replayed experiment, kept apart from the live transcript: a replay is not a
    // new conversation, and a seek must not repeat what was already shown. Each line is stamped
    // with the minute it was said in.
    const std::string& ReplayText() const { return m_replayText; }
    // A replay was started: nothing of it is shown yet.
    void ClearReplay();
    // The replay shows minute: exactly the chat of events up to and including it. Going back
    // (a seek, Stop) rebuilds the text; going on appends. The log does not keep a message's
    // receiver: the line names those the replay sends it to, the team's other members.
    void ShowReplayUpTo(int minute, const CSimEventStore& events,
                        const std::vector<std::string>& team = {});
    bool ReplayActive() const { return m_replayActive; }
    // Changes whenever the replay text was cleared or rebuilt rather than extended.
    unsigned ReplayGeneration() const { return m_replayGeneration; }

    const std::string& LogText() const { return m_logText; }
    const std::string& Location() const { return m_location; }
    const std::string& ExperimentName() const { return m_experimentName; }
    const std::string& Notes() const { return m_notes; }

    void SetNotes(std::string_view notes) { m_notes = notes; }
    // The experiment-name box was edited: the location follows the name's own folder.
    void SetExperimentName(std::string_view name);
    // A folder was picked (or typed) for the location.
    void SetLocation(std::string_view folder);

    // "Save Log": true when the file was written; kExistsMessage and false when the file is
    // there and was not saved by this page during the current experiment.
    bool SaveLog();
    // A new experiment began (a new experiment log was opened): the file saved for the one
    // before is that experiment's record and is never written over; a save under its name is
    // refused with kExistsMessage, so the experimenter picks another name.
    void NewExperiment() { m_savedPath.clear(); }
    // "Load Log" with the chosen file: true when the transcript and notes were replaced.
    bool LoadLog(const std::string& path);

    // The page's header line and a chat line use the local date and time in the user's locale.
    static std::string LocalDateTimeText();

private:
    void TrimLogText();

    ICommPageView* m_view = nullptr;
    std::string m_logText;
    std::string m_location;
    std::string m_experimentName;
    std::string m_notes;
    std::string m_savedPath; // the file this page saved last
    std::size_t m_headerSize = 0;

    std::string m_replayText;
    bool m_replayActive = false;
    unsigned m_replayGeneration = 0;
    // The minute shown, the next event to look at, and the store's size when it was read (a
    // newly loaded experiment is read from its start).
    int m_replayMinute = -1;
    std::size_t m_replayNext = 0;
    std::size_t m_replayCount = 0;
};

} // namespace halyx
