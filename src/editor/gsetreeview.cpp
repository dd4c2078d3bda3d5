#include "editor/gsetreeview.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMessageBox>
#include <QStandardItemModel>

namespace halyx {

namespace {

constexpr int kValueRole = Qt::UserRole + 1;

} // namespace

CGSETreeView::CGSETreeView(QWidget* parent) : QTreeView(parent) {
    m_model = new QStandardItemModel(this);
    setModel(m_model);
    // The pane says what it lists: the scenario files opened, saved or generated in this
    // editor, each loaded again from its menu.
    m_model->setHorizontalHeaderLabels({tr("Scenario Files")});
    setToolTip(tr("Scenario files of this session; right-click one to load it"));
    setRootIsDecorated(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void CGSETreeView::AddTreeEntry(const QString& text, qint64 value) {
    auto* item = new QStandardItem(text);
    item->setData(value, kValueRole);
    item->setToolTip(text);
    m_model->appendRow(item);
}

int CGSETreeView::EntryCount() const {
    return m_model->rowCount();
}

QString CGSETreeView::EntryText(int row) const {
    const QStandardItem* item = m_model->item(row);
    return item != nullptr ? item->text() : QString();
}

bool CGSETreeView::IsBold(int row) const {
    const QStandardItem* item = m_model->item(row);
    return item != nullptr && item->font().bold();
}

void CGSETreeView::LoadEntry(int row) {
    QStandardItem* chosen = m_model->item(row);
    if (chosen == nullptr) {
        return;
    }
    const QString caption = QStringLiteral("Load Scenario");
    const QString question = QString::fromUtf8(kLoadScenarioQuestion);
    const bool yes =
        m_ask ? m_ask(caption, question)
              : QMessageBox::question(this, caption, question,
                                      QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!yes) {
        return;
    }
    for (int i = 0; i < m_model->rowCount(); ++i) {
        QStandardItem* item = m_model->item(i);
        QFont font = item->font();
        font.setBold(item == chosen);
        item->setFont(font);
    }
    emit LoadRequested(chosen->text());
}

void CGSETreeView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid()) {
        return;
    }
    setCurrentIndex(index);
    QMenu menu(this);
    QAction* load = menu.addAction(QStringLiteral("Load Scenario"));
    QAction* chosen =
        m_runMenu ? m_runMenu(menu, event->globalPos()) : menu.exec(event->globalPos());
    if (chosen == load) {
        LoadEntry(index.row());
    }
}

} // namespace halyx
