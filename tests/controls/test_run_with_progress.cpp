// Work on a worker thread behind the progress dialog: short work shows no dialog, long work
// shows how far it got while the window's event loop goes on, and Cancel stops it.
#include "controls/progressdialog.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <gtest/gtest.h>
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

TEST(RunWithProgress, ShortWorkShowsNoDialog) {
    int result = 0;
    EXPECT_TRUE(RunWithProgress(nullptr, QStringLiteral("Quick"), [&](IProgress&) { result = 7; }));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(ShownProgressDialog(), nullptr);
}

TEST(RunWithProgress, LongWorkShowsItsPositionKeepsTheLoopTurningAndStopsOnCancel) {
    QWidget window;
    window.show();
    std::atomic<bool> stopped{false};

    QString label;
    int shownValue = -1;
    QTimer::singleShot(0, [&] {
        // Runs only if the window's event loop turns while the work does: the dialog is up and
        // the position arrives.
        QProgressDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] { return (dialog = ShownProgressDialog()) != nullptr; }));
        if (!dialog) {
            return;
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->value() == 250; }));
        shownValue = dialog->value();
        label = dialog->labelText();
        EXPECT_EQ(QApplication::activeModalWidget(), dialog);
        QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
    });
    const bool finished =
        RunWithProgress(&window, QStringLiteral("Loading <b>x</b>"), [&](IProgress& progress) {
            progress.SetRange(0, 1000);
            progress.SetPos(250);
            while (!progress.Canceled()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            stopped = true;
        });
    EXPECT_FALSE(finished);
    EXPECT_TRUE(stopped); // the work had ended when the call returned
    EXPECT_EQ(shownValue, 250);
    EXPECT_EQ(label, QStringLiteral("Loading <b>x</b>"));
    EXPECT_EQ(ShownProgressDialog(), nullptr);
}

} // namespace
} // namespace halyx
