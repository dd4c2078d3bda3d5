#include "editor/gseview.h"

#include "common/format.h"
#include "controls/addresourcedlg.h"
#include "controls/gsegeometry.h"
#include "controls/qstrings.h"
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QUndoStack>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace halyx {

namespace {

constexpr int kWheelStep = 120;

} // namespace

CGSEView::CGSEView(CScenario& scenario, QUndoStack& undo, QWidget* parent)
    : QAbstractScrollArea(parent), m_scenario(scenario), m_undo(undo), m_renderer(scenario),
      m_selectTool(scenario, undo, *this) {
    viewport()->setMouseTracking(true);
    // The right button opens the unit menu itself; no second menu from the context-menu event.
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setInterval(0);
    connect(&m_repaintTimer, &QTimer::timeout, viewport(), qOverload<>(&QWidget::update));

    m_menu = new QMenu(this);
    m_addRadar = m_menu->addAction(QStringLiteral("Add Radar"));
    m_addInterceptor = m_menu->addAction(QStringLiteral("Add Interceptor"));
    m_addIncursion = m_menu->addAction(QStringLiteral("Add Incursion"));
    m_menu->addSeparator();
    m_edit = m_menu->addAction(QStringLiteral("Edit Unit"));
    m_delete = m_menu->addAction(QStringLiteral("Delete Unit"));

    m_subscription = m_scenario.Subscribe(
        [this](ScenarioChange change, int) { OnScenarioChanged(static_cast<int>(change)); });
}

CGSEView::~CGSEView() {
    m_scenario.Unsubscribe(m_subscription);
}

const CWorldMap& CGSEView::Map() const {
    return m_scenario.Geography().GetWorldMap();
}

int CGSEView::Scale() const {
    return Map().getScalefactor();
}

void CGSEView::ClearSelection() {
    m_selectTool.Cancel();
    SetSelection({}, false);
}

void CGSEView::SetSelection(const CGSESelection& selection, bool handleGrabbed) {
    const bool changed = selection != m_selection || handleGrabbed != m_handleGrabbed;
    m_selection = selection;
    m_handleGrabbed = handleGrabbed;
    m_renderer.SetSelection(selection);
    viewport()->update();
    if (changed) {
        emit SelectionChanged();
    }
}

void CGSEView::UnitMoving(const CGSESelection& unit, bool finished) {
    if (!finished) {
        m_movingBefore = m_renderer.UnitRect(unit);
        return;
    }
    if (m_wholeMap) {
        viewport()->update();
        return;
    }
    const QRect damaged = m_movingBefore.united(m_renderer.UnitRect(unit));
    viewport()->update(damaged.translated(-ContentPoint(QPoint(0, 0))));
}

void CGSEView::FirstView() {
    UpdateMapLayout();
    CenterOnUnits();
    ClearSelection();
    m_renderer.InvalidateBackground();
    viewport()->update();
}

QRect CGSEView::UnitsRect() const {
    const CWorldMap& map = Map();
    QRect units;
    const auto add = [&units](const CWindowPoint& at) {
        units = units.united(QRect(at.x, at.y, 1, 1));
    };
    for (const CRadar& radar : m_scenario.Radars()) {
        add(map.LatLng2PixelLoc(radar.GetLatValue(), radar.GetLngValue()));
    }
    for (const CIncursion& incursion : m_scenario.Incursions()) {
        add(map.LatLng2PixelLoc(incursion.GetLatValue(), incursion.GetLngValue()));
    }
    for (const CInterceptor& interceptor : m_scenario.Interceptors()) {
        add(map.LatLng2PixelLoc(interceptor.GetLat(), interceptor.GetLng()));
    }
    return units;
}

void CGSEView::CenterOnUnits() {
    // A new map or scenario opens on its units rather than on the map's corner; with no
    // units, on the middle of the map.
    if (!Map().exists()) {
        return;
    }
    const QRect units = UnitsRect();
    const QPoint centre =
        units.isEmpty() ? QRect(QPoint(0, 0), m_contentSize).center() : units.center();
    const QSize page = viewport()->size();
    horizontalScrollBar()->setValue(centre.x() - page.width() / 2);
    verticalScrollBar()->setValue(centre.y() - page.height() / 2);
}

void CGSEView::UpdateMapLayout() {
    m_scenario.Geography().GetWorldMap().update(this, kViewId, kGridStep, kGridStep,
                                                CLatLng(kRegionMinLat, kRegionMinLng),
                                                CLatLng(kRegionMaxLat, kRegionMaxLng));
}

void CGSEView::OnMapLayout(int viewId, int windowWidth, int windowHeight) {
    if (viewId != kViewId) {
        return;
    }
    m_contentSize = QSize(windowWidth, windowHeight);
    UpdateScrollBars();
    ScheduleRepaint();
}

void CGSEView::UpdateScrollBars() {
    // The whole map has nothing to scroll to.
    const QSize page = m_wholeMap ? m_contentSize : viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, m_contentSize.width() - page.width()));
    horizontalScrollBar()->setPageStep(page.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, m_contentSize.height() - page.height()));
    verticalScrollBar()->setPageStep(page.height());
    verticalScrollBar()->setSingleStep(20);
}

void CGSEView::ScheduleRepaint() {
    m_repaintTimer.start();
}

void CGSEView::SetDrawOptions(const CGSEDrawOptions& options) {
    m_renderer.SetOptions(options);
    // A unit that is hidden cannot stay under edit.
    if (m_selection.kind && !options.Shows(*m_selection.kind)) {
        ClearSelection();
    }
    viewport()->update();
}

void CGSEView::SetMapLimits(const CMapLimits& limits) {
    m_renderer.SetMapLimits(limits);
    viewport()->update();
}

QPoint CGSEView::ContentPoint(const QPoint& viewportPoint) const {
    if (m_wholeMap) {
        const double fit = Fit();
        return QPoint(static_cast<int>(viewportPoint.x() / fit),
                      static_cast<int>(viewportPoint.y() / fit));
    }
    return viewportPoint + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QPoint CGSEView::ViewportPoint(const QPoint& contentPoint) const {
    if (m_wholeMap) {
        const double fit = Fit();
        return QPoint(static_cast<int>(contentPoint.x() * fit),
                      static_cast<int>(contentPoint.y() * fit));
    }
    return contentPoint - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

double CGSEView::Fit() const {
    if (!m_wholeMap || m_contentSize.isEmpty()) {
        return 1.0;
    }
    const QSize page = viewport()->size();
    return std::min({1.0, static_cast<double>(page.width()) / m_contentSize.width(),
                     static_cast<double>(page.height()) / m_contentSize.height()});
}

void CGSEView::SetWholeMap(bool on) {
    if (on == m_wholeMap) {
        return;
    }
    m_wholeMap = on;
    UpdateScrollBars();
    if (!on) {
        CenterOnUnits();
    }
    m_renderer.InvalidateBackground();
    viewport()->update();
    emit WholeMapChanged(on);
}

void CGSEView::ScrollTo(const QPoint& contentPoint) {
    horizontalScrollBar()->setValue(contentPoint.x());
    verticalScrollBar()->setValue(contentPoint.y());
}

void CGSEView::ZoomIn() {
    if (Scale() < kMaxScale) {
        ZoomAbout(+1, viewport()->rect().center());
    }
}

void CGSEView::ZoomOut() {
    if (Scale() >= kMinZoomOutScale) {
        ZoomAbout(-1, viewport()->rect().center());
    }
}

void CGSEView::ZoomAbout(int delta, const QPoint& viewportPoint) {
    const int before = Scale();
    const QPoint content = ContentPoint(viewportPoint);
    const bool leftWholeMap = std::exchange(m_wholeMap, false);
    m_scenario.Geography().GetWorldMap().zoomby(delta);
    const int after = Scale();
    UpdateMapLayout();
    // The map point under the pointer stays under it.
    const QPoint moved(content.x() * after / before, content.y() * after / before);
    ScrollTo(moved - viewportPoint);
    m_renderer.InvalidateBackground();
    viewport()->update();
    if (leftWholeMap) {
        emit WholeMapChanged(false);
    }
}

void CGSEView::OnScenarioChanged(int change) {
    const auto what = static_cast<ScenarioChange>(change);
    const bool unitChange = what == ScenarioChange::Radars || what == ScenarioChange::Incursions ||
                            what == ScenarioChange::Interceptors;
    // A drag repaints what it moves itself; a full repaint per step would waste the frame.
    if (unitChange && m_selectTool.Dragging()) {
        return;
    }
    if (what == ScenarioChange::Weather) {
        return;
    }
    if (what == ScenarioChange::Geography || what == ScenarioChange::Replaced) {
        m_renderer.InvalidateBackground();
        UpdateMapLayout();
    }
    const CGSESelection current = Revalidate(m_scenario, m_selection);
    if (current != m_selection) {
        m_selectTool.Cancel();
        SetSelection(current, current.Empty() ? false : m_handleGrabbed);
    }
    ScheduleRepaint();
}

void CGSEView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    if (m_wholeMap) {
        painter.fillRect(event->rect(), palette().window());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.scale(Fit(), Fit());
        m_renderer.SetVisibleRect(QRect(QPoint(0, 0), m_contentSize));
        m_renderer.Render(painter, QRect(QPoint(0, 0), m_contentSize));
        return;
    }
    const QPoint offset = ContentPoint(QPoint(0, 0));
    painter.translate(-offset);
    m_renderer.SetVisibleRect(QRect(offset, viewport()->size()));
    m_renderer.Render(painter, event->rect().translated(offset));
}

void CGSEView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CGSEView::scrollContentsBy(int, int) {
    viewport()->update();
}

void CGSEView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (!m_firstShown) {
        m_firstShown = true;
        FirstView();
    }
}

void CGSEView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_selectTool.Press(ContentPoint(at));
    } else if (event->button() == Qt::RightButton) {
        m_selectTool.Cancel();
        OpenMenu(at);
    }
}

void CGSEView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint content = ContentPoint(event->position().toPoint());
    SetPointerText(QString::fromStdString(halyx::PointerText(Map(), content.x(), content.y())));
    if ((event->buttons() & Qt::LeftButton) && m_selectTool.Dragging()) {
        m_selectTool.Move(content);
    }
}

void CGSEView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_selectTool.Release(ContentPoint(event->position().toPoint()));
    }
}

void CGSEView::wheelEvent(QWheelEvent* event) {
    m_wheelRemainder += event->angleDelta().y();
    const QPoint at = event->position().toPoint();
    while (m_wheelRemainder >= kWheelStep) {
        m_wheelRemainder -= kWheelStep;
        if (Scale() < kMaxScale) {
            ZoomAbout(+1, at);
        }
    }
    while (m_wheelRemainder <= -kWheelStep) {
        m_wheelRemainder += kWheelStep;
        if (Scale() >= kMinZoomOutScale) {
            ZoomAbout(-1, at);
        }
    }
    event->accept();
}

void CGSEView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        if (!m_selection.Empty() && !m_selectTool.Dragging()) {
            DeleteSelectedUnit();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (m_selectTool.Dragging()) {
            m_selectTool.Cancel();
        } else {
            ClearSelection();
        }
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool CGSEView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint content = ContentPoint(help->pos());
        const CGSESelection unit = UnitAt(m_scenario, Map(), content.x(), content.y(), Shown());
        if (unit.Empty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(),
                               QString::fromStdString(SelectedName(m_scenario, unit)), viewport());
        }
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void CGSEView::SetPointerText(const QString& text) {
    if (text != m_pointerText) {
        m_pointerText = text;
        emit PointerTextChanged(text);
    }
}

void CGSEView::OpenMenu(const QPoint& viewportPoint) {
    m_menuPoint = ContentPoint(viewportPoint);
    // The selection is redone at the menu point, handle first, as a left click would.
    const bool grabbed = !m_selection.Empty() && HandleHit(m_scenario, Map(), m_selection,
                                                           m_menuPoint.x(), m_menuPoint.y());
    SetSelection(grabbed ? m_selection
                         : UnitAt(m_scenario, Map(), m_menuPoint.x(), m_menuPoint.y(), Shown()),
                 grabbed);
    const bool unitChosen = !m_selection.Empty() && !m_handleGrabbed;
    m_edit->setEnabled(unitChosen);
    m_delete->setEnabled(unitChosen);

    const QPoint global = viewport()->mapToGlobal(viewportPoint);
    QAction* chosen = m_runMenu ? m_runMenu(*m_menu, global) : m_menu->exec(global);
    if (chosen == nullptr || !chosen->isEnabled()) {
        return;
    }
    if (chosen == m_addRadar) {
        AddUnit(UnitKind::Radar);
    } else if (chosen == m_addInterceptor) {
        AddUnit(UnitKind::Interceptor);
    } else if (chosen == m_addIncursion) {
        AddUnit(UnitKind::Incursion);
    } else if (chosen == m_edit) {
        EditSelectedUnit();
    } else if (chosen == m_delete) {
        DeleteSelectedUnit();
    }
}

bool CGSEView::Ask(const QString& question) {
    if (m_ask) {
        return m_ask(question);
    }
    return QMessageBox::question(this, window()->windowTitle(), question,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CGSEView::AddUnit(UnitKind kind) {
    const CLatLng at = MapPositionAt(Map(), m_menuPoint.x(), m_menuPoint.y());
    CUnitTexts texts;
    texts.latitude = ToQString(Format("%0.2f", at.lat));
    texts.longitude = ToQString(Format("%0.2f", at.lng));
    CAddResourceDlg dialog(kind, texts, this);
    const bool ok = m_runDialog ? m_runDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!ok) {
        return;
    }
    // Units added on the map leave the fields the dialog does not ask for empty.
    VisitUnitKind(kind, [&](auto tag) {
        using T = typename decltype(tag)::Type;
        PushAddUnit(m_undo, m_scenario,
                    MakeUnit<T>(dialog.Texts(), UnitTraits<T>::List(m_scenario).NewId(), ""));
    });
}

void CGSEView::EditSelectedUnit() {
    VisitSelected(m_scenario, m_selection, [&](const auto& unit) {
        CAddResourceDlg dialog(*m_selection.kind, TextsOf(unit), this);
        const bool ok = m_runDialog ? m_runDialog(dialog) : dialog.exec() == QDialog::Accepted;
        if (!ok) {
            return;
        }
        auto changed = unit;
        ApplyTexts(dialog.Texts(), changed);
        PushOwnEditUnit(m_undo, m_scenario, unit, changed,
                        QStringLiteral("Edit %1").arg(ToQString(unit.GetName())));
    });
}

void CGSEView::DeleteSelectedUnit() {
    if (!m_selection.kind) {
        return;
    }
    const QString question = QStringLiteral("Are you sure you want to delete this %1?")
                                 .arg(QLatin1String(KindInfo(*m_selection.kind).name));
    if (!Ask(question)) {
        return;
    }
    const CGSESelection doomed = m_selection;
    ClearSelection();
    PushRemoveUnits(m_undo, m_scenario, *doomed.kind, {doomed.id});
}

} // namespace halyx
