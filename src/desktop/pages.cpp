#include "desktop/agentcommpagewidget.h"
#include "desktop/commpagewidget.h"
#include "desktop/geographypage.h"
#include "desktop/initpagewidget.h"
#include "desktop/page.h"
#include "desktop/scenariopage.h"
#include "desktop/unitpages.h"
#include "desktop/weatherpage.h"

namespace halyx {

std::vector<CPage*> MakePages(CPageContext& context, QWidget* parent) {
    auto* init = new CInitPageWidget(context, parent);
    auto* agentComm = new CAgentCommPageWidget(context, parent);
    auto* comm = new CCommPageWidget(context, parent);
    // A replay's chat is shown by the minute the simulation control page plays.
    init->Presenter().SetCommPage(&comm->Presenter());
    return {
        init,
        new CScenarioPage(context, parent),
        agentComm,
        comm,
        new CWeatherPage(context, parent),
        new CIncursionsPage(context, parent),
        new CInterceptorsPage(context, parent),
        new CGeographyPage(context, parent),
    };
}

} // namespace halyx
