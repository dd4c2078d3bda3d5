#pragma once

#include "desktop/page.h"

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTableView;

namespace halyx {

class CHeatLegend;
class CWeatherGridModel;

// "Weather Modelling": the weather grid of one value kind and hour in an editable table, the
// variance sliders, the season and reference values that Update regenerates the grid from, and
// the weather file's Load Data / Save Data.
class CWeatherPage : public CPage {
    Q_OBJECT
public:
    CWeatherPage(CPageContext& context, QWidget* parent = nullptr);
    ~CWeatherPage() override;

    QString Caption() const override { return QStringLiteral("Weather Modelling"); }
    void Refresh() override;

    // Space variance = position / 900, time variance = position / 900 x 4.
    double SpaceVariance() const;
    double TimeVariance() const;

    void Update();
    void LoadData();
    void SaveData();
    void Test();
    // The file work behind the buttons; errors are reported in a message.
    bool LoadFrom(const QString& path);
    bool SaveTo(const QString& path);

    QTableView* Table() const { return m_table; }
    CWeatherGridModel* Model() const { return m_model; }
    QComboBox* ShowList() const { return m_show; }
    QComboBox* TimeList() const { return m_time; }
    QComboBox* SeasonList() const { return m_season; }
    QSlider* SpaceSlider() const { return m_spaceSlider; }
    QSlider* TimeSlider() const { return m_timeSlider; }
    QLabel* SpaceValue() const { return m_spaceValue; }
    QLabel* TimeValue() const { return m_timeValue; }
    // Temp, Pressure, Humidity, W. Speed, W. Dir.
    QLineEdit* ReferenceField(int kind) const { return m_reference[static_cast<size_t>(kind)]; }
    QPushButton* Button(const QString& text) const;

private:
    void ShowSeason(int season);
    void ShowReference();

    CPageContext& m_context;
    CWeatherGridModel* m_model = nullptr;
    CHeatLegend* m_legend = nullptr;
    QTableView* m_table = nullptr;
    QComboBox* m_show = nullptr;
    QComboBox* m_time = nullptr;
    QComboBox* m_season = nullptr;
    QSlider* m_spaceSlider = nullptr;
    QSlider* m_timeSlider = nullptr;
    QLabel* m_spaceValue = nullptr;
    QLabel* m_timeValue = nullptr;
    std::array<QLineEdit*, 5> m_reference{};
};

} // namespace halyx
