#include "controls/missionpicturefile.h"

#include "controls/picturefile.h"

#include <QPainter>

namespace halyx {

bool IsMissionPictureName(const std::string& path) {
    return IsPictureFileName(path);
}

QImage MissionPictureImage(CMissionPainter& painter, QSize size, const CMissionState& state,
                           std::span<const CMissionMark> marks) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    painter.Paint(p, QRectF(QPointF(0, 0), size), state, marks);
    return image;
}

bool WriteMissionPicture(CMissionPainter& painter, const CMissionState& state,
                         std::span<const CMissionMark> marks, const std::string& path,
                         std::string& error) {
    const CPictureFile picture{.size = CMissionPainter::PreferredSize(painter.Scenario()),
                               .title = QStringLiteral("Mission at minute %1").arg(state.minute),
                               .description = QStringLiteral("Mission picture"),
                               .format = QImage::Format_RGB32};
    return WritePictureFile(
        path, picture,
        [&](QPainter& p, const QRectF& area) { painter.Paint(p, area, state, marks); }, error);
}

} // namespace halyx
