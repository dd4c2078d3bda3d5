#pragma once

#include "common/progress.h"

#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

class QWidget;

namespace halyx {

// How work in the background is shown: the text above the bar (the status texts the work sets
// are shown below it), and whether the dialog has a Cancel button. Work that cannot stop half
// way (a save) has none.
struct CBackgroundText {
    QString text;
    bool cancelable = true;
};

// Work shorter than this shows no dialog: a window that flashes up and away is worse than a
// short wait. Input to every window is held back meanwhile all the same.
inline constexpr int kBackgroundDialogDelayMs = 300;

// True while work started with RunInBackground has not been handed over yet (its continuation
// included). Tests wait on it; the program may ask it before it ends.
bool BackgroundWorkPending();

namespace detail {
// Runs work on a worker thread; finished runs on the window's thread when the work is over,
// with whether the user canceled. See RunInBackground.
void StartBackgroundWork(QWidget* parent, const CBackgroundText& text,
                         std::function<void(IProgress&)> work,
                         std::function<void(bool canceled)> finished);
// The default for work that failed: a message box naming the error.
void ShowBackgroundError(QWidget* parent, const QString& error);
} // namespace detail

// Runs work(IProgress&) on a worker thread and hands what it returns to done(result) on the
// window's thread; the window's event loop goes on meanwhile (no loop of its own, no waiting).
// Longer work shows an application-modal progress dialog: no window takes a click or a key,
// or closes, until the work is over, so nothing the work was given can change under it. The
// work's position, range and latest text go to the dialog, and Cancel (or Escape, or closing
// the dialog) asks the work to stop through IProgress::Canceled(); the work's result is then
// dropped and done is not called.
// An exception thrown by the work reaches failed(text) instead (by default a message box).
// Nothing is called once parent is gone.
// work runs on another thread: it must own what it reads and writes (copies, staged data) and
// touch nothing the window uses.
template <class Work, class Done>
void RunInBackground(QWidget* parent, const CBackgroundText& text, Work work, Done done,
                     std::function<void(const QString& error)> failed = {}) {
    using Result = std::invoke_result_t<Work&, IProgress&>;
    static_assert(!std::is_void_v<Result>, "background work returns what it made");
    struct Outcome {
        std::optional<Result> value;
        std::string error;
    };
    auto outcome = std::make_shared<Outcome>();
    detail::StartBackgroundWork(
        parent, text,
        [outcome, work = std::move(work)](IProgress& progress) mutable {
            try {
                outcome->value.emplace(work(progress));
            } catch (const std::exception& error) {
                outcome->error = error.what();
            } catch (...) {
                outcome->error = "an unknown error";
            }
        },
        [outcome, parent, done = std::move(done), failed = std::move(failed)](bool canceled) {
            if (canceled) {
                return;
            }
            if (!outcome->value) {
                const QString error = QString::fromStdString(outcome->error);
                if (failed) {
                    failed(error);
                } else {
                    detail::ShowBackgroundError(parent, error);
                }
                return;
            }
            done(std::move(*outcome->value));
        });
}

} // namespace halyx
