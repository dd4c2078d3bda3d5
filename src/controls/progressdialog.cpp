#include "controls/progressdialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QLabel>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace halyx {

namespace {

// Shown at once, kept up until the work closes it, whatever its position.
void Dress(QProgressDialog& dialog, Qt::WindowModality modality) {
    dialog.setWindowModality(modality);
    dialog.setWindowTitle(QStringLiteral("HALYX"));
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumWidth(420);
}

} // namespace

CProgressDialog::CProgressDialog(QWidget* parent, bool cancelable)
    : m_dialog(std::make_unique<QProgressDialog>(parent)) {
    Dress(*m_dialog, Qt::WindowModal);
    if (!cancelable) {
        m_dialog->setCancelButton(nullptr);
    }
    m_dialog->show();
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::SetRange(int low, int high) {
    m_dialog->setRange(low, high);
}

void CProgressDialog::SetPos(int pos) {
    m_dialog->setValue(pos);
    QCoreApplication::processEvents();
}

void CProgressDialog::SetText(const std::string& text) {
    m_texts.push_back(text);
    if (m_title.isEmpty()) {
        m_title = QString::fromStdString(text);
        m_dialog->setLabelText(m_title);
    } else {
        m_dialog->setLabelText(m_title + QStringLiteral("\n\n") + QString::fromStdString(text));
    }
    QCoreApplication::processEvents();
}

bool CProgressDialog::Canceled() const {
    return m_dialog->wasCanceled();
}

void CProgressDialog::Close() {
    m_dialog->close();
}

bool RunWithProgress(QWidget* parent, const QString& text,
                     const std::function<void(IProgress&)>& work) {
    CSharedProgress progress;
    QFuture<void> future = QtConcurrent::run([&progress, &work] { work(progress); });
    // Short work shows no dialog: a window that flashes up and away is worse than a short wait.
    QElapsedTimer waited;
    waited.start();
    while (!future.isFinished() && waited.elapsed() < 50) {
        QThread::msleep(5);
    }
    if (future.isFinished()) {
        return true;
    }

    QProgressDialog dialog(text, QObject::tr("Cancel"), 0, 0, parent);
    dialog.setObjectName(QStringLiteral("Progress Dialog"));
    // File names are shown as they are, whatever markup they hold.
    auto* label = new QLabel(text, &dialog);
    label->setTextFormat(Qt::PlainText);
    dialog.setLabel(label);
    // Application-modal: no other window takes a click, or is closed, while the work runs.
    Dress(dialog, Qt::ApplicationModal);
    // The work stops at its next step, within a moment; the loop ends when it has.
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { progress.Cancel(); });
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (progress.High() > progress.Low()) {
            dialog.setRange(progress.Low(), progress.High());
            dialog.setValue(progress.Pos());
        }
    });
    QEventLoop loop;
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    dialog.show();
    poll.start();
    if (!future.isFinished()) {
        loop.exec();
    }
    future.waitForFinished();
    return !progress.Canceled();
}

} // namespace halyx
