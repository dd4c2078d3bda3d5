#include "desktop/timelinedialog.h"

#include "controls/timelinepainter.h"
#include "record/logreader.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace halyx {

// The whole picture, fitted to the window and drawn again at every resize: station names,
// the minutes and the legend stay in view at any size, with nothing to scroll.
class CTimelineView final : public QWidget {
public:
    explicit CTimelineView(QWidget* parent) : QWidget(parent) {
        setMinimumSize(480, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    void SetTimeline(std::shared_ptr<CLogTimeline> timeline) {
        m_timeline = std::move(timeline);
        update();
    }

    // How tall the picture is at width.
    int PictureHeight(int width) const {
        return m_timeline
                   ? static_cast<int>(std::ceil(
                         CTimelinePainter::FittedSize(QSizeF(width, 1e6), *m_timeline).height()))
                   : 0;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (m_timeline) {
            CTimelinePainter::PaintFitted(painter, QRectF(rect()), *m_timeline);
        }
    }

private:
    std::shared_ptr<CLogTimeline> m_timeline;
};

CTimelineDialog::CTimelineDialog(const std::string& logPath, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Timeline"));
    const QString path = QString::fromStdString(logPath);
    setWindowTitle(tr("Timeline - %1").arg(QFileInfo(path).fileName()));
    setAttribute(Qt::WA_DeleteOnClose);
    m_status = new QLabel(tr("Reading %1...").arg(QFileInfo(path).fileName()), this);
    m_status->setObjectName(QStringLiteral("Timeline Status"));
    m_status->setWordWrap(true);
    m_view = new CTimelineView(this);
    m_view->setObjectName(QStringLiteral("Timeline Picture"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_view, 1);
    layout->addWidget(buttons);
    resize(1000, 560);

    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher] {
        Show(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([logPath] { return Read(logPath); }));
}

// Closing the window while the log is still being read drops the watcher with it; the worker
// owns nothing of the window and its result is thrown away.
CTimelineDialog::~CTimelineDialog() = default;

CTimelineDialog::Result CTimelineDialog::Read(const std::string& logPath) {
    Result result;
    CLogReader reader;
    LogLoadResult r = reader.Open(logPath);
    auto timeline = std::make_shared<CLogTimeline>(
        reader.Info(), QFileInfo(QString::fromStdString(logPath)).completeBaseName().toStdString());
    if (r) {
        r = reader.ForEachEvent([&](const CLogEventView& e) { timeline->Add(e); });
    }
    if (!r) {
        result.problem = QString::fromStdString(
            r.message.empty() ? r.detail : r.message + " (" + r.detail + ")");
        return result;
    }
    timeline->Finish();
    result.timeline = std::move(timeline);
    return result;
}

void CTimelineDialog::Show(const Result& result) {
    m_timeline = result.timeline;
    m_problem = result.problem;
    if (m_timeline) {
        m_status->setText(tr("%1: %2 stations, %3 minutes run, launch decision: %4")
                              .arg(QString::fromStdString(m_timeline->Experiment()))
                              .arg(m_timeline->Lanes().size())
                              .arg(m_timeline->MinutesRun())
                              .arg(m_timeline->LaunchDecision().empty()
                                       ? tr("none")
                                       : QString::fromStdString(m_timeline->LaunchDecision())));
        m_view->SetTimeline(m_timeline);
        // The picture is no taller than its lanes need: the window shrinks to it rather than
        // leaving an empty lower half.
        const int extra =
            std::max(0, m_view->PictureHeight(m_view->width()) - m_view->minimumHeight());
        resize(width(), std::min(height(), minimumSizeHint().height() + extra));
    } else {
        m_status->setText(tr("The timeline cannot be drawn: %1").arg(m_problem));
    }
    emit Ready();
}

} // namespace halyx
