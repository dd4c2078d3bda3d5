#pragma once

#include "scenario/unitkind.h"
#include "scenario/unitlist.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace halyx {

// One column of a unit table: its heading and its width.
struct CColumnLayout {
    QString heading;
    int width = 0;
};

// "Heading,width;Heading,width;..." as the unit tables are specified.
std::vector<CColumnLayout> ParseColumnLayout(const QString& layout);

// How the tables show a number, whichever unit kind stored it and how: at least three decimals,
// no zeros past them ("664.000000" and "664.000" both read "664.000", "28.123456" stays).
std::string TableNumberText(std::string text);

// What the three unit tables share: the columns, and a row count of its own. The list tells the
// model before each insertion or removal (begin...) and after it (end...); a bulk load comes as
// one reset afterwards. The model keeps the count the view last heard of, so that a view never
// asks for a row the model has not announced.
class CUnitTableModelBase : public QAbstractTableModel {
public:
    CUnitTableModelBase(const QString& columnLayout, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const std::vector<CColumnLayout>& Columns() const { return m_columns; }
    // The ID of the unit in a row of this model (not of a sorting proxy); empty outside.
    QString IdAt(int row) const;

protected:
    virtual int ListCount() const = 0;
    virtual std::string CellText(int row, int column) const = 0;
    void OnListChange(UnitListChange change, int index);
    void OnListPending(UnitListPending pending, int index);

private:
    bool m_resetBegun = false;
    std::vector<CColumnLayout> m_columns;
    int m_rows = 0;
};

// A table over one unit list, kept current through the list's notifier: whoever changes the
// list (a page, the editor, an undo) is seen by every table.
template <class T> class CUnitTableModel : public CUnitTableModelBase {
public:
    // The columns are the kind's (UnitTraits<T>::kColumns); column 1 is always the ID.
    explicit CUnitTableModel(CUnitList<T>& list, QObject* parent = nullptr)
        : CUnitTableModelBase(QString::fromLatin1(UnitTraits<T>::kColumns), parent), m_list(list) {
        m_beforeToken = m_list.SubscribeBefore(
            [this](UnitListPending pending, int index) { OnListPending(pending, index); });
        m_token = m_list.Subscribe(
            [this](UnitListChange change, int index) { OnListChange(change, index); });
        OnListChange(UnitListChange::Reset, -1);
    }
    ~CUnitTableModel() override {
        m_list.Unsubscribe(m_token);
        m_list.UnsubscribeBefore(m_beforeToken);
    }

    CUnitList<T>& List() { return m_list; }

protected:
    int ListCount() const override { return m_list.Count(); }
    std::string CellText(int row, int column) const override {
        return UnitTraits<T>::CellText(m_list.At(row), column);
    }

private:
    CUnitList<T>& m_list;
    int m_token = 0;
    int m_beforeToken = 0;
};

// Sorting by a column click without touching the list's order. Texts that both read as numbers
// are compared as numbers, so that "9" comes before "10".
class CUnitSortProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    // Reads each row's text of the column once for the whole sort, instead of twice per
    // comparison: ten thousand rows then sort without a noticeable pause.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    struct Key {
        bool number = false;
        double value = 0.0;
        QString text;
    };
    static Key KeyOf(const QString& text);
    static bool Less(const Key& a, const Key& b);

    std::vector<Key> m_keys;
    int m_keyColumn = -1;
};

} // namespace halyx
