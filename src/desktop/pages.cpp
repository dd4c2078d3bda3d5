#include "desktop/agentcommpagewidget.h"
#include "desktop/commpagewidget.h"
#include "desktop/geographypage.h"
#include "desktop/initpagewidget.h"
#include "desktop/page.h"
#include "desktop/scenariopage.h"
#include "desktop/studypagewidget.h"
#include "desktop/unitpages.h"
#include "desktop/weatherpage.h"

namespace halyx {

std::vector<CPage*> MakePages(CPageContext& context, QWidget* parent) {
    auto* init = new CInitPageWidget(context, parent);
    auto* agentComm = new CAgentCommPageWidget(context, parent);
    auto* comm = new CCommPageWidget(context, parent);
    // A replay's chat is shown by the minute the simulation control page plays.
    init->Presenter().SetCommPage(&comm->Presenter());
    auto* scenarios = new CScenarioPage(context, parent);
    // The Study page prepares runs on the control page: it loads the run's scenario as the
    // Scenarios page does and proposes the log's name in the save dialog.
    auto* study = new CStudyPageWidget(context, init->Presenter(), parent);
    study->SetScenarioLoader([scenarios](const std::string& path) {
        return scenarios->LoadAtOnce(QString::fromStdString(path));
    });
    init->SetLogProposal([study](CSaveLocation& where) { study->ProposeLog(where); });
    return {
        init,
        scenarios,
        agentComm,
        comm,
        new CWeatherPage(context, parent),
        new CIncursionsPage(context, parent),
        new CInterceptorsPage(context, parent),
        new CGeographyPage(context, parent),
        study,
    };
}

} // namespace halyx
