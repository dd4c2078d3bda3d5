#pragma once

// Helpers of the desktop tests: an application with the test's own settings, and answers to
// the modal dialogs a click opens (a message box, a question) and to file questions, given
// before the click as a user would give them after it.

#include "common/numericlocale.h"
#include "controls/filedialogs.h"
#include "controls/progressdialog.h"
#include "testapp.h"
#include "testhome.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace halyx::test {

// The application of a test program; its own name keeps the user's settings out of reach.
inline QApplication& GuiApp(const char* name) {
    QApplication& app = TestApp<QApplication>(name);
    KeepNumbersInCLocale();
    return app;
}

// Acts on the next modal window of the expected class that opens (polled, so that it works
// inside exec()). Other modal windows are let be: on a loaded machine a progress dialog may show
// before the box a test waits for, and answering it instead would leave the box open for ever.
class CModalAnswer {
public:
    explicit CModalAnswer(std::function<void(QWidget*)> act, const char* expectedClass = nullptr)
        : m_act(std::move(act)) {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, expectedClass] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && expectedClass && !modal->inherits(expectedClass)) {
                return;
            }
            if (modal && modal != m_seen) {
                m_seen = modal;
                m_timer.stop();
                m_done = true;
                m_act(modal);
            }
        });
        m_timer.start();
    }
    bool Done() const { return m_done; }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    QWidget* m_seen = nullptr;
    bool m_done = false;
};

// Answers the next message box with button, recording its text.
inline std::unique_ptr<CModalAnswer> AnswerBox(QMessageBox::StandardButton button,
                                               QString* text = nullptr) {
    return std::make_unique<CModalAnswer>(
        [button, text](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr)
                << "expected a message box, got " << w->metaObject()->className();
            if (text) {
                *text = box->text();
            }
            QAbstractButton* b = box->button(button);
            if (b == nullptr) {
                // A box that lacks the button would stay open and hang the test: fail and close it.
                ADD_FAILURE() << "the box has no such button: " << box->text().toStdString();
                box->done(QMessageBox::Cancel);
                return;
            }
            b->click();
        },
        "QMessageBox");
}

template <typename T = QPushButton> T* Find(QWidget* root, const QString& name) {
    T* found = root->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name.toStdString();
    return found;
}

// Waits until the work earlier clicks started in the background is over and handed over.
inline bool BackgroundWorkDone(int timeoutMs = 30000) {
    const bool done = QTest::qWaitFor([] { return !BackgroundWorkPending(); }, timeoutMs);
    // The widgets catch up with what the hand-over changed on the next turn of the loop.
    QCoreApplication::processEvents();
    return done;
}

// A click while work runs in the background would be held back, as the user's is: the work
// ends first.
inline void Click(QAbstractButton* button) {
    ASSERT_TRUE(BackgroundWorkDone());
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString() << " is disabled";
    QTest::mouseClick(button, Qt::LeftButton);
}

// Clicks button, answers the message box the click opens with answer and returns the box's text.
inline QString ClickAnswering(QAbstractButton* button, QMessageBox::StandardButton answer) {
    QString text;
    const auto box = AnswerBox(answer, &text);
    Click(button);
    EXPECT_TRUE(box->Done()) << "no message box opened";
    return text;
}

// Clicks button and answers the file or folder question it asks with path, through ChooseFile's
// test seam (no dialog opens), and later ones as cancelled; returns what was asked for (mode,
// title, filter, start folder). Real dialogs come back after.
inline std::vector<CFileRequest> ClickChoosing(QAbstractButton* button, const QString& path) {
    std::vector<CFileRequest> requests;
    SetFileChooserForTests([&](const CFileRequest& request) {
        requests.push_back(request);
        return requests.size() == 1 ? path : QString();
    });
    Click(button);
    SetFileChooserForTests(nullptr);
    EXPECT_FALSE(requests.empty()) << "no file question came";
    return requests;
}

} // namespace halyx::test
