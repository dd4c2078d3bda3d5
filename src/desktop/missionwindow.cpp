#include "desktop/missionwindow.h"

#include "controls/filedialogs.h"
#include "controls/missionpicturefile.h"
#include "controls/settings.h"
#include "controls/windowplace.h"
#include "desktop/missionfollower.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>

namespace halyx {

// The picture itself: paints what the window holds and answers hovering with the mark's text.
class CMissionCanvas final : public QWidget {
public:
    explicit CMissionCanvas(CMissionWindow& window) : QWidget(&window), m_window(window) {
        setMouseTracking(true);
        setMinimumSize(320, 240);
        setObjectName(QStringLiteral("MissionCanvas"));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_window.PaintPicture(painter, rect());
    }

    void mouseMoveEvent(QMouseEvent* event) override {
        const QString tip = m_window.TipAt(event->position());
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPosition().toPoint(), tip, this);
        }
    }

private:
    CMissionWindow& m_window;
};

namespace {

QCheckBox* Layer(const QString& text, QHBoxLayout* row, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(text);
    box->setChecked(true);
    row->addWidget(box);
    return box;
}

} // namespace

CMissionWindow::CMissionWindow(CMissionFollower& follower, QWidget* parent)
    : QWidget(parent, Qt::Window), m_follower(follower), m_painter(follower.Scenario()) {
    setWindowTitle(tr("Mission Picture"));
    setObjectName(QStringLiteral("MissionPicture"));

    auto* controls = new QHBoxLayout;
    m_units = Layer(tr("Units"), controls, this);
    m_tracks = Layer(tr("Tracks"), controls, this);
    m_contacts = Layer(tr("Radar Contacts"), controls, this);
    m_deployments = Layer(tr("Deployments"), controls, this);
    m_weather = Layer(tr("Weather"), controls, this);
    m_chat = Layer(tr("Chat"), controls, this);
    controls->addSpacing(12);
    auto* trailLabel = new QLabel(tr("Trail (minutes):"), this);
    m_trail = new QSpinBox(this);
    m_trail->setObjectName(QStringLiteral("Trail"));
    m_trail->setRange(1, kMissionLastMinute);
    m_trail->setValue(m_painter.Style().trailMinutes);
    trailLabel->setBuddy(m_trail);
    controls->addWidget(trailLabel);
    controls->addWidget(m_trail);
    controls->addStretch();
    auto* save = new QPushButton(tr("Save Picture..."), this);
    save->setObjectName(QStringLiteral("Save Picture..."));
    controls->addWidget(save);

    auto* status = new QHBoxLayout;
    m_minute = new QLabel(this);
    m_minute->setObjectName(QStringLiteral("Minute"));
    m_stations = new QLabel(this);
    m_stations->setObjectName(QStringLiteral("Stations"));
    m_stations->setTextFormat(Qt::RichText);
    status->addWidget(m_minute);
    status->addSpacing(16);
    status->addWidget(m_stations, 1);

    m_canvas = new CMissionCanvas(*this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(status);
    layout->addWidget(m_canvas, 1);

    for (QCheckBox* box : {m_units, m_tracks, m_contacts, m_deployments, m_weather, m_chat}) {
        connect(box, &QCheckBox::toggled, this, [this] { StyleChanged(); });
    }
    connect(m_trail, &QSpinBox::valueChanged, this, [this] { StyleChanged(); });
    connect(save, &QPushButton::clicked, this, [this] { SaveAs(); });

    resize(m_painter.PreferredSize(follower.Scenario()).expandedTo(QSize(800, 600)));
    // The picture's own size may be larger than the screen: the window fits the one it opens
    // on, so that Save Picture stays in reach.
    if (!CSettings::TrackGeometry(this, QStringLiteral("MissionPicture"))) {
        PlaceWindow(this, parent);
    }
    m_redrawGap.setSingleShot(true);
    connect(&m_redrawGap, &QTimer::timeout, this, [this] {
        if (m_redrawWanted) {
            Redraw();
        }
    });
    m_listener = m_follower.AddListener([this] { Changed(); });
    Changed();
}

CMissionWindow::~CMissionWindow() {
    m_follower.RemoveListener(m_listener);
}

int CMissionWindow::Minute() const {
    return m_follower.State().minute;
}

void CMissionWindow::Changed() {
    const CMissionState& state = m_follower.State();
    m_minute->setText(tr("Minute %1").arg(state.minute));
    QString lights;
    for (std::size_t i = 0; i < state.stations.size(); ++i) {
        const MissionStation& station = state.stations[i];
        const QString colour = station.goNoGo == "go"     ? QStringLiteral("#2e9d3a")
                               : station.goNoGo == "nogo" ? QStringLiteral("#d32f2f")
                                                          : QStringLiteral("#9e9e9e");
        lights += QStringLiteral("<span style=\"color:%1\">&#9679;</span> "
                                 "<span style=\"color:%2\">%3</span> %4&nbsp;&nbsp; ")
                      .arg(colour, CMissionPainter::StationColor(static_cast<int>(i)).name(),
                           QString::fromStdString(station.name).toHtmlEscaped(),
                           QString::fromStdString(station.goNoGo).toHtmlEscaped());
    }
    m_stations->setText(lights);
    Redraw();
}

void CMissionWindow::Redraw() {
    if (m_redrawGap.isActive()) {
        m_redrawWanted = true;
        return;
    }
    m_redrawWanted = false;
    // Only asks for a paint: Qt folds the requests of one turn of the loop into one.
    m_canvas->update();
    m_redrawGap.start(static_cast<int>(std::max<qint64>(kMinRedrawMs, 3 * m_lastPaintMs)));
}

void CMissionWindow::StyleChanged() {
    MissionPictureStyle style = m_painter.Style();
    style.layers.units = m_units->isChecked();
    style.layers.tracks = m_tracks->isChecked();
    style.layers.contacts = m_contacts->isChecked();
    style.layers.deployments = m_deployments->isChecked();
    style.layers.weather = m_weather->isChecked();
    style.layers.chat = m_chat->isChecked();
    style.trailMinutes = m_trail->value();
    m_painter.SetStyle(style);
    Redraw();
}

void CMissionWindow::PaintPicture(QPainter& painter, const QRectF& area) {
    QElapsedTimer timer;
    timer.start();
    painter.fillRect(area, Qt::white);
    const CMissionState& state = m_follower.State();
    m_painter.Paint(painter, area, state, DrawnMarks());
    m_lastPaintMs = timer.elapsed();
    ++m_redraws;
    emit Redrawn();
}

std::span<const CMissionMark> CMissionWindow::DrawnMarks() const {
    const std::span<const CMissionMark> marks = m_follower.Marks();
    return marks.size() > kMaxMarksDrawn ? marks.last(kMaxMarksDrawn) : marks;
}

QString CMissionWindow::TipAt(const QPointF& at) const {
    const CMissionState& state = m_follower.State();
    const std::optional<MissionHit> hit =
        m_painter.HitTest(QRectF(m_canvas->rect()), at, state, DrawnMarks(), m_follower.Events());
    return hit ? hit->text : QString();
}

bool CMissionWindow::SavePicture(const QString& path, QString& error) {
    std::string why;
    const bool written = WriteMissionPicture(m_painter, m_follower.State(), m_follower.Marks(),
                                             path.toStdString(), why);
    error = QString::fromStdString(why);
    return written;
}

void CMissionWindow::SaveAs() {
    CFileRequest request;
    request.mode = CFileRequest::Mode::Save;
    request.title = tr("Save Picture");
    request.filter = tr("PNG Image (*.png);;SVG Image (*.svg)");
    request.defaultSuffix = QStringLiteral("png");
    const QString path = ChooseFile(this, QStringLiteral("MissionPicture"), request);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!SavePicture(path, error)) {
        QMessageBox::warning(this, tr("Save Picture"), error);
    }
}

} // namespace halyx
