#include "desktop/unitpages.h"

#include "controls/settings.h"
#include "desktop/unitpane.h"

#include <QSplitter>
#include <QVBoxLayout>

namespace halyx {

CIncursionsPage::CIncursionsPage(CPageContext& context, QWidget* parent) : CPage(parent) {
    auto* splitter = new QSplitter(Qt::Vertical, this);
    m_radars = new CUnitPane(context, UnitKind::Radar, splitter);
    m_incursions = new CUnitPane(context, UnitKind::Incursion, splitter);
    splitter->addWidget(m_radars);
    splitter->addWidget(m_incursions);
    CSettings::TrackSplitter(splitter, QStringLiteral("IncursionsPage"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
}

CInterceptorsPage::CInterceptorsPage(CPageContext& context, QWidget* parent) : CPage(parent) {
    m_interceptors = new CUnitPane(context, UnitKind::Interceptor, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_interceptors);
}

} // namespace halyx
