#include "desktop/probesbox.h"

#include "agent/halyxcommand.h"
#include "study/probeplan.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace halyx {

CProbesBox::CProbesBox(CHalyxCommand& agent, QWidget* parent)
    : QGroupBox(tr("Probes"), parent), m_agent(agent) {
    setObjectName(QStringLiteral("Probes"));
    auto* box = new QVBoxLayout(this);
    m_plan = new QLabel(tr("No probe plan"), this);
    m_plan->setTextFormat(Qt::PlainText);
    m_plan->setWordWrap(true);
    auto* load = new QPushButton(tr("Load Plan..."), this);
    connect(load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("Probe Plan"), QString(),
                                                          tr("Probe plans (*.csv)"));
        if (!path.isEmpty()) {
            LoadPlan(path);
        }
    });
    m_set = new QComboBox(this);
    m_set->addItem(tr("Built-in questions"));
    m_freeze = new QPushButton(tr("Freeze now"), this);
    m_freeze->setObjectName(QStringLiteral("Freeze Now"));
    connect(m_freeze, &QPushButton::clicked, this, [this] { FreezeNow(); });
    m_answers = new QLabel(this);
    m_answers->setObjectName(QStringLiteral("Probe Answers"));
    box->addWidget(m_plan);
    box->addWidget(load);
    box->addWidget(m_set);
    box->addWidget(m_freeze);
    box->addWidget(m_answers);
    // The answers arrive on the agent's thread, which is this one; a light poll shows them.
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_timer->start(250);
    Refresh();
}

bool CProbesBox::LoadPlan(const QString& path) {
    CProbePlan plan;
    const CProbePlanResult r = plan.Load(path.toStdString());
    if (!r) {
        m_plan->setText(
            QString::fromStdString(r.Describe(QFileInfo(path).fileName().toStdString())));
        return false;
    }
    m_agent.Probes().SetPlan(plan);
    m_plan->setText(tr("%1: %2 probes, rating every %3 min%4")
                        .arg(QFileInfo(path).fileName())
                        .arg(plan.Probes().size())
                        .arg(plan.RatingEvery())
                        .arg(plan.Questionnaire() ? tr(", questionnaire") : QString()));
    m_set->clear();
    m_set->addItem(tr("Built-in questions"));
    for (const CProbe& probe : plan.Probes()) {
        m_set->addItem(QString::fromStdString(probe.id));
    }
    return true;
}

bool CProbesBox::FreezeNow() {
    const int minute = std::max(0, m_agent.Clock() - 1);
    CProbe probe = DefaultFreeze(minute);
    if (m_set->currentIndex() > 0) {
        if (const CProbe* set = m_agent.Probes().Plan().Find(m_set->currentText().toStdString())) {
            probe = *set;
        }
    }
    const bool ok = m_agent.FreezeNow(probe);
    Refresh();
    return ok;
}

void CProbesBox::Refresh() {
    const CProbeRunner::Progress p = m_agent.Probes().FreezeProgress();
    m_freeze->setEnabled(m_agent.Started() && p.probe.empty());
    QString text = tr("Answers recorded: %1").arg(m_agent.Probes().AnswersRecorded());
    if (!p.probe.empty()) {
        text += tr("\nFrozen (%1): %2 of %3 seats answered")
                    .arg(QString::fromStdString(p.probe))
                    .arg(p.answered)
                    .arg(p.seats);
    }
    if (m_answers->text() != text) {
        m_answers->setText(text);
    }
}

} // namespace halyx
