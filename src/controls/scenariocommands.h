#pragma once

#include "external/maplib/impactlines.h"
#include "external/maplib/terrain.h"
#include "external/maplib/trajectory.h"
#include "scenario/geography.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QUndoStack;

namespace halyx {

class CScenario;
class CWeatherMap;

// The three unit kinds, numbered as the unit dialog numbers them.
enum class UnitKind { Interceptor = 1, Incursion = 2, Radar = 3 };

// Undoable edits of a scenario. Every function pushes a command onto the stack only when it
// changes something; the command changes the scenario through its lists, weather map and
// geography, whose notifier tells every table, page and the editor. Nothing here changes the
// scenario without a command, so undo always finds the state its command left.

// --- units ---
void PushAddUnit(QUndoStack& stack, CScenario& scenario, const CIncursion& unit);
void PushAddUnit(QUndoStack& stack, CScenario& scenario, const CRadar& unit);
void PushAddUnit(QUndoStack& stack, CScenario& scenario, const CInterceptor& unit);

// Replaces the unit with changed's ID by changed (nothing when there is none or nothing
// differs). Consecutive edits of the same unit merge into one undo step.
void PushEditUnit(QUndoStack& stack, CScenario& scenario, const CIncursion& changed);
void PushEditUnit(QUndoStack& stack, CScenario& scenario, const CRadar& changed);
void PushEditUnit(QUndoStack& stack, CScenario& scenario, const CInterceptor& changed);

// Removes the units with these IDs (IDs that match nothing are ignored); undo puts each back
// at its old position.
void PushRemoveUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind,
                     const std::vector<std::string>& ids);
void PushRemoveAllUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind);

// Appends a batch (the units Auto Generate made) as one step.
void PushAddUnits(QUndoStack& stack, CScenario& scenario, std::vector<CIncursion> units);
void PushAddUnits(QUndoStack& stack, CScenario& scenario, std::vector<CRadar> units);
void PushAddUnits(QUndoStack& stack, CScenario& scenario, std::vector<CInterceptor> units);

// Replaces the whole list of that kind (a unit file was loaded) as one step.
void PushReplaceUnits(QUndoStack& stack, CScenario& scenario, std::vector<CIncursion> units);
void PushReplaceUnits(QUndoStack& stack, CScenario& scenario, std::vector<CRadar> units);
void PushReplaceUnits(QUndoStack& stack, CScenario& scenario, std::vector<CInterceptor> units);

// Auto Generate: count generated units of the kind appended, one step. Names continue after
// those the list holds. Answers the number added.
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
