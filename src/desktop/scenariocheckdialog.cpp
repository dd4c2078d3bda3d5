#include "desktop/scenariocheckdialog.h"

#include "desktop/findingsmodel.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace halyx {

CScenarioCheckDialog::CScenarioCheckDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Scenario Check"));
    setWindowTitle(tr("Scenario Check"));
    m_model = new CFindingsModel(this);
    m_summary = new QLabel(this);
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table, &QTableView::clicked, this,
            [this](const QModelIndex& index) { RowClicked(index.row()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    resize(760, 360);
}

void CScenarioCheckDialog::SetFindings(std::vector<CFinding> findings) {
    const int errors = CountFindings(findings, FindingSeverity::Error);
    const int warnings = CountFindings(findings, FindingSeverity::Warning);
    m_model->SetFindings(std::move(findings));
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    if (errors == 0 && warnings == 0) {
        m_summary->setText(tr("The check found nothing to mend."));
    } else {
        m_summary->setText(tr("%1 error(s), %2 warning(s). Click a unit's finding to select it.")
                               .arg(errors)
                               .arg(warnings));
    }
}

void CScenarioCheckDialog::RowClicked(int row) {
    const std::vector<CFinding>& findings = m_model->Findings();
    if (row < 0 || static_cast<size_t>(row) >= findings.size()) {
        return;
    }
    const CFinding& finding = findings[static_cast<size_t>(row)];
    if (finding.unitKind && finding.unitIndex >= 0) {
        emit UnitChosen(*finding.unitKind, finding.unitIndex, QString::fromStdString(finding.unit));
    }
}

} // namespace halyx
