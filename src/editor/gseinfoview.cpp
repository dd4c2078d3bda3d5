#include "editor/gseinfoview.h"

#include "common/format.h"
#include "controls/gsegeometry.h"
#include "controls/qstrings.h"
#include "scenario/scenario.h"

#include <QPainter>

namespace halyx {

namespace {

constexpr int kLeft = 10;
constexpr int kTop = 10;
constexpr int kLineStep = 15;

// The pane's lines for each kind: its name, then what the experimenter places and drags.
QStringList LinesOf(const CRadar& radar) {
    return {QStringLiteral("Radar"), ToQString(Format("Name: %s", radar.GetName().c_str())),
            ToQString(Format("Location: %0.0f, %0.0f", radar.GetLatValue(), radar.GetLngValue())),
            ToQString(Format("Range: %s", radar.GetRange().c_str()))};
}

QStringList LinesOf(const CInterceptor& interceptor) {
    return {QStringLiteral("Interceptor"),
            ToQString(Format("Name: %s", interceptor.GetName().c_str())),
            ToQString(Format("Location: %0.0f, %0.0f", interceptor.GetLat(), interceptor.GetLng())),
            ToQString(Format("Speed: %0.0f", interceptor.GetSpeed()))};
}

QStringList LinesOf(const CIncursion& incursion) {
    return {QStringLiteral("Incursion"),
            ToQString(Format("Name: %s", incursion.GetName().c_str())),
            ToQString(
                Format("Location: %0.0f, %0.0f", incursion.GetLatValue(), incursion.GetLngValue())),
            ToQString(Format("Speed: %0.0f", incursion.GetSpeedValue())),
            ToQString(Format("Heading: %s", incursion.GetHeading().c_str())),
            ToQString(Format("Appears at Time: %s", incursion.GetTime().c_str()))};
}

} // namespace

CGSEInfoView::CGSEInfoView(const CScenario& scenario, QWidget* parent)
    : QWidget(parent), m_scenario(scenario) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    // Subscribing needs a non-const scenario; the pane itself never changes it.
    m_subscription = const_cast<CScenario&>(m_scenario).Subscribe([this](ScenarioChange, int) {
        if (!m_selection.Empty()) {
            update();
        }
    });
}

CGSEInfoView::~CGSEInfoView() {
    const_cast<CScenario&>(m_scenario).Unsubscribe(m_subscription);
}

void CGSEInfoView::SetSelection(const CGSESelection& selection) {
    m_selection = selection;
    update();
}

QStringList CGSEInfoView::Lines() const {
    QStringList lines;
    VisitSelected(m_scenario, m_selection, [&](const auto& unit) { lines = LinesOf(unit); });
    return lines;
}

void CGSEInfoView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    int y = kTop;
    for (const QString& line : Lines()) {
        painter.drawText(QRect(kLeft, y, width() - kLeft, kLineStep),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line);
        y += kLineStep;
    }
}

} // namespace halyx
