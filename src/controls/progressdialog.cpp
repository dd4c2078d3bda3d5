#include "controls/progressdialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace halyx {

CProgressDialog::CProgressDialog(QWidget* parent, bool cancelable)
    : m_dialog(std::make_unique<QProgressDialog>(parent)) {
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setWindowTitle(QStringLiteral("HALYX"));
    if (!cancelable) {
        m_dialog->setCancelButton(nullptr);
    }
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumWidth(420);
    m_dialog->show();
}

CProgressDialog::~CProgressDialog() = default;

void CProgressDialog::SetRange(int low, int high) {
    m_dialog->setRange(low, high);
}

void CProgressDialog::SetPos(int pos) {
    m_dialog->setValue(pos);
    QCoreApplication::processEvents();
}

void CProgressDialog::SetText(const std::string& text) {
    m_texts.push_back(text);
    if (m_title.isEmpty()) {
        m_title = QString::fromStdString(text);
        m_dialog->setLabelText(m_title);
    } else {
        m_dialog->setLabelText(m_title + QStringLiteral("\n\n") + QString::fromStdString(text));
    }
    QCoreApplication::processEvents();
}

bool CProgressDialog::Canceled() const {
    return m_dialog->wasCanceled();
}

void CProgressDialog::Close() {
    m_dialog->close();
}

} // namespace halyx
