#include "desktop/unitpages.h"

#include "controls/settings.h"
#include "desktop/unitpane.h"
#include "scenario/scenario.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace halyx {

CIncursionsPage::CIncursionsPage(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_radars = new CUnitPane(context, UnitKind::Radar, splitter);
    m_incursions = new CUnitPane(context, UnitKind::Incursion, splitter);
    splitter->addWidget(m_radars);
    splitter->addWidget(m_incursions);
    CSettings::TrackSplitter(splitter, QStringLiteral("IncursionsPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    // The editor draws these units: whoever changed them, it is redrawn.
    m_token = context.scenario.Subscribe([this](ScenarioChange change, int) {
        if (change == ScenarioChange::Incursions || change == ScenarioChange::Radars) {
            m_context.refreshEditor();
        }
    });
}

CIncursionsPage::~CIncursionsPage() {
    m_context.scenario.Unsubscribe(m_token);
}

CInterceptorsPage::CInterceptorsPage(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    m_interceptors = new CUnitPane(context, UnitKind::Interceptor, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_interceptors);
    m_token = context.scenario.Subscribe([this](ScenarioChange change, int) {
        if (change == ScenarioChange::Interceptors) {
            m_context.refreshEditor();
        }
    });
}

CInterceptorsPage::~CInterceptorsPage() {
    m_context.scenario.Unsubscribe(m_token);
}

} // namespace halyx
