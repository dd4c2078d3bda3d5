#include "controls/mappreview.h"

#include "external/maplib/draw/mapdraw.h"
#include "scenario/geography.h"

#include <QPainter>

namespace halyx {

void CLineRowsModel::SetRows(std::vector<CLineRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CLineRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CLineRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant CLineRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size()) ||
        role != Qt::DisplayRole) {
        return {};
    }
    const CLineRow& row = m_rows[static_cast<size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return QString::fromStdString(row.type);
    case 1:
        return QString::fromStdString(row.latitude);
    case 2:
        return QString::fromStdString(row.longitude);
    default:
        return {};
    }
}

QVariant CLineRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kHeadings[] = {"Line Type", "Latitude", "Longitude"};
    return section >= 0 && section < 3 ? QString::fromLatin1(kHeadings[section]) : QVariant();
}

int CLineRowsModel::ColumnWidth(int column) {
    return column == 0 ? 90 : 65;
}

QImage RenderMapPicture(CWorldMap& map, const CMapPicture& picture) {
    if (!map.exists()) {
        return {};
    }
    map.setDefaultZoom(1);
    QImage image(map.getWidth(), map.getHeight(), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    blt(painter, map, image.rect());
    painter.setRenderHint(QPainter::Antialiasing);
    OnDraw(painter, map, picture.lines);
    OnDraw(painter, map, picture.trajectory);
    DrawMapLimits(painter, map, picture.limits);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(QColor(255, 0, 255));
    for (const CLatLng& station : picture.stations) {
        const CWindowPoint p = map.LatLng2PixelLoc(station.lat, station.lng);
        painter.drawEllipse(QPoint(p.x, p.y), 4, 4);
    }
    return image;
}

CMapPreview::CMapPreview(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 120);
}

void CMapPreview::SetImage(QImage image) {
    m_image = std::move(image);
    update();
}

QSize CMapPreview::sizeHint() const {
    return {360, 220};
}

void CMapPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (m_image.isNull()) {
        painter.setPen(palette().color(QPalette::BrightText));
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No map"));
        return;
    }
    const QSize size = m_image.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_image);
}

} // namespace halyx
