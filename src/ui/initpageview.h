#pragma once

#include <optional>
#include <string>

namespace halyx {

class CSaveLocation;

// The controls of the simulation control page that the logic enables, disables or checks.
enum class InitControl {
    Server,
    AnsPort,
    Agent,
    AgentPort,
    Register,
    UnRegister,
    ShowAllAgents,
    FilterBy,
    FilterText,
    RefreshList,
    AgentList,
    AddClient,
    RemoveClient,
    StationsList,
    InitializeSimulation,
    StartSimulation,
    ResetSimulation,
    PlaybackMode,
    LoadExperiment,
    InitializePlayback,
    Stop,
    PlayPause,
    HiddenButton1,
    HiddenButton2,
    SinglePersonGame,
};
inline constexpr int kInitControlCount = static_cast<int>(InitControl::SinglePersonGame) + 1;

// How the simulation control page reaches the user. A Qt page shows message boxes and dialogs;
// the headless console prints the texts and answers from its script; tests script the answers.
class IInitPageView {
public:
    virtual ~IInitPageView() = default;
    virtual void ShowMessage(const std::string& text) = 0;
    // A yes/no question; true for yes.
    virtual bool Ask(const std::string& text) = 0;
    // The "Choose Log Save Location" dialog over where; false when the experimenter cancels.
    virtual bool ChooseLogLocation(CSaveLocation& where) = 0;
    // An open-file dialog; nothing when the experimenter cancels.
    virtual std::optional<std::string> ChooseOpenFile(const std::string& filter,
                                                      const std::string& defaultExtension) = 0;
    // A line for the experimenter that needs no answer, such as a station message that could
    // not be read.
    virtual void ShowDiagnostic(const std::string& /*text*/) {}
    // Something the experimenter must act on; a box by default.
    virtual void ShowError(const std::string& text) { ShowMessage(text); }
    // Something on the page changed (enabled states, captions, lists, clock): refresh.
    virtual void PageChanged() {}
};

} // namespace halyx
