#pragma once

#include "scenario/unitkind.h"

#include <QDialog>
#include <QString>

#include <string>
#include <string_view>

class QLabel;
class QLineEdit;

namespace halyx {

// The texts the unit dialog shows and hands back. Only the fields of the dialog's kind matter.
struct CUnitTexts {
    QString name;
    QString latitude;
    QString longitude;
    QString range;
    QString heading;
    QString speed;
    QString time;

    bool operator==(const CUnitTexts&) const = default;
};

// The dialog through which a unit page or the scenario editor adds a radar, an interceptor or
// an incursion, or edits one. It only collects and checks texts; the caller makes the change
// (through an undo command) after OK.
class CAddResourceDlg : public QDialog {
    Q_OBJECT
public:
    CAddResourceDlg(UnitKind kind, const CUnitTexts& texts, QWidget* parent = nullptr);

    UnitKind Kind() const { return m_kind; }
    // The fields as they stand.
    CUnitTexts Texts() const;

    // The first check the texts fail, as the message the dialog shows; empty when all pass.
    static QString Check(UnitKind kind, const CUnitTexts& texts);

    // Checks the fields: a failed check shows its message and keeps the dialog open.
    void accept() override;

    // The widgets, for tests that type into them as a user would.
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* LatEdit() const { return m_lat; }
    QLineEdit* LngEdit() const { return m_lng; }
    QLineEdit* RangeEdit() const { return m_range; }
    QLineEdit* SpeedEdit() const { return m_speed; }
    QLineEdit* HeadingEdit() const { return m_heading; }
    QLineEdit* TimeEdit() const { return m_time; }
    // Why the last keystroke was refused ("" when none was).
    QLabel* WhyLabel() const { return m_why; }

private:
    UnitKind m_kind;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_lat = nullptr;
    QLineEdit* m_lng = nullptr;
    QLineEdit* m_range = nullptr;
    QLineEdit* m_speed = nullptr;
    QLineEdit* m_heading = nullptr;
    QLineEdit* m_time = nullptr;
    QLabel* m_why = nullptr;
};

// The dialog's texts as the unit kinds' traits read and write them, and back.
CUnitTexts ToTexts(const CUnitFields& fields);
CUnitFields ToFields(const CUnitTexts& texts);

// The dialog's texts of a stored unit; the unit the dialog's texts make (unasked: the text of
// the fields the dialog does not ask for); the unit with what the dialog edits written back.
template <class T> CUnitTexts TextsOf(const T& unit) {
    return ToTexts(UnitTraits<T>::Fields(unit));
}
template <class T>
T MakeUnit(const CUnitTexts& texts, const std::string& id, std::string_view unasked) {
    return UnitTraits<T>::Make(ToFields(texts), id, unasked);
}
template <class T> void ApplyTexts(const CUnitTexts& texts, T& unit) {
    UnitTraits<T>::Apply(ToFields(texts), unit);
}

} // namespace halyx
