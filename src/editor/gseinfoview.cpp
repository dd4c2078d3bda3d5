#include "editor/gseinfoview.h"

#include "common/format.h"
#include "controls/gsegeometry.h"
#include "scenario/scenario.h"

#include <QPainter>

namespace halyx {

namespace {

constexpr int kLeft = 10;
constexpr int kTop = 10;
constexpr int kLineStep = 15;

QString Line(const std::string& text) {
    return QString::fromStdString(text);
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
    if (const CRadar* radar = SelectedRadar(m_scenario, m_selection)) {
        lines << QStringLiteral("Radar") << Line(Format("Name: %s", radar->GetName().c_str()))
              << Line(Format("Location: %0.0f, %0.0f", radar->GetLatValue(), radar->GetLngValue()))
              << Line(Format("Range: %s", radar->GetRange().c_str()));
    } else if (const CInterceptor* interceptor = SelectedInterceptor(m_scenario, m_selection)) {
        lines << QStringLiteral("Interceptor")
              << Line(Format("Name: %s", interceptor->GetName().c_str()))
              << Line(
                     Format("Location: %0.0f, %0.0f", interceptor->GetLat(), interceptor->GetLng()))
              << Line(Format("Speed: %0.0f", interceptor->GetSpeed()));
    } else if (const CIncursion* incursion = SelectedIncursion(m_scenario, m_selection)) {
        lines << QStringLiteral("Incursion")
              << Line(Format("Name: %s", incursion->GetName().c_str()))
              << Line(Format("Location: %0.0f, %0.0f", incursion->GetLatValue(),
                             incursion->GetLngValue()))
              << Line(Format("Speed: %0.0f", incursion->GetSpeedValue()))
              << Line(Format("Heading: %s", incursion->GetHeading().c_str()))
              << Line(Format("Appears at Time: %s", incursion->GetTime().c_str()));
    }
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
