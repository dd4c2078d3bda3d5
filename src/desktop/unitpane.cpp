#include "desktop/unitpane.h"

#include "controls/addresourcedlg.h"
#include "controls/filedialogs.h"
#include "controls/genresdlg.h"
#include "controls/settings.h"
#include "controls/unittablemodel.h"
#include "desktop/page.h"
#include "scenario/scenario.h"
#include "scenario/unitfiles.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <set>

namespace halyx {

// What differs between the three kinds: the list, the dialog's fields, the texts and files.
class CUnitPane::IOps {
public:
    virtual ~IOps() = default;
    virtual CUnitTableModelBase* Model() = 0;
    virtual void AddNew(QWidget* parent) = 0;
    virtual void Edit(const std::string& id, QWidget* parent) = 0;
    virtual int Write(const std::string& path) = 0;
    // Reads into a scratch list, so that a broken file leaves the scenario's list as it was.
    virtual int Read(const std::string& path) = 0;
};

namespace {

// What the pane shows of its kind.
struct KindTexts {
    const char* title;
    const char* help;
    const char* help2;
    const char* loadText;
    const char* filter;
    const char* suffix;
    const char* dialogKey;
    std::array<int, 2> floatColumns;
};

KindTexts TextsFor(UnitKind kind) {
    return VisitUnitKind(kind, [](auto tag) {
        using Traits = UnitTraits<typename decltype(tag)::Type>;
        return KindTexts{Traits::kPaneTitle,  Traits::kPaneHelp,    Traits::kPaneHelp2,
                         Traits::kLoadButton, Traits::kFileFilter,  Traits::kFileSuffix,
                         Traits::kFileKey,    Traits::kFloatColumns};
    });
}

template <class T> class CUnitOps final : public CUnitPane::IOps {
public:
    explicit CUnitOps(CPageContext& context)
        : m_context(context), m_list(UnitTraits<T>::List(context.scenario)), m_model(m_list) {}

    CUnitTableModelBase* Model() override { return &m_model; }

    void AddNew(QWidget* parent) override {
        CAddResourceDlg dialog(UnitTraits<T>::kKind, {}, parent);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        // Units added on a page get "-" for the fields the dialog does not ask for.
        PushAddUnit(m_context.undoStack, m_context.scenario,
                    MakeUnit<T>(dialog.Texts(), m_list.NewId(), "-"));
    }

    void Edit(const std::string& id, QWidget* parent) override {
        const T* unit = m_list.FindById(id);
        if (unit == nullptr) {
            return; // the row's unit went away (the editor removed it meanwhile)
        }
        CAddResourceDlg dialog(UnitTraits<T>::kKind, TextsOf(*unit), parent);
        if (dialog.exec() != QDialog::Accepted) {
            return;
        }
        // Looked up again: the dialog ran an event loop in which the unit may have gone.
        const T* current = m_list.FindById(id);
        if (current == nullptr) {
            return;
        }
        T changed = *current;
        ApplyTexts(dialog.Texts(), changed);
        PushEditUnit(m_context.undoStack, m_context.scenario, changed);
    }

    int Write(const std::string& path) override { return WriteUnitFile(path, m_list); }

    int Read(const std::string& path) override {
        CUnitList<T> scratch;
        const int code = ReadUnitFile(path, scratch);
        if (code == 0) {
            PushReplaceUnits(m_context.undoStack, m_context.scenario,
                             std::vector<T>(scratch.begin(), scratch.end()));
        }
        return code;
    }

private:
    CPageContext& m_context;
    CUnitList<T>& m_list;
    CUnitTableModel<T> m_model;
};

std::unique_ptr<CUnitPane::IOps> MakeOps(CPageContext& context, UnitKind kind) {
    return VisitUnitKind(kind, [&](auto tag) -> std::unique_ptr<CUnitPane::IOps> {
        return std::make_unique<CUnitOps<typename decltype(tag)::Type>>(context);
    });
}

} // namespace

CUnitPane::CUnitPane(CPageContext& context, UnitKind kind, QWidget* parent)
    : QGroupBox(parent), m_context(context), m_kind(kind), m_ops(MakeOps(context, kind)) {
    const KindTexts texts = TextsFor(kind);
    setTitle(QString::fromLatin1(texts.title));

    auto* proxy = new CUnitSortProxy(this);
    proxy->setSourceModel(m_ops->Model());
    m_proxy = proxy;
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("units"));
    m_table->setModel(proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSortingEnabled(true);
    // Until the user clicks a heading the rows stay in the scenario's order.
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setAlternatingRowColors(true);
    const auto& columns = m_ops->Model()->Columns();
    const QFontMetrics metrics = m_table->fontMetrics();
    for (size_t i = 0; i < columns.size(); ++i) {
        // The widths are given for a narrow dialog font: scaled to the font in use, and never
        // narrower than the heading, or than a "%f" number where the column shows one.
        int width = columns[i].width * metrics.averageCharWidth() / 5;
        width = std::max(width, metrics.horizontalAdvance(columns[i].heading) + 20);
        if (static_cast<int>(i) >= texts.floatColumns[0] &&
            static_cast<int>(i) <= texts.floatColumns[1]) {
            width = std::max(width, metrics.horizontalAdvance(QStringLiteral("0000.000000")) + 12);
        }
        m_table->horizontalHeader()->resizeSection(static_cast<int>(i), width);
    }
    m_table->horizontalHeader()->setStretchLastSection(true);
    // Keyed by the kind's number, under which column widths have always been stored.
    CSettings::TrackHeader(m_table->horizontalHeader(),
                           QStringLiteral("UnitTable%1").arg(static_cast<int>(kind)));
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { EditRow(index.row()); });

    auto* buttons = new QVBoxLayout;
    const auto addButton = [this, buttons](const QString& text, void (CUnitPane::*slot)()) {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, slot);
        buttons->addWidget(button);
    };
    addButton(QStringLiteral("Save to Disk"), &CUnitPane::SaveToDisk);
    addButton(QString::fromLatin1(texts.loadText), &CUnitPane::LoadFromDisk);
    addButton(QStringLiteral("Add New"), &CUnitPane::AddNew);
    addButton(QStringLiteral("Remove"), &CUnitPane::RemoveSelected);
    addButton(QStringLiteral("Remove All"), &CUnitPane::RemoveAll);
    addButton(QStringLiteral("Auto Generate"), &CUnitPane::AutoGenerate);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(QString::fromLatin1(texts.help), this);
    help->setWordWrap(true);
    layout->addWidget(help);
    if (texts.help2 != nullptr) {
        auto* help2 = new QLabel(QString::fromLatin1(texts.help2), this);
        help2->setWordWrap(true);
        layout->addWidget(help2);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(m_table, 1);
    row->addLayout(buttons);
    layout->addLayout(row, 1);
}

CUnitPane::~CUnitPane() {
    // The view goes before the model it shows.
    delete m_table;
    m_table = nullptr;
}

CUnitTableModelBase* CUnitPane::Model() const {
    return m_ops->Model();
}

QPushButton* CUnitPane::Button(const QString& text) const {
    return FindButton(this, text);
}

void CUnitPane::AddNew() {
    m_ops->AddNew(this);
}

void CUnitPane::EditRow(int viewRow) {
    const auto* proxy = static_cast<QSortFilterProxyModel*>(m_proxy);
    const QModelIndex source = proxy->mapToSource(proxy->index(viewRow, 1));
    const QString id = Model()->IdAt(source.row());
    if (!id.isEmpty()) {
        m_ops->Edit(id.toStdString(), this);
    }
}

void CUnitPane::RemoveSelected() {
    const auto* proxy = static_cast<QSortFilterProxyModel*>(m_proxy);
    std::vector<std::string> ids;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows(1)) {
        const QString id = Model()->IdAt(proxy->mapToSource(index).row());
        if (!id.isEmpty()) {
            ids.push_back(id.toStdString());
        }
    }
    PushRemoveUnits(m_context.undoStack, m_context.scenario, m_kind, ids);
}

void CUnitPane::RemoveAll() {
    PushRemoveAllUnits(m_context.undoStack, m_context.scenario, m_kind);
}

void CUnitPane::SaveToDisk() {
    const KindTexts texts = TextsFor(m_kind);
    const QString path = ChooseFormatFile(this, QString::fromLatin1(texts.dialogKey),
                                          CFileRequest::Mode::Save, texts.filter, texts.suffix);
    if (!path.isEmpty()) {
        SaveTo(path);
    }
}

void CUnitPane::LoadFromDisk() {
    const KindTexts texts = TextsFor(m_kind);
    const QString path = ChooseFormatFile(this, QString::fromLatin1(texts.dialogKey),
                                          CFileRequest::Mode::Open, texts.filter, texts.suffix);
    if (!path.isEmpty()) {
        LoadFrom(path);
    }
}

bool CUnitPane::SaveTo(const QString& path) {
    return RunFileWork(this, title(), path, [&] { return m_ops->Write(path.toStdString()); });
}

bool CUnitPane::LoadFrom(const QString& path) {
    return RunFileWork(this, title(), path, [&] { return m_ops->Read(path.toStdString()); });
}

void CUnitPane::AutoGenerate() {
    CGenResDlg dialog(m_kind, this);
    if (dialog.exec() == QDialog::Accepted) {
        PushGenerateUnits(m_context.undoStack, m_context.scenario, m_kind, dialog.Count());
    }
}

} // namespace halyx
