#pragma once

#include "common/notifier.h"
#include "scenario/unitid.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace halyx {

// What happened to a unit list, for the tables, the map view and the editor that show it.
enum class UnitListChange {
    Added,   // index: the new unit's position (the last one, unless an undo put it back)
    Removed, // index: the position the unit had
    Changed, // index: the unit whose fields an editor changed (reported by that editor)
    Reset,   // the whole list was emptied or refilled; index is -1
};

// Units of one kind, owned, in insertion order. Units are matched by ID. The count is always the
// number of units held.
template <class T> class CUnitList {
public:
    using Observer = CNotifier<UnitListChange, int>::Observer;

    CUnitList() = default;
    CUnitList(const CUnitList&) = delete;
    CUnitList& operator=(const CUnitList&) = delete;

    // Takes ownership of unit and appends it; answers the stored unit.
    T& Add(std::unique_ptr<T> unit) {
        m_units.push_back(std::move(unit));
        Notify(UnitListChange::Added, Count() - 1);
        return *m_units.back();
    }
    T& Add(T unit) { return Add(std::make_unique<T>(std::move(unit))); }

    // Puts unit back at index (clamped to 0-Count), as undoing a removal does; answers it.
    T& Insert(int index, std::unique_ptr<T> unit) {
        index = std::clamp(index, 0, Count());
        T& stored = **m_units.insert(m_units.begin() + index, std::move(unit));
        Notify(UnitListChange::Added, index);
        return stored;
    }

    // Removes (and destroys) the first unit with this ID. False when there is none.
    bool RemoveById(std::string_view id) {
        const int index = IndexOfId(id);
        if (index < 0) {
            return false;
        }
        m_units.erase(m_units.begin() + index);
        Notify(UnitListChange::Removed, index);
        return true;
    }

    void RemoveAll() {
        m_units.clear();
        Notify(UnitListChange::Reset, -1);
    }

    T* FindById(std::string_view id) {
        const int index = IndexOfId(id);
        return index < 0 ? nullptr : m_units[static_cast<size_t>(index)].get();
    }
    const T* FindById(std::string_view id) const {
        const int index = IndexOfId(id);
        return index < 0 ? nullptr : m_units[static_cast<size_t>(index)].get();
    }
    int IndexOfId(std::string_view id) const {
        for (size_t i = 0; i < m_units.size(); ++i) {
            if (m_units[i]->GetId() == id) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    bool IdExists(std::string_view id) const { return IndexOfId(id) >= 0; }
    bool NameExists(std::string_view name) const {
        return std::any_of(m_units.begin(), m_units.end(),
                           [&](const std::unique_ptr<T>& unit) { return unit->GetName() == name; });
    }

    // A fresh ID by the unit ID rule that no unit of this list holds yet.
    std::string NewId() const {
        return MakeUnitId([this](std::string_view id) { return IdExists(id); });
    }

    int Count() const { return static_cast<int>(m_units.size()); }
    bool Empty() const { return m_units.empty(); }
    T& At(int index) { return *m_units.at(static_cast<size_t>(index)); }
    const T& At(int index) const { return *m_units.at(static_cast<size_t>(index)); }
    void Reserve(size_t count) { m_units.reserve(count); }

    // Iteration yields T& (not the owning pointers).
    template <class Base, class Value> class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_const_t<Value>;
        using difference_type = std::ptrdiff_t;
        using pointer = Value*;
        using reference = Value&;
        Iterator() = default;
        explicit Iterator(Base it) : m_it(it) {}
        Value& operator*() const { return **m_it; }
        Value* operator->() const { return m_it->get(); }
        Iterator& operator++() {
            ++m_it;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++m_it;
            return old;
        }
        bool operator==(const Iterator& other) const { return m_it == other.m_it; }

    private:
        Base m_it{};
    };
    using iterator = Iterator<typename std::vector<std::unique_ptr<T>>::iterator, T>;
    using const_iterator =
        Iterator<typename std::vector<std::unique_ptr<T>>::const_iterator, const T>;
    iterator begin() { return iterator(m_units.begin()); }
    iterator end() { return iterator(m_units.end()); }
    const_iterator begin() const { return const_iterator(m_units.begin()); }
    const_iterator end() const { return const_iterator(m_units.end()); }

    // Observers are called after every change; the answer identifies the subscription.
    int Subscribe(Observer observer) { return m_notifier.Subscribe(std::move(observer)); }
    void Unsubscribe(int token) { m_notifier.Unsubscribe(token); }
    // Editors that change a unit's fields in place report it here.
    void NotifyChanged(int index) { Notify(UnitListChange::Changed, index); }
    // Bulk loaders tell observers once, at the end, instead of once per unit.
    void NotifyReset() { Notify(UnitListChange::Reset, -1); }

    // Bulk loading without a notification per unit; the loader calls NotifyReset when done.
    void AddQuietly(std::unique_ptr<T> unit) { m_units.push_back(std::move(unit)); }
    void ClearQuietly() { m_units.clear(); }

private:
    void Notify(UnitListChange change, int index) { m_notifier.Notify(change, index); }

    std::vector<std::unique_ptr<T>> m_units;
    CNotifier<UnitListChange, int> m_notifier;
};

// What a list reader met: units read, and elements among them that lacked an attribute (the
// missing fields are left empty, or 0 for an interceptor's numbers, and the unit is kept).
struct UnitXmlResult {
    int units = 0;
    int incomplete = 0;
};

template <class T> using UnitList = CUnitList<T>;

} // namespace halyx
