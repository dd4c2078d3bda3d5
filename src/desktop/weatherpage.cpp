#include "desktop/weatherpage.h"

#include "common/numtext.h"
#include "controls/filedialogs.h"
#include "controls/scenariocommands.h"
#include "controls/weathergridmodel.h"
#include "scenario/scenario.h"
#include "scenario/weathermap.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include <cstdio>

namespace halyx {
namespace {

constexpr int kSliderMax = 900;
constexpr const char* kWeatherFilter = "Halyx Weather Data (*.hwd)|*.hwd||";

QString TwoDecimals(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return QString::fromLatin1(text);
}

QSlider* MakeSlider(QWidget* parent, int position) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, kSliderMax);
    slider->setValue(position);
    return slider;
}

} // namespace

CWeatherPage::CWeatherPage(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    m_model = new CWeatherGridModel(context.scenario, context.undoStack, this);

    m_show = new QComboBox(this);
    m_show->addItems({QStringLiteral("Temperature"), QStringLiteral("Pressure"),
                      QStringLiteral("Humidity"), QStringLiteral("Wind Speed"),
                      QStringLiteral("Wind Direction")});
    m_time = new QComboBox(this);
    for (int hours = 16; hours >= 1; --hours) {
        m_time->addItem(QStringLiteral("T - %1 Hours").arg(hours));
    }
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    // Said after the editor has closed, not from inside the model's edit.
    connect(m_model, &CWeatherGridModel::EditRefused, this, [this](const QString& why) {
        QMetaObject::invokeMethod(
            this, [this, why] { QMessageBox::warning(this, QStringLiteral("Weather"), why); },
            Qt::QueuedConnection);
    });
    m_table->setItemDelegate(new CHeatCellDelegate(m_table));
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->horizontalHeader()->setDefaultSectionSize(64);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_legend = new CHeatLegend(this);
    connect(m_model, &CWeatherGridModel::RangeChanged, m_legend, &CHeatLegend::SetRange);
    m_legend->SetRange(m_model->Low(), m_model->High());

    const auto showSelected = [this] {
        m_model->SetShown(m_show->currentIndex(), m_time->currentIndex());
    };
    connect(m_show, &QComboBox::currentIndexChanged, this, showSelected);
    connect(m_time, &QComboBox::currentIndexChanged, this, showSelected);

    // Variance Range
    m_spaceSlider = MakeSlider(this, 270);
    m_timeSlider = MakeSlider(this, kSliderMax);
    m_spaceValue = new QLabel(TwoDecimals(SpaceVariance()), this);
    m_timeValue = new QLabel(TwoDecimals(TimeVariance()), this);
    connect(m_spaceSlider, &QSlider::valueChanged, this,
            [this] { m_spaceValue->setText(TwoDecimals(SpaceVariance())); });
    connect(m_timeSlider, &QSlider::valueChanged, this,
            [this] { m_timeValue->setText(TwoDecimals(TimeVariance())); });
    auto* variance = new QGroupBox(QStringLiteral("Variance Range"), this);
    auto* varianceGrid = new QGridLayout(variance);
    varianceGrid->addWidget(new QLabel(QStringLiteral("Space"), variance), 0, 0);
    varianceGrid->addWidget(new QLabel(QStringLiteral("0.0"), variance), 0, 1);
    varianceGrid->addWidget(m_spaceSlider, 0, 2);
    varianceGrid->addWidget(new QLabel(QStringLiteral("1.0"), variance), 0, 3);
    varianceGrid->addWidget(m_spaceValue, 0, 4);
    varianceGrid->addWidget(new QLabel(QStringLiteral("Time"), variance), 1, 0);
    varianceGrid->addWidget(new QLabel(QStringLiteral("0.0"), variance), 1, 1);
    varianceGrid->addWidget(m_timeSlider, 1, 2);
    varianceGrid->addWidget(new QLabel(QStringLiteral("4.0"), variance), 1, 3);
    varianceGrid->addWidget(m_timeValue, 1, 4);

    // Reference Values
    auto* reference = new QGroupBox(QStringLiteral("Reference Values"), this);
    auto* referenceForm = new QFormLayout(reference);
    m_season = new QComboBox(reference);
    for (int season = 0; season < CWeatherMap::kSeasons; ++season) {
        m_season->addItem(QString::fromLatin1(CWeatherMap::SeasonName(season)));
    }
    referenceForm->addRow(QStringLiteral("Season"), m_season);
    const char* const labels[] = {"Temp", "Pressure", "Humidity", "W. Speed", "W. Dir"};
    for (int kind = 0; kind < kWeatherValueKinds; ++kind) {
        auto* field = new QLineEdit(reference);
        field->setObjectName(QString::fromLatin1(labels[kind]));
        field->setAlignment(Qt::AlignRight);
        field->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[+-]?[0-9]*\\.?[0-9]*")), field));
        connect(field, &QLineEdit::inputRejected, field, [field] {
            QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())),
                               tr("A number, with '.' before any decimals"), field);
        });
        m_reference[static_cast<size_t>(kind)] = field;
        referenceForm->addRow(QString::fromLatin1(labels[kind]), field);
    }
    auto* update = new QPushButton(QStringLiteral("Update"), reference);
    referenceForm->addRow(update);
    connect(update, &QPushButton::clicked, this, &CWeatherPage::Update);
    connect(m_season, &QComboBox::currentIndexChanged, this, &CWeatherPage::ShowSeason);

    // Serialization
    auto* files = new QGroupBox(QStringLiteral("Serialization"), this);
    auto* filesRow = new QHBoxLayout(files);
    auto* load = new QPushButton(QStringLiteral("Load Data"), files);
    auto* save = new QPushButton(QStringLiteral("Save Data"), files);
    filesRow->addWidget(load);
    filesRow->addWidget(save);
    connect(load, &QPushButton::clicked, this, &CWeatherPage::LoadData);
    connect(save, &QPushButton::clicked, this, &CWeatherPage::SaveData);
    auto* test = new QPushButton(QStringLiteral("Test"), this);
    connect(test, &QPushButton::clicked, this, &CWeatherPage::Test);

    auto* lists = new QHBoxLayout;
    lists->addWidget(new QLabel(QStringLiteral("Show "), this));
    lists->addWidget(m_show);
    lists->addWidget(new QLabel(QStringLiteral("Time"), this));
    lists->addWidget(m_time);
    lists->addStretch(1);
    lists->addWidget(m_legend, 1);

    auto* tableBox = new QGroupBox(QStringLiteral("Weather Data"), this);
    auto* tableLayout = new QVBoxLayout(tableBox);
    tableLayout->addLayout(lists);
    tableLayout->addWidget(m_table, 1);

    auto* side = new QVBoxLayout;
    side->addWidget(variance);
    side->addWidget(reference);
    side->addWidget(files);
    side->addWidget(test);
    side->addStretch(1);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tableBox, 1);
    layout->addLayout(side);

    ShowReference();
}

CWeatherPage::~CWeatherPage() {
    // The view goes before the model it shows.
    delete m_table;
}

void CWeatherPage::Refresh() {
    m_model->SetShown(m_show->currentIndex(), m_time->currentIndex());
}

double CWeatherPage::SpaceVariance() const {
    return m_spaceSlider->value() / static_cast<double>(kSliderMax) * 1.0;
}

double CWeatherPage::TimeVariance() const {
    return m_timeSlider->value() / static_cast<double>(kSliderMax) * 4.0;
}

void CWeatherPage::ShowSeason(int season) {
    const CWeatherData values = CWeatherMap::SeasonReference(season);
    for (int kind = 0; kind < kWeatherValueKinds; ++kind) {
        m_reference[static_cast<size_t>(kind)]->setText(QString::number(values.GetValue(kind)));
    }
}

void CWeatherPage::ShowReference() {
    const CWeatherData& values = m_context.scenario.Weather().GetReference();
    for (int kind = 0; kind < kWeatherValueKinds; ++kind) {
        m_reference[static_cast<size_t>(kind)]->setText(QString::number(values.GetValue(kind)));
    }
}

void CWeatherPage::Update() {
    double values[kWeatherValueKinds];
    for (int kind = 0; kind < kWeatherValueKinds; ++kind) {
        const QString text = m_reference[static_cast<size_t>(kind)]->text();
        // "warm" would rebuild the whole grid around 0.
        if (const QString why = CWeatherGridModel::RefusalOf(kind, text); !why.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("Update"), why);
            return;
        }
        values[kind] = ReadNumber(text.toStdString());
    }
    const double space = SpaceVariance();
    const double time = TimeVariance();
    PushWeatherChange(m_context.undoStack, m_context.scenario, QStringLiteral("Update weather"),
                      [&](CWeatherMap& map) {
                          map.SetReferenceValues(values[kTemperature], values[kPressure],
                                                 values[kHumidity], values[kWindSpeed],
                                                 values[kWindDir]);
                          map.Generate(CWeatherMap::kCellsPerLayer, space, time);
                      });
    Refresh();
}

QPushButton* CWeatherPage::Button(const QString& text) const {
    return FindButton(this, text);
}

void CWeatherPage::LoadData() {
    const QString path = ChooseFormatFile(this, QStringLiteral("WeatherFiles"),
                                          CFileRequest::Mode::Open, kWeatherFilter, "hwd");
    if (!path.isEmpty()) {
        LoadFrom(path);
    }
}

void CWeatherPage::SaveData() {
    const QString path = ChooseFormatFile(this, QStringLiteral("WeatherFiles"),
                                          CFileRequest::Mode::Save, kWeatherFilter, "hwd");
    if (!path.isEmpty()) {
        SaveTo(path);
    }
}

bool CWeatherPage::LoadFrom(const QString& path) {
    const bool loaded = RunFileWork(this, Caption(), path, [&] {
        int code = 0;
        PushWeatherChange(
            m_context.undoStack, m_context.scenario, QStringLiteral("Load weather"),
            [&](CWeatherMap& map) { code = ReadWeatherFile(path.toStdString(), map); });
        return code;
    });
    if (loaded) {
        ShowReference();
        Refresh();
    }
    return loaded;
}

bool CWeatherPage::SaveTo(const QString& path) {
    return RunFileWork(this, Caption(), path, [&] {
        return WriteWeatherFile(path.toStdString(), m_context.scenario.Weather());
    });
}

void CWeatherPage::Test() {
    // The first cell of the base layer that carries weather: the one a station nearest the
    // band's corner would be answered from.
    const CWeatherMap& map = m_context.scenario.Weather();
    for (int slot = 0; slot < CWeatherMap::kCellsPerLayer; ++slot) {
        if (const CWeatherData* cell = map.GetCell(slot)) {
            char text[64];
            std::snprintf(text, sizeof text, "Temp = %f", cell->GetTemperature());
            QMessageBox::information(this, Caption(), QString::fromLatin1(text));
            return;
        }
    }
    QMessageBox::information(this, Caption(), QStringLiteral("No weather data"));
}

} // namespace halyx
