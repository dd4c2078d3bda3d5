#include "controls/picturefile.h"

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

bool IsPictureFileName(const std::string& path) {
    return !Ending(path).isEmpty();
}

bool WritePictureFile(const std::string& path, const CPictureFile& picture,
                      const std::function<void(QPainter&, const QRectF&)>& paint,
                      std::string& error) {
    const QString ending = Ending(path);
    if (ending.isEmpty()) {
        error = "the picture's name must end in .png or .svg: " + path;
        return false;
    }
    const QRectF area(QPointF(0, 0), picture.size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (ending == QStringLiteral("png")) {
        QImage image(picture.size, picture.format);
        {
            QPainter painter(&image);
            paint(painter, area);
        }
        if (!image.save(&buffer, "PNG")) {
            error = "the picture could not be encoded as PNG";
            return false;
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(picture.size);
        svg.setViewBox(QRect(QPoint(0, 0), picture.size));
        svg.setTitle(picture.title);
        svg.setDescription(picture.description);
        QPainter painter(&svg);
        paint(painter, area);
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
