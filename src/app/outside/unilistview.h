#pragma once
// A list view in report style with full-row selection. Items and column
// headers are addressed from 1; an item's text is its first column and
// SubItems(1..n) are the columns after it. An item handle that no longer
// refers to a row of the list (removed, or never valid) reads as empty and
// ignores writes, so a handler working on a vanished row simply goes on.
#include <QString>
#include <optional>

#include "app/outside/unicontrol.h"

class QTreeWidget;
class QTreeWidgetItem;

class UniListItem {
 public:
  UniListItem() = default;
  UniListItem(QTreeWidget* tree, QTreeWidgetItem* item) : m_tree(tree), m_item(item) {}

  bool isValid() const;
  // 1-based position in the list, 0 when the item is gone.
  int Index() const;
  QString Text() const;
  void setText(const QString& text);
  QString SubItems(int n) const;
  void setSubItems(int n, const QString& text);

 private:
  QTreeWidget* m_tree = nullptr;
  QTreeWidgetItem* m_item = nullptr;
};

class UniListItems {
 public:
  explicit UniListItems(QTreeWidget* tree) : m_tree(tree) {}

  int Count() const;
  // Appends a row with the given text and returns it.
  UniListItem Add(const QString& text);
  // Removes the row at a 1-based index; an index outside the list does nothing.
  void Remove(int index);
  UniListItem Item(int index) const;

 private:
  QTreeWidget* m_tree;
};

class UniColumnHeader {
 public:
  UniColumnHeader(QTreeWidget* tree, int column) : m_tree(tree), m_column(column) {}
  QString Text() const;
  void setText(const QString& text);

 private:
  QTreeWidget* m_tree;
  int m_column;  // 0-based; -1 for a header that does not exist
};

class UniColumnHeaders {
 public:
  explicit UniColumnHeaders(QTreeWidget* tree) : m_tree(tree) {}

  int Count() const;
  void Add(const QString& text);
  UniColumnHeader Item(int n) const;

 private:
  QTreeWidget* m_tree;
};

class UniListView : public UniControl {
  Q_OBJECT

 public:
  explicit UniListView(QWidget* parent);

  UniListItems ListItems() const { return UniListItems(m_tree); }
  UniColumnHeaders ColumnHeaders() const { return UniColumnHeaders(m_tree); }
  // The selected row, if any; a current row that is not selected is none.
  std::optional<UniListItem> SelectedItem() const;
  // Makes the row at a 1-based index the selected one.
  void setSelectedIndex(int index);
  void Refresh();
  QTreeWidget* treeWidget() const { return m_tree; }

 signals:
  // The key code of a key pressed in the list (46 is Delete).
  void KeyDown(int keyCode);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeWidget* m_tree;
};
