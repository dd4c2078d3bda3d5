#include "controls/weathergridmodel.h"

#include "common/numtext.h"
#include "controls/scenariocommands.h"
#include "scenario/scenario.h"
#include "scenario/weathermap.h"

#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolTip>

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

namespace halyx {
namespace {

constexpr int kRows = CWeatherMap::kGridRows;
constexpr int kCols = CWeatherMap::kGridCols;

// Cold to hot: blue, cyan, green, yellow, red.
constexpr std::array<QRgb, 5> kRamp = {qRgb(49, 54, 149), qRgb(69, 170, 210), qRgb(120, 200, 110),
                                       qRgb(250, 220, 90), qRgb(215, 48, 39)};

QColor Mix(QRgb a, QRgb b, double t) {
    const auto channel = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
                  channel(qBlue(a), qBlue(b)));
}

} // namespace

CWeatherGridModel::CWeatherGridModel(CScenario& scenario, QUndoStack& stack, QObject* parent)
    : QAbstractTableModel(parent), m_scenario(scenario), m_stack(stack) {
    m_token = scenario.Subscribe([this](ScenarioChange change, int slot) {
        if (change == ScenarioChange::Replaced || (change == ScenarioChange::Weather && slot < 0)) {
            Recompute();
            emit dataChanged(index(0, 0), index(kRows - 1, kCols - 1));
        } else if (change == ScenarioChange::Weather) {
            const long long first = static_cast<long long>(m_layer) * CWeatherMap::kCellsPerLayer;
            if (slot >= first && slot < first + CWeatherMap::kCellsPerLayer) {
                const double low = m_low;
                const double high = m_high;
                Recompute();
                const int cell = static_cast<int>(slot - first);
                if (low != m_low || high != m_high) {
                    // Every colour depends on the range.
                    emit dataChanged(index(0, 0), index(kRows - 1, kCols - 1));
                } else {
                    emit dataChanged(index(cell / kCols, cell % kCols),
                                     index(cell / kCols, cell % kCols));
                }
            }
        }
    });
    Recompute();
}

CWeatherGridModel::~CWeatherGridModel() {
    m_scenario.Unsubscribe(m_token);
}

int CWeatherGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRows;
}

int CWeatherGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kCols;
}

long long CWeatherGridModel::SlotOf(int row, int column) const {
    return static_cast<long long>(row) * kCols + column +
           static_cast<long long>(m_layer) * CWeatherMap::kCellsPerLayer;
}

QVariant CWeatherGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const CWeatherData* cell = m_scenario.Weather().GetCell(SlotOf(index.row(), index.column()));
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (cell == nullptr) {
            return QStringLiteral("-");
        }
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", cell->GetValue(m_kind));
        return QString::fromLatin1(text);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        if (cell == nullptr) {
            return {};
        }
        return HeatColour(cell->GetValue(m_kind), m_low, m_high);
    case Qt::ForegroundRole:
        if (cell == nullptr) {
            return {};
        }
        return HeatColour(cell->GetValue(m_kind), m_low, m_high).lightness() < 110
                   ? QColor(Qt::white)
                   : QColor(Qt::black);
    default:
        return {};
    }
}

QVariant CWeatherGridModel::headerData(int section, Qt::Orientation, int role) const {
    if (role == Qt::DisplayRole) {
        return QString::number(section);
    }
    return {};
}

Qt::ItemFlags CWeatherGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && SlotOf(index.row(), index.column()) < m_scenario.Weather().GetCount()) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool CWeatherGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    // "hot" must not become 0.000 in the grid.
    const QString text = value.toString();
    if (const QString why = RefusalOf(m_kind, text); !why.isEmpty()) {
        emit EditRefused(why);
        return false;
    }
    const double number = ReadNumber(text.toStdString());
    return PushWeatherCellEdit(m_stack, m_scenario, SlotOf(index.row(), index.column()), m_kind,
                               number);
}

QString CWeatherGridModel::RefusalOf(int kind, const QString& text) {
    static const char* const kNames[kWeatherValueKinds] = {"Temperature", "Pressure", "Humidity",
                                                           "Wind speed", "Wind direction"};
    const QString name = QLatin1String(kNames[std::clamp(kind, 0, kWeatherValueKinds - 1)]);
    const std::string typed = text.toStdString();
    if (!IsNumberText(typed)) {
        return QStringLiteral("%1 must be a number (with '.' before any decimals): %2")
            .arg(name, text);
    }
    const double number = ReadNumber(typed);
    if (kind == kHumidity && (number < 0 || number > 100)) {
        return QStringLiteral("Humidity must lie between 0 and 100");
    }
    if (kind == kWindDir && (number < 0 || number > 360)) {
        return QStringLiteral("Wind direction must lie between 0 and 360");
    }
    if (kind == kWindSpeed && number < 0) {
        return QStringLiteral("Wind speed cannot be negative");
    }
    return {};
}

void CWeatherGridModel::SetShown(int kind, int layer) {
    m_kind = std::clamp(kind, 0, kWeatherValueKinds - 1);
    m_layer = std::clamp(layer, 0, CWeatherMap::kLayers - 1);
    Recompute();
    emit dataChanged(index(0, 0), index(kRows - 1, kCols - 1));
}

void CWeatherGridModel::Recompute() {
    double low = std::numeric_limits<double>::max();
    double high = std::numeric_limits<double>::lowest();
    const CWeatherMap& map = m_scenario.Weather();
    const long long first = static_cast<long long>(m_layer) * CWeatherMap::kCellsPerLayer;
    for (long long slot = first; slot < first + CWeatherMap::kCellsPerLayer; ++slot) {
        if (const CWeatherData* cell = map.GetCell(slot)) {
            const double value = cell->GetValue(m_kind);
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (low > high) {
        low = high = 0.0;
    }
    if (low != m_low || high != m_high) {
        m_low = low;
        m_high = high;
    }
    emit RangeChanged(m_low, m_high);
}

QColor CWeatherGridModel::HeatColour(double value, double low, double high) {
    double t = high > low ? (value - low) / (high - low) : 0.5;
    t = std::clamp(t, 0.0, 1.0) * (kRamp.size() - 1);
    const size_t band = std::min(static_cast<size_t>(t), kRamp.size() - 2);
    return Mix(kRamp[band], kRamp[band + 1], t - static_cast<double>(band));
}

void CHeatCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const QVariant background = index.data(Qt::BackgroundRole);
    if (selected) {
        painter->fillRect(option.rect, option.palette.highlight());
    } else if (background.isValid()) {
        painter->fillRect(option.rect, background.value<QColor>());
    }
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->setPen(selected               ? option.palette.color(QPalette::HighlightedText)
                    : foreground.isValid() ? foreground.value<QColor>()
                                           : option.palette.color(QPalette::Text));
    painter->drawText(option.rect.adjusted(2, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                      index.data(Qt::DisplayRole).toString());
}

CHeatLegend::CHeatLegend(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(40);
}

void CHeatLegend::SetRange(double low, double high) {
    m_low = low;
    m_high = high;
    update();
}

QSize CHeatLegend::sizeHint() const {
    return {240, 40};
}

void CHeatLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect bar(4, 2, width() - 8, height() / 2 - 2);
    QLinearGradient gradient(bar.topLeft(), bar.topRight());
    for (size_t i = 0; i < kRamp.size(); ++i) {
        gradient.setColorAt(static_cast<double>(i) / (kRamp.size() - 1), QColor(kRamp[i]));
    }
    painter.fillRect(bar, gradient);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    char low[64];
    char high[64];
    std::snprintf(low, sizeof low, "%.3f", m_low);
    std::snprintf(high, sizeof high, "%.3f", m_high);
    const QRect text(bar.left(), bar.bottom() + 2, bar.width(), height() - bar.bottom() - 2);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(low));
    painter.drawText(text, Qt::AlignRight | Qt::AlignTop, QString::fromLatin1(high));
}

QWidget* CHeatCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    auto* editor = new QLineEdit(parent);
    editor->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[+-]?[0-9]*\\.?[0-9]*")), editor));
    QObject::connect(editor, &QLineEdit::inputRejected, editor, [editor] {
        QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())),
                           QObject::tr("A number, with '.' before any decimals"), editor);
    });
    return editor;
}

} // namespace halyx
