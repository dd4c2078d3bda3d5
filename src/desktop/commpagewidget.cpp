#include "desktop/commpagewidget.h"

#include "agent/halyxcommand.h"

#include "controls/filedialogs.h"
#include "controls/qstrings.h"
#include "controls/settings.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace halyx {

namespace {
constexpr std::size_t kTailChars = 32;
constexpr int kBatchMs = 100;

} // namespace

CCommPageWidget::CCommPageWidget(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context), m_page(this) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildLogs(), 1);
    layout->addLayout(BuildFields());

    // Chat comes in bursts; the box catches up a few times a second.
    m_batch.setSingleShot(true);
    m_batch.setInterval(kBatchMs);
    // A hidden page does not lay out text nobody sees; it catches up when shown.
    connect(&m_batch, &QTimer::timeout, this, [this] {
        if (isVisible()) {
            FlushTranscript();
        }
    });
    FlushTranscript();
    ShowFields();
    context.agent.SetChatSink(&m_page);
}

CCommPageWidget::~CCommPageWidget() {
    m_context.agent.SetChatSink(nullptr);
}

// The live transcript above the replayed chat.
QSplitter* CCommPageWidget::BuildLogs() {
    auto* box = new QGroupBox(tr("Communication Log"), this);
    auto* boxLayout = new QVBoxLayout(box);
    m_log = new QTextEdit(box);
    m_log->setObjectName(QStringLiteral("Communication Log"));
    m_log->setReadOnly(true);
    m_log->setAcceptRichText(false);
    m_log->setLineWrapMode(QTextEdit::WidgetWidth);
    boxLayout->addWidget(m_log);

    m_replayBox = new QGroupBox(tr("Replayed Chat"), this);
    auto* replayLayout = new QVBoxLayout(m_replayBox);
    m_replay = new QTextEdit(m_replayBox);
    m_replay->setObjectName(QStringLiteral("Replayed Chat"));
    m_replay->setReadOnly(true);
    m_replay->setAcceptRichText(false);
    m_replay->setLineWrapMode(QTextEdit::WidgetWidth);
    m_replay->setToolTip(tr("The chat of the experiment being played back, by minute"));
    replayLayout->addWidget(m_replay);
    // Shown from the first replay on; a live session has no use for it.
    m_replayBox->setVisible(false);
    auto* logs = new QSplitter(Qt::Vertical, this);
    logs->addWidget(box);
    logs->addWidget(m_replayBox);
    logs->setChildrenCollapsible(false);
    return logs;
}

// The log file's location, name and notes, and the page's buttons.
QGridLayout* CCommPageWidget::BuildFields() {

    m_location = new QLineEdit(this);
    m_name = new QLineEdit(this);
    m_notes = new QLineEdit(this);
    m_location->setObjectName(QStringLiteral("Location"));
    m_name->setObjectName(QStringLiteral("Experiment Name"));
    m_notes->setObjectName(QStringLiteral("Notes"));
    auto* pick = new QPushButton(QStringLiteral("..."), this);
    pick->setObjectName(QStringLiteral("Choose Folder"));
    auto* save = new QPushButton(tr("Save Log"), this);
    auto* load = new QPushButton(tr("Load Log"), this);
    save->setObjectName(QStringLiteral("Save Log"));
    load->setObjectName(QStringLiteral("Load Log"));
    auto* test = new QPushButton(tr("Test"), this);
    test->setObjectName(QStringLiteral("Test"));
    test->setToolTip(tr("Add four sample entries to the log; nothing is sent or recorded"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tr("Location:"), this), 0, 0);
    fields->addWidget(m_location, 0, 1);
    fields->addWidget(pick, 0, 2);
    fields->addWidget(new QLabel(tr("Experiment Name:"), this), 1, 0);
    fields->addWidget(m_name, 1, 1, 1, 2);
    fields->addWidget(new QLabel(tr("Notes:"), this), 2, 0);
    fields->addWidget(m_notes, 2, 1, 1, 2);
    fields->addWidget(save, 0, 3);
    fields->addWidget(load, 1, 3);
    fields->addWidget(test, 2, 3);
    fields->setColumnStretch(1, 1);

    // A typed folder is taken when the box is left: the location then gets the experiment's
    // own folder appended, which must not happen under the cursor at every key.
    connect(m_location, &QLineEdit::editingFinished, this, [this] {
        if (m_location->text() != ToQString(m_page.Location())) {
            m_page.SetLocation(m_location->text().toStdString());
        }
    });
    connect(m_name, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_page.SetExperimentName(text.toStdString()); });
    connect(m_notes, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_page.SetNotes(text.toStdString()); });
    connect(pick, &QPushButton::clicked, this, &CCommPageWidget::PickFolder);
    connect(save, &QPushButton::clicked, this, [this] { m_page.SaveLog(); });
    connect(load, &QPushButton::clicked, this, &CCommPageWidget::LoadLog);
    connect(test, &QPushButton::clicked, this, [this] {
        m_page.AddTestEntries();
        FlushTranscript();
    });
    return fields;
}

void CCommPageWidget::showEvent(QShowEvent* event) {
    CPage::showEvent(event);
    FlushTranscript();
}

void CCommPageWidget::ShowMessage(const std::string& text) {
    QMessageBox::information(this, QStringLiteral("HalyxCommand"), ToQString(text));
}

void CCommPageWidget::Refresh() {
    ShowFields();
    if (!m_batch.isActive()) {
        m_batch.start();
    }
}

void CCommPageWidget::ShowFields() {
    const auto setText = [](QLineEdit* edit, const std::string& text) {
        const QString value = ToQString(text);
        if (edit->text() != value) {
            edit->setText(value);
        }
    };
    setText(m_location, m_page.Location());
    setText(m_name, m_page.ExperimentName());
    setText(m_notes, m_page.Notes());
}

void CCommPageWidget::FlushTranscript() {
    m_batch.stop();
    ShowReplay();
    const std::string& text = m_page.LogText();
    const bool extends =
        text.size() >= m_shown && m_shown >= m_shownTail.size() &&
        text.compare(m_shown - m_shownTail.size(), m_shownTail.size(), m_shownTail) == 0;
    QScrollBar* bar = m_log->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum() - 4;
    if (extends && m_shown > 0) {
        if (text.size() == m_shown) {
            return;
        }
        QTextCursor end(m_log->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ToQString(text.substr(m_shown)));
    } else {
        m_log->setPlainText(ToQString(text));
    }
    m_shown = text.size();
    m_shownTail = text.substr(m_shown - std::min(m_shown, kTailChars));
    // Follow the conversation unless the experimenter scrolled back to read.
    if (atEnd) {
        bar->setValue(bar->maximum());
    }
}

void CCommPageWidget::ShowReplay() {
    if (m_page.ReplayActive() && m_replayBox->isHidden()) {
        m_replayBox->setVisible(true);
    }
    const std::string& text = m_page.ReplayText();
    if (m_page.ReplayGeneration() != m_replayGeneration || text.size() < m_replayShown) {
        m_replay->setPlainText(ToQString(text));
    } else if (text.size() > m_replayShown) {
        QTextCursor end(m_replay->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ToQString(text.substr(m_replayShown)));
    } else {
        return;
    }
    m_replayShown = text.size();
    m_replayGeneration = m_page.ReplayGeneration();
    m_replay->verticalScrollBar()->setValue(m_replay->verticalScrollBar()->maximum());
}

void CCommPageWidget::PickFolder() {
    const QString key = QStringLiteral("CommLogLocation");
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = tr("Choose Folder");
    request.startFolder = CSettings::LastFolder(key, ToQString(m_page.Location()));
    const QString folder = ChooseFile(this, key, request);
    if (folder.isEmpty()) {
        return;
    }
    m_page.SetLocation(folder.toStdString());
    ShowFields();
}

void CCommPageWidget::LoadLog() {
    const QString key = QStringLiteral("CommLog");
    CFileRequest request;
    request.title = tr("Load Log");
    request.filter = QString::fromUtf8(kLogFilter);
    request.defaultSuffix = QStringLiteral("hcl");
    request.startFolder = CSettings::LastFolder(key, ToQString(m_page.Location()));
    const QString path = ChooseFile(this, key, request);
    if (path.isEmpty()) {
        return;
    }
    m_page.LoadLog(path.toStdString());
    FlushTranscript();
    ShowFields();
}

} // namespace halyx
