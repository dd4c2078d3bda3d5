#pragma once

#include "desktop/page.h"
#include "desktop/studytablemodel.h"
#include "ui/studypage.h"

#include <QTimer>

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTableView;

namespace halyx {

class CInitPage;
class CSaveLocation;

// The "Study" page: the widgets over CStudyPage. Open Plan..., the runs as a table, Prepare Next
// Run, Skip Run, Repeat Run, Finish Run and Mark (also the main window's Study menu, Ctrl+M from
// every window). Initialize and Start stay on the simulation control page; the save dialog opens
// with the run's log name. The Study menu's other work (a plan made, a study verified, its
// tables written, balanced scenarios generated) is done here too.
class CStudyPageWidget final : public CPage, public IStudyPageView {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Study";
    // After the mission's end the stations send their statistics; the run's row is written
    // once they have had this long.
    static constexpr int kFinishDelayMs = 3000;
    // The plan last opened, opened again when the console starts.
    static constexpr const char* kLastPlanKey = "Study/LastPlan";

    CStudyPageWidget(CPageContext& context, CInitPage& initPage, QWidget* parent = nullptr);

    QString Caption() const override { return QString::fromUtf8(kCaption); }
    void Refresh() override { ShowPresenter(); }

    CStudyPage& Presenter() { return m_study; }
    // How the scenario of a run is loaded (the Scenarios page's Load); without it the set is
    // loaded straight into the scenario.
    void SetScenarioLoader(std::function<bool(const std::string& path)> loader) {
        m_loader = std::move(loader);
    }
    // Fills the save dialog with the prepared run's log name and folder.
    void ProposeLog(CSaveLocation& where) const;
    bool OpenPlan(const QString& path);
    // Asks for the note and writes the mark into the open log.
    void Mark();
    // Where the page's lines for the window's status line go (a mark made, a tool's result).
    void SetReport(std::function<void(const QString&)> report) { m_report = std::move(report); }
    // Asks for scenarios, teams and stations and writes a counterbalanced plan, then opens it.
    void MakePlan();
    // The open study's manifest checked against its files, and its tables for R or pandas, by
    // halyx-log; balanced scenario batches by halyx-scenario. Each runs in the background.
    void VerifyStudy();
    void WriteStudyTables();
    void GenerateBalanced();
    // The live observer page: on from the console's next start (and now, when the program can).
    bool ObserverPageOn() const;
    void SetObserverPage(bool on);
    // Starts the observer page in this run of the program; answers the line to show.
    void SetObserverStarter(std::function<std::string()> start) {
        m_observerStarter = std::move(start);
    }
    // The message line under the table (the last thing the page said).
    QString Message() const;

    // IStudyPageView
    bool LoadStudyScenario(const std::string& hsfPath, std::string& error) override;
    void ShowStudyMessage(const std::string& text) override;
    void StudyChanged() override { ShowPresenter(); }

private:
    void ShowPresenter();
    int SelectedRun() const;
    bool SelectedIsSuperseded() const;
    void Report(const QString& line);
    bool AskYesNo(const std::string& question);
    // Runs a program of this installation with args; its output is shown when it ends.
    void RunTool(const QString& program, const QStringList& args, const QString& title);

    CPageContext& m_context;
    CStudyPage m_study;
    CStudyTableModel m_model;
    std::function<bool(const std::string&)> m_loader;
    std::function<void(const QString&)> m_report;
    std::function<std::string()> m_observerStarter;
    QTimer m_follow;
    QTimer m_finish;
    QLabel* m_plan = nullptr;
    QLabel* m_message = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_prepare = nullptr;
    QPushButton* m_skip = nullptr;
    QPushButton* m_repeat = nullptr;
    QPushButton* m_finishRun = nullptr;
    QPushButton* m_mark = nullptr;
};

} // namespace halyx
