#pragma once

#include "desktop/page.h"
#include "ui/commpage.h"

#include <QTimer>

class QGridLayout;
class QGroupBox;
class QLineEdit;
class QSplitter;
class QTextEdit;

namespace halyx {

// "Human Communications": the subjects' chat transcript as it grows, the notes, and the
// communication log file (.hcl), over the presenter CCommPage.
class CCommPageWidget final : public CPage, public ICommPageView {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Human Communications";
    static constexpr const char* kLogFilter = "Halyx Communication Log (*.hcl)";

    CCommPageWidget(CPageContext& context, QWidget* parent = nullptr);
    ~CCommPageWidget() override;

    QString Caption() const override { return QString::fromUtf8(kCaption); }
    void Refresh() override;

    CCommPage& Presenter() { return m_page; }
    QTextEdit* Transcript() const { return m_log; }
    QTextEdit* ReplayBox() const { return m_replay; }
    // Shows what is waiting now instead of at the next batch.
    void FlushTranscript();

    // ICommPageView
    void ShowMessage(const std::string& text) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QSplitter* BuildLogs();
    QGridLayout* BuildFields();
    void ShowFields();
    void LoadLog();
    void PickFolder();
    void ShowReplay();

    CPageContext& m_context;
    CCommPage m_page;
    QTextEdit* m_log = nullptr;
    QLineEdit* m_location = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_notes = nullptr;
    // How much of the presenter's transcript the box shows, and the few characters before that
    // point, to tell an addition at the end from a replaced or trimmed transcript.
    std::size_t m_shown = 0;
    std::string m_shownTail;
    QTimer m_batch;
    QGroupBox* m_replayBox = nullptr;
    QTextEdit* m_replay = nullptr;
    // How much of which replay text the box shows.
    std::size_t m_replayShown = 0;
    unsigned m_replayGeneration = 0;
};

} // namespace halyx
