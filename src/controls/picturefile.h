#pragma once

// A picture painted into a file: PNG or SVG by the name's ending, written whole or not at all.
// The timeline and the mission picture are both saved this way.

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <string>

class QPainter;

namespace halyx {

// True when path ends in ".png" or ".svg", in any case.
bool IsPictureFileName(const std::string& path);

struct CPictureFile {
    QSize size;
    QString title;                                               // the SVG's title
    QString description;                                         // the SVG's description
    QImage::Format format = QImage::Format_ARGB32_Premultiplied; // the PNG's pixels
};

// Paints into path at the picture's size. False with error set when the ending is neither
// ".png" nor ".svg" or the file cannot be written; a failed write leaves no partial file.
bool WritePictureFile(const std::string& path, const CPictureFile& picture,
                      const std::function<void(QPainter&, const QRectF&)>& paint,
                      std::string& error);

} // namespace halyx
