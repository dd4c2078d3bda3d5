#pragma once

#include "controls/maplimits.h"
#include "external/maplib/impactlines.h"
#include "external/maplib/latlng.h"
#include "external/maplib/trajectory.h"
#include "external/maplib/worldmap.h"

#include <QAbstractTableModel>
#include <QImage>
#include <QWidget>

#include <array>
#include <vector>

namespace halyx {

struct CLineRow;

// The rows of the impact-line or trajectory list: "Line Type" (90), "Latitude" (65),
// "Longitude" (65).
class CLineRowsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<CLineRow> rows);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    static int ColumnWidth(int column);

private:
    std::vector<CLineRow> m_rows;
};

// What the map preview shows: the raster, the impact lines and trajectory, the three stations
// and the map-limit rectangles.
struct CMapPicture {
    const CWorldMap* map = nullptr;
    CImpactLines lines;
    CTrajectory trajectory;
    std::array<CLatLng, 3> stations;
    CMapLimits limits;
};

// Draws the picture at one image pixel per map pixel (scale 1); a null image when the map does
// not exist. The map's scale is set to 1 for the drawing.
QImage RenderMapPicture(CWorldMap& map, const CMapPicture& picture);

// A small view of the rendered picture, scaled to fit with its aspect kept.
class CMapPreview : public QWidget {
public:
    explicit CMapPreview(QWidget* parent = nullptr);
    void SetImage(QImage image);
    const QImage& Image() const { return m_image; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

} // namespace halyx
