#pragma once

// Paints the mission picture (mission/missionstate.h) into any QPaintDevice: a widget, a QImage
// for PNG, a QSvgGenerator for SVG. The map, stations, impact lines, trajectory and radars come
// from the editor's renderer; over them the incursions where they are now, the resources where
// the state puts them, and each station's commands as marks in the station's colour (the
// timeline's colours), shaped by kind, fading out over the trail's minutes. A legend names the
// stations with their go/no-go light, the minute and the shapes; the chat layer shows the last
// lines. The whole map is fitted into the area, so a picture of a state is the same wherever
// it is drawn from.
//
// Usage:
//     CMissionPainter painter(scenario);          // the scenario's map at its current zoom
//     QImage image(CMissionPainter::PreferredSize(scenario), QImage::Format_RGB32);
//     QPainter p(&image);
//     painter.Paint(p, image.rect(), builder.StateAt(n), builder.MarksUpTo(state),
//     builder.Events()); if (auto hit = painter.HitTest(image.rect(), mousePos, state, marks,
//     events)) tip(hit->text);

#include "controls/gserenderer.h"
#include "mission/missionstate.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <optional>
#include <span>
#include <vector>

class QPainter;

namespace halyx {

class CScenario;

struct MissionLayers {
    bool units = true;       // radars, incursions now, resources now
    bool tracks = true;      // incursions' courses and heading updates
    bool contacts = true;    // radar contacts that hold, enter/exit marks
    bool deployments = true; // deploy, intercept, activate, deactivate, abort, requests
    bool weather = true;     // balloons and weather queries
    bool chat = true;        // the last chat lines
    bool operator==(const MissionLayers&) const = default;
};

struct MissionPictureStyle {
    MissionLayers layers;
    int trailMinutes = 30; // marks fade out over this many minutes (at least 1)
    bool legend = true;
    // Golden-image tests leave text out: fonts differ from machine to machine.
    bool drawText = true;
    bool operator==(const MissionPictureStyle&) const = default;
};

// What a mark under the pointer is.
struct MissionHit {
    CMissionMark mark;
    QString station;
    QString command;
    QString text; // "Alpha deploy at minute 12: Interceptor INT1 to 5, 6"
};

class CMissionPainter {
public:
    // The newest marks of the trail drawn at most, so that a picture costs the same however many
    // commands one minute holds; the legend says how many were left out.
    static constexpr size_t kMaxMarksDrawn = 2000;

    explicit CMissionPainter(const CScenario& scenario);

    const CScenario& Scenario() const { return m_scenario; }
    void SetStyle(const MissionPictureStyle& style) { m_style = style; }
    const MissionPictureStyle& Style() const { return m_style; }

    // The map's size at its current zoom, the legend beside it: the size a file reads best at.
    static QSize PreferredSize(const CScenario& scenario);
    // The station's colour (index in the state's stations; -1, the console, is grey).
    static QColor StationColor(int station);

    // Paints the picture at state into area; marks are the builder's MarksUpTo(state).
    void Paint(QPainter& painter, const QRectF& area, const CMissionState& state,
               std::span<const CMissionMark> marks);

    // The mark drawn nearest to at (within radius pixels), among those the picture shows.
    std::optional<MissionHit> HitTest(const QRectF& area, const QPointF& at,
                                      const CMissionState& state,
                                      std::span<const CMissionMark> marks,
                                      const CMissionEventList& events, double radius = 6.0) const;
    // The text of one mark: station, command, minute and values.
    static MissionHit Describe(const CMissionMark& mark, const CMissionState& state,
                               const CMissionEventList& events);

private:
    // The map in content pixels and the transform that fits it into area.
    QSizeF ContentSize() const;
    QRectF MapRect(const QRectF& area) const;
    QPointF ToContent(const MissionPoint& p) const;
    bool Shown(const CMissionMark& mark, const CMissionState& state) const;
    // The trail's marks that are drawn, the newest kMaxMarksDrawn; leftOut: how many older ones
    // of the trail are not.
    std::span<const CMissionMark> TrailMarks(const CMissionState& state,
                                             std::span<const CMissionMark> marks,
                                             size_t& leftOut) const;
    void PaintBase(QPainter& painter, const QRectF& target);
    void PaintUnits(QPainter& painter, const CMissionState& state);
    void PaintTracks(QPainter& painter, const CMissionState& state);
    void PaintContacts(QPainter& painter, const CMissionState& state);
    void PaintMarks(QPainter& painter, const CMissionState& state,
                    std::span<const CMissionMark> marks);
    static void DrawMark(QPainter& painter, MissionEventKind kind, const QColor& colour,
                         const QPointF& p);
    const QImage& Sprite(MissionEventKind kind, int station, int level);
    // A map point in device pixels from the map's top-left corner, at the paint's scale.
    QPointF At(const MissionPoint& p) const;
    void PaintLegend(QPainter& painter, const QRectF& area, const CMissionState& state);
    void PaintChat(QPainter& painter, const QRectF& area, const CMissionState& state);

    const CScenario& m_scenario;
    CGSERenderer m_renderer;
    MissionPictureStyle m_style;
    // The map with radars, kept between paints until the map or the units layer changes.
    QImage m_base;
    QImage m_scaled; // m_base at the size of the last paint's map
    // Each mark's symbol by kind, station colour and fade step, drawn once.
    static constexpr int kFadeLevels = 8;
    static constexpr int kSpriteSize = 16;
    std::vector<QImage> m_sprites;
    uint64_t m_baseRevision = 0;
    int m_baseScale = 0;
    bool m_baseUnits = false;
    double m_scale = 1.0;      // device pixels per content pixel, during a paint
    size_t m_marksLeftOut = 0; // of the last paint's trail
};

} // namespace halyx
