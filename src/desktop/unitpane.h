#pragma once

#include "controls/scenariocommands.h"

#include <QGroupBox>
#include <QString>

#include <memory>

class QPushButton;
class QTableView;
class QAbstractItemModel;

namespace halyx {

struct CPageContext;
class CUnitTableModelBase;

// One unit table with its help texts and buttons: "Save to Disk", "Load from Disk", "Add New",
// "Remove", "Remove All", "Auto Generate", and a double click that edits a row. Every change
// goes through the scenario's undo stack; the table follows the list through its notifier.
class CUnitPane : public QGroupBox {
    Q_OBJECT
public:
    CUnitPane(CPageContext& context, UnitKind kind, QWidget* parent = nullptr);
    ~CUnitPane() override;

    UnitKind Kind() const { return m_kind; }
    QTableView* Table() const { return m_table; }
    // The table's own model (rows in list order); the view shows it through a sorting proxy.
    CUnitTableModelBase* Model() const;
    // The button with this text, or nullptr.
    QPushButton* Button(const QString& text) const;

    void AddNew();
    // Edits the unit of a row of the view (double click).
    void EditRow(int viewRow);
    void RemoveSelected();
    void RemoveAll();
    void SaveToDisk();
    void LoadFromDisk();
    void AutoGenerate();

    // The file work behind Save to Disk / Load from Disk. A file that cannot be written or read
    // is reported in a message; a broken file changes nothing. Answers whether it worked.
    bool SaveTo(const QString& path);
    bool LoadFrom(const QString& path);

    class IOps;

private:
    CPageContext& m_context;
    UnitKind m_kind;
    std::unique_ptr<IOps> m_ops;
    QTableView* m_table = nullptr;
    QAbstractItemModel* m_proxy = nullptr;
};

} // namespace halyx
