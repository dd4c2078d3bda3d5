#include "editor/gseselecttool.h"

#include "common/format.h"
#include "common/geometry.h"
#include "controls/gsegeometry.h"
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"

#include <QUndoStack>

#include <cmath>
#include <type_traits>

namespace halyx {

namespace {

// The handle's distance from its unit, in map units, as a speed.
double SpeedForDistance(double distance) {
    return std::fabs((distance - kHandleBase) / kHandlePerSpeed);
}

// A handle dragged to pointer: a radar's range circle sets its range; a speed handle sets the
// speed from its distance and the heading from its bearing.
void DragHandle(CRadar& radar, const CLatLng& pointer) {
    radar.SetRangeValue(
        std::hypot(pointer.lat - radar.GetLatValue(), pointer.lng - radar.GetLngValue()));
}

void DragHandle(CIncursion& incursion, const CLatLng& pointer) {
    const double uLat = incursion.GetLatValue();
    const double uLng = incursion.GetLngValue();
    incursion.SetSpeedValue(SpeedForDistance(std::hypot(pointer.lat - uLat, pointer.lng - uLng)));
    // Headings are kept in degrees everywhere else, so the bearing is stored as degrees.
    incursion.SetHeadingValue(
        RadiansToDegrees(BearingBetween(uLat, uLng, pointer.lat, pointer.lng)));
}

void DragHandle(CInterceptor& interceptor, const CLatLng& pointer) {
    const double uLat = interceptor.GetLat();
    const double uLng = interceptor.GetLng();
    interceptor.SetSpeedText(
        Format("%0.3f", SpeedForDistance(std::hypot(pointer.lat - uLat, pointer.lng - uLng))));
    interceptor.SetHeadingText(
        Format("%0.3f", RadiansToDegrees(BearingBetween(uLat, uLng, pointer.lat, pointer.lng))));
}

template <class T> void NotifyChanged(CScenario& scenario, const CGSESelection& selection) {
    UnitTraits<T>::List(scenario).NotifyChanged(selection.index);
}

} // namespace

CGSESelectTool::CGSESelectTool(CScenario& scenario, QUndoStack& undo, IGSEToolHost& host)
    : m_scenario(scenario), m_undo(undo), m_host(host) {}

const CWorldMap& CGSESelectTool::Map() const {
    return m_scenario.Geography().GetWorldMap();
}

void CGSESelectTool::Press(const QPoint& at) {
    const CGSESelection current = m_host.Selection();
    m_handleGrabbed = !current.Empty() && HandleHit(m_scenario, Map(), current, at.x(), at.y());
    const CGSESelection selection =
        m_handleGrabbed ? current : UnitAt(m_scenario, Map(), at.x(), at.y(), m_host.Shown());
    m_host.SetSelection(selection, m_handleGrabbed);
    m_original = std::monostate{};
    VisitSelected(m_scenario, selection, [this](const auto& unit) { m_original = unit; });
    m_dragging = true;
    m_moved = false;
}

void CGSESelectTool::Move(const QPoint& at) {
    if (!m_dragging || m_host.Selection().Empty() ||
        std::holds_alternative<std::monostate>(m_original)) {
        return;
    }
    ApplyStep(at);
}

void CGSESelectTool::ApplyStep(const QPoint& at) {
    const CGSESelection& selection = m_host.Selection();
    const CLatLng pointer = MapPositionAt(Map(), at.x(), at.y());
    // Moving a unit off the editable region would put it where the stations cannot use it: the
    // unit stays at the last place inside while the pointer is out. Handles follow anywhere.
    if (!m_handleGrabbed && !InEditableRegion(pointer.lat, pointer.lng)) {
        return;
    }
    const std::string lat = Format("%0.3f", pointer.lat);
    const std::string lng = Format("%0.3f", pointer.lng);
    const bool moved = VisitSelected(m_scenario, selection, [&](auto& unit) {
        using T = std::decay_t<decltype(unit)>;
        m_host.UnitMoving(selection, false);
        if (m_handleGrabbed) {
            DragHandle(unit, pointer);
        } else {
            UnitTraits<T>::SetPosition(unit, lat, lng);
        }
        m_moved = true;
        NotifyChanged<T>(m_scenario, selection);
    });
    if (!moved) {
        return;
    }
    m_host.UnitMoving(selection, true);
}

void CGSESelectTool::Release(const QPoint& /*at*/) {
    if (!m_dragging) {
        return;
    }
    m_dragging = false;
    if (!m_moved) {
        return;
    }
    // The unit holds the drag's end; the list goes back to the start quietly and the command
    // applies the end, so undo returns to the start in one step.
    const CGSESelection& selection = m_host.Selection();
    VisitSelected(m_scenario, selection, [&](auto& unit) {
        using T = std::decay_t<decltype(unit)>;
        const T changed = unit;
        unit = std::get<T>(m_original);
        PushOwnEditUnit(m_undo, m_scenario, unit, changed,
                        QStringLiteral("Move %1").arg(QString::fromStdString(changed.GetName())));
    });
    m_original = std::monostate{};
    m_moved = false;
}

void CGSESelectTool::Cancel() {
    if (!m_dragging) {
        return;
    }
    m_dragging = false;
    if (m_moved) {
        RestoreOriginal();
    }
    m_original = std::monostate{};
    m_moved = false;
}

void CGSESelectTool::RestoreOriginal() {
    const CGSESelection& selection = m_host.Selection();
    m_host.UnitMoving(selection, false);
    VisitSelected(m_scenario, selection, [&](auto& unit) {
        using T = std::decay_t<decltype(unit)>;
        unit = std::get<T>(m_original);
        NotifyChanged<T>(m_scenario, selection);
    });
    m_host.UnitMoving(selection, true);
}

} // namespace halyx
