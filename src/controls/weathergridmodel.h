#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QStyledItemDelegate>
#include <QWidget>

class QUndoStack;

namespace halyx {

class CScenario;

// The weather grid as a table: 40 rows by 40 columns of one value kind of one hourly layer, the
// row and column numbers in the headers. A cell shows its value with "%.3f", right-aligned, or
// "-" where the slot holds no cell, and is coloured by its value between the lowest and highest
// of the layer shown (a heat map), so that the weather band and its gradients show at a glance.
// Edits go through the undo stack; the model follows the map through the scenario's notifier.
class CWeatherGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    CWeatherGridModel(CScenario& scenario, QUndoStack& stack, QObject* parent = nullptr);
    ~CWeatherGridModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The text is read as a number (a text without one reads as 0); an empty slot gets a new
    // cell with all values 0 first.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Shows value kind (0-4) of layer (0-15).
    void SetShown(int kind, int layer);
    int Kind() const { return m_kind; }
    int Layer() const { return m_layer; }
    // The lowest and highest value of the shown kind and layer (both 0 without cells).
    double Low() const { return m_low; }
    double High() const { return m_high; }

    // The slot of a table cell in the shown layer.
    long long SlotOf(int row, int column) const;
    // The heat-map colour of a value between low and high.
    static QColor HeatColour(double value, double low, double high);
    // Why text cannot be a value of kind (not a number, or off its scale: humidity 0..100,
    // wind direction 0..360, wind speed not negative); "" when it can.
    static QString RefusalOf(int kind, const QString& text);

signals:
    // The range of the shown values changed (for the legend).
    void RangeChanged(double low, double high);
    // An edit was refused; why says why.
    void EditRefused(const QString& why);

private:
    void Recompute();

    CScenario& m_scenario;
    QUndoStack& m_stack;
    int m_token = 0;
    int m_kind = 0;
    int m_layer = 0;
    double m_low = 0.0;
    double m_high = 0.0;
};

// Paints a grid cell as a plain coloured box with its text: the style's full item painting costs
// more than a frame for a screen of 40 columns.
class CHeatCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    // The cell editor takes numbers only, with '.' whatever the locale, and says why it
    // refuses a key.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
};

// The colour scale of the heat map with its lowest and highest value.
class CHeatLegend : public QWidget {
    Q_OBJECT
public:
    explicit CHeatLegend(QWidget* parent = nullptr);
    void SetRange(double low, double high);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_low = 0.0;
    double m_high = 0.0;
};

} // namespace halyx
