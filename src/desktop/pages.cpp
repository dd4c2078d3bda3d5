#include "desktop/agentcommpagewidget.h"
#include "desktop/commpagewidget.h"
#include "desktop/initpagewidget.h"
#include "desktop/page.h"
#include "desktop/placeholderpage.h"

namespace halyx {

std::vector<CPage*> MakePages(CPageContext& context, QWidget* parent) {
    auto* init = new CInitPageWidget(context, parent);
    auto* agentComm = new CAgentCommPageWidget(context, parent);
    auto* comm = new CCommPageWidget(context, parent);
    // The agent's chat reaches the transcript through the simulation control page.
    init->Presenter().SetCommPage(&comm->Presenter());
    return {
        init,
        new CPlaceholderPage(QStringLiteral("Scenarios"), parent),
        agentComm,
        comm,
        new CPlaceholderPage(QStringLiteral("Weather Modelling"), parent),
        new CPlaceholderPage(QStringLiteral("Incursions"), parent),
        new CPlaceholderPage(QStringLiteral("Interceptors"), parent),
        new CPlaceholderPage(QStringLiteral("Geography"), parent),
    };
}

} // namespace halyx
