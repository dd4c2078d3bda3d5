#include "desktop/agentcommpagewidget.h"

#include "agent/halyxcommand.h"
#include "common/paths.h"
#include "controls/filedialogs.h"
#include "controls/messagelistmodel.h"
#include "controls/progressdialog.h"
#include "controls/settings.h"
#include "external/kqml/parsertree.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace halyx {

namespace {

void AddNode(QTreeWidgetItem* parent, const CParserTreeNode& node) {
    auto* item = new QTreeWidgetItem(parent, {QString::fromStdString(node.text)});
    for (const CParserTreeNode& child : node.children) {
        AddNode(item, child);
    }
}

} // namespace

CAgentCommPageWidget::CAgentCommPageWidget(CPageContext& context, QWidget* parent)
    : CPage(parent), m_context(context) {
    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("AgentCommSplitter"));
    splitter->addWidget(
        BuildSide(m_incoming, tr("Incoming Messages"), QStringLiteral("Incoming"), false));
    splitter->addWidget(
        BuildSide(m_outgoing, tr("Outgoing Messages"), QStringLiteral("Outgoing"), true));
    CSettings::TrackSplitter(splitter, QStringLiteral("AgentCommPage/Sides"));
    auto* arrival = new QCheckBox(tr("Arrival order"), this);
    arrival->setObjectName(QStringLiteral("Arrival order"));
    arrival->setToolTip(tr("List the messages in the order they came instead of sorted as text"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(arrival);
    const QString arrivalKey = QStringLiteral("AgentCommPage/ArrivalOrder");
    const bool byArrival = CSettings::Text(arrivalKey, QStringLiteral("0")) == QLatin1String("1");
    m_incoming.model->SetArrivalOrder(byArrival);
    m_outgoing.model->SetArrivalOrder(byArrival);
    arrival->setChecked(byArrival);
    connect(arrival, &QCheckBox::toggled, this, [this, arrivalKey](bool checked) {
        CSettings::SetText(arrivalKey, checked ? QStringLiteral("1") : QStringLiteral("0"));
        m_incoming.model->SetArrivalOrder(checked);
        m_outgoing.model->SetArrivalOrder(checked);
    });

    CAgentCommStore& store = context.agent.CommStore();
    for (const std::string& text : store.Incoming()) {
        m_incoming.model->Add(QString::fromStdString(text));
    }
    for (const std::string& text : store.Outgoing()) {
        m_outgoing.model->Add(QString::fromStdString(text));
    }
    m_incoming.model->Flush();
    m_outgoing.model->Flush();
    store.SetPage(this);
}

CAgentCommPageWidget::~CAgentCommPageWidget() {
    if (m_context.agent.CommStore().GetPage() == this) {
        m_context.agent.CommStore().SetPage(nullptr);
    }
}

QWidget* CAgentCommPageWidget::BuildSide(Side& side, const QString& title, const QString& name,
                                         bool outgoing) {
    auto* box = new QGroupBox(title, this);
    // The outgoing group keeps its given name, "OutgoingMessages", for finding it; its caption
    // reads as words.
    box->setObjectName(outgoing ? QStringLiteral("OutgoingMessages") : title);
    auto* layout = new QVBoxLayout(box);
    side.model = new CMessageListModel(this);
    side.list = new QTreeView(box);
    side.list->setObjectName(name + QStringLiteral(" List"));
    side.list->setModel(side.model);
    side.list->setHeaderHidden(true);
    side.list->setRootIsDecorated(false);
    side.list->setUniformRowHeights(true);
    side.list->setSelectionMode(QAbstractItemView::SingleSelection);
    side.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    side.list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    side.list->header()->setStretchLastSection(false);
    side.list->header()->setSectionResizeMode(QHeaderView::Fixed);
    side.model->SetFont(side.list->font());
    side.tree = new QTreeWidget(box);
    side.tree->setObjectName(name + QStringLiteral(" Tree"));
    side.tree->setHeaderHidden(true);

    auto* lists = new QSplitter(Qt::Vertical, box);
    lists->addWidget(side.list);
    lists->addWidget(side.tree);
    // The list is what is read most; the tree needs only a few lines until a message is opened.
    lists->setStretchFactor(0, 3);
    lists->setStretchFactor(1, 2);
    CSettings::TrackSplitter(lists, QStringLiteral("AgentCommPage/") + name);
    layout->addWidget(lists);

    auto* buttons = new QHBoxLayout;
    auto* display = new QPushButton(tr("Display"), box);
    auto* clear = new QPushButton(tr("Clear"), box);
    auto* clearAll = new QPushButton(tr("Clear All"), box);
    auto* save = new QPushButton(tr("Save..."), box);
    save->setObjectName(name + QStringLiteral(" Save"));
    save->setToolTip(tr("Write the listed messages to a text file, one a line"));
    display->setObjectName(name + QStringLiteral(" Display"));
    clear->setObjectName(name + QStringLiteral(" Clear"));
    clearAll->setObjectName(name + QStringLiteral(" Clear All"));
    buttons->addWidget(display);
    buttons->addWidget(clear);
    buttons->addWidget(clearAll);
    buttons->addStretch();
    buttons->addWidget(save);
    layout->addLayout(buttons);

    Side* s = &side;
    connect(display, &QPushButton::clicked, this, [this, s, outgoing] { Display(*s, outgoing); });
    connect(side.list, &QTreeView::doubleClicked, this,
            [this, s, outgoing] { Display(*s, outgoing); });
    connect(side.list, &QTreeView::pressed, this, [s] { s->chosen = true; });
    connect(clear, &QPushButton::clicked, this, [s] { s->tree->clear(); });
    connect(save, &QPushButton::clicked, this, [this, s] { Save(*s); });
    connect(clearAll, &QPushButton::clicked, this, [s] {
        s->model->Clear();
        s->tree->clear();
        s->chosen = false;
        s->list->header()->resizeSection(0, 0);
    });
    connect(side.model, &CMessageListModel::BatchShown, this, [s](int, int rowsAfter) {
        // The widest entry sets the horizontal scroll width.
        s->list->header()->resizeSection(0, s->model->WidestText() + 16);
        // The list makes its last entry current after an addition, until the experimenter
        // picks one.
        if (!s->chosen && rowsAfter > 0) {
            s->list->setCurrentIndex(s->model->index(rowsAfter - 1, 0));
        }
    });
    return box;
}

namespace {

// The side's list as shown, taken on the window's thread so that it can be written on another.
QStringList ListedTexts(const CAgentCommPageWidget::Side& side) {
    side.model->Flush();
    QStringList texts;
    texts.reserve(side.model->rowCount());
    for (int row = 0; row < side.model->rowCount(); ++row) {
        texts << side.model->TextAt(row);
    }
    return texts;
}

// One text a line. The file is replaced only when every line was written: a failed or
// cancelled save leaves an earlier file as it was.
bool WriteLines(const QStringList& texts, const QString& path, IProgress* progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    if (progress) {
        progress->SetRange(0, static_cast<int>(texts.size()));
    }
    for (qsizetype row = 0; row < texts.size(); ++row) {
        if (progress && row % 4096 == 0) {
            if (progress->Canceled()) {
                return false;
            }
            progress->SetPos(static_cast<int>(row));
        }
        file.write(texts[row].toUtf8());
        file.write("\n", 1);
    }
    return file.commit();
}

} // namespace

bool CAgentCommPageWidget::SaveTo(const Side& side, const QString& path) {
    return WriteLines(ListedTexts(side), path, nullptr);
}

void CAgentCommPageWidget::Save(Side& side) {
    const QString key = QStringLiteral("AgentMessages");
    CFileRequest request;
    request.mode = CFileRequest::Mode::Save;
    request.title = tr("Save Messages");
    request.filter = tr("Text files (*.txt)");
    request.defaultSuffix = QStringLiteral("txt");
    request.startFolder = CSettings::LastFolder(key, QString::fromStdString(DefaultExpLogFolder()));
    const QString path = ChooseFile(this, key, request);
    if (path.isEmpty()) {
        return;
    }
    // A long session's list is tens of megabytes: it is written on a worker thread.
    // Canceled: the file is not replaced and nothing is said.
    RunInBackground(
        this, {tr("Saving Messages\n%1").arg(QFileInfo(path).fileName())},
        [texts = ListedTexts(side), path](IProgress& progress) {
            return WriteLines(texts, path, &progress);
        },
        [this, path](bool saved) {
            if (!saved) {
                QMessageBox::warning(this, QStringLiteral("HalyxCommand"),
                                     tr("The messages could not be saved to %1.").arg(path));
            }
        });
}

void CAgentCommPageWidget::AddIncomingText(const std::string& text) {
    m_incoming.model->Add(QString::fromStdString(text));
}

void CAgentCommPageWidget::AddOutgoingText(const std::string& text) {
    m_outgoing.model->Add(QString::fromStdString(text));
}

void CAgentCommPageWidget::Display(Side& side, bool outgoing) {
    const QModelIndex current = side.list->currentIndex();
    if (!current.isValid()) {
        if (outgoing) {
            QMessageBox::information(this, QStringLiteral("HalyxCommand"),
                                     QString::fromUtf8(kNothingSelected));
        }
        return;
    }
    ShowTree(side.tree, side.model->TextAt(current.row()));
}

void CAgentCommPageWidget::ShowTree(QTreeWidget* tree, const QString& text) {
    tree->clear();
    CParserTree parsed;
    const std::string message = text.toStdString();
    if (!parsed.ShowTree(message)) {
        // Unparsable text (a broken station message) is shown as it is, not lost.
        new QTreeWidgetItem(tree, {text});
        return;
    }
    auto* root = new QTreeWidgetItem(tree, {QString::fromStdString(parsed.root().text)});
    for (const CParserTreeNode& child : parsed.root().children) {
        AddNode(root, child);
    }
    root->setExpanded(true);
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* item = root->child(i);
        const QString key = item->text(0);
        if (key == QLatin1String(":sender") || key == QLatin1String(":receiver") ||
            key == QLatin1String(":content")) {
            item->setExpanded(true);
        }
    }
}

} // namespace halyx
