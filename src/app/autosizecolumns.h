#pragma once
// Sizes every column of a list view to the larger of its content and its
// header, then redraws the list. Called after every change of rows.
class UniListView;

void AutoSizeColumns(UniListView& listView);
