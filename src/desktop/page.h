#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QUndoStack;

namespace halyx {

class CExperimentLog;
class CHalyxCommand;
class CScenario;

// What every page of the main window may reach. The window owns all of it and outlives the
// pages; a page keeps the references it needs and nothing else.
struct CPageContext {
    CScenario& scenario;
    CHalyxCommand& agent;
    CExperimentLog& log;
    // One stack for every scenario edit (tables, weather cells, geography, editor drags), so
    // that Ctrl+Z undoes the last edit wherever it was made.
    QUndoStack& undoStack;
};

// One page of the "Halyx Control Center". The window treats the nine pages alike: it asks each
// for its caption, shows it in a tab and tells it when the page is about to be shown.
class CPage : public QWidget {
public:
    using QWidget::QWidget;

    virtual QString Caption() const = 0;
    // Re-read the models (called when the page becomes current and after a whole scenario was
    // replaced). Pages that subscribe to the scenario's notifier need not do anything here.
    virtual void Refresh() {}
};

// The nine pages in tab order. Each page is made by its own factory, so that a page is added
// or replaced in one line of pages.cpp without touching the window.
std::vector<CPage*> MakePages(CPageContext& context, QWidget* parent);

} // namespace halyx
