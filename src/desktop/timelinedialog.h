#pragma once

#include "record/logtimeline.h"

#include <QDialog>

#include <memory>
#include <string>

class QLabel;

namespace halyx {

// The picture of a recorded mission (controls/timelinepainter.h) in a window of its own, for
// the playback section's "Timeline" button. The log is read on a worker thread, so a long log
// never holds the window; the picture shows once it is read, or the reason it cannot be.
class CTimelineDialog final : public QDialog {
    Q_OBJECT
public:
    CTimelineDialog(const std::string& logPath, QWidget* parent = nullptr);
    ~CTimelineDialog() override;

    // The timeline once the log has been read, else nothing.
    const CLogTimeline* Timeline() const { return m_timeline.get(); }
    // Why the log could not be read ("" when it could, or while it is being read).
    const QString& Problem() const { return m_problem; }

    // What the worker thread hands back: the timeline, or the reason there is none.
    struct Result {
        std::shared_ptr<CLogTimeline> timeline;
        QString problem;
    };
    static Result Read(const std::string& logPath);

signals:
    // The log has been read (or could not be).
    void Ready();

private:
    void Show(const Result& result);

    std::shared_ptr<CLogTimeline> m_timeline;
    QString m_problem;
    QLabel* m_status = nullptr;
    class CTimelineView* m_view = nullptr;
};

} // namespace halyx
