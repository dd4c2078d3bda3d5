#include "controls/scenariocommands.h"

#include "scenario/scenario.h"
#include "scenario/weathermap.h"

#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

namespace halyx {
namespace {

// Unit edits merge by their kind's id (UnitTraits::kEditId); map address edits by this one.
constexpr int kMapAddressesId = 7010;

// Above this many units a list is rebuilt with one reset instead of one event per unit: a
// table told of ten thousand single removals would redraw ten thousand times.
constexpr size_t kSingleEventLimit = 64;

template <class T> QString Noun() {
    return QLatin1String(UnitTraits<T>::kNoun);
}
template <class T> QString Plural() {
    return QLatin1String(UnitTraits<T>::kPlural);
}

template <class T> std::vector<T> CopyOut(const CUnitList<T>& list) {
    std::vector<T> units;
    units.reserve(static_cast<size_t>(list.Count()));
    for (const T& unit : list) {
        units.push_back(unit);
    }
    return units;
}

// Makes the list hold exactly units, telling observers once.
template <class T> void SetUnits(CUnitList<T>& list, const std::vector<T>& units) {
    list.ClearQuietly();
    list.Reserve(units.size());
    for (const T& unit : units) {
        list.AddQuietly(std::make_unique<T>(unit));
    }
    list.NotifyReset();
}

template <class T> class CAddUnitsCommand : public QUndoCommand {
public:
    CAddUnitsCommand(CScenario& scenario, std::vector<T> units, const QString& text)
        : QUndoCommand(text), m_scenario(scenario), m_units(std::move(units)) {}

    void redo() override {
        CUnitList<T>& list = UnitTraits<T>::List(m_scenario);
        if (m_units.size() <= kSingleEventLimit) {
            for (const T& unit : m_units) {
                list.Add(std::make_unique<T>(unit));
            }
            return;
        }
        std::vector<T> all = CopyOut(list);
        all.insert(all.end(), m_units.begin(), m_units.end());
        SetUnits(list, all);
    }

    void undo() override {
        CUnitList<T>& list = UnitTraits<T>::List(m_scenario);
        if (m_units.size() <= kSingleEventLimit) {
            for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) {
                list.RemoveById(it->GetId());
            }
            return;
        }
        // The batch was appended last and everything after it was undone first, so it is the
        // list's tail.
        std::vector<T> all = CopyOut(list);
        all.resize(all.size() - std::min(all.size(), m_units.size()));
        SetUnits(list, all);
    }

private:
    CScenario& m_scenario;
    std::vector<T> m_units;
};

template <class T> class CEditUnitCommand : public QUndoCommand {
public:
    CEditUnitCommand(CScenario& scenario, T before, T after)
        : QUndoCommand(
              QStringLiteral("Edit %1 %2").arg(Noun<T>(), QString::fromStdString(after.GetName()))),
          m_scenario(scenario), m_before(std::move(before)), m_after(std::move(after)) {}

    void redo() override { Apply(m_after); }
    void undo() override { Apply(m_before); }
    int id() const override { return UnitTraits<T>::kEditId; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* edit = static_cast<const CEditUnitCommand*>(other);
        if (edit->m_after.GetId() != m_after.GetId()) {
            return false;
        }
        m_after = edit->m_after;
        setText(edit->text());
        return true;
    }

private:
    void Apply(const T& value) {
        CUnitList<T>& list = UnitTraits<T>::List(m_scenario);
        const int index = list.IndexOfId(value.GetId());
        if (index < 0) {
            return;
        }
        list.At(index) = value;
        list.NotifyChanged(index);
    }

    CScenario& m_scenario;
    T m_before;
    T m_after;
};

template <class T> class CRemoveUnitsCommand : public QUndoCommand {
public:
    // removed: the units with their positions, in ascending position.
    CRemoveUnitsCommand(CScenario& scenario, std::vector<std::pair<int, T>> removed,
                        const QString& text)
        : QUndoCommand(text), m_scenario(scenario), m_removed(std::move(removed)) {}

    void redo() override {
        CUnitList<T>& list = UnitTraits<T>::List(m_scenario);
        if (m_removed.size() <= kSingleEventLimit) {
            for (auto it = m_removed.rbegin(); it != m_removed.rend(); ++it) {
                list.RemoveById(it->second.GetId());
            }
            return;
        }
        if (static_cast<int>(m_removed.size()) == list.Count()) {
            list.RemoveAll();
            return;
        }
        std::vector<T> kept;
        kept.reserve(static_cast<size_t>(list.Count()));
        size_t next = 0;
        for (int i = 0; i < list.Count(); ++i) {
            if (next < m_removed.size() && m_removed[next].first == i) {
                ++next;
                continue;
            }
            kept.push_back(list.At(i));
        }
        SetUnits(list, kept);
    }

    void undo() override {
        CUnitList<T>& list = UnitTraits<T>::List(m_scenario);
        if (m_removed.size() <= kSingleEventLimit) {
            // Ascending order: each unit goes back where it was, the ones before it being
            // back already.
            for (const auto& [index, unit] : m_removed) {
                list.Insert(index, std::make_unique<T>(unit));
            }
            return;
        }
        std::vector<T> kept = CopyOut(list);
        std::vector<T> all;
        all.reserve(kept.size() + m_removed.size());
        size_t next = 0;
        size_t keptIndex = 0;
        while (next < m_removed.size() || keptIndex < kept.size()) {
            if (next < m_removed.size() && (m_removed[next].first == static_cast<int>(all.size()) ||
                                            keptIndex == kept.size())) {
                all.push_back(m_removed[next++].second);
            } else {
                all.push_back(kept[keptIndex++]);
            }
        }
        SetUnits(list, all);
    }

private:
    CScenario& m_scenario;
    std::vector<std::pair<int, T>> m_removed;
};

template <class T> class CReplaceUnitsCommand : public QUndoCommand {
public:
    CReplaceUnitsCommand(CScenario& scenario, std::vector<T> before, std::vector<T> after,
                         const QString& text)
        : QUndoCommand(text), m_scenario(scenario), m_before(std::move(before)),
          m_after(std::move(after)) {}

    void redo() override { SetUnits(UnitTraits<T>::List(m_scenario), m_after); }
    void undo() override { SetUnits(UnitTraits<T>::List(m_scenario), m_before); }

private:
    CScenario& m_scenario;
    std::vector<T> m_before;
    std::vector<T> m_after;
};

template <class T> std::vector<std::string> AllIds(const CUnitList<T>& list) {
    std::vector<std::string> ids;
    ids.reserve(static_cast<size_t>(list.Count()));
    for (const T& unit : list) {
        ids.push_back(unit.GetId());
    }
    return ids;
}

class CWeatherCellCommand : public QUndoCommand {
public:
    CWeatherCellCommand(CScenario& scenario, int64_t slot, std::optional<CWeatherData> before,
                        CWeatherData after)
        : QUndoCommand(QStringLiteral("Edit weather cell")), m_scenario(scenario), m_slot(slot),
          m_before(std::move(before)), m_after(after) {}

    void redo() override {
        m_scenario.Weather().ReplaceCell(m_slot, std::make_unique<CWeatherData>(m_after));
    }
    void undo() override {
        m_scenario.Weather().ReplaceCell(
            m_slot, m_before ? std::make_unique<CWeatherData>(*m_before) : nullptr);
    }

private:
    CScenario& m_scenario;
    int64_t m_slot;
    std::optional<CWeatherData> m_before;
    CWeatherData m_after;
};

class CWeatherSnapshotCommand : public QUndoCommand {
public:
    CWeatherSnapshotCommand(CScenario& scenario, std::vector<uint8_t> before,
                            std::vector<uint8_t> after, const QString& text)
        : QUndoCommand(text), m_scenario(scenario), m_before(std::move(before)),
          m_after(std::move(after)) {}

    void redo() override {
        // The first redo comes from push(): the map already holds the new state.
        if (m_done) {
            m_done = false;
            return;
        }
        ReadWeatherFileBytes(m_after, m_scenario.Weather());
    }
    void undo() override { ReadWeatherFileBytes(m_before, m_scenario.Weather()); }

private:
    CScenario& m_scenario;
    std::vector<uint8_t> m_before;
    std::vector<uint8_t> m_after;
    bool m_done = true;
};

// One geography part as a value: Get reads it, Set writes it through the geography (which
// notifies).
template <class V> class CGeographyCommand : public QUndoCommand {
public:
    using Setter = void (*)(CGeography&, const V&);
    CGeographyCommand(CScenario& scenario, V before, V after, Setter set, const QString& text)
        : QUndoCommand(text), m_scenario(scenario), m_before(std::move(before)),
          m_after(std::move(after)), m_set(set) {}

    void redo() override { m_set(m_scenario.Geography(), m_after); }
    void undo() override { m_set(m_scenario.Geography(), m_before); }

private:
    CScenario& m_scenario;
    V m_before;
    V m_after;
    Setter m_set;
};

// Typing an address changes it a character at a time; the characters of consecutive address
// edits make one undo step.
class CMapAddressesCommand : public QUndoCommand {
public:
    using Urls = std::array<std::string, CGeography::kMapCount>;
    CMapAddressesCommand(CScenario& scenario, Urls before, Urls after)
        : QUndoCommand(QStringLiteral("Edit map addresses")), m_scenario(scenario),
          m_before(std::move(before)), m_after(std::move(after)) {}

    void redo() override { m_scenario.Geography().SetMapURLs(m_after); }
    void undo() override { m_scenario.Geography().SetMapURLs(m_before); }
    int id() const override { return kMapAddressesId; }
    bool mergeWith(const QUndoCommand* other) override {
        m_after = static_cast<const CMapAddressesCommand*>(other)->m_after;
        return true;
    }

private:
    CScenario& m_scenario;
    Urls m_before;
    Urls m_after;
};

void SetTerrainTable(CGeography& geography, const CTerrainTable& table) {
    geography.ClearTerrain();
    for (const auto& entry : table) {
        geography.SetTerrain(entry.second);
    }
}

} // namespace

template <class T>
void CUnitCommands<T>::Add(QUndoStack& stack, CScenario& scenario, const T& unit) {
    stack.push(new CAddUnitsCommand<T>(
        scenario, std::vector<T>{unit},
        QStringLiteral("Add %1 %2").arg(Noun<T>(), QString::fromStdString(unit.GetName()))));
}

template <class T>
void CUnitCommands<T>::Edit(QUndoStack& stack, CScenario& scenario, const T& changed) {
    CUnitList<T>& list = UnitTraits<T>::List(scenario);
    const T* current = list.FindById(changed.GetId());
    if (current == nullptr || *current == changed) {
        return;
    }
    stack.push(new CEditUnitCommand<T>(scenario, *current, changed));
}

template <class T>
void CUnitCommands<T>::Remove(QUndoStack& stack, CScenario& scenario,
                              const std::vector<std::string>& ids) {
    CUnitList<T>& list = UnitTraits<T>::List(scenario);
    std::vector<std::pair<int, T>> removed;
    if (ids.size() == static_cast<size_t>(list.Count()) || ids.size() > kSingleEventLimit) {
        // One pass over the list instead of one search per ID.
        std::vector<std::string> sorted(ids);
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < list.Count(); ++i) {
            if (std::binary_search(sorted.begin(), sorted.end(), list.At(i).GetId())) {
                removed.emplace_back(i, list.At(i));
            }
        }
    } else {
        for (const std::string& id : ids) {
            const int index = list.IndexOfId(id);
            const bool seen = std::any_of(removed.begin(), removed.end(),
                                          [index](const auto& r) { return r.first == index; });
            if (index >= 0 && !seen) {
                removed.emplace_back(index, list.At(index));
            }
        }
        std::sort(removed.begin(), removed.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    if (removed.empty()) {
        return;
    }
    const QString text =
        removed.size() == 1
            ? QStringLiteral("Remove %1 %2")
                  .arg(Noun<T>(), QString::fromStdString(removed[0].second.GetName()))
            : QStringLiteral("Remove %1 %2").arg(removed.size()).arg(Plural<T>());
    stack.push(new CRemoveUnitsCommand<T>(scenario, std::move(removed), text));
}

template <class T>
void CUnitCommands<T>::AddBatch(QUndoStack& stack, CScenario& scenario, std::vector<T> units) {
    if (units.empty()) {
        return;
    }
    const QString text = QStringLiteral("Add %1 %2").arg(units.size()).arg(Plural<T>());
    stack.push(new CAddUnitsCommand<T>(scenario, std::move(units), text));
}

template <class T>
void CUnitCommands<T>::Replace(QUndoStack& stack, CScenario& scenario, std::vector<T> units) {
    std::vector<T> before = CopyOut(UnitTraits<T>::List(scenario));
    if (before == units) {
        return;
    }
    const QString text = QStringLiteral("Load %1").arg(Plural<T>());
    stack.push(new CReplaceUnitsCommand<T>(scenario, std::move(before), std::move(units), text));
}

// Generates into a copy, so that names and IDs avoid the list's own, then appends the new ones
// through a command.
template <class T>
int CUnitCommands<T>::Generate(QUndoStack& stack, CScenario& scenario, int count) {
    const CUnitList<T>& list = UnitTraits<T>::List(scenario);
    CUnitList<T> scratch;
    CopyUnits(list, scratch);
    UnitTraits<T>::Generate(scratch, count);
    std::vector<T> added;
    for (int i = list.Count(); i < scratch.Count(); ++i) {
        added.push_back(scratch.At(i));
    }
    const int n = static_cast<int>(added.size());
    AddBatch(stack, scenario, std::move(added));
    return n;
}

template struct CUnitCommands<CIncursion>;
template struct CUnitCommands<CRadar>;
template struct CUnitCommands<CInterceptor>;

void PushRemoveUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind,
                     const std::vector<std::string>& ids) {
    VisitUnitKind(kind, [&](auto tag) {
        CUnitCommands<typename decltype(tag)::Type>::Remove(stack, scenario, ids);
    });
}

void PushRemoveAllUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind) {
    VisitUnitKind(kind, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        CUnitCommands<T>::Remove(stack, scenario, AllIds(UnitTraits<T>::List(scenario)));
    });
}

int PushGenerateUnits(QUndoStack& stack, CScenario& scenario, UnitKind kind, int count) {
    return VisitUnitKind(kind, [&](auto tag) {
        return CUnitCommands<typename decltype(tag)::Type>::Generate(stack, scenario, count);
    });
}

bool PushWeatherCellEdit(QUndoStack& stack, CScenario& scenario, int64_t slot, int kind,
                         double value) {
    CWeatherMap& map = scenario.Weather();
    if (slot < 0 || slot >= map.GetCount()) {
        return false;
    }
    std::optional<CWeatherData> before;
    if (const CWeatherData* cell = map.GetCell(slot)) {
        before = *cell;
    }
    CWeatherData after = before.value_or(CWeatherData());
    after.SetValue(kind, value);
    if (before && *before == after) {
        return true;
    }
    stack.push(new CWeatherCellCommand(scenario, slot, std::move(before), after));
    return true;
}

void PushWeatherChange(QUndoStack& stack, CScenario& scenario, const QString& text,
                       const std::function<void(CWeatherMap&)>& work) {
    std::vector<uint8_t> before = WeatherFileBytes(scenario.Weather());
    work(scenario.Weather());
    std::vector<uint8_t> after = WeatherFileBytes(scenario.Weather());
    if (before == after) {
        return;
    }
    stack.push(new CWeatherSnapshotCommand(scenario, std::move(before), std::move(after), text));
}

void PushMapAddresses(QUndoStack& stack, CScenario& scenario,
                      const std::array<std::string, CGeography::kMapCount>& addresses) {
    using Urls = std::array<std::string, CGeography::kMapCount>;
    const Urls& before = scenario.Geography().GetMapURLs();
    if (before == addresses) {
        return;
    }
    stack.push(new CMapAddressesCommand(scenario, before, addresses));
}

void PushTerrain(QUndoStack& stack, CScenario& scenario, const CTerrainTable& terrain) {
    const CTerrainTable& before = scenario.Geography().GetTerrain();
    if (before == terrain) {
        return;
    }
    stack.push(new CGeographyCommand<CTerrainTable>(scenario, before, terrain, SetTerrainTable,
                                                    QStringLiteral("Edit terrain codes")));
}

void PushImpactLines(QUndoStack& stack, CScenario& scenario, const CImpactLines& lines) {
    const CImpactLines& before = scenario.Geography().GetImpactLines();
    if (before == lines) {
        return;
    }
    stack.push(new CGeographyCommand<CImpactLines>(
        scenario, before, lines,
        [](CGeography& g, const CImpactLines& value) { g.SetImpactLines(value); },
        QStringLiteral("Load impact lines")));
}

void PushTrajectory(QUndoStack& stack, CScenario& scenario, const CTrajectory& trajectory) {
    const CTrajectory& before = scenario.Geography().GetTrajectory();
    if (before == trajectory) {
        return;
    }
    stack.push(new CGeographyCommand<CTrajectory>(
        scenario, before, trajectory,
        [](CGeography& g, const CTrajectory& value) { g.SetTrajectory(value); },
        QStringLiteral("Load trajectory")));
}

void PushAsOwnStep(QUndoStack& stack, const QString& text, const std::function<void()>& push) {
    stack.beginMacro(text);
    push();
    stack.endMacro();
}

} // namespace halyx
