#include "desktop/studypagewidget.h"

#include "agent/halyxcommand.h"
#include "controls/filedialogs.h"
#include "controls/settings.h"
#include "record/experimentlog.h"
#include "record/savelocation.h"
#include "scenario/scenariofileset.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace halyx {

namespace {

QPushButton* AddButton(QHBoxLayout* row, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    button->setObjectName(QString::fromUtf8(text));
    row->addWidget(button);
    return button;
}

} // namespace

CStudyPageWidget::CStudyPageWidget(CPageContext& context, CInitPage& initPage, QWidget* parent)
    : CPage(parent), m_context(context), m_study(*this, initPage, context.agent, context.log) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    QPushButton* open = AddButton(top, "Open Plan...");
    m_plan = new QLabel(tr("No study plan is open"));
    m_plan->setObjectName(QStringLiteral("Plan"));
    top->addWidget(m_plan, 1);
    layout->addLayout(top);

    m_model.setParent(this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("Runs"));
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    layout->addWidget(m_table, 1);

    auto* buttons = new QHBoxLayout;
    m_prepare = AddButton(buttons, "Prepare Next Run");
    m_skip = AddButton(buttons, "Skip Run");
    m_repeat = AddButton(buttons, "Repeat Run");
    m_finishRun = AddButton(buttons, "Finish Run");
    m_mark = AddButton(buttons, "Mark...");
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("Message"));
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_message);

    connect(open, &QPushButton::clicked, this, [this] {
        CFileRequest request;
        request.title = tr("Open Study Plan");
        request.filter = tr("Study plans (*.csv)");
        request.defaultSuffix = QStringLiteral("csv");
        const QString path = ChooseFile(this, QStringLiteral("StudyPlan"), request);
        if (!path.isEmpty()) {
            OpenPlan(path);
        }
    });
    connect(m_prepare, &QPushButton::clicked, this, [this] {
        m_message->clear();
        if (m_study.PrepareNext() && m_study.MissingStations().empty()) {
            ShowStudyMessage("Run " + m_study.Study().Plan().Runs()[*m_study.Prepared()].run +
                             " is prepared: Initialize Simulation and Start on the "
                             "Initialization/Registration page.");
        }
    });
    connect(m_skip, &QPushButton::clicked, this, [this] {
        if (const int row = SelectedRun(); row >= 0) {
            m_study.Skip(static_cast<size_t>(row));
        }
    });
    connect(m_repeat, &QPushButton::clicked, this, [this] {
        if (const int row = SelectedRun(); row >= 0) {
            m_study.Repeat(static_cast<size_t>(row));
        }
    });
    connect(m_finishRun, &QPushButton::clicked, this, [this] { m_study.FinishRun(); });
    connect(m_mark, &QPushButton::clicked, this, [this] { Mark(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowPresenter(); });

    // Ctrl+M marks the log wherever the experimenter is in the window.
    auto* mark = new QAction(tr("Mark"), this);
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mark->setShortcutContext(Qt::ApplicationShortcut);
    connect(mark, &QAction::triggered, this, [this] { Mark(); });
    addAction(mark);

    // The control page's state is followed a few times a second: a run starts when its log
    // opens, ends with the mission, and its row is written when its log closes.
    m_follow.setInterval(200);
    connect(&m_follow, &QTimer::timeout, this, [this] {
        m_study.Update();
        if (m_study.RunEnded() && !m_finish.isActive()) {
            m_finish.start();
        }
    });
    m_follow.start();
    m_finish.setSingleShot(true);
    m_finish.setInterval(kFinishDelayMs);
    connect(&m_finish, &QTimer::timeout, this, [this] {
        if (m_study.RunEnded()) {
            m_study.FinishRun();
        }
    });
    // A console started again goes on with the study it had open, as the manifest has it.
    const QString last = CSettings::Text(QString::fromUtf8(kLastPlanKey), QString());
    if (!last.isEmpty() && QFileInfo::exists(last)) {
        OpenPlan(last);
    }
    ShowPresenter();
}

bool CStudyPageWidget::OpenPlan(const QString& path) {
    m_message->clear();
    if (!m_study.Open(path.toStdString())) {
        return false;
    }
    m_plan->setText(path);
    CSettings::SetText(QString::fromUtf8(kLastPlanKey), path);
    return true;
}

void CStudyPageWidget::ProposeLog(CSaveLocation& where) const {
    if (m_study.Prepared()) {
        where.SetName(m_study.ProposedName());
        where.SetLocation(m_study.ProposedFolder());
    }
}

void CStudyPageWidget::Mark() {
    if (!m_context.log.IsOpen()) {
        ShowStudyMessage("No experiment log is open to mark.");
        return;
    }
    const int clock = m_context.agent.Minute();
    bool ok = false;
    const QString note = QInputDialog::getText(
        this, tr("Mark"), tr("Note for minute %1:").arg(clock), QLineEdit::Normal, QString(), &ok);
    if (ok && m_context.log.LogMark(clock, note.toStdString())) {
        ShowStudyMessage("Marked minute " + std::to_string(clock) + ": " + note.toStdString());
    }
}

QString CStudyPageWidget::Message() const {
    return m_message->text();
}

bool CStudyPageWidget::LoadStudyScenario(const std::string& hsfPath, std::string& error) {
    if (m_loader) {
        // The Scenarios page says itself what went wrong.
        const bool loaded = m_loader(hsfPath);
        error = loaded ? std::string() : "see the Scenarios page's message";
        return loaded;
    }
    CScenarioFields fields;
    const CScenarioLoadResult result = LoadScenarioSet(hsfPath, fields, m_context.scenario);
    error = result.error;
    return result.ok;
}

void CStudyPageWidget::ShowStudyMessage(const std::string& text) {
    m_message->setText(QString::fromStdString(text));
}

int CStudyPageWidget::SelectedRun() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CStudyPageWidget::ShowPresenter() {
    const int selected = SelectedRun();
    m_model.SetRows(m_study.Rows());
    m_table->resizeColumnsToContents();
    const bool open = m_study.Study().IsOpen();
    const bool running = m_study.Study().Running().has_value();
    m_prepare->setEnabled(open && !running && m_study.Study().NextPending().has_value());
    const std::string state =
        selected >= 0 && selected < m_model.rowCount()
            ? StudyRunStateText(m_study.Study().Status()[static_cast<size_t>(selected)].state)
            : "";
    m_skip->setEnabled(open && (state == "pending"));
    m_repeat->setEnabled(open && (state == "done" || state == "failed" || state == "skipped"));
    m_finishRun->setEnabled(running);
    m_mark->setEnabled(m_context.log.IsOpen());
}

} // namespace halyx
