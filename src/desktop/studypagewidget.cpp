#include "desktop/studypagewidget.h"

#include "agent/halyxcommand.h"
#include "controls/filedialogs.h"
#include "controls/generatescenariodlg.h"
#include "controls/settings.h"
#include "record/experimentlog.h"
#include "record/savelocation.h"
#include "scenario/scenariofileset.h"
#include "study/assign.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include <fstream>

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
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room for two lines whether or not there is a message: the buttons above stay put.
    m_message->setMinimumHeight(m_message->fontMetrics().lineSpacing() * 2 + 4);
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
        const int row = SelectedRun();
        if (row >= 0 && AskYesNo(m_study.SkipQuestion(static_cast<size_t>(row)))) {
            m_study.Skip(static_cast<size_t>(row));
        }
    });
    connect(m_repeat, &QPushButton::clicked, this, [this] {
        if (const int row = SelectedRun(); row >= 0) {
            m_study.Repeat(static_cast<size_t>(row));
        }
    });
    connect(m_finishRun, &QPushButton::clicked, this, [this] {
        const std::string question = m_study.FinishQuestion();
        if (question.empty() || AskYesNo(question)) {
            m_study.FinishRun();
        }
    });
    connect(m_mark, &QPushButton::clicked, this, [this] { Mark(); });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowPresenter(); });

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
        Report(m_message->text());
        return;
    }
    const int clock = m_context.agent.Minute();
    QInputDialog dialog(window());
    dialog.setObjectName(QStringLiteral("Mark"));
    dialog.setWindowTitle(tr("Mark"));
    dialog.setLabelText(tr("Note for minute %1:").arg(clock));
    // A note is a sentence or two: the box shows one whole.
    dialog.resize(std::max(dialog.sizeHint().width(), fontMetrics().averageCharWidth() * 70),
                  dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString note = dialog.textValue();
    if (m_context.log.LogMark(clock, note.toStdString())) {
        ShowStudyMessage("Marked minute " + std::to_string(clock) + ": " + note.toStdString());
        Report(m_message->text());
    }
}

void CStudyPageWidget::Report(const QString& line) {
    if (m_report) {
        m_report(line);
    }
}

bool CStudyPageWidget::AskYesNo(const std::string& question) {
    if (question.empty()) {
        return false;
    }
    return QMessageBox::question(this, Caption(), QString::fromStdString(question),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void CStudyPageWidget::MakePlan() {
    const QStringList scenarios = QFileDialog::getOpenFileNames(
        this, tr("Scenarios of the Study"), QString(), tr("Halyx scenarios (*.hsf)"));
    if (scenarios.isEmpty()) {
        return;
    }
    bool ok = false;
    const int teams =
        QInputDialog::getInt(this, tr("Make Plan"), tr("Number of teams:"), 2, 1, 999, 1, &ok);
    if (!ok) {
        return;
    }
    const QString stations =
        QInputDialog::getText(this, tr("Make Plan"), tr("Stations of every team, in order:"),
                              QLineEdit::Normal, QStringLiteral("ALPHA BRAVO CHARLIE"), &ok);
    if (!ok) {
        return;
    }
    CFileRequest request;
    request.mode = CFileRequest::Mode::Save;
    request.title = tr("Save Study Plan");
    request.filter = tr("Study plans (*.csv)");
    request.defaultSuffix = QStringLiteral("csv");
    const QString path = ChooseFile(this, QStringLiteral("StudyPlan"), request);
    if (path.isEmpty()) {
        return;
    }
    const std::string folder = QFileInfo(path).absolutePath().toStdString() + "/";
    std::vector<std::string> relative;
    for (const QString& scenario : scenarios) {
        relative.push_back(PathFromFolder(scenario.toStdString(), folder));
    }
    std::vector<CPlanRow> rows = AssignScenarios(teams, relative);
    const QString names =
        stations.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)
            .join(QLatin1Char(' '));
    for (CPlanRow& row : rows) {
        row.stations = names.toStdString();
    }
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << PlanCsv(rows);
    out.close();
    if (!out) {
        ShowStudyMessage("The plan was not written: cannot write " + path.toStdString());
        return;
    }
    OpenPlan(path);
}

void CStudyPageWidget::RunTool(const QString& program, const QStringList& args,
                               const QString& title) {
    QString path = QCoreApplication::applicationDirPath() + QLatin1Char('/') + program;
    if (!QFileInfo(path).isExecutable()) {
        path = QStandardPaths::findExecutable(program);
    }
    if (path.isEmpty()) {
        ShowStudyMessage(program.toStdString() + " is not installed beside the console.");
        return;
    }
    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::finished, this, [this, process, title](int status) {
        const QString output = QString::fromUtf8(process->readAll()).trimmed();
        process->deleteLater();
        const QString last = output.section(QLatin1Char('\n'), -1);
        ShowStudyMessage((title + QStringLiteral(": ") + last).toStdString());
        Report(m_message->text());
        QMessageBox box(status == 0 ? QMessageBox::Information : QMessageBox::Warning, title,
                        output.isEmpty() ? tr("Done.") : output.left(4000), QMessageBox::Ok, this);
        box.exec();
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, title](QProcess::ProcessError) {
                if (process->state() == QProcess::NotRunning) {
                    ShowStudyMessage(
                        (title + QStringLiteral(": ") + process->errorString()).toStdString());
                    process->deleteLater();
                }
            });
    ShowStudyMessage((title + QStringLiteral(": running...")).toStdString());
    process->start(path, args);
}

void CStudyPageWidget::VerifyStudy() {
    if (!m_study.Study().IsOpen()) {
        ShowStudyMessage(CStudyPage::kNoPlan);
        return;
    }
    RunTool(QStringLiteral("halyx-log"),
            {QStringLiteral("verify"), QString::fromStdString(m_study.Study().Plan().Folder())},
            tr("Verify Study"));
}

void CStudyPageWidget::WriteStudyTables() {
    if (!m_study.Study().IsOpen()) {
        ShowStudyMessage(CStudyPage::kNoPlan);
        return;
    }
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = tr("Folder for the Study's Tables");
    request.startFolder = QString::fromStdString(m_study.Study().Plan().Folder());
    const QString folder = ChooseFile(this, QStringLiteral("StudyTables"), request);
    if (folder.isEmpty()) {
        return;
    }
    RunTool(QStringLiteral("halyx-log"),
            {QStringLiteral("csv"), QString::fromStdString(m_study.Study().Plan().Folder()),
             QStringLiteral("-o"), folder},
            tr("Write Study Tables"));
}

void CStudyPageWidget::GenerateBalanced() {
    CGenerateScenarioDlg dialog(this);
    dialog.setWindowTitle(tr("Generate Balanced Scenarios"));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    bool ok = false;
    const double tolerance = QInputDialog::getDouble(
        this, tr("Generate Balanced Scenarios"),
        tr("Tolerance of the balanced metrics (0.2: within 20 % of the first scenario's):"), 0.2,
        0.0, 10.0, 2, &ok);
    if (!ok) {
        return;
    }
    const CBatchOptions options = dialog.Options();
    RunTool(QStringLiteral("halyx-scenario"),
            {QStringLiteral("generate"), QString::number(options.scenarios),
             QStringLiteral("--radars"), QString::number(options.radars),
             QStringLiteral("--interceptors"), QString::number(options.interceptors),
             QStringLiteral("--incursions"), QString::number(options.incursions),
             QStringLiteral("--balanced"), QString::number(tolerance, 'f', 2),
             QString::fromStdString(options.folder)},
            tr("Generate Balanced Scenarios"));
}

bool CStudyPageWidget::ObserverPageOn() const {
    return CSettings::Text(QStringLiteral("Observer/Enabled"), QString()) == QStringLiteral("true");
}

void CStudyPageWidget::SetObserverPage(bool on) {
    CSettings::SetText(QStringLiteral("Observer/Enabled"),
                       on ? QStringLiteral("true") : QStringLiteral("false"));
    std::string line = on ? "The observer page is served from the console's next start."
                          : "The observer page is off from the console's next start.";
    if (on && m_observerStarter) {
        line = m_observerStarter();
    }
    ShowStudyMessage(line);
    Report(m_message->text());
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
    if (rows.isEmpty() || rows.front().row() >= static_cast<int>(m_model.Rows().size())) {
        return -1;
    }
    return static_cast<int>(m_model.Rows()[static_cast<size_t>(rows.front().row())].runIndex);
}

bool CStudyPageWidget::SelectedIsSuperseded() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return !rows.isEmpty() && rows.front().row() < static_cast<int>(m_model.Rows().size()) &&
           m_model.Rows()[static_cast<size_t>(rows.front().row())].superseded;
}

void CStudyPageWidget::ShowPresenter() {
    m_model.SetRows(m_study.Rows());
    m_table->resizeColumnsToContents();
    const int selected = SelectedIsSuperseded() ? -1 : SelectedRun();
    const bool open = m_study.Study().IsOpen();
    const bool running = m_study.Study().Running().has_value();
    m_prepare->setEnabled(open && !running && m_study.Study().NextPending().has_value());
    const std::string state =
        selected >= 0 && static_cast<size_t>(selected) < m_study.Study().Status().size()
            ? StudyRunStateText(m_study.Study().Status()[static_cast<size_t>(selected)].state)
            : "";
    m_skip->setEnabled(open && (state == "pending"));
    m_repeat->setEnabled(open && (state == "done" || state == "failed" || state == "skipped"));
    m_finishRun->setEnabled(running);
    m_mark->setEnabled(m_context.log.IsOpen());
}

} // namespace halyx
