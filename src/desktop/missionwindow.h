#pragma once

#include "controls/missionpainter.h"

#include <QString>
#include <QTimer>

#include <QWidget>
#include <cstddef>
#include <span>

class QCheckBox;
class QLabel;
class QSpinBox;

namespace halyx {

class CMissionFollower;

// The "Mission Picture" window: the mission drawn on the map as it runs, or as a replay stands
// at its minute (controls/missionpainter.h), with a check box per layer, the length of the
// fading trails, the minute and each station's go/no-go light; hovering a mark says what it
// is, "Save Picture..." writes PNG or SVG. A top-level window, so that it can sit on a second
// screen; its place is remembered.
//
// It draws only when the state or a setting changed, at most once per poll of the follower, so
// that a flood of station messages never holds the event loop with drawing.
class CMissionWindow final : public QWidget {
    Q_OBJECT
public:
    // The newest marks the window draws at most. A flood of commands within one trail would
    // otherwise make every redraw hold the event loop for as long as drawing them all takes;
    // this many already cover the map. Files drawn from the window's Save Picture hold all.
    static constexpr std::size_t kMaxMarksDrawn = 2000;

    explicit CMissionWindow(CMissionFollower& follower, QWidget* parent = nullptr);
    ~CMissionWindow() override;

    const MissionPictureStyle& Style() const { return m_painter.Style(); }
    CMissionFollower& Follower() const { return m_follower; }
    // How many times the picture was drawn (tests count redraws).
    int Redraws() const { return m_redraws; }
    // The minute shown now.
    int Minute() const;
    // What hovering at a point of the picture shows ("" when no mark is there).
    QString TipAt(const QPointF& at) const;
    // The scenario's map was loaded or changed: draw again.
    void MapChanged() { Redraw(); }
    // Writes the picture as it is shown to path (.png or .svg); false with error set.
    bool SavePicture(const QString& path, QString& error);

signals:
    // The picture was drawn.
    void Redrawn();

private:
    friend class CMissionCanvas;
    void Changed();
    void Redraw();
    void StyleChanged();
    void SaveAs();
    void PaintPicture(QPainter& painter, const QRectF& area);
    // The marks drawn: the newest kMaxMarksDrawn of the trail.
    std::span<const CMissionMark> DrawnMarks() const;

    CMissionFollower& m_follower;
    CMissionPainter m_painter;
    int m_listener = 0;
    int m_redraws = 0;
    // Redraws wait at least kMinRedrawMs, and three times the last drawing's time, after the
    // last one: drawing never takes more than a quarter of the event loop's time.
    static constexpr int kMinRedrawMs = 50;
    QTimer m_redrawGap;
    bool m_redrawWanted = false;
    qint64 m_lastPaintMs = 0;
    QWidget* m_canvas = nullptr;
    QLabel* m_minute = nullptr;
    QLabel* m_stations = nullptr;
    QCheckBox* m_units = nullptr;
    QCheckBox* m_tracks = nullptr;
    QCheckBox* m_contacts = nullptr;
    QCheckBox* m_deployments = nullptr;
    QCheckBox* m_weather = nullptr;
    QCheckBox* m_chat = nullptr;
    QSpinBox* m_trail = nullptr;
};

} // namespace halyx
