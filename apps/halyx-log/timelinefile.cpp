#include "timelinefile.h"

#include "controls/timelinepainter.h"

#include <QBuffer>
#include <QImage>
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

bool IsTimelineFileName(const std::string& path) {
    return !Ending(path).isEmpty();
}

bool WriteTimelineFile(const CLogTimeline& timeline, const std::string& path, std::string& error) {
    const QString ending = Ending(path);
    if (ending.isEmpty()) {
        error = "the picture's name must end in .png or .svg: " + path;
        return false;
    }
    const QSize size = CTimelinePainter::PreferredSize(timeline);
    QByteArray bytes;
    if (ending == QStringLiteral("png")) {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        {
            QPainter painter(&image);
            CTimelinePainter::Paint(painter, QRectF(QPointF(0, 0), size), timeline);
        }
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            error = "the picture could not be encoded as PNG";
            return false;
        }
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(QString::fromStdString(timeline.Experiment()));
        svg.setDescription(QStringLiteral("Timeline of a recorded mission"));
        QPainter painter(&svg);
        CTimelinePainter::Paint(painter, QRectF(QPointF(0, 0), size), timeline);
        painter.end();
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = "cannot write " + path + ": " + file.errorString().toStdString();
        return false;
    }
    return true;
}

} // namespace halyx
