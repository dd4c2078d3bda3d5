#include "desktop/savelogdialog.h"

#include "controls/filedialogs.h"
#include "controls/qstrings.h"
#include "controls/settings.h"
#include "record/savelocation.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace halyx {

CSaveLogDialog::CSaveLogDialog(CSaveLocation& where, QWidget* parent)
    : QDialog(parent), m_where(where) {
    setWindowTitle(QString::fromUtf8(CSaveLocation::kCaption));
    setObjectName(QStringLiteral("Save Log Dialog"));
    auto* grid = new QGridLayout(this);
    m_name = new QLineEdit(ToQString(where.Name()), this);
    m_location = new QLineEdit(ToQString(where.Location()), this);
    m_notes = new QPlainTextEdit(ToQString(where.Notes()), this);
    m_notes->setTabChangesFocus(true);
    m_pick = new QPushButton(QStringLiteral("..."), this);
    m_pick->setToolTip(tr("Choose the folder of the log"));
    m_preview = new QLabel(this);
    m_preview->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_preview->setWordWrap(true);
    m_preview->setMinimumWidth(420);
    m_name->setObjectName(QStringLiteral("Experiment Name"));
    m_location->setObjectName(QStringLiteral("Location"));
    m_notes->setObjectName(QStringLiteral("Notes"));
    m_preview->setObjectName(QStringLiteral("Preview"));
    m_taken = new QLabel(QString::fromUtf8(CSaveLocation::kNameTakenNote), this);
    m_taken->setObjectName(QStringLiteral("Name Taken"));
    m_taken->setStyleSheet(QStringLiteral("color: #b00020;"));
    m_taken->hide();

    grid->addWidget(new QLabel(QString::fromUtf8(CSaveLocation::kNameLabel), this), 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(CSaveLocation::kLocationLabel), this), 1, 0);
    grid->addWidget(m_location, 1, 1);
    grid->addWidget(m_pick, 1, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(CSaveLocation::kNotesLabel), this), 2, 0,
                    Qt::AlignTop);
    grid->addWidget(m_notes, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QString::fromUtf8(CSaveLocation::kPreviewLabel), this), 3, 0, 1, 3);
    grid->addWidget(m_preview, 4, 0, 1, 3);
    grid->addWidget(m_taken, 5, 0, 1, 3);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(m_buttons, 6, 0, 1, 3);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &CSaveLogDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CSaveLogDialog::reject);
    connect(m_name, &QLineEdit::textChanged, this, &CSaveLogDialog::ShowPreview);
    connect(m_location, &QLineEdit::textChanged, this, &CSaveLogDialog::ShowPreview);
    connect(m_pick, &QPushButton::clicked, this, &CSaveLogDialog::PickFolder);
    ShowPreview();
    m_name->selectAll();
    m_name->setFocus();
}

QPushButton* CSaveLogDialog::OkButton() const {
    return m_buttons->button(QDialogButtonBox::Ok);
}

void CSaveLogDialog::ReadBoxes() {
    m_where.SetName(m_name->text().toStdString());
    m_where.SetLocation(m_location->text().toStdString());
    m_where.SetNotes(m_notes->toPlainText().toStdString());
}

void CSaveLogDialog::ShowPreview() {
    ReadBoxes();
    m_preview->setText(ToQString(m_where.Preview()));
    m_taken->setVisible(m_where.NameTaken());
    OkButton()->setEnabled(m_where.OkEnabled());
}

void CSaveLogDialog::PickFolder() {
    ReadBoxes();
    const QString key = QStringLiteral("LogLocation");
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = QString::fromUtf8(CSaveLocation::kFolderPickerTitle);
    request.startFolder = CSettings::LastFolder(key, ToQString(m_where.BeginPickFolder()));
    const QString folder = ChooseFile(this, key, request);
    if (folder.isEmpty()) {
        return;
    }
    m_where.FolderPicked(folder.toStdString());
    m_location->setText(ToQString(m_where.Location()));
}

void CSaveLogDialog::accept() {
    ReadBoxes();
    std::string message;
    if (!m_where.Accept(message)) {
        if (!message.empty()) {
            QMessageBox::information(this, windowTitle(), ToQString(message));
        }
        return;
    }
    m_location->setText(ToQString(m_where.Location()));
    QDialog::accept();
}

} // namespace halyx
