#include "editor/gseselecttool.h"

#include "common/format.h"
#include "common/geometry.h"
#include "controls/gsegeometry.h"
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"

#include <QUndoStack>

#include <cmath>

namespace halyx {

namespace {

// The handle's distance from its unit, in map units, as a speed.
double SpeedForDistance(double distance) {
    return std::fabs((distance - kHandleBase) / kHandlePerSpeed);
}

// A drag as its own undo step: the commands merge consecutive edits of one unit (typing in a
// table), but two drags of a unit are two things the user may want to undo apart.
template <class T>
void PushDrag(QUndoStack& undo, CScenario& scenario, const T& before, const T& after) {
    if (before == after) {
        return;
    }
    undo.beginMacro(QStringLiteral("Move %1").arg(QString::fromStdString(after.GetName())));
    PushEditUnit(undo, scenario, after);
    undo.endMacro();
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
    if (const CRadar* radar = SelectedRadar(m_scenario, selection)) {
        m_original = *radar;
    } else if (const CIncursion* incursion = SelectedIncursion(m_scenario, selection)) {
        m_original = *incursion;
    } else if (const CInterceptor* interceptor = SelectedInterceptor(m_scenario, selection)) {
        m_original = *interceptor;
    }
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
    if (CRadar* radar = SelectedRadar(m_scenario, selection)) {
        m_host.UnitMoving(selection, false);
        if (m_handleGrabbed) {
            radar->SetRangeValue(
                std::hypot(pointer.lat - radar->GetLatValue(), pointer.lng - radar->GetLngValue()));
        } else {
            radar->SetLat(lat);
            radar->SetLng(lng);
        }
        m_moved = true;
        m_scenario.Radars().NotifyChanged(selection.index);
    } else if (CIncursion* incursion = SelectedIncursion(m_scenario, selection)) {
        m_host.UnitMoving(selection, false);
        if (m_handleGrabbed) {
            const double uLat = incursion->GetLatValue();
            const double uLng = incursion->GetLngValue();
            incursion->SetSpeedValue(
                SpeedForDistance(std::hypot(pointer.lat - uLat, pointer.lng - uLng)));
            // Headings are kept in degrees everywhere else, so the bearing is stored as degrees.
            incursion->SetHeadingValue(
                RadiansToDegrees(BearingBetween(uLat, uLng, pointer.lat, pointer.lng)));
        } else {
            incursion->SetLat(lat);
            incursion->SetLng(lng);
        }
        m_moved = true;
        m_scenario.Incursions().NotifyChanged(selection.index);
    } else if (CInterceptor* interceptor = SelectedInterceptor(m_scenario, selection)) {
        m_host.UnitMoving(selection, false);
        if (m_handleGrabbed) {
            const double uLat = interceptor->GetLat();
            const double uLng = interceptor->GetLng();
            interceptor->SetSpeedText(Format(
                "%0.3f", SpeedForDistance(std::hypot(pointer.lat - uLat, pointer.lng - uLng))));
            interceptor->SetHeadingText(Format(
                "%0.3f", RadiansToDegrees(BearingBetween(uLat, uLng, pointer.lat, pointer.lng))));
        } else {
            interceptor->SetLatText(lat);
            interceptor->SetLngText(lng);
        }
        m_moved = true;
        m_scenario.Interceptors().NotifyChanged(selection.index);
    } else {
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
    if (CRadar* radar = SelectedRadar(m_scenario, selection)) {
        const CRadar changed = *radar;
        *radar = std::get<CRadar>(m_original);
        PushDrag(m_undo, m_scenario, *radar, changed);
    } else if (CIncursion* incursion = SelectedIncursion(m_scenario, selection)) {
        const CIncursion changed = *incursion;
        *incursion = std::get<CIncursion>(m_original);
        PushDrag(m_undo, m_scenario, *incursion, changed);
    } else if (CInterceptor* interceptor = SelectedInterceptor(m_scenario, selection)) {
        const CInterceptor changed = *interceptor;
        *interceptor = std::get<CInterceptor>(m_original);
        PushDrag(m_undo, m_scenario, *interceptor, changed);
    }
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
    if (CRadar* radar = SelectedRadar(m_scenario, selection)) {
        *radar = std::get<CRadar>(m_original);
        m_scenario.Radars().NotifyChanged(selection.index);
    } else if (CIncursion* incursion = SelectedIncursion(m_scenario, selection)) {
        *incursion = std::get<CIncursion>(m_original);
        m_scenario.Incursions().NotifyChanged(selection.index);
    } else if (CInterceptor* interceptor = SelectedInterceptor(m_scenario, selection)) {
        *interceptor = std::get<CInterceptor>(m_original);
        m_scenario.Interceptors().NotifyChanged(selection.index);
    }
    m_host.UnitMoving(selection, true);
}

} // namespace halyx
