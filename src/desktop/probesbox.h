#pragma once

// The Probes box of the simulation control page: load a probe plan, freeze the mission now with
// a chosen question set, and see the answers come in (docs/measures.md).

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace halyx {

class CHalyxCommand;

class CProbesBox : public QGroupBox {
    Q_OBJECT
public:
    CProbesBox(CHalyxCommand& agent, QWidget* parent);
    // Reads a plan; an error is shown in the box and the plan before stays.
    bool LoadPlan(const QString& path);
    bool FreezeNow();

private:
    void Refresh();

    CHalyxCommand& m_agent;
    QLabel* m_plan;
    QComboBox* m_set;
    QPushButton* m_freeze;
    QLabel* m_answers;
    QTimer* m_timer;
};

} // namespace halyx
