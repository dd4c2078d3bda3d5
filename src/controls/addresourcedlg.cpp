#include "controls/addresourcedlg.h"

#include "common/numtext.h"
#include "controls/qstrings.h"

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

    const CUnitKindInfo info = KindInfo(kind);
    ShowField(m_range, rangeLabel, (info.asks & kRangeField) != 0);
    ShowField(m_speed, speedLabel, (info.asks & kSpeedField) != 0);
    ShowField(m_heading, headingLabel, (info.asks & kHeadingField) != 0);
    ShowField(m_time, timeLabel, (info.asks & kTimeField) != 0);
    setWindowTitle(QStringLiteral("Add/Edit %1").arg(QLatin1String(info.name)));
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
    const CUnitKindInfo info = KindInfo(kind);
    // Each field the kind asks for, in the order its number is checked; Time may be left empty
    // for the number check to refuse.
    const std::pair<unsigned, std::pair<NumberRule, const QString*>> asked[] = {
        {kRangeField, {kRangeRule, &texts.range}},
        {kSpeedField, {kSpeedRule, &texts.speed}},
        {kHeadingField, {kHeadingRule, &texts.heading}},
        {kTimeField, {kTimeRule, &texts.time}}};
    for (const auto& [field, rule] : asked) {
        if ((info.asks & field) != 0 && field != kTimeField && rule.second->isEmpty()) {
            return QString::fromLatin1(info.missing);
        }
    }
    if (texts.name.contains(QLatin1Char('(')) || texts.name.contains(QLatin1Char(')')) ||
        texts.name.contains(QLatin1Char('"'))) {
        return QString::fromUtf8(kNameCharsMessage);
    }
    std::vector<std::pair<NumberRule, const QString*>> fields = {{kLatRule, &texts.latitude},
                                                                 {kLngRule, &texts.longitude}};
    for (const auto& [field, rule] : asked) {
        if ((info.asks & field) != 0) {
            fields.push_back(rule);
        }
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

CUnitTexts ToTexts(const CUnitFields& fields) {
    return CUnitTexts{ToQString(fields.name),      ToQString(fields.latitude),
                      ToQString(fields.longitude), ToQString(fields.range),
                      ToQString(fields.heading),   ToQString(fields.speed),
                      ToQString(fields.time)};
}

CUnitFields ToFields(const CUnitTexts& texts) {
    return CUnitFields{ToStdString(texts.name),      ToStdString(texts.latitude),
                       ToStdString(texts.longitude), ToStdString(texts.range),
                       ToStdString(texts.heading),   ToStdString(texts.speed),
                       ToStdString(texts.time)};
}

} // namespace halyx
