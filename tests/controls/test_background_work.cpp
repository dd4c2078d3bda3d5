// Work in the background: the result comes back on the window's thread while the event loop
// goes on, long work shows a modal dialog with its position and texts, Cancel drops the result,
// and a work that throws is reported, not a crash.
#include "controls/progressdialog.h"

#include <QAction>
#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace halyx {
namespace {

QProgressDialog* ShownProgressDialog() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

TEST(BackgroundWork, ShortWorkHandsItsResultToTheWindowThreadAndHoldsInputBackMeanwhile) {
    QWidget window;
    auto* button = new QPushButton(QStringLiteral("Edit"), &window);
    window.show();
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
    auto* undo = new QAction(QStringLiteral("Undo"), &window);
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    window.addAction(undo);
    QObject::connect(undo, &QAction::triggered, [&] { ++clicks; });
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    std::atomic<bool> release{false};
    QThread* workThread = nullptr;
    QThread* doneThread = nullptr;
    int result = 0;
    int dones = 0;
    RunInBackground(
        &window, {QStringLiteral("Quick")},
        [&](IProgress&) {
            workThread = QThread::currentThread();
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return 7;
        },
        [&](int value) {
            doneThread = QThread::currentThread();
            result = value;
            ++dones;
        });
    // Not yet shown, yet the window takes no click and no shortcut while the work runs.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(clicks, 0);
    release = true;
    QTRY_COMPARE_WITH_TIMEOUT(dones, 1, 5000);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(doneThread, QApplication::instance()->thread());
    EXPECT_NE(workThread, doneThread);
    EXPECT_EQ(ShownProgressDialog(), nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(clicks, 2);
}

TEST(BackgroundWork, LongWorkShowsAModalDialogWhileTheLoopTurnsAndCancelDropsTheResult) {
    QWidget window;
    window.show();
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);

    std::atomic<bool> stopped{false};
    bool delivered = false;
    RunInBackground(
        &window, {QStringLiteral("Loading <b>x</b>")},
        [&](IProgress& progress) {
            progress.SetText("Loading <b>x</b>"); // a title repeated by the work is shown once
            progress.SetRange(0, 1000);
            progress.SetPos(250);
            progress.SetText("Reading the radars");
            while (!progress.Canceled()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            stopped = true;
            return 1;
        },
        [&](int) { delivered = true; });

    QProgressDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (dialog = ShownProgressDialog()) != nullptr; }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->value() == 250; }));
    EXPECT_EQ(dialog->maximum(), 1000);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return dialog->labelText() == QStringLiteral("Loading <b>x</b>\n\nReading the radars");
    })) << dialog->labelText().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), dialog);
    EXPECT_GT(ticks, 5); // the window's own timers went on

    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ShownProgressDialog() == nullptr, 5000);
    EXPECT_TRUE(stopped);
    QTest::qWait(50); // a hand-over would be queued by now
    EXPECT_FALSE(delivered);
}

TEST(BackgroundWork, AThrowingWorkBecomesAnErrorAndAGoneWindowGetsNothing) {
    QWidget window;
    QString error;
    bool delivered = false;
    RunInBackground(
        &window, {QStringLiteral("Failing")},
        [](IProgress&) -> int { throw std::runtime_error("the disk went away"); },
        [&](int) { delivered = true; }, [&](const QString& text) { error = text; });
    QTRY_COMPARE_WITH_TIMEOUT(error, QStringLiteral("the disk went away"), 5000);
    EXPECT_FALSE(delivered);

    // The window closes for good before the work ends: nothing is handed to it.
    std::atomic<bool> release{false};
    auto gone = std::make_unique<QWidget>();
    RunInBackground(
        gone.get(), {QStringLiteral("Orphan")},
        [&](IProgress&) {
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return 1;
        },
        [&](int) { delivered = true; });
    gone.reset();
    release = true;
    QTest::qWait(100);
    EXPECT_FALSE(delivered);
}

} // namespace
} // namespace halyx
