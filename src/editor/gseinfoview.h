#pragma once

#include "controls/gseselection.h"

#include <QStringList>
#include <QWidget>

namespace halyx {

class CScenario;

// The pane under the map: what the selected unit is, one line each 15 pixels apart. It only
// reads the selection that the map view publishes, and follows the unit's values as they change.
class CGSEInfoView : public QWidget {
    Q_OBJECT
public:
    explicit CGSEInfoView(const CScenario& scenario, QWidget* parent = nullptr);
    ~CGSEInfoView() override;

    void SetSelection(const CGSESelection& selection);
    // The lines shown, top to bottom; none without a selection.
    QStringList Lines() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CScenario& m_scenario;
    CGSESelection m_selection;
    int m_subscription = 0;
};

} // namespace halyx
