#include "controls/progressdialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <limits>

namespace halyx {

namespace {

const QString kDialogName = QStringLiteral("Progress Dialog");

// Runs not yet handed over; touched on the window's thread only.
int g_pending = 0;

// The user's input, and closing a window: what waits while work runs in the background.
bool HeldBack(QEvent::Type type) {
    switch (type) {
    case QEvent::Close:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Threads of their own: a save does not wait behind map fetches from a slow server, which use
// the shared pool. The application waits for them as it ends, so a file is never left half
// written.
QThreadPool* Pool() {
    static QThreadPool* pool = [] {
        auto* created = new QThreadPool(qApp);
        created->setMaxThreadCount(2);
        return created;
    }();
    return pool;
}

// One piece of work in the background, from start to the hand-over of its result. Owned by the
// window it was started from, so that a window that goes away takes the hand-over with it (the
// work is then asked to stop and its result dropped).
class CBackgroundRun final : public QObject {
public:
    CBackgroundRun(QWidget* parent, const CBackgroundText& text,
                   std::function<void(IProgress&)> work, std::function<void(bool)> finished)
        : QObject(parent), m_parent(parent), m_text(text.text),
          m_progress(std::make_shared<CSharedProgress>()), m_finished(std::move(finished)) {
        ++g_pending;
        BuildDialog(parent, text.cancelable);
        qApp->installEventFilter(this);
        m_poll.setInterval(50);
        connect(&m_poll, &QTimer::timeout, this, &CBackgroundRun::Poll);
        m_show.setSingleShot(true);
        m_show.setInterval(kBackgroundDialogDelayMs);
        connect(&m_show, &QTimer::timeout, this, [this] {
            Poll();
            m_dialog->show();
            m_poll.start();
        });
        connect(&m_watcher, &QFutureWatcher<void>::finished, this, &CBackgroundRun::Finish);
        // The work holds its own share of the progress: it may outlive this object.
        m_watcher.setFuture(QtConcurrent::run(
            Pool(), [progress = m_progress, work = std::move(work)] { work(*progress); }));
        m_show.start();
    }

    ~CBackgroundRun() override {
        if (!m_done) {
            --g_pending;
        }
        m_progress->Cancel();
        qApp->removeEventFilter(this);
        delete m_dialog;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (m_done || !HeldBack(event->type())) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        // This run's dialog, or that of another run started meanwhile, which must stay usable.
        const bool inDialog = widget && qobject_cast<QProgressDialog*>(widget->window()) &&
                              widget->window()->objectName() == kDialogName;
        const bool inOwnDialog = inDialog && widget->window() == m_dialog;
        if (event->type() == QEvent::Shortcut) {
            return !inDialog; // actions (Undo, Shutdown) are no widgets
        }
        if (widget == nullptr) {
            return false;
        }
        switch (event->type()) {
        case QEvent::Close:
            // The user closing the dialog asks the work to stop; no other window is closed by
            // the user meanwhile. The program itself may still close (a termination signal).
            if ((inDialog && !inOwnDialog) || (!inDialog && !event->spontaneous())) {
                return false;
            }
            if (inOwnDialog) {
                Cancel();
            }
            event->ignore();
            return true;
        case QEvent::KeyPress:
            if (inOwnDialog && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                Cancel();
                return true; // the dialog's own answer to Escape would hide it
            }
            return !inDialog;
        case QEvent::ShortcutOverride:
            if (inDialog) {
                return false;
            }
            // Taken as the widget's own key, so that no shortcut fires; the key itself is held
            // back below.
            event->accept();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::Drop:
            // Before the dialog shows, its modality does not hold other windows yet.
            return !inDialog;
        default:
            return false;
        }
    }

private:
    void BuildDialog(QWidget* parent, bool cancelable) {
        m_dialog = new QProgressDialog(parent);
        m_dialog->setObjectName(kDialogName);
        m_dialog->setWindowTitle(QStringLiteral("HALYX"));
        // File names are shown as they are, whatever markup they hold.
        m_label = new QLabel(m_text, m_dialog);
        m_label->setTextFormat(Qt::PlainText);
        m_dialog->setLabel(m_label);
        // The bar is set directly: the dialog's own setValue turns the event loop when modal.
        m_bar = new QProgressBar(m_dialog);
        m_bar->setRange(0, 0);
        m_dialog->setBar(m_bar);
        // Its own answer to Cancel hides it at once; it stays up until the work has stopped.
        disconnect(m_dialog, SIGNAL(canceled()), m_dialog, SLOT(cancel()));
        if (cancelable) {
            m_dialog->setCancelButtonText(tr("Cancel"));
            connect(m_dialog, &QProgressDialog::canceled, this, &CBackgroundRun::Cancel);
        } else {
            m_dialog->setCancelButton(nullptr);
        }
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        // Shown by this object's own timer, never by the dialog's.
        m_dialog->setMinimumDuration(std::numeric_limits<int>::max());
        m_dialog->setMinimumWidth(420);
        // Application-modal: the editor, a window of its own, holds the same scenario.
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->hide();
        m_cancelable = cancelable;
    }

    void Cancel() {
        if (!m_cancelable || !m_dialog) {
            return;
        }
        m_progress->Cancel();
        // The work stops at its next step; the dialog stays until it has.
        if (auto* button = m_dialog->findChild<QPushButton*>()) {
            button->setEnabled(false);
        }
    }

    void Poll() {
        const int low = m_progress->Low();
        const int high = m_progress->High();
        if (high > low) {
            m_bar->setRange(low, high);
            m_bar->setValue(std::clamp(m_progress->Pos(), low, high));
        }
        const QString status = QString::fromStdString(m_progress->Text());
        QString label = m_text;
        if (!status.isEmpty() && status != m_text) {
            label += QStringLiteral("\n\n") + status;
        }
        if (m_label->text() != label) {
            m_label->setText(label);
        }
    }

    void Finish() {
        m_done = true;
        m_poll.stop();
        m_show.stop();
        qApp->removeEventFilter(this);
        delete m_dialog;
        const bool canceled = m_progress->Canceled();
        // Handed over from the event loop, after this object is out of the way: the
        // continuation may well open a dialog of its own.
        QObject* context = m_parent ? static_cast<QObject*>(m_parent) : qApp;
        // Pending until the continuation has run, or was dropped with its window.
        const std::shared_ptr<void> pending(nullptr, [](void*) { --g_pending; });
        QMetaObject::invokeMethod(
            context, [finished = std::move(m_finished), canceled, pending] { finished(canceled); },
            Qt::QueuedConnection);
        deleteLater();
    }

    QPointer<QWidget> m_parent;
    QString m_text;
    std::shared_ptr<CSharedProgress> m_progress;
    std::function<void(bool)> m_finished;
    QFutureWatcher<void> m_watcher;
    QTimer m_poll;
    QTimer m_show;
    QPointer<QProgressDialog> m_dialog;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    bool m_cancelable = true;
    bool m_done = false;
};

} // namespace

bool BackgroundWorkPending() {
    return g_pending > 0;
}

namespace detail {

void StartBackgroundWork(QWidget* parent, const CBackgroundText& text,
                         std::function<void(IProgress&)> work,
                         std::function<void(bool canceled)> finished) {
    new CBackgroundRun(parent, text, std::move(work), std::move(finished));
}

void ShowBackgroundError(QWidget* parent, const QString& error) {
    QMessageBox::critical(parent, QStringLiteral("HALYX"),
                          QObject::tr("The work stopped with an error:\n%1").arg(error));
}

} // namespace detail

} // namespace halyx
