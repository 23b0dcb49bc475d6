// Editing the port list: Add, Remove (button or Delete key) and the port
// entry's select-all and key filter. Every change is written to the port list
// file at once and the columns are sized to their new content.
#include "app/autosizecolumns.h"
#include "app/frmmain.h"
#include "app/listviewportrows.h"
#include "persist/modlist.h"
#include "persist/userfolders.h"
#include "platform/doevents.h"

namespace {

constexpr int kDeleteKey = 46;
constexpr int kMaxDotsInEntry = 4;
// Control codes the port entry lets through besides the digits: Backspace and
// Ctrl+W, Ctrl+C, Ctrl+X. Ctrl+V (22) is not among them.
constexpr int kPassingControlCodes[] = {23, 8, 3, 24};

const QString kLineBreak = QStringLiteral("\r\n");

}  // namespace

void FrmMain::Command1_Click() {
  Command1.setValue(0);
  DoEvents();
  if (Text1.Text().isEmpty()) {
    Text1.SetFocus();
    return;
  }

  // Ports are told apart as typed: "80" and "080" are two ports.
  UniListItems items = ListView1.ListItems();
  for (int row = 1; row <= items.Count(); ++row) {
    const UniListItem item = items.Item(row);
    if (item.Text() == Text1.Text() && item.SubItems(1) == Combo2.Text()) {
      UniMsgBox1.Reset();
      UniMsgBox1.Show(Text6.Text() + kLineBreak + item.Text() + QLatin1Char(' ') + item.SubItems(1),
                      UniMsgBox::kStyleInformation);
      UniMsgBox1.Result(1);
      Text1.SetFocus();
      return;
    }
  }

  UniListItem added = items.Add(Text1.Text());
  added.setSubItems(1, Combo2.Text());
  Text1.setText(QString());
  Text1.SetFocus();

  savePortList();
}

void FrmMain::Command2_Click() {
  Command2.setValue(0);
  DoEvents();
  if (ListView1.ListItems().Count() == 0) return;

  // With no row selected there is nothing to confirm or remove.
  const std::optional<UniListItem> selected = ListView1.SelectedItem();
  if (!selected || !selected->isValid()) return;

  UniMsgBox1.Reset();
  UniMsgBox1.Show(Text7.Text() + kLineBreak + selected->Text(), UniMsgBox::kStyleYesNo,
                  Text8.Text());
  // A box that was never answered counts as No.
  if (UniMsgBox1.Result(1) != UniMsgBox::kAnswerYes) return;

  // The row may have gone while the box was open; then there is nothing to remove.
  const int index = selected->Index();
  if (index == 0) return;
  ListView1.ListItems().Remove(index);
  DoEvents();
  savePortList();
  DoEvents();
}

void FrmMain::ListView1_KeyDown(int keyCode) {
  if (keyCode == kDeleteKey) Command2_Click();
}

void FrmMain::Text1_GotFocus() {
  Text1.setSelStart(0);
  Text1.setSelLength(static_cast<int>(Text1.Text().size()));
}

void FrmMain::Text1_KeyPress(int& keyAscii) {
  const qsizetype dots = Text1.Text().count(QLatin1Char('.'));
  if (dots >= kMaxDotsInEntry) {
    keyAscii = 0;
    return;
  }
  if (keyAscii == '.' && dots == kMaxDotsInEntry - 1) {
    keyAscii = 0;
    return;
  }
  for (int code : kPassingControlCodes) {
    if (keyAscii == code) return;
  }
  if (keyAscii < '0' || keyAscii > '9') keyAscii = 0;
}

void FrmMain::savePortList() {
  // A save that fails keeps the previous file; the list stays changed in memory.
  const ListViewPortRows rows(ListView1);
  makeFolderOf(portListFile());
  SavePortList(rows, portListFile());
  DoEvents();
  AutoSizeColumns(ListView1);
  ListView1.Refresh();
}
