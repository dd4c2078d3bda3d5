#include "desktop/scenariopage.h"

#include "common/archive.h"
#include "common/paths.h"
#include "controls/filedialogs.h"
#include "controls/generatescenariodlg.h"
#include "controls/progressdialog.h"
#include "controls/qstrings.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace halyx {
namespace {

constexpr const char* kScenarioFilter = "Halyx Scenario File (*.hsf)|*.hsf||";

void SetIfChanged(QLineEdit* field, const std::string& text) {
    const QString value = QString::fromStdString(text);
    if (field->text() != value) {
        field->setText(value);
    }
}

} // namespace

CScenarioPage::CScenarioPage(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    auto* scenarioBox = new QGroupBox(QStringLiteral("Scenario"), this);
    auto* top = new QGridLayout(scenarioBox);
    m_name = new QLineEdit(scenarioBox);
    m_location = new QLineEdit(scenarioBox);
    m_notes = new QPlainTextEdit(scenarioBox);
    m_notes->setMinimumHeight(60);
    auto* browse = new QPushButton(QStringLiteral("..."), scenarioBox);
    top->addWidget(new QLabel(QStringLiteral("Scenario Name:"), scenarioBox), 0, 0);
    top->addWidget(m_name, 0, 1, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("Location:"), scenarioBox), 1, 0);
    top->addWidget(m_location, 1, 1);
    top->addWidget(browse, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("Notes:"), scenarioBox), 2, 0, Qt::AlignTop);
    top->addWidget(m_notes, 2, 1, 1, 2);
    top->setRowStretch(2, 1);
    connect(browse, &QPushButton::clicked, this, [this] { ChooseFolder(-1); });
    connect(m_name, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_model.SetName(ToStdString(text));
        ShowFields();
    });
    connect(m_location, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_model.SetLocation(ToStdString(text));
        ShowFields();
    });
    connect(m_notes, &QPlainTextEdit::textChanged, this,
            [this] { m_model.SetNotes(ToStdString(m_notes->toPlainText())); });

    auto* componentsBox = new QGroupBox(QStringLiteral("Components"), this);
    auto* grid = new QGridLayout(componentsBox);
    grid->addWidget(new QLabel(QStringLiteral("File"), componentsBox), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Location"), componentsBox), 0, 2);
    for (int i = 0; i < kScenarioComponents; ++i) {
        const auto component = kAllScenarioComponents[static_cast<size_t>(i)];
        auto* fileName = new QLineEdit(componentsBox);
        auto* location = new QLineEdit(componentsBox);
        auto* pick = new QPushButton(QStringLiteral("..."), componentsBox);
        m_fileNames[static_cast<size_t>(i)] = fileName;
        m_locations[static_cast<size_t>(i)] = location;
        grid->addWidget(new QLabel(QString::fromLatin1(ComponentLabel(component)), componentsBox),
                        i + 1, 0);
        grid->addWidget(fileName, i + 1, 1);
        grid->addWidget(location, i + 1, 2);
        grid->addWidget(pick, i + 1, 3);
        connect(fileName, &QLineEdit::textEdited, this, [this, component](const QString& text) {
            m_model.Fields().FileName(component) = ToStdString(text);
        });
        connect(location, &QLineEdit::textEdited, this, [this, component](const QString& text) {
            m_model.Fields().Location(component) = ToStdString(text);
        });
        connect(pick, &QPushButton::clicked, this, [this, i] { ChooseFolder(i); });
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 2);

    auto* buttons = new QHBoxLayout;
    const auto addButton = [this, buttons](const QString& text, auto slot) {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    };
    addButton(QStringLiteral("Save Scenario"), [this] { Save(); });
    addButton(QStringLiteral("Save Scenario As..."), [this] { SaveAs(); });
    addButton(QStringLiteral("Load Scenario"), [this] { Load(); });
    addButton(QStringLiteral("Check Scenario"), [this] { ShowScenarioCheck(); });
    buttons->addStretch(1);
    addButton(QStringLiteral("Generate Scenarios..."), [this] { GenerateScenarios(); });

    // The notes take the height the window has to spare.
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scenarioBox, 1);
    layout->addWidget(componentsBox);
    layout->addLayout(buttons);

    std::string scenarios = DefaultScenarioFolder();
    while (scenarios.size() > 1 && EndsWithSeparator(scenarios)) {
        scenarios.pop_back();
    }
    m_model.ChooseLocation(scenarios);
    ShowFields();
}

void CScenarioPage::Refresh() {
    ShowFields();
}

QPushButton* CScenarioPage::Button(const QString& text) const {
    return FindButton(this, text);
}

void CScenarioPage::ShowFields() {
    const CScenarioFields& fields = m_model.Fields();
    SetIfChanged(m_name, fields.name);
    SetIfChanged(m_location, fields.location);
    if (ToStdString(m_notes->toPlainText()) != fields.notes) {
        const QSignalBlocker block(m_notes);
        m_notes->setPlainText(ToQString(fields.notes));
    }
    for (int i = 0; i < kScenarioComponents; ++i) {
        const auto component = kAllScenarioComponents[static_cast<size_t>(i)];
        SetIfChanged(m_fileNames[static_cast<size_t>(i)], fields.FileName(component));
        SetIfChanged(m_locations[static_cast<size_t>(i)], fields.Location(component));
    }
}

void CScenarioPage::ChooseFolder(int component) {
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = QStringLiteral("Choose Folder");
    const QString folder = ChooseFile(this, QStringLiteral("ScenarioFolders"), request);
    if (folder.isEmpty()) {
        return;
    }
    std::string chosen = ToStdString(folder);
    if (component < 0) {
        // The picked folder is the parent: the name's folder is added to it (a trailing
        // separator would mark its last folder as a previous name's and drop it).
        while (chosen.size() > 1 && EndsWithSeparator(chosen)) {
            chosen.pop_back();
        }
        m_model.ChooseLocation(chosen);
    } else {
        // A component's path is its location followed by its file name: without a separator
        // the file would land beside the folder under a run-together name.
        if (!EndsWithSeparator(chosen)) {
            chosen += '/';
        }
        m_model.ChooseComponentLocation(kAllScenarioComponents[static_cast<size_t>(component)],
                                        chosen);
    }
    ShowFields();
}

void CScenarioPage::ShowSaveProblems(const std::string& error,
                                     const std::vector<std::string>& skipped) {
    if (!error.empty()) {
        QMessageBox::critical(this, Caption(), ToQString(error));
        return;
    }
    if (!skipped.empty()) {
        // A component that could not be written would be missing from the set without a word.
        QString text = QStringLiteral("These components could not be written:\n");
        for (const std::string& line : skipped) {
            text += ToQString(line) + QLatin1Char('\n');
        }
        QMessageBox::warning(this, Caption(), text);
    }
}

void CScenarioPage::Save(Then then) {
    const auto tell = [then](bool done) {
        if (then) {
            then(done);
        }
    };
    const std::string problem = m_model.CheckBeforeSave();
    if (!problem.empty()) {
        QMessageBox::warning(this, Caption(), ToQString(problem));
        tell(false);
        return;
    }
    // The files are written from a copy, so that nothing the worker reads can change under it.
    auto snapshot = std::make_shared<CScenario>();
    CopyScenarioSet(m_context.scenario, *snapshot);
    RunInBackground(
        this, {QStringLiteral("HALYX\n\nSaving Scenario"), false},
        [fields = m_model.Fields(), snapshot](IProgress& progress) {
            CScenarioSaveResult result;
            try {
                result = SaveScenarioSet(fields, *snapshot, &progress);
            } catch (const ArchiveError& error) {
                result.error = error.what();
            }
            return result;
        },
        [this, tell, index = m_context.undoStack.index()](const CScenarioSaveResult& result) {
            ShowSaveProblems(result.error, result.skipped);
            // Clean only when what was saved is what the scenario holds now.
            if (result.saved && m_context.undoStack.index() == index) {
                m_context.undoStack.setClean();
            }
            tell(result.saved);
        },
        [this, tell](const QString& error) {
            ShowSaveProblems(ToStdString(error), {});
            tell(false);
        });
}

void CScenarioPage::SaveAs() {
    CFileRequest request;
    request.mode = CFileRequest::Mode::Save;
    request.filter = QtFileFilter(QString::fromLatin1(kScenarioFilter));
    request.defaultSuffix = QStringLiteral("hsf");
    const QString path = ChooseFile(this, QStringLiteral("ScenarioFiles"), request);
    if (!path.isEmpty()) {
        SaveAs(path);
    }
}

void CScenarioPage::SaveAs(const QString& scenarioFile, Then then) {
    const QFileInfo file(scenarioFile);
    const std::string name = ToStdString(file.completeBaseName());
    std::string folder = ToStdString(file.absolutePath());
    if (!EndsWithSeparator(folder)) {
        folder += '/';
    }
    CScenarioFields fields = ScenarioFieldsFor(name, folder);
    fields.notes = m_model.Fields().notes;
    const CScenarioFields before = m_model.Fields();
    m_model.SetFields(fields);
    ShowFields();
    Save([this, before, then](bool saved) {
        if (!saved) {
            m_model.SetFields(before);
            ShowFields();
        }
        if (then) {
            then(saved);
        }
    });
}

void CScenarioPage::Load() {
    CFileRequest request;
    request.mode = CFileRequest::Mode::Open;
    request.filter = QtFileFilter(QString::fromLatin1(kScenarioFilter));
    request.defaultSuffix = QStringLiteral("hsf");
    const QString path = ChooseFile(this, QStringLiteral("ScenarioFiles"), request);
    if (!path.isEmpty()) {
        Load(path);
    }
}

void CScenarioPage::Load(const QString& scenarioFile, Then then) {
    RunInBackground(
        this, {QStringLiteral("HALYX\n\nLoading Scenario"), false},
        [path = ToStdString(scenarioFile)](IProgress& progress) {
            CStagedScenarioSet staged;
            try {
                staged = StageScenarioSet(path, &progress);
            } catch (const ArchiveError& error) {
                staged.result.ok = false;
                staged.result.error = error.what();
            }
            return staged;
        },
        [this, then](CStagedScenarioSet staged) {
            CScenarioFields fields = m_model.Fields();
            const CScenarioLoadResult result =
                CommitScenarioSet(staged, fields, m_context.scenario);
            ShowLoaded(result, fields);
            if (then) {
                then(result.ok);
            }
        },
        [this, then](const QString& error) {
            CScenarioLoadResult result;
            result.error = ToStdString(error);
            ShowLoaded(result, m_model.Fields());
            if (then) {
                then(false);
            }
        });
}

bool CScenarioPage::LoadAtOnce(const QString& scenarioFile) {
    CStagedScenarioSet staged;
    try {
        staged = StageScenarioSet(ToStdString(scenarioFile));
    } catch (const ArchiveError& error) {
        staged.result.ok = false;
        staged.result.error = error.what();
    }
    CScenarioFields fields = m_model.Fields();
    const CScenarioLoadResult result = CommitScenarioSet(staged, fields, m_context.scenario);
    ShowLoaded(result, fields);
    return result.ok;
}

void CScenarioPage::ShowLoaded(const CScenarioLoadResult& result, const CScenarioFields& fields) {
    if (result.error.empty()) {
        // The scenario file was read and its components went into the scenario (those that
        // could be read): the page shows the set as loaded, and that is the new starting point,
        // to which edits of the scenario before cannot be undone.
        m_model.SetFields(fields);
        ShowFields();
        m_context.undoStack.clear();
        m_context.undoStack.setClean();
    }
    if (!result.ok) {
        QMessageBox box(QMessageBox::Critical, Caption(), QStringLiteral("Error Loading Scenario"),
                        QMessageBox::Ok, this);
        QString detail = ToQString(result.error);
        for (const std::string& line : result.problems) {
            detail += QLatin1Char('\n') + ToQString(line);
        }
        box.setInformativeText(detail.trimmed());
        box.exec();
    }
}

void CScenarioPage::GenerateScenarios() {
    CGenerateScenarioDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        RunScenarioBatch(this, m_context.scenario, m_context.undoStack, dialog.Options());
    }
}

void CScenarioPage::ShowScenarioCheck() {
    if (!m_checkDialog) {
        m_checkDialog = new CScenarioCheckDialog(this);
        connect(m_checkDialog, &CScenarioCheckDialog::UnitChosen, this, &CScenarioPage::UnitChosen);
    }
    // Quick: map files are only looked up, web addresses are not fetched.
    m_checkDialog->SetFindings(CheckScenario(m_context.scenario));
    m_checkDialog->show();
    m_checkDialog->raise();
    m_checkDialog->activateWindow();
}

} // namespace halyx
