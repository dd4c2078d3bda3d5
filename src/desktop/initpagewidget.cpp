#include "desktop/initpagewidget.h"

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "controls/settings.h"
#include "desktop/savelogdialog.h"
#include "ui/consolewiring.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace halyx {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// "Name (*.ext)|*.ext||" as the file dialogs of this platform want it: "Name (*.ext)".
QString QtFilter(const std::string& filter) {
    return Q(filter.substr(0, filter.find('|')));
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

// Reading a recorded experiment and writing the scenario into a new log take a moment with a
// large weather grid; the cursor says so.
InitPageScenario WithBusyCursor(InitPageScenario scenario) {
    auto busy = [](auto work) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        auto result = work();
        QApplication::restoreOverrideCursor();
        return result;
    };
    auto load = scenario.loadExperiment;
    scenario.loadExperiment = [load, busy](const std::string& path, std::string& message) {
        return busy([&] { return load(path, message); });
    };
    auto xml = scenario.scenarioXml;
    scenario.scenarioXml = [xml, busy] { return busy(xml); };
    return scenario;
}

} // namespace

CInitPageWidget::CInitPageWidget(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context),
      m_page(*this, context.agent, context.log,
             WithBusyCursor(MakeInitPageScenario(context.scenario, context.agent,
                                                 [this](const std::string& line) {
                                                     if (m_report) {
                                                         m_report(Q(line));
                                                     }
                                                 }))) {
    BuildControls();
    context.agent.SetMainWindow(&m_page);
    ShowPresenter();
}

CInitPageWidget::~CInitPageWidget() {
    m_context.agent.SetMainWindow(nullptr);
}

void CInitPageWidget::BuildControls() {
    auto button = [this](const char* caption, InitControl control, auto action) {
        auto* b = new QPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(caption));
        connect(b, &QPushButton::clicked, this, [this, action] {
            action();
            ShowPresenter();
        });
        m_controls[static_cast<size_t>(control)] = b;
        return b;
    };

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
    ansButtons->addWidget(button("Register", InitControl::Register, [this] {
        // The name server may take a moment to answer; the cursor says so.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_page.Register();
        QApplication::restoreOverrideCursor();
        if (!m_page.IsEnabled(InitControl::Register)) {
            RememberRegistration();
        }
    }));
    ansButtons->addWidget(
        button("UnRegister", InitControl::UnRegister, [this] { m_page.UnRegister(); }));
    ansGrid->addLayout(ansButtons, row, 0, 1, 2);

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
        m_page.ChooseShowAllAgents();
        ShowPresenter();
    });
    connect(m_filterBy, &QRadioButton::clicked, this, [this] {
        m_page.ChooseFilterBy();
        ShowPresenter();
    });
    connect(m_filterText, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_page.SetFilterText(t.toStdString()); });
    filterGrid->addWidget(m_showAll, 0, 0, 1, 2);
    filterGrid->addWidget(m_filterBy, 1, 0);
    filterGrid->addWidget(m_filterText, 1, 1);
    filterGrid->addWidget(
        button("Refresh List", InitControl::RefreshList, [this] { m_page.RefreshList(); }), 2, 0, 1,
        2);

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
    m_singlePerson = new QCheckBox(tr("Single Person Game"), clock);
    m_singlePerson->setObjectName(QStringLiteral("Single Person Game"));
    m_controls[static_cast<size_t>(InitControl::SinglePersonGame)] = m_singlePerson;
    connect(m_singlePerson, &QCheckBox::clicked, this, [this](bool checked) {
        m_page.SetSinglePersonGame(checked);
        ShowPresenter();
    });
    clockBox->addWidget(m_singlePerson);
    clockBox->addStretch();

    // Halyx Stations
    auto* stations = new QGroupBox(tr("Halyx Stations"), this);
    auto* stationsGrid = new QGridLayout(stations);
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
        m_page.SelectAgent(index.data().toString().toStdString());
        m_page.AddClient();
        ShowPresenter();
    });

    m_stations = new QTreeWidget(stations);
    m_stations->setObjectName(QStringLiteral("Stations"));
    m_stations->setRootIsDecorated(false);
    m_stations->setHeaderLabels({tr("Station Name"), tr("Status"), tr("Host"), tr("Port")});
    const int widths[] = {100, 100, 90, 50};
    for (int c = 0; c < 4; ++c) {
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

    auto* teamButtons = new QVBoxLayout;
    teamButtons->addStretch();
    teamButtons->addWidget(
        button("Add Client", InitControl::AddClient, [this] { m_page.AddClient(); }));
    teamButtons->addWidget(
        button("Remove Client", InitControl::RemoveClient, [this] { m_page.RemoveClient(); }));
    teamButtons->addStretch();

    auto* simButtons = new QHBoxLayout;
    simButtons->addWidget(button("Initialize Simulation", InitControl::InitializeSimulation,
                                 [this] { m_page.InitializeSimulation(); }));
    m_start = button("Start Simulation", InitControl::StartSimulation,
                     [this] { m_page.StartSimulation(); });
    simButtons->addWidget(m_start);
    simButtons->addWidget(button("Reset Simulation", InitControl::ResetSimulation,
                                 [this] { m_page.ResetSimulation(); }));

    auto* playback = new QHBoxLayout;
    m_playbackMode = new QCheckBox(tr("Playback Mode"), stations);
    m_playbackMode->setObjectName(QStringLiteral("Playback Mode"));
    m_controls[static_cast<size_t>(InitControl::PlaybackMode)] = m_playbackMode;
    connect(m_playbackMode, &QCheckBox::clicked, this, [this](bool checked) {
        m_page.SetPlaybackMode(checked);
        ShowPresenter();
    });
    playback->addWidget(m_playbackMode);
    playback->addWidget(button("Load Experiment", InitControl::LoadExperiment,
                               [this] { m_page.LoadExperiment(); }));
    playback->addWidget(button("Initialize Playback", InitControl::InitializePlayback,
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
    playback->addStretch();

    stationsGrid->addWidget(m_agentList, 0, 0);
    stationsGrid->addLayout(teamButtons, 0, 1);
    stationsGrid->addWidget(m_stations, 0, 2);
    stationsGrid->setColumnStretch(0, 2);
    stationsGrid->setColumnStretch(2, 3);
    stationsGrid->addLayout(simButtons, 1, 0, 1, 3);
    stationsGrid->addLayout(playback, 2, 0, 1, 3);

    auto* top = new QHBoxLayout;
    top->addWidget(ans, 3);
    top->addWidget(filter, 2);
    top->addWidget(clock, 2);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(stations, 1);
}

void CInitPageWidget::FillRegistration(const Registration& start) {
    const QString server =
        start.serverGiven ? Q(start.server)
                          : CSettings::Text(QStringLiteral("Registration/Server"), Q(start.server));
    const QString port = start.serverGiven ? QString::number(start.ansPort)
                                           : CSettings::Text(QStringLiteral("Registration/AnsPort"),
                                                             QString::number(start.ansPort));
    const QString name = start.agentGiven ? Q(start.agentName)
                                          : CSettings::Text(QStringLiteral("Registration/Agent"),
                                                            Q(start.agentName));
    m_page.FillRegistrationFields(name.toStdString(), start.agentPort, server.toStdString(),
                                  port.toInt());
    // A stored port that is not a number is shown as it was typed; Register then says so.
    m_page.SetAnsPort(port.toStdString());
    ShowPresenter();
}

void CInitPageWidget::RememberRegistration() {
    CSettings::SetText(QStringLiteral("Registration/Server"), Q(m_page.Server()));
    CSettings::SetText(QStringLiteral("Registration/AnsPort"), Q(m_page.AnsPort()));
    CSettings::SetText(QStringLiteral("Registration/Agent"), Q(m_page.AgentName()));
}

void CInitPageWidget::ShowMessage(const std::string& text) {
    QMessageBox::information(this, QString::fromUtf8(kMessageTitle), Q(text));
}

bool CInitPageWidget::Ask(const std::string& text) {
    return QMessageBox::question(this, QString::fromUtf8(kMessageTitle), Q(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool CInitPageWidget::ChooseLogLocation(CSaveLocation& where) {
    CSaveLogDialog dialog(where, this);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::string> CInitPageWidget::ChooseOpenFile(const std::string& filter,
                                                           const std::string&) {
    const QString key = QStringLiteral("Experiment");
    QFileDialog dialog(this, tr("Load Experiment"),
                       CSettings::LastFolder(key, Q(DefaultExpLogFolder())), QtFilter(filter));
    dialog.setObjectName(QStringLiteral("Load Experiment Dialog"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString path = dialog.selectedFiles().front();
    CSettings::SetLastFolder(key, QFileInfo(path).absolutePath());
    return path.toStdString();
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
            control->setEnabled(m_page.IsEnabled(static_cast<InitControl>(c)));
        }
    }
    const auto setText = [](QLineEdit* edit, const std::string& text) {
        const QString value = Q(text);
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
    m_start->setText(Q(m_page.StartCaption()));
    const bool playing = m_page.PlayPauseBitmap() == CInitPage::kPlayingBitmap;
    m_playPause->setIcon(playing ? ThemeIcon("media-playback-pause", QStyle::SP_MediaPause, this)
                                 : ThemeIcon("media-playback-start", QStyle::SP_MediaPlay, this));
    m_playPause->setToolTip(playing ? tr("Pause the playback")
                                    : tr("Play the recorded experiment"));
    m_playPause->setProperty("playing", playing);
    m_clock->display(Q(m_page.ClockDigits()));
    m_clockCount->setText(Q(m_page.ClockCount()));
    ShowAgentList();
    ShowStations();
    m_showing = false;
}

void CInitPageWidget::ShowAgentList() {
    QStringList names;
    for (const std::string& name : m_page.AgentList()) {
        names << Q(name);
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
    while (m_stations->topLevelItemCount() > static_cast<int>(rows.size())) {
        delete m_stations->takeTopLevelItem(m_stations->topLevelItemCount() - 1);
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = m_stations->topLevelItem(static_cast<int>(i));
        if (!item) {
            item = new QTreeWidgetItem(m_stations);
        }
        const std::string* cells[] = {&rows[i].name, &rows[i].status, &rows[i].host, &rows[i].port};
        for (int c = 0; c < 4; ++c) {
            const QString text = Q(*cells[c]);
            if (item->text(c) != text) {
                item->setText(c, text);
            }
        }
    }
    if (m_page.SelectedStation().empty()) {
        m_stations->setCurrentItem(nullptr);
        m_stations->clearSelection();
    }
}

} // namespace halyx
