#include "app/autosizecolumns.h"

#include <QTreeWidget>

#include "app/outside/unilistview.h"

void AutoSizeColumns(UniListView& listView) {
  QTreeWidget* tree = listView.treeWidget();
  // resizeColumnToContents takes the wider of the rows and the header section.
  for (int column = 0; column < tree->columnCount(); ++column) tree->resizeColumnToContents(column);
  listView.Refresh();
}
