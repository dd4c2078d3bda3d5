#pragma once

#include "scenario/unitkind.h"

#include <QDialog>

class QSpinBox;

namespace halyx {

// "Auto Generate": how many units of one kind to generate (0 to 100, starting at 0).
class CGenResDlg : public QDialog {
    Q_OBJECT
public:
    explicit CGenResDlg(UnitKind kind, QWidget* parent = nullptr);

    int Count() const;
    QSpinBox* CountBox() const { return m_count; }

    // "Incursions to Generate:", "Radars to Generate:" or "Interceptors to Generate:".
    static QString LabelText(UnitKind kind);

private:
    QSpinBox* m_count = nullptr;
};

} // namespace halyx
