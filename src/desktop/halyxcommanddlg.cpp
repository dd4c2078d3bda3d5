#include "desktop/halyxcommanddlg.h"

#include "agent/halyxcommand.h"
#include "common/format.h"
#include "controls/gseselection.h"
#include "controls/settings.h"
#include "controls/unittablemodel.h"
#include "controls/windowplace.h"
#include "desktop/initpagewidget.h"
#include "desktop/scenariocheckdialog.h"
#include "desktop/scenariopage.h"
#include "desktop/studypagewidget.h"
#include "desktop/unitpane.h"
#include "editor/gseframe.h"
#include "editor/gseview.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"
#include "ui/initpage.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace halyx {

CHalyxCommandDlg::CHalyxCommandDlg(CScenario& scenario, CHalyxCommand& agent, CExperimentLog& log,
                                   QWidget* parent)
    : QMainWindow(parent), m_agent(agent),
      m_log(log), m_context{scenario, agent, log, m_undoStack} {
    setObjectName(QStringLiteral("HalyxCommand"));
    setWindowTitle(QString::fromStdString(Format(kTitleTemplate, kVersionMajor, kVersionMinor)) +
                   QStringLiteral("[*]"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_sheet = new QTabWidget(central);
    m_sheet->setObjectName(QString::fromUtf8(kSheetCaption));
    m_sheet->setAccessibleName(QString::fromUtf8(kSheetCaption));
    m_pages = MakePages(m_context, m_sheet);
    for (CPage* page : m_pages) {
        m_sheet->addTab(page, page->Caption());
    }
    m_sheet->setCurrentIndex(0);
    connect(m_sheet, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && static_cast<size_t>(index) < m_pages.size()) {
            m_pages[static_cast<size_t>(index)]->Refresh();
        }
    });
    layout->addWidget(m_sheet, 1);

    m_status = new QLabel(QString::fromUtf8(kInitialStatus), central);
    m_status->setObjectName(QStringLiteral("Status Line"));
    m_status->setFrameShape(QFrame::StyledPanel);
    m_editorToggle = new QPushButton(tr("Launch Scenario Editor"), central);
    m_editorToggle->setObjectName(QStringLiteral("Launch Scenario Editor"));
    m_editorToggle->setCheckable(true);
    m_editorToggle->setToolTip(tr("Opens the graphical scenario editor in a window of its own"));
    connect(m_editorToggle, &QPushButton::toggled, this, &CHalyxCommandDlg::LaunchScenarioEditor);
    auto* shutdown = new QPushButton(tr("Shutdown"), central);
    shutdown->setObjectName(QStringLiteral("Shutdown"));
    connect(shutdown, &QPushButton::clicked, this, &CHalyxCommandDlg::Shutdown);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_editorToggle);
    bottom->addWidget(shutdown);
    layout->addLayout(bottom);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* quit = file->addAction(tr("&Shutdown"), this, &CHalyxCommandDlg::Shutdown);
    quit->setShortcut(QKeySequence::Quit);
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = m_undoStack.createUndoAction(this, tr("&Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo = m_undoStack.createRedoAction(this, tr("&Redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addAction(undo);
    edit->addAction(redo);
    BuildStudyMenu();
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About HalyxCommand..."), this, &CHalyxCommandDlg::ShowAbout);

    connect(&m_undoStack, &QUndoStack::cleanChanged, this,
            [this](bool clean) { setWindowModified(!clean); });

    if (CScenarioPage* scenarioPage = ScenarioPage()) {
        connect(scenarioPage, &CScenarioPage::UnitChosen, this,
                [this](UnitKind kind, int index, const QString& id) {
                    SelectUnit(kind, index, id.toStdString());
                });
        m_saveScenario = [scenarioPage](std::function<void(bool)> then) {
            scenarioPage->Save(std::move(then));
        };
    }
    if (CInitPageWidget* init = InitPage()) {
        init->SetReport([this](const QString& line) { m_status->setText(line); });
    }
    if (CStudyPageWidget* study = StudyPage()) {
        study->SetReport([this](const QString& line) { m_status->setText(line); });
    }
    // Most of the screen it opens on, so that the pages' tables show many rows; never smaller
    // than the size every page is laid out for. A size the user chose is restored below.
    QSize size(1120, 660);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size();
        size = size.expandedTo(QSize(room.width() * 9 / 10, room.height() * 9 / 10));
    }
    resize(size);
    CSettings::TrackGeometry(this, QStringLiteral("MainWindow"));
}

CHalyxCommandDlg::~CHalyxCommandDlg() {
    CloseExperimentLog();
    delete m_editor;
    // The pages hold the context and the undo stack, which are members of this window and would
    // be gone before the base class deletes its children: the pages go first.
    delete m_sheet;
    m_sheet = nullptr;
    m_pages.clear();
}

CInitPageWidget* CHalyxCommandDlg::InitPage() const {
    return m_pages.empty() ? nullptr : dynamic_cast<CInitPageWidget*>(m_pages.front());
}

CScenarioPage* CHalyxCommandDlg::ScenarioPage() const {
    for (CPage* page : m_pages) {
        if (auto* scenarioPage = dynamic_cast<CScenarioPage*>(page)) {
            return scenarioPage;
        }
    }
    return nullptr;
}

CStudyPageWidget* CHalyxCommandDlg::StudyPage() const {
    for (CPage* page : m_pages) {
        if (auto* study = dynamic_cast<CStudyPageWidget*>(page)) {
            return study;
        }
    }
    return nullptr;
}

void CHalyxCommandDlg::BuildStudyMenu() {
    CStudyPageWidget* study = StudyPage();
    if (study == nullptr) {
        return;
    }
    QMenu* menu = menuBar()->addMenu(tr("S&tudy"));
    // An application-wide shortcut: the experimenter marks a moment from the Mission Picture
    // or any page without first going to the Study page.
    m_mark = menu->addAction(tr("&Mark..."), study, &CStudyPageWidget::Mark);
    m_mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_mark->setShortcutContext(Qt::ApplicationShortcut);
    addAction(m_mark);
    menu->addSeparator();
    menu->addAction(tr("Make &Plan..."), study, &CStudyPageWidget::MakePlan);
    menu->addAction(tr("&Verify Study"), study, &CStudyPageWidget::VerifyStudy);
    menu->addAction(tr("Write Study &Tables..."), study, &CStudyPageWidget::WriteStudyTables);
    menu->addAction(tr("Generate &Balanced Scenarios..."), study,
                    &CStudyPageWidget::GenerateBalanced);
    menu->addSeparator();
    QAction* observer = menu->addAction(tr("&Observer Page"));
    observer->setObjectName(QStringLiteral("Observer Page"));
    observer->setCheckable(true);
    observer->setChecked(study->ObserverPageOn());
    connect(observer, &QAction::toggled, study, &CStudyPageWidget::SetObserverPage);
}

void CHalyxCommandDlg::LaunchScenarioEditor(bool on) {
    if (!on) {
        if (m_editor) {
            m_editor->close();
        }
        return;
    }
    if (m_editor) {
        m_editor->raise();
        return;
    }
    // A fresh frame each time the toggle is turned on; it deletes itself when closed.
    m_editor = new CGSEFrame(m_context.scenario, m_undoStack);
    if (!m_editor->GeometryRestored()) {
        PlaceWindow(m_editor, this);
    }
    if (CScenarioPage* page = ScenarioPage()) {
        CGSEScenarioHooks hooks;
        hooks.load = [page] { page->Load(); };
        hooks.loadPath = [page](const std::string& path) {
            page->Load(QString::fromStdString(path));
        };
        hooks.save = [page](const std::string& folder, const std::string& title) {
            page->SaveAs(QString::fromStdString(folder + title + ".hsf"));
        };
        m_editor->SetScenarioHooks(hooks);
    }
    connect(m_editor, &QObject::destroyed, this, [this] {
        const QSignalBlocker block(m_editorToggle);
        m_editorToggle->setChecked(false);
    });
    m_editor->show();
    m_editor->LoadGlobalMap();
}

void CHalyxCommandDlg::ShowAbout() {
    QMessageBox::about(this, tr("About HalyxCommand"),
                       tr("HalyxCommand Version 1.0\n\nThe experimenter's console of the Halyx "
                          "range-safety team simulation."));
}

void CHalyxCommandDlg::Shutdown() {
    close();
}

void CHalyxCommandDlg::ForceShutdown() {
    m_force = true;
    close();
    // A termination signal ends the program even while a dialog's own event loop runs.
    QCoreApplication::exit(0);
}

CGSEFrame* CHalyxCommandDlg::Editor() const {
    return m_editor;
}

void CHalyxCommandDlg::closeEvent(QCloseEvent* event) {
    // A running mission is not ended by a stray click on the window's close button.
    const bool answered = std::exchange(m_closeAnswered, false);
    if (CInitPageWidget* init = InitPage(); init && !m_force && !answered) {
        // The window cannot go from under a name-server call that is waiting: the wait ends
        // now and the experimenter closes again.
        if (init->Busy()) {
            init->CancelWait();
            event->ignore();
            return;
        }
        const std::string question = init->Presenter().CloseQuestion();
        if (!question.empty() &&
            QMessageBox::question(
                this, windowTitle().remove(QStringLiteral("[*]")), QString::fromStdString(question),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    if (!m_force && !answered && !m_undoStack.isClean()) {
        const auto answer = QMessageBox::question(
            this, windowTitle().remove(QStringLiteral("[*]")), QString::fromUtf8(kUnsavedQuestion),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Yes && m_saveScenario) {
            // The save runs in the background; the window closes when it went through, without
            // asking again.
            event->ignore();
            m_saveScenario([window = QPointer<CHalyxCommandDlg>(this)](bool saved) {
                if (!saved || !window) {
                    return;
                }
                // From the event loop: a close from inside this close would be refused.
                QTimer::singleShot(0, window, [window] {
                    window->m_closeAnswered = true;
                    window->close();
                });
            });
            return;
        }
    }
    CloseExperimentLog();
    event->accept();
    // The program ends with this window: the editor (a window of its own) and the windows the
    // pages opened would otherwise keep it running, with its name server and ports.
    if (m_editor) {
        m_editor->close();
    }
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->isWindow() && child->isVisible()) {
            child->close();
        }
    }
}

void CHalyxCommandDlg::CloseExperimentLog() {
    // An experiment still being recorded ends its events section with the team and the file is
    // closed, so that the log loads and plays back: the same close as the headless console's.
    m_agent.CloseExperimentLog();
}

namespace {

template <class T> int CurrentIndex(const CUnitList<T>& list, int index, const std::string& id) {
    if (index >= 0 && index < list.Count() && list.At(index).GetId() == id) {
        return index;
    }
    return list.IndexOfId(id);
}

} // namespace

void CHalyxCommandDlg::SelectUnit(UnitKind kind, int index, const std::string& id) {
    index = VisitUnitKind(kind, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        return CurrentIndex(UnitTraits<T>::List(m_context.scenario), index, id);
    });
    // The page whose table lists units of this kind.
    CUnitPane* pane = nullptr;
    CPage* home = nullptr;
    for (CPage* page : m_pages) {
        for (CUnitPane* candidate : page->findChildren<CUnitPane*>()) {
            if (candidate->Kind() == kind) {
                pane = candidate;
                home = page;
                break;
            }
        }
        if (pane != nullptr) {
            break;
        }
    }
    if (pane == nullptr || index < 0) {
        return;
    }
    m_sheet->setCurrentWidget(home);
    // The table shows its list through a sorting proxy.
    QModelIndex shown = pane->Model()->index(index, 0);
    if (const auto* proxy = qobject_cast<const QSortFilterProxyModel*>(pane->Table()->model())) {
        shown = proxy->mapFromSource(shown);
    }
    if (shown.isValid()) {
        pane->Table()->selectRow(shown.row());
        pane->Table()->scrollTo(shown);
        // The scenario check's window, which asked for the unit, moves off the row it selected.
        if (CScenarioPage* scenarioPage = ScenarioPage();
            scenarioPage && scenarioPage->CheckDialog() &&
            scenarioPage->CheckDialog()->isVisible()) {
            QTableView* table = pane->Table();
            const QRect cell = table->visualRect(table->model()->index(shown.row(), 0));
            const QRect row(table->viewport()->mapToGlobal(QPoint(0, cell.top())),
                            QSize(table->viewport()->width(), cell.height()));
            MoveBeside(scenarioPage->CheckDialog(), row);
        }
    }
    if (m_editor) {
        m_editor->View()->SelectUnit(CGSESelection{kind, index, id});
    }
}

} // namespace halyx
