#pragma once

#include "controls/gseselection.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <QPoint>

#include <variant>

class QUndoStack;

namespace halyx {

class CScenario;
class CWorldMap;

// What a map tool may ask of the view it works in.
class IGSEToolHost {
public:
    virtual ~IGSEToolHost() = default;
    virtual const CGSESelection& Selection() const = 0;
    // The kinds drawn; hidden ones cannot be picked.
    virtual const CGSEDrawOptions& Shown() const = 0;
    // handleGrabbed: the press hit the selected unit's handle.
    virtual void SetSelection(const CGSESelection& selection, bool handleGrabbed) = 0;
    // A unit moved under the tool: repaint what it covered before and covers now.
    virtual void UnitMoving(const CGSESelection& unit, bool finished) = 0;
};

// The left-button tool: a press selects at the point (the selected unit's handle first, then the
// units in hit order); moving with the button held drags the unit, or its speed, heading or range
// handle. The unit follows the pointer live (its list is told of each step, so tables follow);
// the release turns the whole drag into one undoable edit.
class CGSESelectTool {
public:
    CGSESelectTool(CScenario& scenario, QUndoStack& undo, IGSEToolHost& host);

    // Points are content coordinates (window pixels of the whole map).
    void Press(const QPoint& at);
    void Move(const QPoint& at);
    void Release(const QPoint& at);
    // Escape during a drag: the unit goes back to where it was and nothing is recorded.
    void Cancel();

    bool Dragging() const { return m_dragging; }
    bool HandleGrabbed() const { return m_handleGrabbed; }

private:
    const CWorldMap& Map() const;
    void ApplyStep(const QPoint& at);
    void RestoreOriginal();

    CScenario& m_scenario;
    QUndoStack& m_undo;
    IGSEToolHost& m_host;
    bool m_dragging = false;
    bool m_handleGrabbed = false;
    bool m_moved = false;
    std::variant<std::monostate, CRadar, CIncursion, CInterceptor> m_original;
};

} // namespace halyx
