#include "controls/timelinepainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>

namespace halyx {

namespace {

constexpr double kWidth = 1600;
constexpr double kLeft = 130;  // station names
constexpr double kRight = 120; // the launch decision's label
constexpr double kTop = 64;    // title and subtitle
constexpr double kLaneHeight = 64;
constexpr double kAxisHeight = 34;
constexpr double kLegendHeight = 70;
constexpr double kLegendRow = 24; // a third legend row for the measures, when there are any
constexpr double kMarkSize = 8;
// The narrowest layout: eight legend columns, each wide enough for its longest label.
constexpr double kMinWidth = 1320;

constexpr int kMarkCount = static_cast<int>(TimelineMark::Count);

// Marks of a lane stand in three rows, so that kinds sent in the same minute stay apart:
// engagements, resource changes, and information.
int MarkRow(TimelineMark mark) {
    switch (mark) {
    case TimelineMark::Deploy:
    case TimelineMark::Intercept:
    case TimelineMark::Balloon:
    case TimelineMark::Abort:
        return 0;
    case TimelineMark::Activate:
    case TimelineMark::Deactivate:
    case TimelineMark::Request:
        return 1;
    default:
        return 2;
    }
}

void DrawMark(QPainter& p, TimelineMark mark, QPointF c) {
    const double r = kMarkSize / 2;
    const QColor color = CTimelinePainter::MarkColor(mark);
    p.setPen(QPen(color.darker(130), 1.2));
    p.setBrush(color);
    switch (mark) {
    case TimelineMark::Deploy:
        p.drawPolygon(
            QPolygonF({c + QPointF(0, -r - 1), c + QPointF(r + 1, r), c + QPointF(-r - 1, r)}));
        break;
    case TimelineMark::Intercept:
        p.drawPolygon(QPolygonF({c + QPointF(0, -r - 1), c + QPointF(r + 1, 0),
                                 c + QPointF(0, r + 1), c + QPointF(-r - 1, 0)}));
        break;
    case TimelineMark::Balloon:
        p.drawEllipse(c, r, r);
        break;
    case TimelineMark::Abort:
        p.setPen(QPen(color, 2.2));
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        break;
    case TimelineMark::Activate:
        p.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
        break;
    case TimelineMark::Deactivate:
        p.setBrush(Qt::white);
        p.setPen(QPen(color, 1.8));
        p.drawRect(QRectF(c.x() - r + 0.5, c.y() - r + 0.5, 2 * r - 1, 2 * r - 1));
        break;
    case TimelineMark::Request:
        p.drawPolygon(
            QPolygonF({c + QPointF(0, r + 1), c + QPointF(r + 1, -r), c + QPointF(-r - 1, -r)}));
        break;
    case TimelineMark::Weather:
        p.setBrush(Qt::white);
        p.setPen(QPen(color, 1.8));
        p.drawEllipse(c, r - 0.5, r - 0.5);
        break;
    case TimelineMark::Radar:
        p.setPen(QPen(color, 2.2));
        p.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
        p.drawLine(c + QPointF(0, -r), c + QPointF(0, r));
        break;
    case TimelineMark::Display:
        p.drawEllipse(c, r * 0.6, r * 0.6);
        break;
    case TimelineMark::Other:
    case TimelineMark::Count:
        p.drawEllipse(c, r * 0.45, r * 0.45);
        break;
    }
}

QString DecisionText(const std::string& decision) {
    if (decision.empty()) {
        return QStringLiteral("no decision");
    }
    return decision == "NoLaunch" ? QStringLiteral("No launch") : QString::fromStdString(decision);
}

// A seat's workload rating as a bar rising from the lane's bottom, as tall as the rating; a
// rating not answered as a short grey stub.
void DrawRating(QPainter& p, double cx, double bottom, int8_t rating) {
    if (rating == CLogTimeline::kRatingMissing) {
        p.setPen(QPen(QColor(0x9e, 0x9e, 0x9e), 2));
        p.drawLine(QPointF(cx, bottom), QPointF(cx, bottom - 3));
    } else {
        p.setPen(QPen(CTimelinePainter::MeasureColor(), 2));
        p.drawLine(QPointF(cx, bottom), QPointF(cx, bottom - 3 - 2.0 * rating));
    }
}

QColor DecisionColor(const std::string& decision) {
    if (decision.empty()) {
        return QColor(0x75, 0x75, 0x75);
    }
    return decision == "Launch" ? CTimelinePainter::GoColor() : CTimelinePainter::NoGoColor();
}

} // namespace

QColor CTimelinePainter::MarkColor(TimelineMark mark) {
    switch (mark) {
    case TimelineMark::Deploy:
        return QColor(0x1f, 0x5f, 0xbf);
    case TimelineMark::Intercept:
        return QColor(0x8e, 0x24, 0xaa);
    case TimelineMark::Balloon:
        return QColor(0x00, 0xa5, 0xc0);
    case TimelineMark::Abort:
        return QColor(0x21, 0x21, 0x21);
    case TimelineMark::Activate:
        return QColor(0x8d, 0x5a, 0x2b);
    case TimelineMark::Deactivate:
        return QColor(0x8d, 0x5a, 0x2b);
    case TimelineMark::Request:
        return QColor(0xf0, 0x8c, 0x00);
    case TimelineMark::Weather:
        return QColor(0x00, 0x89, 0x7b);
    case TimelineMark::Radar:
        return QColor(0x75, 0x75, 0x75);
    case TimelineMark::Display:
        return QColor(0xb0, 0xa8, 0x00);
    case TimelineMark::Other:
    case TimelineMark::Count:
        break;
    }
    return QColor(0xa0, 0xa0, 0xa0);
}

QColor CTimelinePainter::MeasureColor() {
    return QColor(0x6a, 0x1b, 0x9a);
}

QColor CTimelinePainter::GoColor() {
    return QColor(0x2e, 0x9d, 0x3a);
}
QColor CTimelinePainter::NoGoColor() {
    return QColor(0xd3, 0x2f, 0x2f);
}

QSize CTimelinePainter::PreferredSize(const CLogTimeline& timeline) {
    const double lanes = static_cast<double>(std::max<size_t>(timeline.Lanes().size(), 1));
    const double legend = kLegendHeight + (timeline.HasMeasures() ? kLegendRow : 0);
    return QSize(static_cast<int>(kWidth),
                 static_cast<int>(kTop + lanes * kLaneHeight + kAxisHeight + legend));
}

void CTimelinePainter::Paint(QPainter& p, const QRectF& area, const CLogTimeline& timeline,
                             const TimelineStyle& style) {
    const QSize logical = PreferredSize(timeline);
    p.save();
    p.translate(area.topLeft());
    p.scale(area.width() / logical.width(), area.height() / logical.height());
    PaintLaidOut(p, timeline, style, kWidth);
    p.restore();
}

QRectF CTimelinePainter::PaintFitted(QPainter& p, const QRectF& area, const CLogTimeline& timeline,
                                     const TimelineStyle& style) {
    const double height = PreferredSize(timeline).height();
    const QSizeF fitted = FittedSize(area.size(), timeline);
    const double scale = fitted.height() / height;
    const double width = fitted.width() / scale;
    p.save();
    p.translate(area.topLeft());
    p.scale(scale, scale);
    PaintLaidOut(p, timeline, style, width);
    p.restore();
    return QRectF(area.topLeft(), fitted);
}

QSizeF CTimelinePainter::FittedSize(const QSizeF& area, const CLogTimeline& timeline) {
    // One scale both ways, so that text keeps its shape; never larger than the picture's own
    // size. A wide area gets a wider picture instead, down to a width at which the legend
    // still fits.
    const double height = PreferredSize(timeline).height();
    double scale = std::min(1.0, area.height() / height);
    double width = area.width() / scale;
    if (width < kMinWidth) {
        width = kMinWidth;
        scale = area.width() / kMinWidth;
    }
    return QSizeF(width * scale, height * scale);
}

void CTimelinePainter::PaintLaidOut(QPainter& p, const CLogTimeline& timeline,
                                    const TimelineStyle& style, double width) {
    const QSize logical(static_cast<int>(width), PreferredSize(timeline).height());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRectF(0, 0, logical.width(), logical.height()), Qt::white);

    const double plotWidth = width - kLeft - kRight;
    const auto x = [&](double minute) {
        return kLeft + minute / CLogTimeline::kMinutes * plotWidth;
    };
    const double minuteWidth = plotWidth / CLogTimeline::kMinutes;
    const auto& lanes = timeline.Lanes();
    const double lanesBottom =
        kTop + static_cast<double>(std::max<size_t>(lanes.size(), 1)) * kLaneHeight;

    QFont font = p.font();
    font.setPixelSize(13);
    QFont bold = font;
    bold.setBold(true);
    QFont title = bold;
    title.setPixelSize(18);

    if (style.drawText) {
        p.setPen(Qt::black);
        p.setFont(title);
        QString heading = QString::fromStdString(timeline.Experiment());
        if (timeline.Repaired()) {
            heading += QStringLiteral("  (log cut off, read through a repair)");
        }
        p.drawText(QPointF(kLeft, 26), heading);
        p.setFont(font);
        QString sub = QStringLiteral("%1 station(s)").arg(lanes.size());
        if (!timeline.Mode().empty()) {
            sub += QStringLiteral(", ") + QString::fromStdString(timeline.Mode());
        }
        sub += QStringLiteral(", minutes run: %1, launch decision: %2")
                   .arg(timeline.MinutesRun() < 0 ? QStringLiteral("-")
                                                  : QString::number(timeline.MinutesRun()))
                   .arg(DecisionText(timeline.LaunchDecision()));
        p.setPen(QColor(0x42, 0x42, 0x42));
        p.drawText(QPointF(kLeft, 48), sub);
    }

    // Lanes, alternately tinted, and the hour grid.
    for (size_t i = 0; i < lanes.size(); ++i) {
        const double top = kTop + static_cast<double>(i) * kLaneHeight;
        p.fillRect(QRectF(kLeft, top, plotWidth, kLaneHeight),
                   i % 2 == 0 ? QColor(0xfa, 0xfa, 0xfa) : QColor(0xf0, 0xf2, 0xf5));
    }
    p.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 1));
    for (int m = 0; m <= CLogTimeline::kMinutes; m += 60) {
        p.drawLine(QPointF(x(m), kTop), QPointF(x(m), lanesBottom));
    }

    // Paused minutes, across all lanes.
    const QColor pauseColor(0x60, 0x7d, 0x8b, 80);
    const auto& paused = timeline.Paused();
    for (int m = 0; m <= CLogTimeline::kMinutes;) {
        if (!paused.test(static_cast<size_t>(m))) {
            ++m;
            continue;
        }
        int end = m;
        while (end <= CLogTimeline::kMinutes && paused.test(static_cast<size_t>(end))) {
            ++end;
        }
        p.fillRect(QRectF(x(m), kTop, std::max(2.0, (end - m) * minuteWidth), lanesBottom - kTop),
                   pauseColor);
        m = end;
    }
    // Freezes and the questionnaire hold the clock at their minute: a band across all lanes;
    // an in-view question, asked while the clock runs, a dotted line.
    const QColor freezeColor(0x6a, 0x1b, 0x9a, 70);
    for (const CLogTimeline::Probe& probe : timeline.Probes()) {
        if (probe.kind == "inview") {
            p.setPen(QPen(MeasureColor(), 1.2, Qt::DotLine));
            p.drawLine(QPointF(x(probe.minute + 0.5), kTop),
                       QPointF(x(probe.minute + 0.5), lanesBottom));
        } else {
            const double w = std::max(4.0, minuteWidth);
            p.fillRect(QRectF(x(probe.minute + 0.5) - w / 2, kTop, w, lanesBottom - kTop),
                       freezeColor);
        }
    }

    const int bandEnd = timeline.LaunchDecision().empty() ? std::max(timeline.MinutesRun(), 0)
                                                          : CLogTimeline::kMinutes;
    for (size_t i = 0; i < lanes.size(); ++i) {
        const CLogTimeline::Lane& lane = lanes[i];
        const double top = kTop + static_cast<double>(i) * kLaneHeight;
        // Status band: runs of one status as one rectangle.
        const double bandTop = top + kLaneHeight - 16;
        for (int m = 0; m < bandEnd;) {
            const int8_t s = lane.status[static_cast<size_t>(m)];
            int end = m + 1;
            while (end < bandEnd && lane.status[static_cast<size_t>(end)] == s) {
                ++end;
            }
            const QColor color = s == CLogTimeline::kGo     ? GoColor()
                                 : s == CLogTimeline::kNoGo ? NoGoColor()
                                                            : QColor(0xdd, 0xdd, 0xdd);
            p.fillRect(QRectF(x(m), bandTop, (end - m) * minuteWidth, 10), color);
            m = end;
        }
        if (timeline.HasMeasures()) {
            for (int m = 0; m <= CLogTimeline::kMinutes; ++m) {
                const int8_t rating = lane.ratings[static_cast<size_t>(m)];
                if (rating != CLogTimeline::kNotRated) {
                    DrawRating(p, x(m + 0.5), top + kLaneHeight - 3, rating);
                }
            }
        }
        // Chat ticks.
        p.setPen(QPen(QColor(0x28, 0x35, 0x93), 2));
        for (int m = 0; m <= CLogTimeline::kMinutes; ++m) {
            if (lane.chat.test(static_cast<size_t>(m))) {
                p.drawLine(QPointF(x(m + 0.5), top + 2), QPointF(x(m + 0.5), top + 12));
            }
        }
        // Command marks; a mark that would land on the one before it is not drawn again.
        for (int k = 0; k < kMarkCount; ++k) {
            const auto mark = static_cast<TimelineMark>(k);
            const double y = top + 19 + MarkRow(mark) * 10.5;
            double lastX = -100;
            for (int m = 0; m <= CLogTimeline::kMinutes; ++m) {
                if (!lane.marks[static_cast<size_t>(k)].test(static_cast<size_t>(m))) {
                    continue;
                }
                const double cx = x(m + 0.5);
                if (cx - lastX < 1.0) {
                    continue;
                }
                lastX = cx;
                DrawMark(p, mark, QPointF(cx, y));
            }
        }
        if (style.drawText) {
            p.setPen(lane.inTeam ? Qt::black : QColor(0x75, 0x75, 0x75));
            p.setFont(bold);
            const QRectF label(8, top, kLeft - 16, kLaneHeight);
            p.drawText(label, Qt::AlignRight | Qt::AlignVCenter,
                       QFontMetricsF(bold).elidedText(QString::fromStdString(lane.station),
                                                      Qt::ElideRight, label.width()));
        }
    }
    p.setPen(QPen(QColor(0x9e, 0x9e, 0x9e), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(kLeft, kTop, plotWidth, lanesBottom - kTop));

    // The experimenter's marks: a dashed line across the lanes, a flag and the note at its top.
    const QColor markColor(0xe6, 0x51, 0x00);
    QFont small = font;
    small.setPixelSize(11);
    // A short note on a light box at (left, top), elided to maxWidth; answers its right end.
    const auto note = [&](double left, double top, const std::string& text, double maxWidth,
                          const QColor& color) {
        p.setFont(small);
        const QString shown =
            QFontMetricsF(small).elidedText(QString::fromStdString(text), Qt::ElideRight, maxWidth);
        const QRectF box(left, top, QFontMetricsF(small).horizontalAdvance(shown) + 4, 14);
        p.fillRect(box, QColor(255, 255, 255, 200));
        p.setPen(color);
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, shown);
        return box.right();
    };
    double lastLabelEnd = -1;
    for (const CLogMark& mark : timeline.Marks()) {
        const double mx = x(mark.minute + 0.5);
        p.setPen(QPen(markColor, 1.5, Qt::DashLine));
        p.drawLine(QPointF(mx, kTop), QPointF(mx, lanesBottom));
        p.setPen(Qt::NoPen);
        p.setBrush(markColor);
        const QPointF flag[3] = {QPointF(mx, kTop - 8), QPointF(mx + 8, kTop - 4),
                                 QPointF(mx, kTop)};
        p.drawPolygon(flag, 3);
        p.setBrush(Qt::NoBrush);
        // Notes of marks close together would overlap: only the first of them is written.
        if (style.drawText && mx > lastLabelEnd) {
            lastLabelEnd = note(mx + 3, kTop + 1, mark.text, 160, markColor.darker(130)) + 4;
        }
    }

    // The probes' names, a line below the experimenter's notes.
    lastLabelEnd = -1;
    for (const CLogTimeline::Probe& probe : timeline.Probes()) {
        const double mx = x(probe.minute + 0.5);
        if (style.drawText && mx > lastLabelEnd) {
            lastLabelEnd = note(mx + 3, kTop + 16, probe.id, 120, MeasureColor()) + 4;
        }
    }

    // The launch decision at the close of the window.
    const QColor decision = DecisionColor(timeline.LaunchDecision());
    p.setPen(QPen(decision, 3));
    p.drawLine(QPointF(x(CLogTimeline::kMinutes), kTop - 6),
               QPointF(x(CLogTimeline::kMinutes), lanesBottom + 6));
    if (style.drawText) {
        p.setFont(bold);
        p.drawText(QRectF(x(CLogTimeline::kMinutes) + 8, kTop, kRight - 12, lanesBottom - kTop),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap,
                   DecisionText(timeline.LaunchDecision()));
    }

    // Minute axis.
    p.setPen(QPen(QColor(0x61, 0x61, 0x61), 1));
    for (int m = 0; m <= CLogTimeline::kMinutes; m += 60) {
        p.drawLine(QPointF(x(m), lanesBottom), QPointF(x(m), lanesBottom + 5));
        if (style.drawText) {
            p.setFont(font);
            p.drawText(QRectF(x(m) - 30, lanesBottom + 6, 60, 18), Qt::AlignHCenter | Qt::AlignTop,
                       QString::number(m));
        }
    }
    if (style.drawText) {
        p.drawText(QRectF(8, lanesBottom + 6, kLeft - 16, 18), Qt::AlignRight | Qt::AlignTop,
                   QStringLiteral("minute"));
    }

    // Legend: two rows under the axis.
    const double legendTop = lanesBottom + kAxisHeight;
    const double column = (width - kLeft) / 8;
    int slot = 0;
    const auto slotPoint = [&](int n) {
        return QPointF(kLeft + (n % 8) * column, legendTop + 14 + (n / 8) * 24);
    };
    for (int k = 0; k < kMarkCount; ++k, ++slot) {
        const QPointF at = slotPoint(slot);
        DrawMark(p, static_cast<TimelineMark>(k), at);
        if (style.drawText) {
            p.setPen(Qt::black);
            p.setFont(font);
            p.drawText(at + QPointF(10, 5), TimelineMarkLabel(static_cast<TimelineMark>(k)));
        }
    }
    const auto swatch = [&](const QColor& color, const QString& text, bool tick) {
        const QPointF at = slotPoint(slot++);
        if (tick) {
            p.setPen(QPen(QColor(0x28, 0x35, 0x93), 2));
            p.drawLine(at + QPointF(0, -5), at + QPointF(0, 5));
        } else {
            p.fillRect(QRectF(at.x() - 5, at.y() - 5, 10, 10), color);
        }
        if (style.drawText) {
            p.setPen(Qt::black);
            p.setFont(font);
            p.drawText(at + QPointF(10, 5), text);
        }
    };
    swatch(QColor(), QStringLiteral("chat line"), true);
    swatch(GoColor(), QStringLiteral("go"), false);
    swatch(NoGoColor(), QStringLiteral("no go"), false);
    swatch(QColor(0xdd, 0xdd, 0xdd), QStringLiteral("no report yet"), false);
    swatch(QColor(0x60, 0x7d, 0x8b, 120), QStringLiteral("clock paused"), false);
    if (!timeline.HasMeasures()) {
        return;
    }
    // A third row for the measures.
    const auto entry = [&](const QString& text, const auto& draw) {
        const QPointF at = slotPoint(slot++);
        draw(at);
        if (style.drawText) {
            p.setPen(Qt::black);
            p.setFont(font);
            p.drawText(at + QPointF(10, 5), text);
        }
    };
    entry(QStringLiteral("freeze, questionnaire"),
          [&](QPointF at) { p.fillRect(QRectF(at.x() - 3, at.y() - 7, 6, 14), freezeColor); });
    entry(QStringLiteral("in-view question"), [&](QPointF at) {
        p.setPen(QPen(MeasureColor(), 1.2, Qt::DotLine));
        p.drawLine(at + QPointF(0, -7), at + QPointF(0, 7));
    });
    entry(QStringLiteral("rating 1 to 5 (height)"), [&](QPointF at) {
        DrawRating(p, at.x() - 3, at.y() + 6, 1);
        DrawRating(p, at.x() + 3, at.y() + 6, 4);
    });
    entry(QStringLiteral("rating not answered"),
          [&](QPointF at) { DrawRating(p, at.x(), at.y() + 6, CLogTimeline::kRatingMissing); });
}

} // namespace halyx
