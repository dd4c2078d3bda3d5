#pragma once

#include "common/progress.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QProgressDialog;
class QWidget;

namespace halyx {

// Progress of long core work in a window-modal progress dialog: a title text above the status
// text, a bar, and a Cancel button the work polls between steps. Each step lets the window
// repaint, so the program never looks frozen.
class CProgressDialog final : public IProgress {
public:
    // The first text the work sets is its title ("HALYX\n\nSaving Scenario"); later texts are
    // the status shown below it. Without cancelable the dialog has no Cancel button, for work
    // that cannot stop half way.
    CProgressDialog(QWidget* parent, bool cancelable);
    ~CProgressDialog() override;

    void SetRange(int low, int high) override;
    void SetPos(int pos) override;
    void SetText(const std::string& text) override;
    bool Canceled() const override;
    void Close() override;

    QProgressDialog* Dialog() const { return m_dialog.get(); }
    // Every text the work set, in order (tests read the steps from it).
    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    QString m_title;
    std::vector<std::string> m_texts;
    std::unique_ptr<QProgressDialog> m_dialog;
};

// Runs work on a worker thread. Work that is over within a moment just returns; longer work
// goes on behind an application-modal progress dialog with text and a Cancel button, while the
// window repaints and the network is served. Cancel asks the work to stop (it sees Canceled())
// and waits for it. False when the user canceled: the work's results are then to be dropped.
// work must touch nothing the window's thread uses meanwhile.
bool RunWithProgress(QWidget* parent, const QString& text,
                     const std::function<void(IProgress&)>& work);

} // namespace halyx
