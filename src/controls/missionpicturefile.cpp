#include "controls/missionpicturefile.h"

#include <QBuffer>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace halyx {

namespace {

QString Ending(const std::string& path) {
    const QString name = QString::fromStdString(path).toLower();
    return name.endsWith(QStringLiteral(".png"))   ? QStringLiteral("png")
           : name.endsWith(QStringLiteral(".svg")) ? QStringLiteral("svg")
                                                   : QString();
}

} // namespace

bool IsMissionPictureName(const std::string& path) {
    return !Ending(path).isEmpty();
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
    const QString ending = Ending(path);
    if (ending.isEmpty()) {
        error = "the picture's name must end in .png or .svg: " + path;
        return false;
    }
    const QSize size = CMissionPainter::PreferredSize(painter.Scenario());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (ending == QStringLiteral("png")) {
        if (!MissionPictureImage(painter, size, state, marks).save(&buffer, "PNG")) {
            error = "the picture could not be encoded as PNG";
            return false;
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QStringLiteral("Mission at minute %1").arg(state.minute));
        svg.setDescription(QStringLiteral("Mission picture"));
        QPainter p(&svg);
        painter.Paint(p, QRectF(QPointF(0, 0), size), state, marks);
        p.end();
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = "cannot write " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace halyx
