#include "controls/generatescenariodlg.h"

#include "common/paths.h"
#include "controls/filedialogs.h"
#include "controls/progressdialog.h"
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QUndoStack>

namespace halyx {
namespace {

QSpinBox* CountBox(QWidget* parent, int maximum, int value, int minimum = 0) {
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setValue(value);
    return box;
}

QString WithSeparator(QString folder) {
    if (!folder.endsWith(QLatin1Char('/')) && !folder.endsWith(QLatin1Char('\\'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

template <class T> std::vector<T> Units(const CUnitList<T>& list) {
    return std::vector<T>(list.begin(), list.end());
}

} // namespace

CGenerateScenarioDlg::CGenerateScenarioDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Auto Generate Scenarios"));
    m_scenarios = CountBox(this, kMaxBatchScenarios, 10, 1);
    m_radars = CountBox(this, kMaxBatchRadars, 5);
    m_interceptors = CountBox(this, kMaxBatchInterceptors, 5);
    m_incursions = CountBox(this, kMaxBatchIncursions, 5);
    m_folder = new QLineEdit(QString::fromStdString(DefaultScenarioFolder()), this);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    connect(browse, &QPushButton::clicked, this, &CGenerateScenarioDlg::ChooseFolder);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Generate"), this), 0, 0);
    grid->addWidget(m_scenarios, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("scenarios"), this), 0, 2);
    grid->addWidget(m_radars, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("radars per scenario"), this), 1, 2);
    grid->addWidget(m_interceptors, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("interceptors per scenario"), this), 2, 2);
    grid->addWidget(m_incursions, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("incursions per scenario"), this), 3, 2);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("Save Scenarios in:"), this));
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(browse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CGenerateScenarioDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(folderRow);
    layout->addWidget(buttons);
}

CBatchOptions CGenerateScenarioDlg::Options() const {
    CBatchOptions options;
    options.scenarios = m_scenarios->value();
    options.radars = m_radars->value();
    options.interceptors = m_interceptors->value();
    options.incursions = m_incursions->value();
    options.folder = m_folder->text().toStdString();
    return options;
}

void CGenerateScenarioDlg::accept() {
    if (m_folder->text().trimmed().isEmpty()) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Please enter a save location"));
        return;
    }
    m_folder->setText(WithSeparator(m_folder->text().trimmed()));
    QDialog::accept();
}

void CGenerateScenarioDlg::ChooseFolder() {
    const std::string start = DefaultScenarioFolder();
    CreatePath(start);
    CFileRequest request;
    request.mode = CFileRequest::Mode::Folder;
    request.title = QStringLiteral("Choose Folder");
    request.startFolder = QString::fromStdString(start);
    const QString folder = ChooseFile(this, QStringLiteral("GenerateScenarios"), request);
    if (!folder.isEmpty()) {
        m_folder->setText(WithSeparator(folder));
    }
}

void RunScenarioBatch(QWidget* parent, CScenario& scenario, QUndoStack& stack,
                      const CBatchOptions& options, std::function<void(const CBatchResult&)> then) {
    // The batch runs on a copy: everything that is not a unit is saved as it stands, and the
    // scenario the window shows changes only when the batch is over.
    auto copy = std::make_shared<CScenario>();
    CopyScenarioSet(scenario, *copy);
    struct Generated {
        CBatchResult result;
        std::vector<CIncursion> incursions;
        std::vector<CRadar> radars;
        std::vector<CInterceptor> interceptors;
    };
    RunInBackground(
        parent, {QStringLiteral("HALYX\n\nGenerating Scenarios...")},
        [copy, options](IProgress& progress) {
            Generated generated;
            generated.result = GenerateScenarioBatch(*copy, options, &progress);
            generated.incursions = Units(copy->Incursions());
            generated.radars = Units(copy->Radars());
            generated.interceptors = Units(copy->Interceptors());
            return generated;
        },
        [parent, &scenario, &stack, then](Generated generated) {
            // The lists take the last scenario's units as one undo step, so that Ctrl+Z brings
            // back the units the user had before.
            if (generated.incursions != Units(scenario.Incursions()) ||
                generated.radars != Units(scenario.Radars()) ||
                generated.interceptors != Units(scenario.Interceptors())) {
                stack.beginMacro(QStringLiteral("Generate scenarios"));
                PushReplaceUnits(stack, scenario, std::move(generated.incursions));
                PushReplaceUnits(stack, scenario, std::move(generated.radars));
                PushReplaceUnits(stack, scenario, std::move(generated.interceptors));
                stack.endMacro();
            }
            if (!generated.result.error.empty()) {
                QMessageBox::warning(parent, QStringLiteral("Auto Generate Scenarios"),
                                     QString::fromStdString(generated.result.error));
            }
            if (then) {
                then(generated.result);
            }
        });
}

} // namespace halyx
