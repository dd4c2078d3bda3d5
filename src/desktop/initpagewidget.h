#pragma once

#include "desktop/missionwindow.h"
#include "desktop/page.h"
#include "ui/consolewiring.h"
#include "ui/initpage.h"

#include <QIcon>
#include <QPointer>
#include <QStringListModel>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLCDNumber;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;
class QTreeWidget;
class QVBoxLayout;

namespace halyx {

// The "Initialization/Registration" page: the widgets of the simulation control page over its
// presenter CInitPage, which decides every caption, enabled state and message. The widget only
// passes the user's clicks and edits on and shows what the presenter holds.
// Reads a recorded experiment on a worker thread behind a progress dialog over parent, as
// "Load Experiment" does, and hands it to done on the window's thread; nothing when the user
// stopped it.
void ReadExperimentInBackground(QWidget* parent, const std::string& path,
                                std::function<void(StagedExperiment)> done);

class CMissionFollower;

class CInitPageWidget final : public CPage, public IInitPageView {
    Q_OBJECT
public:
    CInitPageWidget(CPageContext& context, QWidget* parent = nullptr);
    ~CInitPageWidget() override;

    QString Caption() const override { return QString::fromUtf8(CInitPage::kCaption); }
    void Refresh() override { ShowPresenter(); }

    CInitPage& Presenter() { return m_page; }

    // The mission that the "Mission Picture" window draws; the page tells it when a replay is
    // on. Without one the page follows the mission itself from the window's first opening.
    void SetMissionFollower(CMissionFollower* follower);
    // The window, once opened.
    CMissionWindow* MissionWindow() const { return m_missionWindow; }

    // What the program was started with. The registration fields show it, except that a server
    // and an agent name not given on the command line are the last ones registered with.
    struct Registration {
        std::string agentName;
        int agentPort = 0;
        std::string server;
        int ansPort = 0;
        bool agentGiven = false;
        bool serverGiven = false;
    };
    void FillRegistration(const Registration& start);
    // Where the lines about a loaded experiment go (the window's status line).
    void SetReport(std::function<void(const QString&)> report) { m_report = std::move(report); }
    // Fills the log save dialog before it opens (the Study page's proposed log name).
    void SetLogProposal(std::function<void(CSaveLocation&)> propose) {
        m_logProposal = std::move(propose);
    }
    // The recorded experiment loaded for playback ("" when none).
    const std::string& LoadedExperiment() const { return m_loadedExperiment; }
    // The last line about unreadable station content ("" when none).
    const QString& LastDiagnostic() const { return m_lastDiagnostic; }

    // How to end the name server's wait at once (Cancel) and get ready for the next call; the
    // program hands in its client's. Without them Cancel does nothing.
    struct NameServerWait {
        std::function<void()> cancel;
        std::function<void()> clear;
    };
    void SetNameServerWait(NameServerWait wait) { m_nameServerWait = std::move(wait); }
    // A name-server call (Register, Refresh List, Add Client, the list choices) is under way.
    bool Busy() const { return m_busy; }
    void CancelWait();

    // IInitPageView
    void ShowMessage(const std::string& text) override;
    bool Ask(const std::string& text) override;
    bool ChooseLogLocation(CSaveLocation& where) override;
    std::optional<std::string> ChooseOpenFile(const std::string& filter,
                                              const std::string& defaultExtension) override;
    void ShowDiagnostic(const std::string& text) override;
    void PageChanged() override;

    // Title of the page's message boxes.
    static constexpr const char* kMessageTitle = "HalyxCommand";

private:
    // The page's controls, box by box.
    void BuildControls();
    QPushButton* MakeButton(const char* caption, InitControl control, std::function<void()> action);
    QGroupBox* BuildRegistrationBox();
    QGroupBox* BuildFilterBox();
    QGroupBox* BuildClockBox();
    QListView* BuildAgentList(QWidget* stations);
    QTreeWidget* BuildStationsList(QWidget* stations);
    QVBoxLayout* BuildTeamButtons(QWidget* stations);
    QHBoxLayout* BuildSimulationButtons(QWidget* stations);
    QHBoxLayout* BuildStrayRow(QWidget* stations);
    QHBoxLayout* BuildPlaybackRow(QWidget* stations);
    void ShowPresenter();
    void ShowAgentList();
    void ShowStations();
    void ShowHealth();
    // Messages refused for a forged sender, and the restarted-station check box.
    void AddTrustControls(QWidget* parent, QHBoxLayout* row);
    void ShowRefusals();
    std::string StationHealth(const std::string& name) const;
    static constexpr const char* kAutoReinitKey = "Network/AutoReinit";
    static constexpr const char* kPauseWhenAwayKey = "Network/PauseWhenAway";
    void RememberRegistration();
    void MoveLog();
    void ReinitializeSelected();
    void OpenTimeline();
    // The log Timeline opens: the one loaded for playback, else the one just recorded ("" while
    // a mission runs or none was).
    std::string TimelineLog() const;
    void Report(const QString& line);
    void OpenMissionPicture();
    // The picture draws on the scenario's world map, which otherwise only the editor loads:
    // read off the event loop's thread when the window opens without it.
    void LoadMissionMap();
    void RunNameServerCall(InitControl control, const std::function<void()>& call);

    CPageContext& m_context;
    CInitPage m_page;
    std::function<void(const QString&)> m_report;
    std::function<void(CSaveLocation&)> m_logProposal;
    std::string m_chosenExperiment;
    std::string m_loadedExperiment;
    QString m_lastDiagnostic;
    bool m_showing = false;
    bool m_refreshPending = false;
    QIcon m_playIcon;
    QIcon m_pauseIcon;

    QLineEdit* m_server = nullptr;
    QLineEdit* m_ansPort = nullptr;
    QLineEdit* m_agent = nullptr;
    QLineEdit* m_agentPort = nullptr;
    QRadioButton* m_showAll = nullptr;
    QRadioButton* m_filterBy = nullptr;
    QLineEdit* m_filterText = nullptr;
    QListView* m_agentList = nullptr;
    QStringListModel m_agentModel;
    QTreeWidget* m_stations = nullptr;
    QPushButton* m_start = nullptr;
    QCheckBox* m_playbackMode = nullptr;
    QToolButton* m_playPause = nullptr;
    QToolButton* m_stop = nullptr;
    QLCDNumber* m_clock = nullptr;
    QLabel* m_clockCount = nullptr;
    QCheckBox* m_singlePerson = nullptr;
    QLabel* m_registration = nullptr;
    QLabel* m_stray = nullptr;
    QCheckBox* m_teamOnly = nullptr;
    QCheckBox* m_autoReinit = nullptr;
    QCheckBox* m_pauseWhenAway = nullptr;
    QLabel* m_refused = nullptr;
    std::size_t m_refusalsShown = 0;
    QPushButton* m_moveLog = nullptr;
    QPushButton* m_reinitialize = nullptr;
    QPushButton* m_timeline = nullptr;
    QPushButton* m_missionPicture = nullptr;
    CMissionFollower* m_follower = nullptr;
    std::unique_ptr<CMissionFollower> m_ownFollower;
    QPointer<CMissionWindow> m_missionWindow;
    bool m_missionMapLoading = false;
    QComboBox* m_speed = nullptr;
    QSlider* m_seek = nullptr;
    QLabel* m_seekMinute = nullptr;
    QLabel* m_outcome = nullptr;
    QProgressBar* m_busyBar = nullptr;
    QPushButton* m_cancelWait = nullptr;
    NameServerWait m_nameServerWait;
    bool m_busy = false;
    std::array<QWidget*, kInitControlCount> m_controls{};
};

} // namespace halyx
