#pragma once

// Paints a mission's timeline (record/logtimeline.h) into any QPaintDevice: a QImage for PNG, a
// QSvgGenerator for SVG, a widget for the playback page. Minutes 0 to 960 run across; each
// station has a lane with chat ticks at its top, its commands as marks (shape and colour by kind)
// in the middle and its go/no-go status as a band at its bottom; paused minutes are shaded across
// all lanes, the experimenter's marks are dashed lines with their notes, and the launch decision
// stands at minute 960. A log with measures also shows each freeze (and the questionnaire) as a
// band across the lanes and each in-view question as a dotted line, both named, and each seat's
// workload ratings as bars at the foot of its lane; the legend gets a row for them.
//
// Usage:
//     QImage image(CTimelinePainter::PreferredSize(timeline), QImage::Format_ARGB32);
//     QPainter painter(&image);
//     CTimelinePainter::Paint(painter, image.rect(), timeline);

#include "record/logtimeline.h"

#include <QColor>
#include <QRectF>
#include <QSize>

class QPainter;

namespace halyx {

struct TimelineStyle {
    // Golden-image tests leave text out: fonts differ from machine to machine.
    bool drawText = true;
};

class CTimelinePainter {
public:
    // The size at which the picture reads best: 1600 pixels wide, as tall as its lanes need.
    static QSize PreferredSize(const CLogTimeline& timeline);

    static void Paint(QPainter& painter, const QRectF& area, const CLogTimeline& timeline,
                      const TimelineStyle& style = {});
    // The whole picture within area, for a window of any size: the lanes stretch across the
    // width, and the scale (the same both ways) shrinks it only as far as it must. Returns the
    // part of area painted.
    static QRectF PaintFitted(QPainter& painter, const QRectF& area, const CLogTimeline& timeline,
                              const TimelineStyle& style = {});
    // The size PaintFitted paints within area.
    static QSizeF FittedSize(const QSizeF& area, const CLogTimeline& timeline);

    static QColor MarkColor(TimelineMark mark);
    static QColor GoColor();
    // The researchers' measures: freezes, in-view questions and ratings share one colour.
    static QColor MeasureColor();
    static QColor NoGoColor();

private:
    // Paints in logical units, the picture being width wide and as tall as PreferredSize says.
    static void PaintLaidOut(QPainter& painter, const CLogTimeline& timeline,
                             const TimelineStyle& style, double width);
};

} // namespace halyx
