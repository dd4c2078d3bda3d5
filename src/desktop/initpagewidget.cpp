#include "desktop/initpagewidget.h"

#include "controls/progressdialog.h"
#include "controls/qstrings.h"

#include "agent/halyxcommand.h"
#include "common/format.h"
#include "common/paths.h"
#include "controls/filedialogs.h"
#include "controls/progressdialog.h"
#include "controls/settings.h"
#include "desktop/jumpsliderstyle.h"
#include "desktop/missionfollower.h"
#include "desktop/missionwindow.h"
#include "desktop/probesbox.h"
#include "desktop/savelogdialog.h"
#include "desktop/timelinedialog.h"
#include "record/experimentlog.h"
#include "scenario/geographyview.h"
#include "scenario/mapsource.h"
#include "scenario/scenario.h"
#include "study/check.h"
#include "ui/consolewiring.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace halyx {

namespace {

// "Name (*.ext)|*.ext||" as the file dialogs of this platform want it: "Name (*.ext)".
QString QtFilter(const std::string& filter) {
    return ToQString(filter.substr(0, filter.find('|')));
}

// The desktop theme's media icon, else the style's. The disabled look is drawn here, as some
// icon engines show a disabled button's icon as if it could be pressed.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QWidget* widget) {
    const QIcon source =
        QIcon::fromTheme(QLatin1String(name), widget->style()->standardIcon(fallback));
    const QPixmap normal = source.pixmap(QSize(24, 24));
    QPixmap faded(normal.size());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.3);
    painter.drawPixmap(0, 0, normal);
    painter.end();
    QIcon icon(normal);
    icon.addPixmap(faded, QIcon::Disabled);
    return icon;
}

// Writing the scenario into a new log takes a moment with a large weather grid; the cursor
// says so.
InitPageScenario WithBusyCursor(InitPageScenario scenario) {
    auto xml = scenario.scenarioXml;
    scenario.scenarioXml = [xml] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::string text = xml();
        QApplication::restoreOverrideCursor();
        return text;
    };
    return scenario;
}

// A loaded experiment replaces the scenario as loading a scenario does: edits made before it
// cannot be undone into it (a redo would put another scenario's unit into the replay's).
InitPageScenario WithFreshHistory(InitPageScenario scenario, QUndoStack& history) {
    auto load = std::move(scenario.loadExperiment);
    scenario.loadExperiment =
        [load, &history](const std::string& path,
                         std::function<void(const InitPageScenario::ExperimentCommit&)> apply) {
            load(path, [apply = std::move(apply),
                        &history](const InitPageScenario::ExperimentCommit& commit) {
                apply([&commit, &history](std::string& message) {
                    const bool loaded = commit(message);
                    if (loaded) {
                        history.clear();
                        history.setClean();
                    }
                    return loaded;
                });
            });
        };
    return scenario;
}

// Initialize Simulation asks before going on with a scenario the check finds errors in. The
// first lines are enough to decide; the Scenarios page's Check Scenario shows them all.
InitPageScenario WithScenarioCheck(InitPageScenario scenario, const CScenario& checked) {
    scenario.checkErrors = [&checked] {
        constexpr int kShown = 10;
        std::string lines;
        int errors = 0;
        for (const CFinding& finding : CheckScenario(checked)) {
            // Empty map addresses were asked about among the missing components just before.
            if (finding.severity != FindingSeverity::Error ||
                (finding.component == FindingComponent::Maps &&
                 finding.text == kNoMapAddressText)) {
                continue;
            }
            if (++errors <= kShown) {
                lines += FindingLine(finding) + "\n";
            }
        }
        if (errors > kShown) {
            lines += Format("... and %d more\n", errors - kShown);
        }
        return lines;
    };
    return scenario;
}

} // namespace

CInitPageWidget::CInitPageWidget(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context),
      m_page(*this, context.agent, context.log,
             WithScenarioCheck(
                 WithFreshHistory(WithBusyCursor(MakeInitPageScenario(
                                      context.scenario, context.agent,
                                      [this](const std::string& line) {
                                          if (m_report) {
                                              m_report(ToQString(line));
                                          }
                                      },
                                      [this](const std::string& path,
                                             std::function<void(StagedExperiment)> done) {
                                          ReadExperimentInBackground(this, path, std::move(done));
                                      })),
                                  context.undoStack),
                 context.scenario)) {
    BuildControls();
    context.agent.SetStatusView(&m_page);
    context.agent.SetNotices(&m_page);
    // The handler runs inside a log write: the message box opens after the write is over, so
    // that no event loop runs (and writes more) in the middle of it.
    context.log.SetWriteTroubleHandler([this](const std::string& reason) {
        QMetaObject::invokeMethod(
            this,
            [this, reason] {
                m_page.ReportLogTrouble(reason);
                ShowPresenter();
            },
            Qt::QueuedConnection);
    });
    ShowPresenter();
}

CInitPageWidget::~CInitPageWidget() {
    // The window listens to the follower, which may be this page's own and go before the
    // window would as a child.
    delete m_missionWindow;
    if (m_follower != nullptr) {
        m_follower->SetPlaybackQuery(nullptr);
        m_follower->SetRecordingQuery(nullptr);
    }
    m_context.log.SetWriteTroubleHandler(nullptr);
    m_context.agent.SetStatusView(nullptr);
    m_context.agent.SetNotices(nullptr);
}

void CInitPageWidget::BuildControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(BuildRegistrationBox(), 3);
    top->addWidget(BuildFilterBox(), 2);
    top->addWidget(BuildClockBox(), 2);
    top->addWidget(new CProbesBox(m_context.agent, this), 2);

    auto* stations = new QGroupBox(tr("Halyx Stations"), this);
    auto* stationsGrid = new QGridLayout(stations);
    stationsGrid->addWidget(BuildAgentList(stations), 0, 0);
    stationsGrid->addLayout(BuildTeamButtons(stations), 0, 1);
    stationsGrid->addWidget(BuildStationsList(stations), 0, 2);
    stationsGrid->setColumnStretch(0, 2);
    stationsGrid->setColumnStretch(2, 3);
    stationsGrid->addLayout(BuildSimulationButtons(stations), 1, 0, 1, 3);
    stationsGrid->addLayout(BuildStrayRow(stations), 2, 0, 1, 3);
    stationsGrid->addLayout(BuildPlaybackRow(stations), 3, 0, 1, 3);

    // The decision of an ended mission, plainly, until Reset.
    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("Mission Outcome"));
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setWordWrap(true);
    QFont bold = m_outcome->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_outcome->setFont(bold);
    m_outcome->hide();
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(m_outcome);
    page->addWidget(stations, 1);
}

// A push button for one of the page's controls: the action, then the page shows the result.
QPushButton* CInitPageWidget::MakeButton(const char* caption, InitControl control,
                                         std::function<void()> action) {
    auto* b = new QPushButton(QString::fromUtf8(caption), this);
    b->setObjectName(QString::fromUtf8(caption));
    connect(b, &QPushButton::clicked, this, [this, action = std::move(action)] {
        action();
        ShowPresenter();
    });
    m_controls[static_cast<size_t>(control)] = b;
    return b;
}

QGroupBox* CInitPageWidget::BuildRegistrationBox() {
    // Agent Name Server (ANS)
    auto* ans = new QGroupBox(tr("Agent Name Server (ANS)"), this);
    auto* ansGrid = new QGridLayout(ans);
    m_server = new QLineEdit(ans);
    m_ansPort = new QLineEdit(ans);
    m_ansPort->setValidator(new QIntValidator(0, 65535, m_ansPort));
    m_agent = new QLineEdit(ans);
    m_agentPort = new QLineEdit(ans);
    m_agentPort->setReadOnly(true);
    const std::pair<const char*, QLineEdit*> fields[] = {{"Server", m_server},
                                                         {"ANS Port", m_ansPort},
                                                         {"Agent", m_agent},
                                                         {"Agent Port", m_agentPort}};
    int row = 0;
    for (const auto& [label, edit] : fields) {
        edit->setObjectName(QString::fromUtf8(label));
        ansGrid->addWidget(new QLabel(QString::fromUtf8(label), ans), row, 0);
        ansGrid->addWidget(edit, row, 1);
        ++row;
    }
    m_controls[static_cast<size_t>(InitControl::Server)] = m_server;
    m_controls[static_cast<size_t>(InitControl::AnsPort)] = m_ansPort;
    m_controls[static_cast<size_t>(InitControl::Agent)] = m_agent;
    m_controls[static_cast<size_t>(InitControl::AgentPort)] = m_agentPort;
    connect(m_server, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_page.SetServer(t.toStdString()); });
    connect(m_ansPort, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_page.SetAnsPort(t.toStdString()); });
    connect(m_agent, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_page.SetAgentName(t.toStdString()); });
    auto* ansButtons = new QHBoxLayout;
    ansButtons->addWidget(MakeButton("Register", InitControl::Register, [this] {
        RunNameServerCall(InitControl::Register, [this] { m_page.Register(); });
        if (!m_page.IsEnabled(InitControl::Register)) {
            RememberRegistration();
        }
    }));
    ansButtons->addWidget(
        MakeButton("UnRegister", InitControl::UnRegister, [this] { m_page.UnRegister(); }));
    // While the name server is asked: a busy bar and Cancel; the rest of the window goes on.
    m_busyBar = new QProgressBar(ans);
    m_busyBar->setObjectName(QStringLiteral("Name Server Busy"));
    m_busyBar->setRange(0, 0);
    m_busyBar->setMaximumWidth(80);
    m_busyBar->setTextVisible(false);
    m_busyBar->hide();
    m_cancelWait = new QPushButton(tr("Cancel"), ans);
    m_cancelWait->setObjectName(QStringLiteral("Cancel Name Server"));
    m_cancelWait->setToolTip(tr("Stop waiting for the name server"));
    m_cancelWait->hide();
    connect(m_cancelWait, &QPushButton::clicked, this, [this] { CancelWait(); });
    ansButtons->addWidget(m_busyBar);
    ansButtons->addWidget(m_cancelWait);
    ansGrid->addLayout(ansButtons, row, 0, 1, 2);
    m_registration = new QLabel(ans);
    m_registration->setObjectName(QStringLiteral("Registration Status"));
    m_registration->setWordWrap(true);
    ansGrid->addWidget(m_registration, row + 1, 0, 1, 2);
    return ans;
}

QGroupBox* CInitPageWidget::BuildFilterBox() {
    // Agent Filter
    auto* filter = new QGroupBox(tr("Agent Filter"), this);
    auto* filterGrid = new QGridLayout(filter);
    m_showAll = new QRadioButton(tr("Show All Agents"), filter);
    m_filterBy = new QRadioButton(tr("Filter By"), filter);
    m_filterText = new QLineEdit(filter);
    m_showAll->setObjectName(QStringLiteral("Show All Agents"));
    m_filterBy->setObjectName(QStringLiteral("Filter By"));
    m_filterText->setObjectName(QStringLiteral("Filter Text"));
    m_controls[static_cast<size_t>(InitControl::ShowAllAgents)] = m_showAll;
    m_controls[static_cast<size_t>(InitControl::FilterBy)] = m_filterBy;
    m_controls[static_cast<size_t>(InitControl::FilterText)] = m_filterText;
    connect(m_showAll, &QRadioButton::clicked, this, [this] {
        RunNameServerCall(InitControl::ShowAllAgents, [this] { m_page.ChooseShowAllAgents(); });
        ShowPresenter();
    });
    connect(m_filterBy, &QRadioButton::clicked, this, [this] {
        RunNameServerCall(InitControl::FilterBy, [this] { m_page.ChooseFilterBy(); });
        ShowPresenter();
    });
    connect(m_filterText, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_page.SetFilterText(t.toStdString()); });
    filterGrid->addWidget(m_showAll, 0, 0, 1, 2);
    filterGrid->addWidget(m_filterBy, 1, 0);
    filterGrid->addWidget(m_filterText, 1, 1);
    filterGrid->addWidget(MakeButton("Refresh List", InitControl::RefreshList,
                                     [this] {
                                         RunNameServerCall(InitControl::RefreshList,
                                                           [this] { m_page.RefreshList(); });
                                     }),
                          2, 0, 1, 2);
    return filter;
}

QGroupBox* CInitPageWidget::BuildClockBox() {
    // Clock
    auto* clock = new QGroupBox(tr("Clock"), this);
    auto* clockBox = new QVBoxLayout(clock);
    clockBox->addWidget(new QLabel(tr("Simulation Clock"), clock));
    m_clock = new QLCDNumber(3, clock);
    m_clock->setObjectName(QStringLiteral("Simulation Clock"));
    m_clock->setSegmentStyle(QLCDNumber::Flat);
    m_clock->setMinimumHeight(48);
    clockBox->addWidget(m_clock);
    m_clockCount = new QLabel(clock);
    m_clockCount->setObjectName(QStringLiteral("Clock Count"));
    clockBox->addWidget(m_clockCount);
    // Seeking in a replay: the slider follows the clock and moves the playback where it is let go.
    auto* seekRow = new QHBoxLayout;
    m_seek = new QSlider(Qt::Horizontal, clock);
    m_seek->setObjectName(QStringLiteral("Seek"));
    m_seek->setRange(0, CInitPage::kSeekMaximum);
    m_seek->setPageStep(60);
    m_seek->setToolTip(tr("Move the playback to another minute"));
    CJumpSliderStyle::Apply(m_seek);
    m_seekMinute = new QLabel(clock);
    m_seekMinute->setObjectName(QStringLiteral("Seek Minute"));
    m_seekMinute->setMinimumWidth(
        m_seekMinute->fontMetrics().horizontalAdvance(QStringLiteral("960")));
    m_seekMinute->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_seek, &QSlider::valueChanged, this,
            [this](int minute) { m_seekMinute->setNum(minute); });
    connect(m_seek, &QSlider::sliderReleased, this, [this] {
        m_page.SeekPlayback(m_seek->value());
        ShowPresenter();
    });
    // Keys and clicks on the groove move the slider without a drag. The minute is taken now:
    // a refresh due before the queued call (a tick) puts the slider back on the clock.
    connect(m_seek, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove) {
            const int minute = m_seek->sliderPosition();
            QTimer::singleShot(0, this, [this, minute] {
                m_page.SeekPlayback(minute);
                ShowPresenter();
            });
        }
    });
    seekRow->addWidget(m_seek, 1);
    seekRow->addWidget(m_seekMinute);
    clockBox->addLayout(seekRow);
    m_singlePerson = new QCheckBox(tr("Single Person Game"), clock);
    m_singlePerson->setObjectName(QStringLiteral("Single Person Game"));
    m_controls[static_cast<size_t>(InitControl::SinglePersonGame)] = m_singlePerson;
    connect(m_singlePerson, &QCheckBox::clicked, this, [this](bool checked) {
        m_page.SetSinglePersonGame(checked);
        ShowPresenter();
    });
    clockBox->addWidget(m_singlePerson);
    clockBox->addStretch();
    return clock;
}

QListView* CInitPageWidget::BuildAgentList(QWidget* stations) {
    m_agentList = new QListView(stations);
    m_agentList->setObjectName(QStringLiteral("Agent List"));
    m_agentList->setModel(&m_agentModel);
    m_agentList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_agentList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_controls[static_cast<size_t>(InitControl::AgentList)] = m_agentList;
    connect(m_agentList->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_showing && current.isValid()) {
                    m_page.SelectAgent(current.data().toString().toStdString());
                }
            });
    connect(m_agentList, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        if (m_busy) {
            return;
        }
        m_page.SelectAgent(index.data().toString().toStdString());
        RunNameServerCall(InitControl::AddClient, [this] { m_page.AddClient(); });
        ShowPresenter();
    });
    return m_agentList;
}

QTreeWidget* CInitPageWidget::BuildStationsList(QWidget* stations) {
    m_stations = new QTreeWidget(stations);
    m_stations->setObjectName(QStringLiteral("Stations"));
    m_stations->setRootIsDecorated(false);
    m_stations->setHeaderLabels(
        {tr("Station Name"), tr("Status"), tr("Host"), tr("Port"), tr("Lost")});
    m_stations->headerItem()->setToolTip(4, tr("Messages to the station given up while it could "
                                               "not be reached"));
    const int widths[] = {100, 170, 90, 50, 40};
    for (int c = 0; c < 5; ++c) {
        m_stations->setColumnWidth(c, widths[c]);
    }
    CSettings::TrackHeader(m_stations->header(), QStringLiteral("InitPage/Stations"));
    // The list is locked while a simulation runs, but its statuses must stay readable.
    QPalette readable = m_stations->palette();
    readable.setColor(QPalette::Disabled, QPalette::Text,
                      readable.color(QPalette::Active, QPalette::Text));
    m_stations->setPalette(readable);
    m_controls[static_cast<size_t>(InitControl::StationsList)] = m_stations;
    connect(m_stations, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!m_showing && item) {
            m_page.SelectStation(item->text(0).toStdString());
        }
    });
    connect(m_stations, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        m_page.SelectStation(item->text(0).toStdString());
        m_page.RemoveClient();
        ShowPresenter();
    });

    m_stations->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_stations, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = m_stations->itemAt(at);
        if (!item) {
            return;
        }
        const std::string name = item->text(0).toStdString();
        m_page.SelectStation(name);
        m_stations->setCurrentItem(item);
        QMenu menu(this);
        QAction* reinit = menu.addAction(tr("Re-initialize"));
        reinit->setEnabled(m_page.CanReinitialize(name));
        if (menu.exec(m_stations->viewport()->mapToGlobal(at)) == reinit) {
            ReinitializeSelected();
        }
    });
    return m_stations;
}

QVBoxLayout* CInitPageWidget::BuildTeamButtons(QWidget* stations) {
    auto* teamButtons = new QVBoxLayout;
    teamButtons->addStretch();
    teamButtons->addWidget(MakeButton("Add Client", InitControl::AddClient, [this] {
        RunNameServerCall(InitControl::AddClient, [this] { m_page.AddClient(); });
    }));
    teamButtons->addWidget(
        MakeButton("Remove Client", InitControl::RemoveClient, [this] { m_page.RemoveClient(); }));
    m_reinitialize = new QPushButton(tr("Re-initialize"), stations);
    m_reinitialize->setObjectName(QStringLiteral("Re-initialize"));
    m_reinitialize->setToolTip(tr("Send the simulation again to a station that restarted"));
    connect(m_reinitialize, &QPushButton::clicked, this, [this] { ReinitializeSelected(); });
    teamButtons->addWidget(m_reinitialize);
    teamButtons->addStretch();
    return teamButtons;
}

QHBoxLayout* CInitPageWidget::BuildSimulationButtons(QWidget* stations) {
    auto* simButtons = new QHBoxLayout;
    // A new mission's first steps clear the status line of what the last one left there.
    simButtons->addWidget(
        MakeButton("Initialize Simulation", InitControl::InitializeSimulation, [this] {
            Report(QString());
            m_page.InitializeSimulation();
        }));
    m_start = MakeButton("Start Simulation", InitControl::StartSimulation, [this] {
        const bool starting = !m_context.agent.Started();
        m_page.StartSimulation();
        if (starting && m_context.agent.Started()) {
            Report(QString());
        }
    });
    simButtons->addWidget(m_start);
    simButtons->addWidget(MakeButton("Reset Simulation", InitControl::ResetSimulation,
                                     [this] { m_page.ResetSimulation(); }));
    simButtons->addStretch();
    m_moveLog = new QPushButton(tr("Move Log..."), stations);
    m_moveLog->setObjectName(QStringLiteral("Move Log..."));
    m_moveLog->setToolTip(tr("Continue the experiment log in another folder"));
    connect(m_moveLog, &QPushButton::clicked, this, [this] { MoveLog(); });
    simButtons->addWidget(m_moveLog);
    return simButtons;
}

// Commands from agents outside the team, and the trust of the team's own.
QHBoxLayout* CInitPageWidget::BuildStrayRow(QWidget* stations) {
    auto* strayRow = new QHBoxLayout;
    m_teamOnly = new QCheckBox(tr("Team Only"), stations);
    m_teamOnly->setObjectName(QStringLiteral("Team Only"));
    m_teamOnly->setToolTip(tr("Refuse commands from agents that are not in the team"));
    connect(m_teamOnly, &QCheckBox::clicked, this, [this](bool checked) {
        m_page.SetTeamOnly(checked);
        ShowPresenter();
    });
    m_stray = new QLabel(stations);
    m_stray->setObjectName(QStringLiteral("Stray Commands"));
    m_stray->setTextFormat(Qt::PlainText);
    m_stray->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    strayRow->addWidget(m_teamOnly);
    strayRow->addWidget(m_stray, 1);
    AddTrustControls(stations, strayRow);
    return strayRow;
}

QHBoxLayout* CInitPageWidget::BuildPlaybackRow(QWidget* stations) {
    auto* playback = new QHBoxLayout;
    m_playbackMode = new QCheckBox(tr("Playback Mode"), stations);
    m_playbackMode->setObjectName(QStringLiteral("Playback Mode"));
    m_controls[static_cast<size_t>(InitControl::PlaybackMode)] = m_playbackMode;
    connect(m_playbackMode, &QCheckBox::clicked, this, [this](bool checked) {
        m_page.SetPlaybackMode(checked);
        // The line about the log that was loaded is no longer true.
        if (!checked && !m_page.IsPlaybackMode() && m_report) {
            m_report(QString());
        }
        ShowPresenter();
    });
    playback->addWidget(m_playbackMode);
    playback->addWidget(MakeButton("Load Experiment", InitControl::LoadExperiment,
                                   [this] { m_page.LoadExperiment(); }));
    playback->addWidget(MakeButton("Initialize Playback", InitControl::InitializePlayback,
                                   [this] { m_page.InitializePlayback(); }));
    m_stop = new QToolButton(stations);
    m_stop->setObjectName(QStringLiteral("Stop"));
    m_stop->setToolTip(tr("Stop the playback"));
    m_stop->setIcon(ThemeIcon("media-playback-stop", QStyle::SP_MediaStop, this));
    m_playIcon = ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, this);
    m_pauseIcon = ThemeIcon("media-playback-pause", QStyle::SP_MediaPause, this);
    m_stop->setIconSize(QSize(24, 24));
    connect(m_stop, &QToolButton::clicked, this, [this] {
        m_page.Stop();
        ShowPresenter();
    });
    m_controls[static_cast<size_t>(InitControl::Stop)] = m_stop;
    m_playPause = new QToolButton(stations);
    m_playPause->setObjectName(QStringLiteral("Play/Pause"));
    m_playPause->setIconSize(QSize(24, 24));
    connect(m_playPause, &QToolButton::clicked, this, [this] {
        m_page.PlayPause();
        ShowPresenter();
    });
    m_controls[static_cast<size_t>(InitControl::PlayPause)] = m_playPause;
    playback->addWidget(m_stop);
    playback->addWidget(m_playPause);
    auto* speedLabel = new QLabel(tr("Speed"), stations);
    m_speed = new QComboBox(stations);
    m_speed->setObjectName(QStringLiteral("Speed"));
    m_speed->setToolTip(tr("Playback speed"));
    for (int factor : CInitPage::kPlaybackSpeeds) {
        m_speed->addItem(QStringLiteral("x%1").arg(factor), factor);
    }
    speedLabel->setBuddy(m_speed);
    connect(m_speed, &QComboBox::activated, this, [this](int index) {
        m_page.SetPlaybackSpeed(m_speed->itemData(index).toInt());
        ShowPresenter();
    });
    playback->addSpacing(12);
    playback->addWidget(speedLabel);
    playback->addWidget(m_speed);
    playback->addSpacing(12);
    m_timeline = new QPushButton(tr("Timeline"), stations);
    m_timeline->setObjectName(QStringLiteral("Timeline"));
    m_timeline->setToolTip(
        tr("The mission of the loaded experiment, or of the one just recorded, at a glance"));
    connect(m_timeline, &QPushButton::clicked, this, [this] { OpenTimeline(); });
    playback->addWidget(m_timeline);
    m_missionPicture = new QPushButton(tr("Mission Picture"), stations);
    m_missionPicture->setObjectName(QStringLiteral("Mission Picture"));
    m_missionPicture->setToolTip(tr("The mission on the map, live or at the replay's minute"));
    connect(m_missionPicture, &QPushButton::clicked, this, [this] { OpenMissionPicture(); });
    playback->addWidget(m_missionPicture);
    playback->addStretch();
    return playback;
}

void CInitPageWidget::RunNameServerCall(InitControl control, const std::function<void()>& call) {
    if (m_busy) {
        return;
    }
    // The wait turns the event loop with the user's input: the page's own controls stay off
    // meanwhile, so that nothing starts a second name-server call inside the first.
    m_busy = true;
    if (m_nameServerWait.clear) {
        m_nameServerWait.clear();
    }
    QWidget* busyControl = m_controls[static_cast<size_t>(control)];
    if (busyControl) {
        busyControl->setCursor(Qt::BusyCursor);
    }
    ShowPresenter();
    m_busyBar->show();
    m_cancelWait->show();
    call();
    m_busyBar->hide();
    m_cancelWait->hide();
    if (busyControl) {
        busyControl->unsetCursor();
    }
    m_busy = false;
    ShowPresenter();
}

void CInitPageWidget::CancelWait() {
    if (m_busy && m_nameServerWait.cancel) {
        m_nameServerWait.cancel();
    }
}

void CInitPageWidget::FillRegistration(const Registration& start) {
    const QString server =
        start.serverGiven
            ? ToQString(start.server)
            : CSettings::Text(QStringLiteral("Registration/Server"), ToQString(start.server));
    const QString port = start.serverGiven ? QString::number(start.ansPort)
                                           : CSettings::Text(QStringLiteral("Registration/AnsPort"),
                                                             QString::number(start.ansPort));
    const QString name = start.agentGiven ? ToQString(start.agentName)
                                          : CSettings::Text(QStringLiteral("Registration/Agent"),
                                                            ToQString(start.agentName));
    m_page.FillRegistrationFields(name.toStdString(), start.agentPort, server.toStdString(),
                                  port.toInt());
    // A stored port that is not a number is shown as it was typed; Register then says so.
    m_page.SetAnsPort(port.toStdString());
    ShowPresenter();
}

void CInitPageWidget::RememberRegistration() {
    CSettings::SetText(QStringLiteral("Registration/Server"), ToQString(m_page.Server()));
    CSettings::SetText(QStringLiteral("Registration/AnsPort"), ToQString(m_page.AnsPort()));
    CSettings::SetText(QStringLiteral("Registration/Agent"), ToQString(m_page.AgentName()));
}

void CInitPageWidget::ShowMessage(const std::string& text) {
    QMessageBox::information(this, QString::fromUtf8(kMessageTitle), ToQString(text));
}

bool CInitPageWidget::Ask(const std::string& text) {
    return QMessageBox::question(this, QString::fromUtf8(kMessageTitle), ToQString(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool CInitPageWidget::ChooseLogLocation(CSaveLocation& where) {
    if (m_logProposal) {
        m_logProposal(where);
    }
    CSaveLogDialog dialog(where, this);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::string> CInitPageWidget::ChooseOpenFile(const std::string& filter,
                                                           const std::string&) {
    const QString key = QStringLiteral("Experiment");
    CFileRequest request;
    request.title = tr("Load Experiment");
    request.filter = QtFilter(filter);
    request.startFolder = CSettings::LastFolder(key, ToQString(DefaultExpLogFolder()));
    const QString path = ChooseFile(this, key, request);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    m_chosenExperiment = path.toStdString();
    return m_chosenExperiment;
}

void ReadExperimentInBackground(QWidget* parent, const std::string& path,
                                std::function<void(StagedExperiment)> done) {
    // A log of a long session is hundreds of megabytes: it is read on a worker thread, and the
    // window shows how far it got and can stop it.
    const QString text =
        QObject::tr("Loading Experiment\n%1").arg(QFileInfo(ToQString(path)).fileName());
    RunInBackground(
        parent, {text}, [path](IProgress& progress) { return ReadExperiment(path, &progress); },
        std::move(done));
}

void CInitPageWidget::MoveLog() {
    if (!m_page.CanMoveLog()) {
        return;
    }
    const QString key = QStringLiteral("MoveLog");
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = tr("Move Log");
    request.startFolder = CSettings::LastFolder(key, ToQString(DefaultExpLogFolder()));
    QString folder = ChooseFile(this, key, request);
    if (folder.isEmpty()) {
        return;
    }
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool moved = m_page.MoveLog(folder.toStdString());
    QApplication::restoreOverrideCursor();
    if (moved && m_report) {
        m_report(tr("The experiment log continues in %1").arg(ToQString(m_context.log.FilePath())));
    }
    ShowPresenter();
}

void CInitPageWidget::ReinitializeSelected() {
    m_page.ReinitializeStation(m_page.SelectedStation());
    ShowPresenter();
}

std::string CInitPageWidget::TimelineLog() const {
    if (!m_loadedExperiment.empty()) {
        return m_loadedExperiment;
    }
    // The log just recorded, once its mission has ended or the log was closed.
    if (!m_page.IsPlaybackMode() && !m_page.MissionRunning() &&
        (m_page.MissionOver() || !m_context.log.IsOpen())) {
        return m_context.log.FilePath();
    }
    return {};
}

void CInitPageWidget::Report(const QString& line) {
    if (m_report) {
        m_report(line);
    }
}

void CInitPageWidget::OpenTimeline() {
    const std::string path = TimelineLog();
    if (path.empty()) {
        return;
    }
    auto* dialog = new CTimelineDialog(path, this);
    dialog->show();
}

void CInitPageWidget::SetMissionFollower(CMissionFollower* follower) {
    m_follower = follower;
    if (m_follower != nullptr) {
        m_follower->SetPlaybackQuery([this] { return m_page.IsPlaybackMode(); });
        m_follower->SetRecordingQuery(
            [this] { return m_page.ExperimentLoaded() ? m_page.LoadedPath() : std::string(); });
    }
}

void CInitPageWidget::OpenMissionPicture() {
    if (m_missionWindow == nullptr) {
        if (m_follower == nullptr) {
            m_ownFollower = std::make_unique<CMissionFollower>(m_context.scenario, m_context.agent,
                                                               m_context.log);
            SetMissionFollower(m_ownFollower.get());
        }
        m_missionWindow = new CMissionWindow(*m_follower, this);
    }
    m_missionWindow->show();
    m_missionWindow->raise();
    m_missionWindow->activateWindow();
    LoadMissionMap();
}

void CInitPageWidget::LoadMissionMap() {
    const CGeography& geography = m_context.scenario.Geography();
    const std::string address = geography.GetMapURL(CGeography::kGlobalMap);
    if (m_missionMapLoading || geography.GetWorldMap().exists() || address.empty()) {
        return;
    }
    m_missionMapLoading = true;
    auto* watcher = new QFutureWatcher<CMapSourceResult>(this);
    connect(watcher, &QFutureWatcher<CMapSourceResult>::finished, this, [this, watcher, address] {
        m_missionMapLoading = false;
        const CMapSourceResult source = watcher->result();
        watcher->deleteLater();
        CGeography& geography = m_context.scenario.Geography();
        // Loaded meanwhile (by the editor), or another scenario's map stands now: left as it is.
        if (geography.GetWorldMap().exists() ||
            geography.GetMapURL(CGeography::kGlobalMap) != address) {
            return;
        }
        CSilentGeographyView silent;
        if (!geography.GetMapFromSource(address, source, silent)) {
            ShowDiagnostic("Mission Picture: the map " + address + " could not be read (" +
                           geography.LastMapError() + "); drawn without it");
            return;
        }
        // One map pixel to a pixel: the window scales the picture to its size.
        CWorldMap& map = geography.GetWorldMap();
        map.zoomby(kMinZoom - map.getScalefactor());
        if (m_missionWindow) {
            m_missionWindow->MapChanged();
        }
    });
    watcher->setFuture(QtConcurrent::run([address] { return ReadMapSource(address); }));
}

void CInitPageWidget::ShowDiagnostic(const std::string& text) {
    // Station content that cannot be read may come with every message: a line on the status
    // line, never a box to click away.
    m_lastDiagnostic = ToQString(text);
    if (m_report) {
        m_report(m_lastDiagnostic);
    }
}

void CInitPageWidget::PageChanged() {
    // The agent reports many changes in a row (every tick, every station's answer); the widgets
    // catch up once per turn of the event loop. The user's own clicks show at once.
    if (!m_refreshPending) {
        m_refreshPending = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshPending = false;
            ShowPresenter();
        });
    }
}

void CInitPageWidget::ShowPresenter() {
    m_showing = true;
    for (int c = 0; c < kInitControlCount; ++c) {
        if (QWidget* control = m_controls[static_cast<size_t>(c)]) {
            control->setEnabled(!m_busy && m_page.IsEnabled(static_cast<InitControl>(c)));
        }
    }
    const auto setText = [](QLineEdit* edit, const std::string& text) {
        const QString value = ToQString(text);
        if (edit->text() != value) {
            edit->setText(value);
        }
    };
    setText(m_server, m_page.Server());
    setText(m_ansPort, m_page.AnsPort());
    setText(m_agent, m_page.AgentName());
    setText(m_agentPort, m_page.AgentPort());
    setText(m_filterText, m_page.FilterText());
    m_showAll->setChecked(m_page.ShowAllAgentsChecked());
    m_filterBy->setChecked(!m_page.ShowAllAgentsChecked());
    m_playbackMode->setChecked(m_page.IsPlaybackMode());
    m_singlePerson->setChecked(m_page.SinglePersonGameChecked());
    m_start->setText(ToQString(m_page.StartCaption()));
    const bool playing = m_page.PlayPauseBitmap() == CInitPage::kPlayingBitmap;
    m_playPause->setIcon(playing ? ThemeIcon("media-playback-pause", QStyle::SP_MediaPause, this)
                                 : ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, this));
    m_playPause->setToolTip(playing ? tr("Pause the playback")
                                    : tr("Play the recorded experiment"));
    m_playPause->setProperty("playing", playing);
    m_clock->display(ToQString(m_page.ClockDigits()));
    m_clockCount->setText(ToQString(m_page.ClockCount()));
    m_moveLog->setEnabled(!m_busy && m_page.CanMoveLog());
    m_reinitialize->setEnabled(!m_page.SelectedStation().empty() &&
                               m_page.CanReinitialize(m_page.SelectedStation()));
    m_teamOnly->setChecked(m_page.TeamOnlyChecked());
    m_autoReinit->setChecked(m_context.agent.AutoReinit());
    m_pauseWhenAway->setChecked(m_context.agent.PauseWhenAway());
    m_speed->setEnabled(m_page.IsPlaybackMode());
    m_speed->setCurrentIndex(m_speed->findData(m_page.PlaybackSpeed()));
    m_seek->setEnabled(m_page.CanSeek());
    if (!m_seek->isSliderDown()) {
        m_seek->setValue(QString::fromStdString(m_page.ClockDigits()).toInt());
    }
    m_loadedExperiment = m_page.ExperimentLoaded() ? m_page.LoadedPath() : std::string();
    const QString outcome = ToQString(m_page.MissionOutcome());
    if (outcome != m_outcome->text()) {
        m_outcome->setText(outcome);
        m_outcome->setVisible(!outcome.isEmpty());
        // A reset takes the ended mission's decision off the status line too.
        Report(outcome);
    }
    m_timeline->setEnabled(!TimelineLog().empty());
    ShowHealth();
    ShowAgentList();
    ShowStations();
    m_showing = false;
}

void CInitPageWidget::ShowHealth() {
    const std::string& status = m_page.RegistrationStatus();
    QString registration =
        status.empty() ? tr("Not registered") : tr("Registration: %1").arg(ToQString(status));
    if (!m_page.RegistrationDetail().empty()) {
        registration += QStringLiteral(" (%1)").arg(ToQString(m_page.RegistrationDetail()));
    }
    m_registration->setText(registration);
    const bool lost = status == CInitPage::kRegistrationLostStatus;
    m_registration->setStyleSheet(lost ? QStringLiteral("color: #b00020;") : QString());
    ShowRefusals();

    if (m_page.StrayCount() == 0 || m_page.StrayCommands().empty()) {
        m_stray->clear();
        m_stray->setToolTip(QString());
        return;
    }
    const CInitPage::StrayCommandEntry& last = m_page.StrayCommands().back();
    const QString lastText = QStringLiteral("%1 from %2 (%3%4)")
                                 .arg(ToQString(last.command), ToQString(last.sender),
                                      QString::fromUtf8(CInitPage::kNotInTeam),
                                      last.refused ? tr(", refused") : QString());
    m_stray->setText(tr("%n command(s) from agents not in the team; last: %1", nullptr,
                        static_cast<int>(std::min<long long>(m_page.StrayCount(), 1 << 30)))
                         .arg(lastText));
    m_stray->setToolTip(m_stray->text());
}

void CInitPageWidget::ShowAgentList() {
    QStringList names;
    for (const std::string& name : m_page.AgentList()) {
        names << ToQString(name);
    }
    if (names != m_agentModel.stringList()) {
        m_agentModel.setStringList(names);
    }
    if (m_page.SelectedAgent().empty()) {
        m_agentList->selectionModel()->clearCurrentIndex();
        m_agentList->clearSelection();
    }
}

void CInitPageWidget::ShowStations() {
    const std::vector<StationRow>& rows = m_page.Stations();
    // Rows are rewritten in place, so that a tick or a status change keeps the selection.
    int needed = 0;
    while (m_stations->topLevelItemCount() > static_cast<int>(rows.size())) {
        delete m_stations->takeTopLevelItem(m_stations->topLevelItemCount() - 1);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = m_stations->topLevelItem(static_cast<int>(i));
        if (!item) {
            item = new QTreeWidgetItem(m_stations);
        }
        const std::string health = StationHealth(rows[i].name);
        const std::string status =
            health.empty() ? rows[i].status : rows[i].status + " (" + health + ")";
        needed = std::max(needed, m_stations->fontMetrics().horizontalAdvance(ToQString(status)) +
                                      2 * m_stations->style()->pixelMetric(
                                              QStyle::PM_FocusFrameHMargin, nullptr, m_stations) +
                                      12);
        const std::string lost = std::to_string(m_page.LostMessages(rows[i].name));
        const std::string* cells[] = {&rows[i].name, &status, &rows[i].host, &rows[i].port, &lost};
        for (int c = 0; c < 5; ++c) {
            const QString text = ToQString(*cells[c]);
            if (item->text(c) != text) {
                item->setText(c, text);
            }
        }
        item->setForeground(1, health.empty() ? m_stations->palette().brush(QPalette::Text)
                                              : QBrush(QColor(0xb0, 0x00, 0x20)));
        item->setToolTip(1, ToQString(status));
    }
    // A status with its health ("Running (Not Responding)") is read whole, not cut off; a
    // column the experimenter made wider stays so.
    if (needed > m_stations->columnWidth(1)) {
        m_stations->setColumnWidth(1, needed);
    }
    if (m_page.SelectedStation().empty()) {
        m_stations->setCurrentItem(nullptr);
        m_stations->clearSelection();
    }
}

// ---------------------------------------------------------------------------------------------
// Forged senders and restarted stations

void CInitPageWidget::AddTrustControls(QWidget* parent, QHBoxLayout* row) {
    m_autoReinit = new QCheckBox(tr("Re-initialize Restarted Stations"), parent);
    m_autoReinit->setObjectName(QStringLiteral("Auto Re-initialize"));
    m_autoReinit->setToolTip(
        tr("Send the simulation at once to a station whose program was started again"));
    // Remembered between runs; --auto-reinit on the command line turns it on as well.
    if (CSettings::Text(QString::fromLatin1(kAutoReinitKey), QStringLiteral("0")) ==
        QStringLiteral("1")) {
        m_context.agent.SetAutoReinit(true);
    }
    connect(m_autoReinit, &QCheckBox::clicked, this, [this](bool checked) {
        m_context.agent.SetAutoReinit(checked);
        CSettings::SetText(QString::fromLatin1(kAutoReinitKey),
                           checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    row->addWidget(m_autoReinit);
    m_pauseWhenAway = new QCheckBox(tr("Pause when a subject is away"), parent);
    m_pauseWhenAway->setObjectName(QStringLiteral("Pause When Away"));
    m_pauseWhenAway->setToolTip(tr("Pause the mission when a web seat's browser is gone for 3 "
                                   "seconds; you resume it"));
    // Remembered between runs; --pause-when-away on the command line turns it on as well.
    if (CSettings::Text(QString::fromLatin1(kPauseWhenAwayKey), QStringLiteral("0")) ==
        QStringLiteral("1")) {
        m_context.agent.SetPauseWhenAway(true);
    }
    m_pauseWhenAway->setChecked(m_context.agent.PauseWhenAway());
    connect(m_pauseWhenAway, &QCheckBox::clicked, this, [this](bool checked) {
        m_context.agent.SetPauseWhenAway(checked);
        CSettings::SetText(QString::fromLatin1(kPauseWhenAwayKey),
                           checked ? QStringLiteral("1") : QStringLiteral("0"));
    });
    row->addWidget(m_pauseWhenAway);
    m_refused = new QLabel(parent);
    m_refused->setObjectName(QStringLiteral("Refused Senders"));
    m_refused->setTextFormat(Qt::PlainText);
    m_refused->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_refused->setStyleSheet(QStringLiteral("color: #b00020;"));
    row->addWidget(m_refused, 1);
}

void CInitPageWidget::ShowRefusals() {
    const CHalyxCommand& agent = m_context.agent;
    if (agent.RefusedTotal() == 0 || agent.Refusals().empty()) {
        m_refused->clear();
        m_refused->setToolTip(QString());
        return;
    }
    const CHalyxCommand::SenderRefusal& last = agent.Refusals().back();
    // The newest on the window's status line too, with how to let a real station in.
    if (agent.RefusalsNoted() != m_refusalsShown) {
        m_refusalsShown = agent.RefusalsNoted();
        ShowDiagnostic("Refused a message claiming " + last.name + " from " + last.peer + ": " +
                       last.hint);
    }
    m_refused->setText(tr("%n forged message(s) refused; last: %1 from %2", nullptr,
                          static_cast<int>(std::min<std::size_t>(agent.RefusedTotal(), 1u << 30)))
                           .arg(ToQString(last.name), ToQString(last.peer)));
    m_refused->setToolTip(ToQString(last.hint));
}

std::string CInitPageWidget::StationHealth(const std::string& name) const {
    std::string health = m_page.StationHealthText(name);
    if (const std::size_t refused = m_context.agent.RefusedCount(name); refused > 0) {
        health += (health.empty() ? "" : ", ") + std::to_string(refused) + " forged refused";
    }
    return health;
}

} // namespace halyx
