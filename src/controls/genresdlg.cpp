#include "controls/genresdlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace halyx {

CGenResDlg::CGenResDlg(UnitKind kind, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Auto Generate"));
    m_count = new QSpinBox(this);
    m_count->setRange(0, 100);
    m_count->setValue(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow(LabelText(kind), m_count);
    layout->addRow(buttons);
}

int CGenResDlg::Count() const {
    return m_count->value();
}

QString CGenResDlg::LabelText(UnitKind kind) {
    return QStringLiteral("%1 to Generate:").arg(QLatin1String(KindInfo(kind).pluralName));
}

} // namespace halyx
