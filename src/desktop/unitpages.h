#pragma once

#include "desktop/page.h"

namespace halyx {

class CUnitPane;

// "Incursions": radars in the upper pane ("Incursion Radar"), incursions in the lower one.
class CIncursionsPage : public CPage {
    Q_OBJECT
public:
    CIncursionsPage(CPageContext& context, QWidget* parent = nullptr);

    QString Caption() const override { return QStringLiteral("Incursions"); }

    CUnitPane* RadarPane() const { return m_radars; }
    CUnitPane* IncursionPane() const { return m_incursions; }

private:
    CUnitPane* m_radars = nullptr;
    CUnitPane* m_incursions = nullptr;
};

// "Interceptors": the interceptor table.
class CInterceptorsPage : public CPage {
    Q_OBJECT
public:
    CInterceptorsPage(CPageContext& context, QWidget* parent = nullptr);

    QString Caption() const override { return QStringLiteral("Interceptors"); }

    CUnitPane* InterceptorPane() const { return m_interceptors; }

private:
    CUnitPane* m_interceptors = nullptr;
};

} // namespace halyx
