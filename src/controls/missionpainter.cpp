#include "controls/missionpainter.h"

#include "controls/timelinepainter.h"
#include "controls/unitsymbols.h"
#include "external/maplib/worldmap.h"
#include "scenario/scenario.h"

#include <QFont>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>

namespace halyx {

namespace {

constexpr double kLegendWidth = 240.0;
constexpr double kMarkRadius = 4.0;
// How many of the last measures the side panel names.
constexpr size_t kProbeLines = 5;
// A picture larger than this (the map at a deep zoom) is drawn smaller.
constexpr int kMaxPreferredWidth = 1400;
constexpr int kMaxPreferredHeight = 1000;
const QColor kBackground(0x30, 0x30, 0x30);
const QColor kPanel(0xfa, 0xfa, 0xfa, 235);
const QColor kConsoleColour(0x75, 0x75, 0x75);

bool InLayer(MissionEventKind kind, const MissionLayers& layers) {
    switch (kind) {
    case MissionEventKind::IncEnterRadar:
    case MissionEventKind::IncExitRadar:
        return layers.contacts;
    case MissionEventKind::UpdateInc:
        return layers.tracks;
    case MissionEventKind::DeployBalloon:
    case MissionEventKind::WeatherQuery:
        return layers.weather;
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
    case MissionEventKind::DeployResource:
    case MissionEventKind::InterceptInc:
    case MissionEventKind::Abort:
    case MissionEventKind::ResourceRequest:
        return layers.deployments;
    default:
        return false;
    }
}

QString PointText(const MissionPoint& p) {
    return QString::number(p.lat, 'g', 8) + ", " + QString::number(p.lng, 'g', 8);
}

// The shape of a mark at p, radius r; the kinds read apart without colour.
void DrawShape(QPainter& painter, MissionEventKind kind, const QPointF& p, double r) {
    switch (kind) {
    case MissionEventKind::DeployResource:
    case MissionEventKind::DeployBalloon:
        painter.drawEllipse(p, r, r);
        break;
    case MissionEventKind::ResourceActivate:
    case MissionEventKind::ResourceDeactivate:
        painter.drawPolygon(QPolygonF({p + QPointF(0, -r * 1.2), p + QPointF(r * 1.1, r * 0.8),
                                       p + QPointF(-r * 1.1, r * 0.8)}));
        break;
    case MissionEventKind::Abort:
    case MissionEventKind::InterceptInc:
        painter.drawLine(p + QPointF(-r, -r), p + QPointF(r, r));
        painter.drawLine(p + QPointF(-r, r), p + QPointF(r, -r));
        break;
    case MissionEventKind::WeatherQuery:
    case MissionEventKind::ResourceRequest:
        painter.drawPolygon(QPolygonF(
            {p + QPointF(0, -r), p + QPointF(r, 0), p + QPointF(0, r), p + QPointF(-r, 0)}));
        break;
    default:
        painter.drawRect(QRectF(p.x() - r * 0.6, p.y() - r * 0.6, r * 1.2, r * 1.2));
        break;
    }
}

// Hollow shapes for the commands that end something, filled for the rest.
bool Hollow(MissionEventKind kind) {
    return kind == MissionEventKind::ResourceDeactivate ||
           kind == MissionEventKind::DeployBalloon || kind == MissionEventKind::ResourceRequest ||
           kind == MissionEventKind::IncExitRadar;
}

struct LegendKind {
    MissionEventKind kind;
    const char* label;
};
constexpr std::array<LegendKind, 10> kLegendKinds = {{
    {MissionEventKind::DeployResource, "deploy"},
    {MissionEventKind::InterceptInc, "intercept / abort"},
    {MissionEventKind::ResourceActivate, "activate"},
    {MissionEventKind::ResourceDeactivate, "deactivate"},
    {MissionEventKind::ResourceRequest, "request"},
    {MissionEventKind::DeployBalloon, "balloon"},
    {MissionEventKind::WeatherQuery, "weather query"},
    {MissionEventKind::UpdateInc, "heading update"},
    {MissionEventKind::IncEnterRadar, "radar contact"},
    {MissionEventKind::IncExitRadar, "radar lost"},
}};

} // namespace

CMissionPainter::CMissionPainter(const CScenario& scenario)
    : m_scenario(scenario), m_renderer(scenario) {}

QColor CMissionPainter::StationColor(int station) {
    // The timeline's colours, those that stand apart best, in this order.
    static const std::array<QColor, 6> kColours = {
        CTimelinePainter::MarkColor(TimelineMark::Deploy),
        CTimelinePainter::MarkColor(TimelineMark::Request),
        CTimelinePainter::MarkColor(TimelineMark::Intercept),
        CTimelinePainter::MarkColor(TimelineMark::Weather),
        CTimelinePainter::MarkColor(TimelineMark::Display),
        CTimelinePainter::MarkColor(TimelineMark::Balloon),
    };
    if (station < 0) {
        return kConsoleColour;
    }
    return kColours[static_cast<size_t>(station) % kColours.size()];
}

QSizeF CMissionPainter::ContentSize() const {
    const CWorldMap& map = m_scenario.Geography().GetWorldMap();
    const int scale = std::max(1, map.getScalefactor());
    if (!map.exists()) {
        return QSizeF(1000, 700);
    }
    return QSizeF(double(map.getWidth()) * scale, double(map.getHeight()) * scale);
}

QSize CMissionPainter::PreferredSize(const CScenario& scenario) {
    CMissionPainter probe(scenario);
    QSizeF content = probe.ContentSize();
    content = content.scaled(QSizeF(kMaxPreferredWidth, kMaxPreferredHeight),
                             content.width() > kMaxPreferredWidth ||
                                     content.height() > kMaxPreferredHeight
                                 ? Qt::KeepAspectRatio
                                 : Qt::IgnoreAspectRatio);
    return QSize(int(std::ceil(content.width() + kLegendWidth)),
                 int(std::ceil(std::max(content.height(), 480.0))));
}

QRectF CMissionPainter::MapRect(const QRectF& area) const {
    QRectF room = area;
    if (m_style.legend && room.width() > 2 * kLegendWidth) {
        room.setRight(room.right() - kLegendWidth);
    }
    const QSizeF content = ContentSize();
    const QSizeF fitted = content.scaled(room.size(), Qt::KeepAspectRatio);
    // On whole pixels: the map image is then copied, not resampled, at every paint.
    return QRectF(std::round(room.left() + (room.width() - fitted.width()) / 2),
                  std::round(room.top() + (room.height() - fitted.height()) / 2),
                  std::max(1.0, std::floor(fitted.width() + 1e-6)),
                  std::max(1.0, std::floor(fitted.height() + 1e-6)));
}

QPointF CMissionPainter::ToContent(const MissionPoint& p) const {
    const CWorldMap& map = m_scenario.Geography().GetWorldMap();
    if (!map.exists()) {
        return QPointF(p.lng, 700 - p.lat);
    }
    const CWindowPoint w = map.LatLng2PixelLoc(p.lat, p.lng);
    return QPointF(w.x, w.y);
}

bool CMissionPainter::Shown(const CMissionMark& mark, const CMissionState& state) const {
    const int trail = std::max(1, m_style.trailMinutes);
    return mark.minute <= state.minute && state.minute - mark.minute < trail &&
           InLayer(mark.kind, m_style.layers);
}

void CMissionPainter::PaintBase(QPainter& painter, const QRectF& target) {
    const CWorldMap& map = m_scenario.Geography().GetWorldMap();
    if (!map.exists()) {
        painter.fillRect(target, kBackground);
        return;
    }
    const QSizeF content = ContentSize();
    if (m_base.isNull() || m_baseRevision != map.Revision() ||
        m_baseScale != map.getScalefactor() || m_baseUnits != m_style.layers.units ||
        m_base.size() != content.toSize()) {
        m_base = QImage(content.toSize(), QImage::Format_RGB32);
        CGSEDrawOptions options;
        options.radars = m_style.layers.units;
        options.interceptors = false; // drawn where the state has them
        options.incursions = false;
        options.mapLimits = false;
        m_renderer.SetOptions(options);
        m_renderer.SetSelection({});
        m_renderer.InvalidateBackground();
        QPainter base(&m_base);
        const QRect all(QPoint(0, 0), content.toSize());
        m_renderer.SetVisibleRect(all);
        m_renderer.Render(base, all);
        m_baseRevision = map.Revision();
        m_baseScale = map.getScalefactor();
        m_baseUnits = m_style.layers.units;
        m_scaled = QImage();
    }
    // Scaled once per size: a paint then only copies it.
    const QSize size = target.size().toSize();
    if (size == m_base.size()) {
        painter.drawImage(target.topLeft(), m_base);
        return;
    }
    if (m_scaled.size() != size) {
        m_scaled = m_base.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    painter.drawImage(target.topLeft(), m_scaled);
}

void CMissionPainter::Paint(QPainter& painter, const QRectF& area, const CMissionState& state,
                            std::span<const CMissionMark> marks) {
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, kBackground);
    const QRectF target = MapRect(area);
    PaintBase(painter, target);
    m_scale = target.width() / std::max(1.0, ContentSize().width());

    // Marks keep their size in device pixels at any scale: points are mapped by hand.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.save();
    painter.setClipRect(target);
    painter.translate(target.topLeft());
    if (m_style.layers.tracks) {
        PaintTracks(painter, state);
    }
    if (m_style.layers.contacts) {
        PaintContacts(painter, state);
    }
    size_t leftOut = 0;
    PaintMarks(painter, state, TrailMarks(state, marks, leftOut));
    m_marksLeftOut = leftOut;
    if (m_style.layers.units) {
        PaintUnits(painter, state);
    }
    painter.restore();
    if (m_style.legend) {
        PaintLegend(painter, area, state);
    }
    if (m_style.layers.chat && m_style.drawText) {
        PaintChat(painter, target, state);
    }
    painter.restore();
}

QPointF CMissionPainter::At(const MissionPoint& p) const {
    return ToContent(p) * m_scale;
}

void CMissionPainter::PaintTracks(QPainter& painter, const CMissionState& state) {
    // Each incursion's course so far: from where its latest course began to where it is now.
    QPen pen(kIncursionColour, 1.2, Qt::DashLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const MissionTrack& track : state.tracks) {
        if (!state.IncursionVisible(track)) {
            continue;
        }
        const double start = std::max(track.since, track.appears);
        const MissionPoint from = track.PositionAt(static_cast<int>(std::ceil(start)));
        painter.drawLine(At(from), At(track.PositionAt(state.minute)));
    }
}

void CMissionPainter::PaintContacts(QPainter& painter, const CMissionState& state) {
    QPen pen(kRadarRangeColour, 1.0, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    for (const MissionContact& contact : state.contacts) {
        const auto radar = state.resources.find(contact.radarId);
        const auto track =
            std::find_if(state.tracks.begin(), state.tracks.end(),
                         [&](const MissionTrack& t) { return t.id == contact.incId; });
        if (radar == state.resources.end() || !radar->second.placed ||
            track == state.tracks.end()) {
            continue;
        }
        painter.drawLine(At(radar->second.point), At(track->PositionAt(state.minute)));
    }
}

void CMissionPainter::DrawMark(QPainter& painter, MissionEventKind kind, const QColor& colour,
                               const QPointF& p) {
    QPen pen;
    pen.setCosmetic(true);
    const bool cross = kind == MissionEventKind::Abort || kind == MissionEventKind::InterceptInc;
    pen.setWidthF(cross ? 2.2 : 1.2);
    pen.setColor(cross ? colour : colour.darker(140));
    painter.setPen(pen);
    painter.setBrush(Hollow(kind) ? QBrush(Qt::NoBrush) : QBrush(colour));
    DrawShape(painter, kind, p, kMarkRadius);
}

const QImage& CMissionPainter::Sprite(MissionEventKind kind, int station, int level) {
    const int colours = 7; // the station colours and the console's
    const size_t key = (static_cast<size_t>(kind) * colours +
                        static_cast<size_t>(station < 0 ? colours - 1 : station % 6)) *
                           (kFadeLevels + 1) +
                       static_cast<size_t>(level);
    if (m_sprites.size() <= key) {
        m_sprites.resize(key + 1);
    }
    QImage& sprite = m_sprites[key];
    if (sprite.isNull()) {
        sprite = QImage(kSpriteSize, kSpriteSize, QImage::Format_ARGB32_Premultiplied);
        sprite.fill(Qt::transparent);
        QPainter p(&sprite);
        p.setRenderHint(QPainter::Antialiasing, true);
        QColor colour = StationColor(station);
        colour.setAlphaF(static_cast<float>(level) / kFadeLevels);
        DrawMark(p, kind, colour, QPointF(kSpriteSize / 2.0, kSpriteSize / 2.0));
    }
    return sprite;
}

void CMissionPainter::PaintMarks(QPainter& painter, const CMissionState& state,
                                 std::span<const CMissionMark> marks) {
    const int trail = std::max(1, m_style.trailMinutes);
    // Only the marks of the trail are looked at: they are the last ones, in minute order.
    auto first =
        std::lower_bound(marks.begin(), marks.end(), state.minute - trail + 1,
                         [](const CMissionMark& m, int minute) { return m.minute < minute; });
    // Fades from full to a quarter over the trail, in steps, so that marks of one station and
    // step are drawn together: lines first, in one call per colour, then the symbols, oldest
    // first so that the latest commands lie on top. On a raster device each symbol is a copy
    // of a small image drawn once; files such as SVG get every symbol as shapes.
    auto levelOf = [&](const CMissionMark& mark) {
        const double age = double(state.minute - mark.minute) / trail;
        return std::clamp(static_cast<int>(std::lround((1.0 - 0.75 * age) * kFadeLevels)), 1,
                          kFadeLevels);
    };
    std::map<std::tuple<int, int, bool>, std::vector<QLineF>> lines;
    for (auto it = first; it != marks.end(); ++it) {
        if (it->hasTo && Shown(*it, state)) {
            const bool dotted = it->kind == MissionEventKind::IncEnterRadar;
            lines[{it->station, levelOf(*it), dotted}].emplace_back(At(it->to), At(it->at));
        }
    }
    painter.setBrush(Qt::NoBrush);
    for (const auto& [key, group] : lines) {
        const auto& [station, level, dotted] = key;
        QColor colour = StationColor(station);
        colour.setAlphaF(static_cast<float>(level) / kFadeLevels);
        QPen pen(colour, 1.0, dotted ? Qt::DotLine : Qt::SolidLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLines(group.data(), static_cast<int>(group.size()));
    }
    const bool raster =
        painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Raster;
    const QPointF half(kSpriteSize / 2.0, kSpriteSize / 2.0);
    for (auto it = first; it != marks.end(); ++it) {
        const CMissionMark& mark = *it;
        if (!Shown(mark, state)) {
            continue;
        }
        const int level = levelOf(mark);
        const QPointF p = At(mark.at);
        if (raster) {
            painter.drawImage(QPointF(std::round(p.x()), std::round(p.y())) - half,
                              Sprite(mark.kind, mark.station, level));
        } else {
            QColor colour = StationColor(mark.station);
            colour.setAlphaF(static_cast<float>(level) / kFadeLevels);
            DrawMark(painter, mark.kind, colour, p);
        }
    }
}

void CMissionPainter::PaintUnits(QPainter& painter, const CMissionState& state) {
    const CWorldMap& map = m_scenario.Geography().GetWorldMap();
    // The editor's unit symbols, at their size in device pixels, where the state has the units.
    auto placed = [&](CGlyphShape shape, const QPointF& at) {
        const QPoint shift = at.toPoint() - shape.centre;
        shape.centre += shift;
        shape.polygon.translate(shift);
        if (!shape.line.isNull()) {
            shape.line.translate(shift);
        }
        return shape;
    };
    std::vector<CGlyphShape> shapes;
    if (map.exists()) {
        for (const MissionTrack& track : state.tracks) {
            if (!state.IncursionVisible(track)) {
                continue;
            }
            const MissionPoint now = track.PositionAt(state.minute);
            shapes.push_back(
                placed(GlyphShape(map, now.lat, now.lng, track.heading * std::numbers::pi / 180.0,
                                  kGlyphSize, 2, 0, 0, true),
                       At(now)));
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawGlyphs(painter, shapes, 0, kIncursionColour, kIncursionColour);
    shapes.clear();
    std::vector<const MissionResource*> interceptors;
    for (const auto& [id, res] : state.resources) {
        if (res.placed && res.type != "Radar" && map.exists()) {
            shapes.push_back(placed(
                GlyphShape(map, res.point.lat, res.point.lng, 0.0, kGlyphSize, 4, 2, 0, false),
                At(res.point)));
            interceptors.push_back(&res);
        }
    }
    DrawGlyphs(painter, shapes, 2, kInterceptorColour, kInterceptorColour);
    // A ring in the colour of the station that commanded it last.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const MissionResource* res : interceptors) {
        if (res->station >= 0) {
            QPen pen(StationColor(res->station), 2.0);
            pen.setCosmetic(true);
            if (res->activity == ResourceActivity::Inactive ||
                res->activity == ResourceActivity::Aborted) {
                pen.setStyle(Qt::DashLine);
            }
            painter.setPen(pen);
            painter.drawEllipse(At(res->point), kGlyphSize + 3.0, kGlyphSize + 3.0);
        }
    }
}

void CMissionPainter::PaintLegend(QPainter& painter, const QRectF& area,
                                  const CMissionState& state) {
    if (area.width() <= 2 * kLegendWidth) {
        return;
    }
    const QRectF panel(area.right() - kLegendWidth, area.top(), kLegendWidth, area.height());
    painter.fillRect(panel, kPanel);
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    double y = panel.top() + 12;
    const double x = panel.left() + 14;
    auto text = [&](const QString& line, const QColor& colour = QColor(0x21, 0x21, 0x21)) {
        if (m_style.drawText) {
            painter.setPen(colour);
            painter.drawText(QPointF(x + 24, y + 10), line);
        }
    };
    painter.setRenderHint(QPainter::Antialiasing, true);
    text(QString("Minute %1%2").arg(state.minute).arg(state.paused ? " (paused)" : ""));
    y += 22;
    // A freeze or the questionnaire holds the subjects' screens, as a pause holds the clock.
    if (const MissionProbe* holding = state.Holding()) {
        text("Frozen: " + QString::fromStdString(holding->id), CTimelinePainter::MeasureColor());
        y += 22;
    }
    if (!state.decision.empty()) {
        text(QString::fromStdString(state.decision));
        y += 22;
    }
    // Stations: colour, go/no-go light, name.
    for (size_t i = 0; i < state.stations.size(); ++i) {
        const MissionStation& s = state.stations[i];
        painter.setPen(Qt::NoPen);
        painter.setBrush(StationColor(int(i)));
        painter.drawRect(QRectF(x, y, 10, 12));
        const QColor light = s.goNoGo == "go"   ? CTimelinePainter::GoColor()
                             : s.goNoGo.empty() ? QColor(0xbd, 0xbd, 0xbd)
                                                : CTimelinePainter::NoGoColor();
        painter.setBrush(light);
        painter.drawEllipse(QPointF(x + 17, y + 6), 4.5, 4.5);
        text(QString::fromStdString(s.name) +
             (s.goNoGo.empty() ? QString() : "  " + QString::fromStdString(s.goNoGo)));
        y += 20;
    }
    y += 8;
    QPen pen(QColor(0x42, 0x42, 0x42), 1.2);
    pen.setCosmetic(true);
    for (const LegendKind& kind : kLegendKinds) {
        if (!InLayer(kind.kind, m_style.layers)) {
            continue;
        }
        painter.setPen(pen);
        painter.setBrush(Hollow(kind.kind) ? QBrush(Qt::NoBrush)
                                           : QBrush(QColor(0x75, 0x75, 0x75)));
        DrawShape(painter, kind.kind, QPointF(x + 8, y + 6), kMarkRadius);
        text(QString::fromLatin1(kind.label));
        y += 20;
    }
    if (state.unplacedCommands > 0) {
        y += 6;
        text(QString("%1 commands without a usable point").arg(state.unplacedCommands));
        y += 20;
    }
    // Two lines each: the legend is narrow.
    if (m_marksLeftOut > 0) {
        y += 6;
        text(QString("Newest %1 of %2").arg(kMaxMarksDrawn).arg(kMaxMarksDrawn + m_marksLeftOut));
        y += 18;
        text(QStringLiteral("marks drawn"));
        y += 20;
    }
    if (state.overLimitCommands > 0) {
        y += 6;
        text(QString("%1 commands about").arg(state.overLimitCommands));
        y += 18;
        text(QStringLiteral("unknown units not drawn"));
        y += 20;
    }
    // The last measures begun, newest last; one still open is marked.
    if (!state.probes.empty()) {
        y += 6;
        text(QStringLiteral("Measures"), CTimelinePainter::MeasureColor());
        y += 18;
        const size_t shown = std::min<size_t>(state.probes.size(), kProbeLines);
        for (size_t i = state.probes.size() - shown; i < state.probes.size(); ++i) {
            const MissionProbe& probe = state.probes[i];
            text(QString("%1 %2%3")
                     .arg(probe.start)
                     .arg(QString::fromStdString(probe.id), probe.end < 0 ? " (open)" : ""),
                 CTimelinePainter::MeasureColor());
            y += 18;
        }
    }
}

void CMissionPainter::PaintChat(QPainter& painter, const QRectF& target,
                                const CMissionState& state) {
    if (state.chat.empty()) {
        return;
    }
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const double lineHeight = 16;
    const QRectF box(target.left() + 8, target.bottom() - 8 - lineHeight * state.chat.size() - 8,
                     std::min(520.0, target.width() - 16), lineHeight * state.chat.size() + 8);
    painter.fillRect(box, QColor(0, 0, 0, 150));
    double y = box.top() + 4;
    for (const MissionChatLine& line : state.chat) {
        painter.setPen(StationColor(line.station).lighter(160));
        const QString who = line.station >= 0 && size_t(line.station) < state.stations.size()
                                ? QString::fromStdString(state.stations[size_t(line.station)].name)
                                : QString();
        const QString shown =
            QString("%1 %2: %3").arg(line.minute).arg(who, QString::fromStdString(line.text));
        painter.drawText(
            QRectF(box.left() + 6, y, box.width() - 12, lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(shown, Qt::ElideRight, int(box.width() - 12)));
        y += lineHeight;
    }
}

std::span<const CMissionMark> CMissionPainter::TrailMarks(const CMissionState& state,
                                                          std::span<const CMissionMark> marks,
                                                          size_t& leftOut) const {
    const int trail = std::max(1, m_style.trailMinutes);
    const auto first =
        std::lower_bound(marks.begin(), marks.end(), state.minute - trail + 1,
                         [](const CMissionMark& m, int minute) { return m.minute < minute; });
    std::span<const CMissionMark> shown(first, marks.end());
    leftOut = shown.size() > kMaxMarksDrawn ? shown.size() - kMaxMarksDrawn : 0;
    return shown.last(shown.size() - leftOut);
}

std::optional<MissionHit> CMissionPainter::HitTest(const QRectF& area, const QPointF& at,
                                                   const CMissionState& state,
                                                   std::span<const CMissionMark> marks,
                                                   const CMissionEventList& events,
                                                   double radius) const {
    const QRectF target = MapRect(area);
    const double scale = target.width() / std::max(1.0, ContentSize().width());
    const CMissionMark* best = nullptr;
    double bestDistance = radius * radius;
    // The latest mark wins a tie: it is drawn on top. Only the trail's marks can be shown.
    size_t leftOut = 0;
    for (const CMissionMark& mark : TrailMarks(state, marks, leftOut)) {
        if (!Shown(mark, state)) {
            continue;
        }
        const QPointF p = target.topLeft() + ToContent(mark.at) * scale;
        const double dx = p.x() - at.x();
        const double dy = p.y() - at.y();
        const double d = dx * dx + dy * dy;
        if (d <= bestDistance) {
            bestDistance = d;
            best = &mark;
        }
    }
    if (best == nullptr) {
        return std::nullopt;
    }
    return Describe(*best, state, events);
}

MissionHit CMissionPainter::Describe(const CMissionMark& mark, const CMissionState& state,
                                     const CMissionEventList& events) {
    MissionHit hit;
    hit.mark = mark;
    hit.station = mark.station >= 0 && size_t(mark.station) < state.stations.size()
                      ? QString::fromStdString(state.stations[size_t(mark.station)].name)
                      : QString("console");
    hit.command = QString::fromLatin1(MissionEventKindName(mark.kind));
    QString values;
    if (mark.event < events.size()) {
        const CMissionEvent& e = events[mark.event];
        QStringList parts;
        for (const std::string* s : {&e.resType, &e.resId, &e.incId}) {
            if (!s->empty()) {
                parts << QString::fromStdString(*s);
            }
        }
        if (e.kind == MissionEventKind::ResourceRequest && !e.text.empty()) {
            parts << "from " + QString::fromStdString(e.text);
        }
        if (!std::isnan(e.heading)) {
            parts << "heading " + QString::number(e.heading, 'g', 8);
        }
        values = parts.join(' ');
    }
    values += (values.isEmpty() ? "at " : " at ") + PointText(mark.at);
    if (mark.hasTo) {
        values += (mark.kind == MissionEventKind::DeployResource ? " from " : " to ") +
                  PointText(mark.to);
    }
    hit.text = QString("%1 %2 at minute %3: %4")
                   .arg(hit.station, hit.command, QString::number(mark.minute), values);
    return hit;
}

} // namespace halyx
