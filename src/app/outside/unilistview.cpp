#include "app/outside/unilistview.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

bool UniListItem::isValid() const {
  return m_tree != nullptr && m_item != nullptr && m_tree->indexOfTopLevelItem(m_item) >= 0;
}

int UniListItem::Index() const { return isValid() ? m_tree->indexOfTopLevelItem(m_item) + 1 : 0; }

QString UniListItem::Text() const { return isValid() ? m_item->text(0) : QString(); }

void UniListItem::setText(const QString& text) {
  if (isValid()) m_item->setText(0, text);
}

QString UniListItem::SubItems(int n) const {
  if (!isValid() || n < 1 || n >= m_tree->columnCount()) return {};
  return m_item->text(n);
}

void UniListItem::setSubItems(int n, const QString& text) {
  if (isValid() && n >= 1 && n < m_tree->columnCount()) m_item->setText(n, text);
}

int UniListItems::Count() const { return m_tree->topLevelItemCount(); }

UniListItem UniListItems::Add(const QString& text) {
  auto* item = new QTreeWidgetItem(m_tree);
  item->setText(0, text);
  return UniListItem(m_tree, item);
}

void UniListItems::Remove(int index) {
  if (index < 1 || index > Count()) return;
  delete m_tree->takeTopLevelItem(index - 1);
}

UniListItem UniListItems::Item(int index) const {
  if (index < 1 || index > Count()) return {};
  return UniListItem(m_tree, m_tree->topLevelItem(index - 1));
}

QString UniColumnHeader::Text() const {
  if (m_column < 0 || m_column >= m_tree->columnCount()) return {};
  return m_tree->headerItem()->text(m_column);
}

void UniColumnHeader::setText(const QString& text) {
  if (m_column >= 0 && m_column < m_tree->columnCount())
    m_tree->headerItem()->setText(m_column, text);
}

int UniColumnHeaders::Count() const { return m_tree->columnCount(); }

void UniColumnHeaders::Add(const QString& text) {
  const int column = m_tree->columnCount();
  m_tree->setColumnCount(column + 1);
  m_tree->headerItem()->setText(column, text);
}

UniColumnHeader UniColumnHeaders::Item(int n) const {
  return UniColumnHeader(m_tree, n >= 1 && n <= Count() ? n - 1 : -1);
}

UniListView::UniListView(QWidget* parent) : UniControl(new QTreeWidget(parent)) {
  m_tree = static_cast<QTreeWidget*>(widget());
  m_tree->setColumnCount(0);
  m_tree->setRootIsDecorated(false);
  m_tree->setItemsExpandable(false);
  m_tree->setUniformRowHeights(true);
  m_tree->setAllColumnsShowFocus(true);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_tree->header()->setStretchLastSection(false);
  m_tree->header()->setSectionsMovable(false);
  m_tree->installEventFilter(this);
}

std::optional<UniListItem> UniListView::SelectedItem() const {
  // Only a selected row: the current row (the one with the focus frame) may
  // be unselected, and acting on it would surprise the user.
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  return UniListItem(m_tree, selected.first());
}

void UniListView::setSelectedIndex(int index) {
  QTreeWidgetItem* item = index >= 1 && index <= m_tree->topLevelItemCount()
                              ? m_tree->topLevelItem(index - 1)
                              : nullptr;
  m_tree->setCurrentItem(item);
  if (item != nullptr) item->setSelected(true);
}

void UniListView::Refresh() { m_tree->viewport()->update(); }

bool UniListView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_tree && event->type() == QEvent::KeyPress) {
    const int code = windowsKeyCode(static_cast<QKeyEvent*>(event)->key());
    if (code != 0) emit KeyDown(code);
  }
  return UniControl::eventFilter(watched, event);
}
