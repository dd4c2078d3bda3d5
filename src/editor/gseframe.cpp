#include "editor/gseframe.h"

#include "controls/filedialogs.h"
#include "controls/generatescenariodlg.h"
#include "controls/progressdialog.h"
#include "controls/settings.h"
#include "editor/gseinfoview.h"
#include "editor/gsetreeview.h"
#include "editor/gseview.h"
#include "scenario/geographyview.h"
#include "scenario/mapsource.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"

#include <QDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace halyx {

namespace {

constexpr int kTreeWidth = 200;
constexpr int kMapHeight = 600;
constexpr int kInfoHeight = 110;
constexpr const char* kScenarioFilter = "Halyx Scenario (*.hsf)|*.hsf||";
constexpr const char* kPointerPaneSample = "999,999 (999.00,999.00)";
constexpr const char* kPointerPaneWidest = "999.999,999.999 (9999,9999)";

// What the worker thread brings back: the map text and the bounds of the three station maps.
struct CMapFetch {
    CMapSourceResult source;
    CMapLimits limits;
};

// Shows the geography's messages in message boxes over the editor.
class CBoxGeographyView final : public IGeographyView {
public:
    explicit CBoxGeographyView(std::function<void(const QString&, bool)> show)
        : m_show(std::move(show)) {}
    void ShowMessage(const std::string& text, bool error) override {
        m_show(QString::fromStdString(text), error);
    }

private:
    std::function<void(const QString&, bool)> m_show;
};

} // namespace

CGSEFrame::CGSEFrame(CScenario& scenario, QUndoStack& undo, QWidget* parent)
    : QMainWindow(parent), m_scenario(scenario), m_undo(undo) {
    setWindowTitle(QString::fromUtf8(kTitle));
    // Closing the window ends the editor (a new one is made the next time it is launched).
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("GSEFrame"));

    m_tree = new CGSETreeView;
    m_view = new CGSEView(scenario, undo);
    m_info = new CGSEInfoView(scenario);
    m_inner = new QSplitter(Qt::Vertical);
    m_inner->addWidget(m_view);
    m_inner->addWidget(m_info);
    m_inner->setStretchFactor(0, 1);
    m_inner->setSizes({kMapHeight, kInfoHeight});
    m_outer = new QSplitter(Qt::Horizontal);
    m_outer->addWidget(m_tree);
    m_outer->addWidget(m_inner);
    m_outer->setStretchFactor(1, 1);
    m_outer->setSizes({kTreeWidth, 800});
    setCentralWidget(m_outer);
    resize(kTreeWidth + 820, kMapHeight + kInfoHeight + 90);
    CSettings::TrackSplitter(m_outer, QStringLiteral("GSEFrame/Outer"));
    CSettings::TrackSplitter(m_inner, QStringLiteral("GSEFrame/Inner"));
    m_geometryRestored = CSettings::TrackGeometry(this, QStringLiteral("GSEFrame"));

    m_pointerPane = new QLabel;
    // The pane's classic sample is narrower than the texts the view writes ("%06.3f,%06.3f
    // (%d,%d)" is two characters longer), which would cut off the map pixel: it is sized for
    // whichever is wider.
    const QFontMetrics metrics = m_pointerPane->fontMetrics();
    m_pointerPane->setMinimumWidth(
        std::max(metrics.horizontalAdvance(QString::fromUtf8(kPointerPaneSample)),
                 metrics.horizontalAdvance(QString::fromUtf8(kPointerPaneWidest))) +
        8);
    // The pane's numbers are the map position under the pointer and its window pixel.
    auto* pointerCaption = new QLabel(tr("lat, lng (x, y):"));
    pointerCaption->setObjectName(QStringLiteral("Pointer Caption"));
    statusBar()->addPermanentWidget(pointerCaption);
    statusBar()->addPermanentWidget(m_pointerPane);

    BuildMenus();

    connect(m_view, &CGSEView::SelectionChanged, this,
            [this] { m_info->SetSelection(m_view->Selection()); });
    connect(m_view, &CGSEView::PointerTextChanged, m_pointerPane, &QLabel::setText);
    connect(m_tree, &CGSETreeView::LoadRequested, this, [this](const QString& path) {
        m_view->ClearSelection();
        LoadScenarioFile(path.toStdString());
    });

    // Changed map addresses bring new map limits.
    m_subscription = m_scenario.Subscribe([this](ScenarioChange change, int) {
        if (change == ScenarioChange::Geography || change == ScenarioChange::Replaced) {
            FetchMapLimits();
        }
    });
}

CGSEFrame::~CGSEFrame() {
    m_scenario.Unsubscribe(m_subscription);
}

void CGSEFrame::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("Load Scenario"), this, &CGSEFrame::LoadScenario);
    file->addAction(QStringLiteral("Save Scenario"), this, &CGSEFrame::SaveScenario);
    file->addSeparator();
    file->addAction(QStringLiteral("Close"), QKeySequence::Close, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undoAction = m_undo.createUndoAction(this);
    undoAction->setShortcut(QKeySequence::Undo);
    QAction* redoAction = m_undo.createRedoAction(this);
    redoAction->setShortcut(QKeySequence::Redo);
    edit->addAction(undoAction);
    edit->addAction(redoAction);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("Generate Scenarios"), this, &CGSEFrame::GenerateScenarios);

    m_toolBar = addToolBar(QStringLiteral("Zoom"));
    m_toolBar->setObjectName(QStringLiteral("GSEToolBar"));
    m_toolBar->setMovable(false);
    m_zoomIn = m_toolBar->addAction(QStringLiteral("Zoom In"), m_view, &CGSEView::ZoomIn);
    m_zoomIn->setShortcut(QKeySequence::ZoomIn);
    m_zoomIn->setToolTip(QStringLiteral("Zoom in"));
    m_zoomOut = m_toolBar->addAction(QStringLiteral("Zoom Out"), m_view, &CGSEView::ZoomOut);
    m_zoomOut->setShortcut(QKeySequence::ZoomOut);
    m_zoomOut->setToolTip(QStringLiteral("Zoom out"));
    m_wholeMap = m_toolBar->addAction(QStringLiteral("Whole Map"));
    m_wholeMap->setObjectName(QStringLiteral("Whole Map"));
    m_wholeMap->setCheckable(true);
    m_wholeMap->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    m_wholeMap->setToolTip(QStringLiteral("Show the whole map in the window"));
    connect(m_wholeMap, &QAction::toggled, m_view, &CGSEView::SetWholeMap);
    connect(m_view, &CGSEView::WholeMapChanged, m_wholeMap, &QAction::setChecked);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    QAction* viewToolBar = m_toolBar->toggleViewAction();
    viewToolBar->setText(QStringLiteral("View ToolBar"));
    view->addAction(viewToolBar);
    QAction* viewStatusBar = view->addAction(QStringLiteral("View Status Bar"));
    viewStatusBar->setCheckable(true);
    viewStatusBar->setChecked(true);
    connect(viewStatusBar, &QAction::toggled, statusBar(), &QWidget::setVisible);
    view->addSeparator();
    const auto toggle = [&](const char* text) {
        QAction* action = view->addAction(QString::fromUtf8(text));
        action->setCheckable(true);
        action->setChecked(true);
        connect(action, &QAction::toggled, this, &CGSEFrame::ApplyDrawOptions);
        return action;
    };
    m_showRadars = toggle("Show Radars");
    m_showInterceptors = toggle("Show Interceptors");
    m_showIncursions = toggle("Show Incursions");
    m_showMapLimits = toggle("Show Map Limits");
}

void CGSEFrame::ApplyDrawOptions() {
    CGSEDrawOptions options;
    options.radars = m_showRadars->isChecked();
    options.interceptors = m_showInterceptors->isChecked();
    options.incursions = m_showIncursions->isChecked();
    options.mapLimits = m_showMapLimits->isChecked();
    m_view->SetDrawOptions(options);
}

void CGSEFrame::SetAsk(std::function<bool(const QString&, const QString&)> ask) {
    m_ask = ask;
    m_tree->SetAsk(ask);
    m_view->SetAsk([ask, this](const QString& text) { return ask(windowTitle(), text); });
}

bool CGSEFrame::Ask(const QString& caption, const QString& text) {
    if (m_ask) {
        return m_ask(caption, text);
    }
    return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void CGSEFrame::ShowMessage(const QString& text, bool error) {
    if (m_showMessage) {
        m_showMessage(text, error);
    } else if (error) {
        QMessageBox::critical(this, windowTitle(), text);
    } else {
        QMessageBox::information(this, windowTitle(), text);
    }
}

void CGSEFrame::LoadGlobalMap() {
    const std::string address = m_scenario.Geography().GetMapURL(CGeography::kGlobalMap);
    if (address.empty()) {
        // A scenario without a world map (a new one, or none loaded yet): the editor opens
        // empty instead of reporting that nothing could be fetched from nowhere.
        QMetaObject::invokeMethod(
            this, [this] { emit MapLoadFinished(false); }, Qt::QueuedConnection);
        return;
    }
    std::array<std::string, 3> limits;
    for (int i = 0; i < 3; ++i) {
        limits[static_cast<size_t>(i)] = m_scenario.Geography().GetMapURL(i);
    }
    m_limitAddresses = limits;
    auto* watcher = new QFutureWatcher<CMapFetch>(this);
    connect(watcher, &QFutureWatcher<CMapFetch>::finished, this, [this, watcher, address] {
        const CMapFetch fetched = watcher->result();
        watcher->deleteLater();
        CBoxGeographyView view(
            [this](const QString& text, bool error) { ShowMessage(text, error); });
        const bool ok = m_scenario.Geography().GetMapFromSource(address, fetched.source, view);
        m_view->SetMapLimits(fetched.limits);
        if (ok) {
            m_view->FirstView();
        } else {
            ShowMessage(QStringLiteral("Map load Failed"), true);
        }
        emit MapLoadFinished(ok);
    });
    watcher->setFuture(QtConcurrent::run([address, limits] {
        CMapFetch fetched;
        fetched.source = ReadMapSource(address);
        fetched.limits = ReadMapLimits(limits);
        return fetched;
    }));
}

void CGSEFrame::FetchMapLimits() {
    std::array<std::string, 3> addresses;
    for (int i = 0; i < 3; ++i) {
        addresses[static_cast<size_t>(i)] = m_scenario.Geography().GetMapURL(i);
    }
    if (addresses == m_limitAddresses) {
        return;
    }
    m_limitAddresses = addresses;
    auto* watcher = new QFutureWatcher<CMapLimits>(this);
    connect(watcher, &QFutureWatcher<CMapLimits>::finished, this, [this, watcher, addresses] {
        // Only the answer for the addresses that still stand is shown.
        if (addresses == m_limitAddresses) {
            m_view->SetMapLimits(watcher->result());
        }
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([addresses] { return ReadMapLimits(addresses); }));
}

void CGSEFrame::LoadScenario() {
    if (!Ask(windowTitle(), QString::fromUtf8(kLoadScenarioQuestion))) {
        return;
    }
    m_view->ClearSelection();
    if (m_hooks.load) {
        m_hooks.load();
        return;
    }
    CFileRequest request;
    request.mode = CFileRequest::Mode::Open;
    request.title = QStringLiteral("Load Scenario");
    request.filter = QtFileFilter(QString::fromUtf8(kScenarioFilter));
    const QString path = ChooseFile(this, QStringLiteral("GSELoadScenario"), request);
    if (!path.isEmpty()) {
        LoadScenarioFile(path.toStdString());
    }
}

void CGSEFrame::LoadScenarioFile(const std::string& path) {
    if (m_hooks.loadPath) {
        m_hooks.loadPath(path);
        return;
    }
    const auto failed = [this](const QString& error) {
        ShowMessage(QStringLiteral("Error Loading Scenario\n") + error, true);
    };
    RunInBackground(
        this, {QStringLiteral("HALYX\n\nLoading Scenario"), false},
        [path](IProgress& progress) { return StageScenarioSet(path, &progress); },
        [this, failed](CStagedScenarioSet staged) {
            CScenarioFields fields;
            const CScenarioLoadResult result = CommitScenarioSet(staged, fields, m_scenario);
            if (!result) {
                failed(QString::fromStdString(result.error));
                return;
            }
            // The loaded scenario replaced what the undo history refers to.
            m_undo.clear();
        },
        failed);
}

void CGSEFrame::SaveScenario() {
    QString path;
    if (m_chooseSaveFile) {
        path = m_chooseSaveFile();
    } else {
        CFileRequest request;
        request.mode = CFileRequest::Mode::Save;
        request.title = QStringLiteral("Save Scenario");
        request.filter = QtFileFilter(QString::fromUtf8(kScenarioFilter));
        request.defaultSuffix = QStringLiteral("hsf");
        path = ChooseFile(this, QStringLiteral("GSESaveScenario"), request);
    }
    if (path.isEmpty()) {
        return;
    }
    const QFileInfo info(path);
    std::string folder = info.absolutePath().toStdString();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    const std::string title = info.completeBaseName().toStdString();
    m_view->ClearSelection();
    if (m_hooks.save) {
        m_hooks.save(folder, title);
        return;
    }
    // Written from a copy, so that nothing the worker reads can change under it.
    auto snapshot = std::make_shared<CScenario>();
    CopyScenarioSet(m_scenario, *snapshot);
    const auto failed = [this](const QString& error) { ShowMessage(error, true); };
    RunInBackground(
        this, {QStringLiteral("HALYX\n\nSaving Scenario"), false},
        [title, folder, snapshot](IProgress& progress) {
            return SaveScenarioAs(title, folder, *snapshot, &progress);
        },
        [failed](const CScenarioSaveResult& result) {
            if (!result) {
                failed(QString::fromStdString(result.error));
            }
        },
        failed);
}

void CGSEFrame::GenerateScenarios() {
    const auto addToTree = [this](const std::vector<std::string>& paths) {
        m_view->ClearSelection();
        for (const std::string& path : paths) {
            m_tree->AddTreeEntry(QString::fromStdString(path));
        }
    };
    if (m_hooks.generate) {
        addToTree(m_hooks.generate());
        return;
    }
    CGenerateScenarioDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_view->ClearSelection();
    RunScenarioBatch(this, m_scenario, m_undo, dialog.Options(),
                     [addToTree](const CBatchResult& result) { addToTree(result.scenarioFiles); });
}

} // namespace halyx
