#pragma once

#include "external/maplib/impactlines.h"
#include "external/maplib/terrain.h"
#include "external/maplib/trajectory.h"
#include "scenario/geography.h"
#include "scenario/unitkind.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QUndoStack;

namespace halyx {

class CWeatherMap;

// Undoable edits of a scenario. Every function pushes a command onto the stack only when it
// changes something; the command changes the scenario through its lists, weather map and
// geography, whose notifier tells every table, page and the editor. Nothing here changes the
// scenario without a command, so undo always finds the state its command left.

// --- units ---
// The edits of one kind's list (T is CIncursion, CRadar or CInterceptor).
template <class T> struct CUnitCommands {
    static void Add(QUndoStack& stack, CScenario& scenario, const T& unit);
    // Replaces the unit with changed's ID by changed (nothing when there is none or nothing
    // differs). Consecutive edits of the same unit merge into one undo step.
    static void Edit(QUndoStack& stack, CScenario& scenario, const T& changed);
    // Appends a batch (the units Auto Generate made) as one step.
    static void AddBatch(QUndoStack& stack, CScenario& scenario, std::vector<T> units);
    // Replaces the whole list (a unit file was loaded) as one step.
    static void Replace(QUndoStack& stack, CScenario& scenario, std::vector<T> units);
    // Removes the units with these IDs (IDs that match nothing are ignored); undo puts each
    // back at its old position.
    static void Remove(QUndoStack& stack, CScenario& scenario, const std::vector<std::string>& ids);
    // Auto Generate: count generated units appended, one step. Names continue after those the
    // list holds. Answers the number added.
    static int Generate(QUndoStack& stack, CScenario& scenario, int count);
};
extern template struct CUnitCommands<CIncursion>;
extern template struct CUnitCommands<CRadar>;
extern template struct CUnitCommands<CInterceptor>;

template <class T> void PushAddUnit(QUndoStack& stack, CScenario& scenario, const T& unit) {
    CUnitCommands<T>::Add(stack, scenario, unit);
}
template <class T> void PushEditUnit(QUndoStack& stack, CScenario& scenario, const T& changed) {
    CUnitCommands<T>::Edit(stack, scenario, changed);
}
// Pushes what push pushes as one undo step named text.
void PushAsOwnStep(QUndoStack& stack, const QString& text, const std::function<void()>& push);
// An edit of one unit as an undo step of its own, named text; nothing when nothing changed. The
// commands merge consecutive edits of one unit (typing in a table), but two drags of a unit, or a
// drag and the edit dialog, are things the user may want to undo apart.
template <class T>
void PushOwnEditUnit(QUndoStack& stack, CScenario& scenario, const T& before, const T& after,
                     const QString& text) {
    if (!(before == after)) {
        PushAsOwnStep(stack, text, [&] { PushEditUnit(stack, scenario, after); });
    }
}
template <class T> void PushAddUnits(QUndoStack& stack, CScenario& scenario, std::vector<T> units) {
    CUnitCommands<T>::AddBatch(stack, scenario, std::move(units));
}
template <class T>
void PushReplaceUnits(QUndoStack& stack, CScenario& scenario, std::vector<T> units) {
    CUnitCommands<T>::Replace(stack, scenario, std::move(units));
}
// The same for a kind known at run time (a page or the editor's selection).
void PushRemoveUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind,
                     const std::vector<std::string>& ids);
void PushRemoveAllUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind);
int PushGenerateUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind, int count);

// --- weather ---
// Sets one value kind of the cell at slot; an empty slot first gets a cell with all values 0.
// False when slot lies outside the grid.
bool PushWeatherCellEdit(QUndoStack& stack, CScenario& scenario, int64_t slot, int kind,
                         double value);
// Runs work on the weather map (Update, Load Data) and makes what it changed one step: the grid
// and the reference values before and after are kept. work's exceptions pass through and leave
// the map as work left it, with nothing pushed.
void PushWeatherChange(QUndoStack& stack, CScenario& scenario, const QString& text,
                       const std::function<void(CWeatherMap&)>& work);

// --- geography ---
// Consecutive address edits merge into one undo step.
void PushMapAddresses(QUndoStack& stack, CScenario& scenario,
                      const std::array<std::string, CGeography::kMapCount>& addresses);
void PushTerrain(QUndoStack& stack, CScenario& scenario, const CTerrainTable& terrain);
void PushImpactLines(QUndoStack& stack, CScenario& scenario, const CImpactLines& lines);
void PushTrajectory(QUndoStack& stack, CScenario& scenario, const CTrajectory& trajectory);

} // namespace halyx
