#pragma once

#include "controls/scenariocommands.h"

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace halyx {

class CIncursion;
class CInterceptor;
class CRadar;

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

// The dialog's texts of a stored unit, and the unit the dialog's texts make or change. A new
// unit gets the fixed texts of the fields the dialog does not ask for: radars Life and Owner
// "-", interceptors Heading, Range and Min Range 0 and Scope "-".
CUnitTexts TextsOf(const CIncursion& unit);
CUnitTexts TextsOf(const CRadar& unit);
CUnitTexts TextsOf(const CInterceptor& unit);
CIncursion MakeIncursion(const CUnitTexts& texts, const std::string& id);
CRadar MakeRadar(const CUnitTexts& texts, const std::string& id);
CInterceptor MakeInterceptor(const CUnitTexts& texts, const std::string& id);
// Writes back what the dialog edits: incursion Name, Lat, Lng, Speed, Heading, Time; radar Name,
// Lat, Lng, Range; interceptor Name, Lat, Lng, Speed. The other fields stay.
void ApplyTexts(const CUnitTexts& texts, CIncursion& unit);
void ApplyTexts(const CUnitTexts& texts, CRadar& unit);
void ApplyTexts(const CUnitTexts& texts, CInterceptor& unit);

} // namespace halyx
