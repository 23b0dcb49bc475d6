#include "app/listviewportrows.h"

int ListViewPortRows::portRowCount() const { return m_listView.ListItems().Count(); }

PortRow ListViewPortRows::portRow(int index) const {
  const UniListItem item = m_listView.ListItems().Item(index + 1);
  return PortRow{item.Text(), item.SubItems(1)};
}

void ListViewPortRows::appendPortRow(const PortRow& row) {
  UniListItem item = m_listView.ListItems().Add(row.port);
  item.setSubItems(1, row.protocol);
}
