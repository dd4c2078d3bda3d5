#include "timelinefile.h"

#include "controls/picturefile.h"
#include "controls/timelinepainter.h"

namespace halyx {

bool IsTimelineFileName(const std::string& path) {
    return IsPictureFileName(path);
}

bool WriteTimelineFile(const CLogTimeline& timeline, const std::string& path, std::string& error) {
    const CPictureFile picture{.size = CTimelinePainter::PreferredSize(timeline),
                               .title = QString::fromStdString(timeline.Experiment()),
                               .description = QStringLiteral("Timeline of a recorded mission")};
    return WritePictureFile(
        path, picture,
        [&](QPainter& painter, const QRectF& area) {
            CTimelinePainter::Paint(painter, area, timeline);
        },
        error);
}

} // namespace halyx
