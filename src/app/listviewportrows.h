#pragma once
// The window's port list view as the port list file procedures see it: a row's
// item text is its port, its first sub-item its protocol. The list view stays
// the only copy of the port list; this only reads and appends through it.
#include "app/outside/unilistview.h"
#include "persist/modlist.h"

class ListViewPortRows : public PortRowList {
 public:
  explicit ListViewPortRows(UniListView& listView) : m_listView(listView) {}

  int portRowCount() const override;
  PortRow portRow(int index) const override;
  void appendPortRow(const PortRow& row) override;

 private:
  UniListView& m_listView;
};
