#pragma once

#include <QString>
#include <QTreeView>

#include <functional>

class QAction;
class QMenu;
class QStandardItemModel;

namespace halyx {

inline constexpr const char* kLoadScenarioQuestion =
    "Changes made to the current scenario will be lost if the current scenario is not saved.\n"
    "Are you sure you want to load a scenario?";

// The editor's list of generated scenarios: one root entry per scenario file, the one loaded
// last in bold. A right click offers "Load Scenario" for the entry under the pointer.
class CGSETreeView : public QTreeView {
    Q_OBJECT
public:
    explicit CGSETreeView(QWidget* parent = nullptr);

    // Appends a root entry; value is kept with it.
    void AddTreeEntry(const QString& text, qint64 value = 0);
    int EntryCount() const;
    QString EntryText(int row) const;
    bool IsBold(int row) const;

    // Questions go through this (caption, text); tests answer them. Default: a yes/no box.
    void SetAsk(std::function<bool(const QString&, const QString&)> ask) { m_ask = std::move(ask); }
    // Shows the pop-up menu at a global point and answers the chosen item. Default: exec().
    void SetMenuRunner(std::function<QAction*(QMenu&, const QPoint&)> run) {
        m_runMenu = std::move(run);
    }

    // "Load Scenario" on an entry: asks; on yes marks it alone bold and asks for its load.
    void LoadEntry(int row);

signals:
    void LoadRequested(const QString& path);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QStandardItemModel* m_model = nullptr;
    std::function<bool(const QString&, const QString&)> m_ask;
    std::function<QAction*(QMenu&, const QPoint&)> m_runMenu;
};

} // namespace halyx
