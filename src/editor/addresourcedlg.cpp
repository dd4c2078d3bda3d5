#include "editor/addresourcedlg.h"

#include "common/numtext.h"
#include "scenario/incursion.h"
#include "scenario/interceptor.h"
#include "scenario/radar.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <utility>
#include <vector>

namespace halyx {
namespace {

std::string Std(const QString& text) {
    return text.toStdString();
}

QString Qt(const std::string& text) {
    return QString::fromStdString(text);
}

// A decimal number as typed: '.' before the decimals whatever the user's locale, as the stations
// and the files read it. The dialog's check says what is wrong with a complete text.
const QRegularExpression kNumberTyping(QStringLiteral("[+-]?[0-9]*\\.?[0-9]*"));
const QRegularExpression kWholeTyping(QStringLiteral("[0-9]*"));
// A parenthesis or a double quote in a name would leave a station's reader of the scenario
// message open.
const QRegularExpression kNameTyping(QStringLiteral("[^()\"]*"));

constexpr const char* kNameCharsMessage =
    "A unit name cannot hold (, ) or \" (the stations could not read the scenario)";

struct NumberRule {
    const char* label;
    double low;
    double high;
};

// Positions are in the map's own coordinates, which have no fixed bounds; speeds, ranges and
// times cannot be negative.
constexpr NumberRule kLatRule{"Lat", -1e300, 1e300};
constexpr NumberRule kLngRule{"Lng", -1e300, 1e300};
constexpr NumberRule kRangeRule{"Range", 0, 1e300};
constexpr NumberRule kSpeedRule{"Speed", 0, 1e300};
constexpr NumberRule kHeadingRule{"Heading", -1e300, 1e300};
constexpr NumberRule kTimeRule{"Time", 0, 1e300};

QString CheckNumber(const NumberRule& rule, const QString& text) {
    const std::string value = text.toStdString();
    if (!IsNumberText(value)) {
        return QStringLiteral("%1 must be a number (with '.' before any decimals)")
            .arg(QLatin1String(rule.label));
    }
    const double number = ReadNumber(value);
    if (number < rule.low || number > rule.high) {
        return rule.high > 1e299
                   ? QStringLiteral("%1 cannot be negative").arg(QLatin1String(rule.label))
                   : QStringLiteral("%1 must lie between %2 and %3")
                         .arg(QLatin1String(rule.label))
                         .arg(rule.low)
                         .arg(rule.high);
    }
    return {};
}

// Hides a field with its label and keeps it out of the tab order.
void ShowField(QLineEdit* edit, QLabel* label, bool shown) {
    edit->setVisible(shown);
    edit->setEnabled(shown);
    label->setVisible(shown);
    label->setEnabled(shown);
}

} // namespace

CAddResourceDlg::CAddResourceDlg(UnitKind kind, const CUnitTexts& texts, QWidget* parent)
    : QDialog(parent), m_kind(kind) {
    m_name = new QLineEdit(texts.name, this);
    m_lat = new QLineEdit(texts.latitude, this);
    m_lng = new QLineEdit(texts.longitude, this);
    m_range = new QLineEdit(texts.range, this);
    m_speed = new QLineEdit(texts.speed, this);
    m_heading = new QLineEdit(texts.heading, this);
    // An edited incursion keeps its start time; only a new one (no time yet) starts at 0.
    m_time = new QLineEdit(texts.time.isEmpty() ? QStringLiteral("0") : texts.time, this);
    m_why = new QLabel(this);
    m_why->setObjectName(QStringLiteral("why"));
    m_why->setWordWrap(true);
    m_why->setStyleSheet(QStringLiteral("color: #b00020;"));
    // A refused keystroke says why, so the field does not just seem dead.
    const auto guard = [this](QLineEdit* edit, const QRegularExpression& typing, QString why) {
        edit->setValidator(new QRegularExpressionValidator(typing, edit));
        connect(edit, &QLineEdit::inputRejected, this, [this, why] { m_why->setText(why); });
        connect(edit, &QLineEdit::textEdited, this, [this] { m_why->clear(); });
    };
    guard(m_name, kNameTyping, QString::fromUtf8(kNameCharsMessage));
    const std::pair<QLineEdit*, const char*> numbers[] = {{m_lat, "Lat"},
                                                          {m_lng, "Lng"},
                                                          {m_range, "Range"},
                                                          {m_speed, "Speed"},
                                                          {m_heading, "Heading"}};
    for (const auto& [edit, label] : numbers) {
        guard(edit, kNumberTyping,
              QStringLiteral("%1 takes a number, with '.' before any decimals")
                  .arg(QLatin1String(label)));
    }
    guard(m_time, kWholeTyping, QStringLiteral("Time takes a whole number of minutes"));
    m_name->setObjectName(QStringLiteral("name"));
    m_lat->setObjectName(QStringLiteral("lat"));
    m_lng->setObjectName(QStringLiteral("lng"));
    m_range->setObjectName(QStringLiteral("range"));
    m_speed->setObjectName(QStringLiteral("speed"));
    m_heading->setObjectName(QStringLiteral("heading"));
    m_time->setObjectName(QStringLiteral("time"));

    auto* nameLabel = new QLabel(QStringLiteral("Name:"), this);
    auto* latLabel = new QLabel(QStringLiteral("Lat:"), this);
    auto* lngLabel = new QLabel(QStringLiteral("Lng:"), this);
    auto* rangeLabel = new QLabel(QStringLiteral("Range:"), this);
    auto* speedLabel = new QLabel(QStringLiteral("Speed:"), this);
    auto* headingLabel = new QLabel(QStringLiteral("Heading:"), this);
    auto* timeLabel = new QLabel(QStringLiteral("Time:"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(m_name, 0, 1, 1, 3);
    grid->addWidget(latLabel, 1, 0);
    grid->addWidget(m_lat, 1, 1);
    grid->addWidget(lngLabel, 1, 2);
    grid->addWidget(m_lng, 1, 3);
    // Range and Speed share one place: no kind shows both.
    grid->addWidget(rangeLabel, 2, 0);
    grid->addWidget(m_range, 2, 1);
    grid->addWidget(speedLabel, 2, 0);
    grid->addWidget(m_speed, 2, 1);
    grid->addWidget(headingLabel, 2, 2);
    grid->addWidget(m_heading, 2, 3);
    grid->addWidget(timeLabel, 3, 0);
    grid->addWidget(m_time, 3, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CAddResourceDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CAddResourceDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_why);
    layout->addWidget(buttons);

    const bool radar = kind == UnitKind::Radar;
    const bool incursion = kind == UnitKind::Incursion;
    ShowField(m_range, rangeLabel, radar);
    ShowField(m_speed, speedLabel, !radar);
    ShowField(m_heading, headingLabel, incursion);
    ShowField(m_time, timeLabel, incursion);
    switch (kind) {
    case UnitKind::Radar:
        setWindowTitle(QStringLiteral("Add/Edit Radar"));
        break;
    case UnitKind::Interceptor:
        setWindowTitle(QStringLiteral("Add/Edit Interceptor"));
        break;
    case UnitKind::Incursion:
        setWindowTitle(QStringLiteral("Add/Edit Incursion"));
        break;
    }
}

CUnitTexts CAddResourceDlg::Texts() const {
    return CUnitTexts{m_name->text(),    m_lat->text(),   m_lng->text(), m_range->text(),
                      m_heading->text(), m_speed->text(), m_time->text()};
}

QString CAddResourceDlg::Check(UnitKind kind, const CUnitTexts& texts) {
    if (texts.name.isEmpty()) {
        return QStringLiteral("Please specify a name for this unit");
    }
    if (texts.latitude.isEmpty() || texts.longitude.isEmpty()) {
        return QStringLiteral("Please specify a Lat/Lng for this unit");
    }
    if (kind == UnitKind::Radar && texts.range.isEmpty()) {
        return QStringLiteral("Please specify a Range for this Radar");
    }
    if (kind == UnitKind::Interceptor && texts.speed.isEmpty()) {
        return QStringLiteral("Please specify a Speed for this Interceptor");
    }
    if (kind == UnitKind::Incursion && (texts.speed.isEmpty() || texts.heading.isEmpty())) {
        return QStringLiteral("Please specify a Speed and Heading for this Incursion");
    }
    if (texts.name.contains(QLatin1Char('(')) || texts.name.contains(QLatin1Char(')')) ||
        texts.name.contains(QLatin1Char('"'))) {
        return QString::fromUtf8(kNameCharsMessage);
    }
    std::vector<std::pair<NumberRule, const QString*>> fields = {{kLatRule, &texts.latitude},
                                                                 {kLngRule, &texts.longitude}};
    switch (kind) {
    case UnitKind::Radar:
        fields.emplace_back(kRangeRule, &texts.range);
        break;
    case UnitKind::Interceptor:
        fields.emplace_back(kSpeedRule, &texts.speed);
        break;
    case UnitKind::Incursion:
        fields.emplace_back(kSpeedRule, &texts.speed);
        fields.emplace_back(kHeadingRule, &texts.heading);
        fields.emplace_back(kTimeRule, &texts.time);
        break;
    }
    for (const auto& [rule, text] : fields) {
        if (QString problem = CheckNumber(rule, *text); !problem.isEmpty()) {
            return problem;
        }
    }
    return {};
}

void CAddResourceDlg::accept() {
    const QString problem = Check(m_kind, Texts());
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), problem);
        return;
    }
    QDialog::accept();
}

CUnitTexts TextsOf(const CIncursion& unit) {
    CUnitTexts texts;
    texts.name = Qt(unit.GetName());
    texts.latitude = Qt(unit.GetLat());
    texts.longitude = Qt(unit.GetLng());
    texts.speed = Qt(unit.GetSpeed());
    texts.heading = Qt(unit.GetHeading());
    texts.time = Qt(unit.GetTime());
    return texts;
}

CUnitTexts TextsOf(const CRadar& unit) {
    CUnitTexts texts;
    texts.name = Qt(unit.GetName());
    texts.latitude = Qt(unit.GetLat());
    texts.longitude = Qt(unit.GetLng());
    texts.range = Qt(unit.GetRange());
    return texts;
}

CUnitTexts TextsOf(const CInterceptor& unit) {
    CUnitTexts texts;
    texts.name = Qt(unit.GetName());
    texts.latitude = Qt(unit.GetLatText());
    texts.longitude = Qt(unit.GetLngText());
    texts.speed = Qt(unit.GetSpeedText());
    return texts;
}

CIncursion MakeIncursion(const CUnitTexts& texts, const std::string& id) {
    return CIncursion(Std(texts.name), id, Std(texts.latitude), Std(texts.longitude),
                      Std(texts.speed), Std(texts.heading), Std(texts.time));
}

CRadar MakeRadar(const CUnitTexts& texts, const std::string& id) {
    return CRadar(Std(texts.name), id, Std(texts.latitude), Std(texts.longitude), Std(texts.range),
                  "-", "-");
}

CInterceptor MakeInterceptor(const CUnitTexts& texts, const std::string& id) {
    return CInterceptor(Std(texts.name), id, Std(texts.latitude), Std(texts.longitude),
                        Std(texts.speed), "0", "-", "-", "-");
}

void ApplyTexts(const CUnitTexts& texts, CIncursion& unit) {
    unit.SetName(Std(texts.name));
    unit.SetLat(Std(texts.latitude));
    unit.SetLng(Std(texts.longitude));
    unit.SetSpeed(Std(texts.speed));
    unit.SetHeading(Std(texts.heading));
    unit.SetTime(Std(texts.time));
}

void ApplyTexts(const CUnitTexts& texts, CRadar& unit) {
    unit.SetName(Std(texts.name));
    unit.SetLat(Std(texts.latitude));
    unit.SetLng(Std(texts.longitude));
    unit.SetRange(Std(texts.range));
}

void ApplyTexts(const CUnitTexts& texts, CInterceptor& unit) {
    unit.SetName(Std(texts.name));
    unit.SetLatText(Std(texts.latitude));
    unit.SetLngText(Std(texts.longitude));
    unit.SetSpeedText(Std(texts.speed));
}

} // namespace halyx
