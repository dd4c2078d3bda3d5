#pragma once

// The mission picture as a file: PNG or SVG by the name's ending, written whole or not at all.

#include "controls/missionpainter.h"

#include <QImage>

#include <string>

namespace halyx {

// The picture of state at size, as an image.
QImage MissionPictureImage(CMissionPainter& painter, QSize size, const CMissionState& state,
                           std::span<const CMissionMark> marks);

// Writes the picture to path (".png" or ".svg", any case). False with error set when the
// ending is neither or the file cannot be written; a failed write leaves no partial file.
bool WriteMissionPicture(CMissionPainter& painter, const CMissionState& state,
                         std::span<const CMissionMark> marks, const std::string& path,
                         std::string& error);

// True when path ends in ".png" or ".svg", in any case.
bool IsMissionPictureName(const std::string& path);

} // namespace halyx
