#include "desktop/geographypage.h"

#include "common/format.h"
#include "controls/filedialogs.h"
#include "controls/scenariocommands.h"
#include "external/maplib/maptext.h"
#include "scenario/geography.h"
#include "scenario/geographyview.h"
#include "scenario/mapsource.h"
#include "scenario/scenario.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace halyx {
namespace {

// Messages of the geography's own checks, shown in a message box.
class CMessageView final : public IGeographyView {
public:
    explicit CMessageView(QWidget* parent) : m_parent(parent) {}
    void ShowMessage(const std::string& text, bool error) override {
        if (error) {
            QMessageBox::critical(m_parent, QStringLiteral("Geography"),
                                  QString::fromStdString(text));
        } else {
            QMessageBox::information(m_parent, QStringLiteral("Geography"),
                                     QString::fromStdString(text));
        }
    }

private:
    QWidget* m_parent;
};

// A geography of the page's own holding a copy of the scenario's terrain table, so that the
// geography's checks and file readers can work on it before one command makes the change.
void CopyTerrain(const CGeography& from, CGeography& to) {
    to.ClearTerrain();
    for (const auto& entry : from.GetTerrain()) {
        to.SetTerrain(entry.second);
    }
}

// Runs on a worker thread: touches nothing but its copies.
CMapFetchResult FetchMap(const std::string& address, const std::array<std::string, 3> limitUrls) {
    CMapFetchResult result;
    const CMapSourceResult source = ReadMapSource(address);
    if (!source.ok) {
        result.message = "Error in retriving " + address + "\n" + source.error;
    } else {
        auto map = std::make_shared<CWorldMap>();
        const CMapLoadResult loaded = LoadMapText(source.text, *map);
        if (loaded.status == CMapLoadResult::Status::Ok) {
            result.ok = true;
            result.message = Format("Map is %d pixels wide by %d pixels high", map->getWidth(),
                                    map->getHeight());
            result.map = std::move(map);
        } else if (loaded.status == CMapLoadResult::Status::NoMarker) {
            result.message = "Invalid File Format " + address;
        } else {
            result.message = "Internal Error: CHalyxStationView::GetMapFromURL()";
        }
    }
    result.limits = ReadMapLimits(limitUrls);
    return result;
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    return new QPushButton(text, parent);
}

QTableView* MakeLineList(CLineRowsModel* model, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setVisible(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    for (int column = 0; column < 3; ++column) {
        view->horizontalHeader()->resizeSection(column, CLineRowsModel::ColumnWidth(column) *
                                                            view->fontMetrics().averageCharWidth() /
                                                            5);
    }
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

constexpr const char* kMapFilter = "Halyx Map Information (*.hmi)|*.hmi||";
constexpr const char* kTerrainFilter = "Halyx Terrain Information (*.hti)|*.hti||";
constexpr const char* kIilFilter = "Halyx IIL Information (*.hil)|*.hil||";
constexpr const char* kTrajectoryFilter = "Halyx Trajectory Information (*.hti)|*.hti||";

} // namespace

CGeographyPage::CGeographyPage(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    // Maps
    auto* maps = new QGroupBox(QStringLiteral("Maps"), this);
    auto* mapsForm = new QFormLayout(maps);
    for (int i = 0; i < CGeography::kMapCount; ++i) {
        auto* field = new QLineEdit(maps);
        m_address[static_cast<size_t>(i)] = field;
        mapsForm->addRow(QString::fromLatin1(CGeography::MapTitle(i)) + QLatin1Char(':'), field);
        connect(field, &QLineEdit::textEdited, this, [this] {
            std::array<std::string, CGeography::kMapCount> urls;
            for (size_t j = 0; j < urls.size(); ++j) {
                urls[j] = m_address[j]->text().toStdString();
            }
            m_updating = true;
            PushMapAddresses(m_context.undoStack, m_context.scenario, urls);
            m_updating = false;
        });
    }
    auto* mapButtons = new QHBoxLayout;
    auto* saveMaps = MakeButton(QStringLiteral("Save Maps"), maps);
    auto* loadMaps = MakeButton(QStringLiteral("Load Maps"), maps);
    mapButtons->addWidget(saveMaps);
    mapButtons->addWidget(loadMaps);
    mapsForm->addRow(mapButtons);
    connect(saveMaps, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(true, QStringLiteral("MapFiles"), kMapFilter, "hmi");
        if (!path.isEmpty()) {
            SaveMaps(path);
        }
    });
    connect(loadMaps, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(false, QStringLiteral("MapFiles"), kMapFilter, "hmi");
        if (!path.isEmpty()) {
            LoadMaps(path);
        }
    });

    // Preview
    auto* previewBox = new QGroupBox(QStringLiteral("Map Preview"), this);
    auto* previewLayout = new QVBoxLayout(previewBox);
    m_previewChoice = new QComboBox(previewBox);
    for (int i = 0; i < CGeography::kMapCount; ++i) {
        m_previewChoice->addItem(QString::fromLatin1(CGeography::MapTitle(i)));
    }
    m_previewChoice->setCurrentIndex(CGeography::kGlobalMap);
    m_preview = new CMapPreview(previewBox);
    m_status = new QLabel(previewBox);
    m_status->setWordWrap(true);
    m_cancel = MakeButton(QStringLiteral("Cancel"), previewBox);
    m_cancel->setEnabled(false);
    auto* previewTop = new QHBoxLayout;
    previewTop->addWidget(new QLabel(QStringLiteral("Preview:"), previewBox));
    previewTop->addWidget(m_previewChoice, 1);
    previewTop->addWidget(m_cancel);
    previewLayout->addLayout(previewTop);
    previewLayout->addWidget(m_preview, 1);
    previewLayout->addWidget(m_status);
    connect(m_previewChoice, &QComboBox::currentIndexChanged, this, &CGeographyPage::FetchPreview);
    connect(m_cancel, &QPushButton::clicked, this, &CGeographyPage::CancelFetch);
    m_fetchDelay = new QTimer(this);
    m_fetchDelay->setSingleShot(true);
    m_fetchDelay->setInterval(400);
    connect(m_fetchDelay, &QTimer::timeout, this, &CGeographyPage::FetchPreview);
    m_watcher = new QFutureWatcher<CMapFetchResult>(this);
    connect(m_watcher, &QFutureWatcher<CMapFetchResult>::finished, this,
            &CGeographyPage::OnFetched);

    // Terrain Color Codes
    auto* terrain = new QGroupBox(QStringLiteral("Terrain Color Codes"), this);
    // Two columns of three fields: the impact lines and trajectory below get the rows saved.
    auto* terrainForm = new QGridLayout;
    const char* const labels[] = {
        "Name:", "Style:", "Code:", "Red (R):", "Green (G):", "Blue (B):"};
    for (size_t i = 0; i < m_terrain.size(); ++i) {
        auto* field = new QLineEdit(terrain);
        if (i >= 2) {
            field->setValidator(new QIntValidator(0, 255, field));
        }
        m_terrain[i] = field;
        const int row = static_cast<int>(i % 3);
        const int column = static_cast<int>(i / 3) * 2;
        auto* label = new QLabel(QString::fromLatin1(labels[i]), terrain);
        label->setBuddy(field);
        terrainForm->addWidget(label, row, column);
        terrainForm->addWidget(field, row, column + 1);
    }
    terrainForm->setColumnStretch(1, 2);
    terrainForm->setColumnStretch(3, 1);
    auto* add = MakeButton(QStringLiteral("Add >>"), terrain);
    auto* remove = MakeButton(QStringLiteral("Remove <<"), terrain);
    auto* saveTerrain = MakeButton(QStringLiteral("Save"), terrain);
    auto* loadTerrain = MakeButton(QStringLiteral("Load"), terrain);
    connect(add, &QPushButton::clicked, this, &CGeographyPage::AddTerrain);
    connect(remove, &QPushButton::clicked, this, &CGeographyPage::RemoveTerrain);
    connect(saveTerrain, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(true, QStringLiteral("TerrainFiles"), kTerrainFilter, "hti");
        if (!path.isEmpty()) {
            SaveTerrain(path);
        }
    });
    connect(loadTerrain, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(false, QStringLiteral("TerrainFiles"), kTerrainFilter, "hti");
        if (!path.isEmpty()) {
            LoadTerrain(path);
        }
    });
    m_codeModel = new QStringListModel(this);
    m_codes = new QListView(terrain);
    m_codes->setModel(m_codeModel);
    m_codes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // As tall as the fields beside it; it scrolls past a few codes.
    m_codes->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    m_codes->setMaximumWidth(90);
    connect(m_codes->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ShowTerrainFields(current.data().toString()); });
    auto* terrainButtons = new QGridLayout;
    terrainButtons->addWidget(add, 0, 0);
    terrainButtons->addWidget(remove, 0, 1);
    terrainButtons->addWidget(saveTerrain, 1, 0);
    terrainButtons->addWidget(loadTerrain, 1, 1);
    terrainButtons->setRowStretch(2, 1);
    auto* terrainLayout = new QHBoxLayout(terrain);
    terrainLayout->addLayout(terrainForm, 1);
    terrainLayout->addLayout(terrainButtons);
    terrainLayout->addWidget(m_codes);

    // Safety Zones && Trajectory
    auto* lines = new QGroupBox(QStringLiteral("Safety Zones && Trajectory"), this);
    m_lineModel = new CLineRowsModel(this);
    m_trajectoryModel = new CLineRowsModel(this);
    m_lineList = MakeLineList(m_lineModel, lines);
    m_trajectoryList = MakeLineList(m_trajectoryModel, lines);
    auto* saveIil = MakeButton(QStringLiteral("Save IILs"), lines);
    auto* loadIil = MakeButton(QStringLiteral("Load IILs"), lines);
    auto* saveTrajectory = MakeButton(QStringLiteral("Save Trajectory"), lines);
    auto* loadTrajectory = MakeButton(QStringLiteral("Load Trajectory"), lines);
    connect(saveIil, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(true, QStringLiteral("IILFiles"), kIilFilter, "hil");
        if (!path.isEmpty()) {
            SaveImpactLines(path);
        }
    });
    connect(loadIil, &QPushButton::clicked, this, [this] {
        const QString path = AskFile(false, QStringLiteral("IILFiles"), kIilFilter, "hil");
        if (!path.isEmpty()) {
            LoadImpactLines(path);
        }
    });
    connect(saveTrajectory, &QPushButton::clicked, this, [this] {
        const QString path =
            AskFile(true, QStringLiteral("TrajectoryFiles"), kTrajectoryFilter, "hti");
        if (!path.isEmpty()) {
            SaveTrajectory(path);
        }
    });
    connect(loadTrajectory, &QPushButton::clicked, this, [this] {
        const QString path =
            AskFile(false, QStringLiteral("TrajectoryFiles"), kTrajectoryFilter, "hti");
        if (!path.isEmpty()) {
            LoadTrajectory(path);
        }
    });
    auto* linesGrid = new QGridLayout(lines);
    linesGrid->addWidget(new QLabel(QStringLiteral("Impact Lines"), lines), 0, 0);
    linesGrid->addWidget(new QLabel(QStringLiteral("Trajectory"), lines), 0, 1);
    linesGrid->addWidget(m_lineList, 1, 0);
    linesGrid->addWidget(m_trajectoryList, 1, 1);
    auto* iilButtons = new QHBoxLayout;
    iilButtons->addWidget(saveIil);
    iilButtons->addWidget(loadIil);
    auto* trajectoryButtons = new QHBoxLayout;
    trajectoryButtons->addWidget(saveTrajectory);
    trajectoryButtons->addWidget(loadTrajectory);
    linesGrid->addLayout(iilButtons, 2, 0);
    linesGrid->addLayout(trajectoryButtons, 2, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(maps);
    left->addWidget(terrain);
    left->addWidget(lines, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 3);
    layout->addWidget(previewBox, 2);

    m_token = context.scenario.Subscribe([this](ScenarioChange change, int) {
        if (change != ScenarioChange::Geography && change != ScenarioChange::Replaced) {
            return;
        }
        // Which part changed is not told; each part is cheap to show again.
        const auto addresses = m_context.scenario.Geography().GetMapURLs();
        bool addressesChanged = false;
        for (size_t i = 0; i < addresses.size(); ++i) {
            addressesChanged =
                addressesChanged || m_address[i]->text().toStdString() != addresses[i];
        }
        if (!m_updating) {
            ShowAddresses();
        }
        ShowTerrain(m_codes->currentIndex().data().toString());
        ShowLines();
        if (addressesChanged || m_updating || change == ScenarioChange::Replaced) {
            m_fetchDelay->start();
        }
        Redraw();
    });
    Refresh();
}

CGeographyPage::~CGeographyPage() {
    m_context.scenario.Unsubscribe(m_token);
    // A fetch still running finishes on its own thread with its own copies; its result is
    // dropped with the watcher.
    m_watcher->disconnect(this);
}

void CGeographyPage::Refresh() {
    ShowAddresses();
    ShowTerrain({});
    if (!m_codes->currentIndex().isValid() && m_codeModel->rowCount() > 0) {
        m_codes->setCurrentIndex(m_codeModel->index(0));
    }
    ShowLines();
    FetchPreview();
}

QPushButton* CGeographyPage::Button(const QString& text) const {
    return FindButton(this, text);
}

void CGeographyPage::ShowAddresses() {
    const CGeography& geography = m_context.scenario.Geography();
    for (int i = 0; i < CGeography::kMapCount; ++i) {
        const QString text = QString::fromStdString(geography.GetMapURL(i));
        if (m_address[static_cast<size_t>(i)]->text() != text) {
            m_address[static_cast<size_t>(i)]->setText(text);
        }
    }
}

void CGeographyPage::ShowTerrain(const QString& select) {
    QStringList codes;
    for (const std::string& code : m_context.scenario.Geography().TerrainCodeTexts()) {
        codes << QString::fromStdString(code);
    }
    if (codes == m_codeModel->stringList()) {
        return;
    }
    m_codeModel->setStringList(codes);
    const qsizetype row = codes.indexOf(select);
    if (row >= 0) {
        m_codes->setCurrentIndex(m_codeModel->index(static_cast<int>(row)));
    }
}

void CGeographyPage::ShowTerrainFields(const QString& codeText) {
    bool ok = false;
    const int code = codeText.toInt(&ok);
    const auto& table = m_context.scenario.Geography().GetTerrain();
    const auto it =
        ok && code >= 0 && code <= 255 ? table.find(static_cast<uint8_t>(code)) : table.end();
    if (it == table.end()) {
        return;
    }
    const CTerrain& terrain = it->second;
    m_terrain[0]->setText(QString::fromStdString(terrain.name()));
    m_terrain[1]->setText(QString::fromStdString(terrain.style()));
    m_terrain[2]->setText(QString::number(terrain.code()));
    m_terrain[3]->setText(QString::number(RedOf(terrain.colour())));
    m_terrain[4]->setText(QString::number(GreenOf(terrain.colour())));
    m_terrain[5]->setText(QString::number(BlueOf(terrain.colour())));
}

void CGeographyPage::ShowLines() {
    m_lineModel->SetRows(m_context.scenario.Geography().ImpactLineRows());
    m_trajectoryModel->SetRows(m_context.scenario.Geography().TrajectoryRows());
}

void CGeographyPage::AddTerrain() {
    CTerrainFields fields;
    fields.name = m_terrain[0]->text().toStdString();
    fields.style = m_terrain[1]->text().toStdString();
    fields.code = m_terrain[2]->text().toInt();
    fields.red = m_terrain[3]->text().toInt();
    fields.green = m_terrain[4]->text().toInt();
    fields.blue = m_terrain[5]->text().toInt();
    CGeography scratch;
    CopyTerrain(m_context.scenario.Geography(), scratch);
    CMessageView view(this);
    if (scratch.AddTerrainFromFields(fields, view)) {
        PushTerrain(m_context.undoStack, m_context.scenario, scratch.GetTerrain());
        const QString code = QString::number(fields.code);
        const qsizetype row = m_codeModel->stringList().indexOf(code);
        if (row >= 0) {
            m_codes->setCurrentIndex(m_codeModel->index(static_cast<int>(row)));
        }
    }
}

void CGeographyPage::RemoveTerrain() {
    std::optional<std::string> selected;
    if (m_codes->currentIndex().isValid()) {
        selected = m_codes->currentIndex().data().toString().toStdString();
    }
    CGeography scratch;
    CopyTerrain(m_context.scenario.Geography(), scratch);
    CMessageView view(this);
    const std::optional<uint8_t> next = scratch.RemoveTerrainBySelection(selected, view);
    if (scratch.GetTerrain() != m_context.scenario.Geography().GetTerrain()) {
        PushTerrain(m_context.undoStack, m_context.scenario, scratch.GetTerrain());
        if (next) {
            const qsizetype row = m_codeModel->stringList().indexOf(QString::number(*next));
            if (row >= 0) {
                m_codes->setCurrentIndex(m_codeModel->index(static_cast<int>(row)));
                ShowTerrainFields(QString::number(*next));
            }
        }
    }
}

QString CGeographyPage::AskFile(bool save, const QString& key, const char* filter,
                                const char* suffix) {
    return ChooseFormatFile(this, key, save ? CFileRequest::Mode::Save : CFileRequest::Mode::Open,
                            filter, suffix);
}

bool CGeographyPage::FileOp(const QString& path, const std::function<int()>& op) {
    return RunFileWork(this, Caption(), path, op);
}

bool CGeographyPage::SaveMaps(const QString& path) {
    return FileOp(path,
                  [&] { return m_context.scenario.Geography().SaveMapInfo(path.toStdString()); });
}

bool CGeographyPage::LoadMaps(const QString& path) {
    return FileOp(path, [&] {
        CGeography scratch;
        const int code = scratch.LoadMapInfo(path.toStdString());
        if (code == 0) {
            PushMapAddresses(m_context.undoStack, m_context.scenario, scratch.GetMapURLs());
        }
        return code;
    });
}

bool CGeographyPage::SaveTerrain(const QString& path) {
    return FileOp(path,
                  [&] { return m_context.scenario.Geography().SaveTerrain(path.toStdString()); });
}

bool CGeographyPage::LoadTerrain(const QString& path) {
    return FileOp(path, [&] {
        CGeography scratch;
        const int code = scratch.LoadTerrain(path.toStdString());
        if (code == 0) {
            PushTerrain(m_context.undoStack, m_context.scenario, scratch.GetTerrain());
        }
        return code;
    });
}

bool CGeographyPage::SaveImpactLines(const QString& path) {
    return FileOp(
        path, [&] { return m_context.scenario.Geography().SaveImpactLines(path.toStdString()); });
}

bool CGeographyPage::LoadImpactLines(const QString& path) {
    return FileOp(path, [&] {
        CGeography scratch;
        const int code = scratch.LoadImpactLines(path.toStdString());
        if (code == 0) {
            PushImpactLines(m_context.undoStack, m_context.scenario, scratch.GetImpactLines());
        }
        return code;
    });
}

bool CGeographyPage::SaveTrajectory(const QString& path) {
    return FileOp(
        path, [&] { return m_context.scenario.Geography().SaveTrajectory(path.toStdString()); });
}

bool CGeographyPage::LoadTrajectory(const QString& path) {
    return FileOp(path, [&] {
        CGeography scratch;
        const int code = scratch.LoadTrajectory(path.toStdString());
        if (code == 0) {
            PushTrajectory(m_context.undoStack, m_context.scenario, scratch.GetTrajectory());
        }
        return code;
    });
}

void CGeographyPage::FetchPreview() {
    m_fetchDelay->stop();
    const CGeography& geography = m_context.scenario.Geography();
    const std::string address = geography.GetMapURL(m_previewChoice->currentIndex());
    const std::array<std::string, 3> limits = {geography.GetMapURL(0), geography.GetMapURL(1),
                                               geography.GetMapURL(2)};
    const int id = ++m_fetchId;
    if (address.empty()) {
        m_map.reset();
        m_status->setText(QStringLiteral("No address"));
        Redraw();
        emit PreviewUpdated();
        return;
    }
    m_status->setText(QStringLiteral("Reading %1 ...").arg(QString::fromStdString(address)));
    m_cancel->setEnabled(true);
    // A watcher follows one future at a time; a fetch that is replaced keeps running on its
    // thread and its result is dropped (its id is no longer the current one).
    m_watchedId = id;
    m_watcher->setFuture(QtConcurrent::run(FetchMap, address, limits));
}

void CGeographyPage::CancelFetch() {
    ++m_fetchId;
    m_cancel->setEnabled(false);
    m_status->setText(QStringLiteral("Cancelled"));
    emit PreviewUpdated();
}

bool CGeographyPage::Fetching() const {
    return m_cancel->isEnabled();
}

void CGeographyPage::OnFetched() {
    if (m_watchedId != m_fetchId) {
        return; // cancelled or replaced
    }
    m_cancel->setEnabled(false);
    const CMapFetchResult result = m_watcher->result();
    m_status->setText(QString::fromStdString(result.message));
    m_limits = result.limits;
    if (result.ok) {
        m_map = result.map;
    }
    Redraw();
    emit PreviewUpdated();
}

void CGeographyPage::Redraw() {
    if (!m_map) {
        m_preview->SetImage({});
        return;
    }
    const CGeography& geography = m_context.scenario.Geography();
    m_map->setTerrainSettings(geography.GetTerrain());
    CMapPicture picture;
    picture.lines = geography.GetImpactLines();
    picture.trajectory = geography.GetTrajectory();
    for (int i = 0; i < 3; ++i) {
        picture.stations[static_cast<size_t>(i)] = CGeography::StationPosition(i);
    }
    picture.limits = m_limits;
    m_preview->SetImage(RenderMapPicture(*m_map, picture));
}

} // namespace halyx
