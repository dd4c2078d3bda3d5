#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace halyx {

// The change notification every model offers its views: observers subscribe, get a token back,
// and are called after each change with the model's own description of it.
template <class... Args> class CNotifier {
public:
    using Observer = std::function<void(Args...)>;

    int Subscribe(Observer observer) {
        m_observers.emplace_back(m_nextToken, std::move(observer));
        return m_nextToken++;
    }

    void Unsubscribe(int token) {
        std::erase_if(m_observers, [token](const auto& entry) { return entry.first == token; });
    }

    void Notify(Args... args) const {
        // A copy, so that an observer may unsubscribe itself while being called.
        const auto observers = m_observers;
        for (const auto& entry : observers) {
            entry.second(args...);
        }
    }

private:
    std::vector<std::pair<int, Observer>> m_observers;
    int m_nextToken = 1;
};

} // namespace halyx
