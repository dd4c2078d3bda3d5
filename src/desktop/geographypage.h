#pragma once

#include "controls/mappreview.h"
#include "desktop/page.h"

#include <QFutureWatcher>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStringListModel;
class QTableView;
class QTimer;

namespace halyx {

// What a fetch of a map address brings back to the page: the map read into a map of its own
// (never the scenario's), the limits of maps Alpha, Bravo and Charlie, and the text to show.
struct CMapFetchResult {
    bool ok = false;
    std::string message;
    std::shared_ptr<CWorldMap> map;
    CMapLimits limits;
};

// "Geography": the four map addresses, the terrain colour codes, the impact lines and the
// trajectory, with their files, and a preview of one map with the lines, stations and map
// limits. Addresses are read off the event-loop thread; a dead server only keeps the preview
// waiting (with a Cancel button), never the window.
class CGeographyPage : public CPage {
    Q_OBJECT
public:
    CGeographyPage(CPageContext& context, QWidget* parent = nullptr);
    ~CGeographyPage() override;

    QString Caption() const override { return QStringLiteral("Geography"); }
    void Refresh() override;

    // "Add >>" / "Remove <<" with the fields and the list's selection as they stand.
    void AddTerrain();
    void RemoveTerrain();
    // The file commands after their dialogs; errors are reported in a message.
    bool SaveMaps(const QString& path);
    bool LoadMaps(const QString& path);
    bool SaveTerrain(const QString& path);
    bool LoadTerrain(const QString& path);
    bool SaveImpactLines(const QString& path);
    bool LoadImpactLines(const QString& path);
    bool SaveTrajectory(const QString& path);
    bool LoadTrajectory(const QString& path);

    // Reads the previewed address again (the previous fetch, if any, is abandoned).
    void FetchPreview();
    void CancelFetch();
    bool Fetching() const;

    QLineEdit* AddressField(int index) const { return m_address[static_cast<size_t>(index)]; }
    QComboBox* PreviewChoice() const { return m_previewChoice; }
    CMapPreview* Preview() const { return m_preview; }
    QLabel* MapStatus() const { return m_status; }
    QPushButton* Button(const QString& text) const;
    QListView* CodeList() const { return m_codes; }
    // Name, Style, Code, Red, Green, Blue.
    QLineEdit* TerrainField(int index) const { return m_terrain[static_cast<size_t>(index)]; }
    QTableView* ImpactLineList() const { return m_lineList; }
    QTableView* TrajectoryList() const { return m_trajectoryList; }

signals:
    // A fetch ended (ok or not) and the preview shows its outcome.
    void PreviewUpdated();

private:
    void ShowAddresses();
    void ShowTerrain(const QString& select);
    void ShowTerrainFields(const QString& codeText);
    void ShowLines();
    void Redraw();
    void OnFetched();
    // Runs a file operation, reporting an error code or a broken file in a message.
    bool FileOp(const QString& path, const std::function<int()>& op);
    QString AskFile(bool save, const QString& key, const char* filter, const char* suffix);

    CPageContext& m_context;
    std::array<QLineEdit*, 4> m_address{};
    std::array<QLineEdit*, 6> m_terrain{};
    QListView* m_codes = nullptr;
    QStringListModel* m_codeModel = nullptr;
    QTableView* m_lineList = nullptr;
    QTableView* m_trajectoryList = nullptr;
    CLineRowsModel* m_lineModel = nullptr;
    CLineRowsModel* m_trajectoryModel = nullptr;
    QComboBox* m_previewChoice = nullptr;
    CMapPreview* m_preview = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_cancel = nullptr;
    QTimer* m_fetchDelay = nullptr;
    QFutureWatcher<CMapFetchResult>* m_watcher = nullptr;
    int m_fetchId = 0;
    int m_watchedId = 0;
    std::shared_ptr<CWorldMap> m_map;
    CMapLimits m_limits;
    bool m_updating = false;
    int m_token = 0;
};

} // namespace halyx
