// Editing the port list on the real window, driven by real key and mouse
// events: adding, refusing duplicates, removing after a Yes/No question (by
// button and by the Delete key), the port entry's key filter, and the list
// surviving a restart through ports.dat.
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "app/frmmain.h"
#include "messageboxanswerer.h"
#include "windowactivation.h"

namespace {

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList rowsOf(const FrmMain& window) {
  QStringList rows;
  const UniListItems items = window.ListView1.ListItems();
  for (int row = 1; row <= items.Count(); ++row) {
    rows << items.Item(row).Text() + QLatin1Char(',') + items.Item(row).SubItems(1);
  }
  return rows;
}

}  // namespace

class PortListEditingTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_folder.isValid());
    m_window = std::make_unique<FrmMain>(m_folder.path());
    m_window->Form_Load();
    m_window->show();
    QVERIFY(testsupport::activateWindow(*m_window));
  }
  void cleanup() {
    m_window.reset();
    QFile::remove(portFile());
  }

  void addingAPortStoresItAndClearsTheEntry() {
    typePort(QStringLiteral("8080"));
    clickAdd();
    QCOMPARE(rowsOf(*m_window), QStringList{"8080,TCP"});
    QCOMPARE(m_window->Text1.Text(), QString());
    QVERIFY(testsupport::focusArrives(*entry()));
    QCOMPARE(readFile(portFile()), QByteArray("8080,TCP\r\n"));

    chooseProtocol(QStringLiteral("UDP"));
    typePort(QStringLiteral("53"));
    clickAdd();
    QCOMPARE(rowsOf(*m_window), (QStringList{"8080,TCP", "53,UDP"}));
    QCOMPARE(readFile(portFile()), QByteArray("8080,TCP\r\n53,UDP\r\n"));
    // The columns were sized to the new rows: nothing in them is cut off.
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    for (int column = 0; column < tree->columnCount(); ++column) {
      const int width = tree->columnWidth(column);
      tree->resizeColumnToContents(column);
      QCOMPARE(tree->columnWidth(column), width);
    }
  }

  void addingWithAnEmptyEntryOnlyMovesTheFocus() {
    m_window->Command2.button()->setFocus();
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    clickAdd();
    QCOMPARE(answerer.boxesAnswered(), 0);
    QCOMPARE(m_window->ListView1.ListItems().Count(), 0);
    QVERIFY(testsupport::focusArrives(*entry()));
    QVERIFY(!QFile::exists(portFile()));
  }

  void aDuplicateIsRefusedWithAMessageButTheOtherProtocolIsNot() {
    typePort(QStringLiteral("80"));
    clickAdd();
    typePort(QStringLiteral("80"));
    {
      MessageBoxAnswerer answerer(QMessageBox::Ok);
      clickAdd();
      QCOMPARE(answerer.boxesAnswered(), 1);
      QCOMPARE(answerer.seen().text,
               QStringLiteral(
                   "This Port is already in the Port List, Please choose another.\r\n80 TCP"));
      QCOMPARE(answerer.seen().icon, QMessageBox::Information);
      QCOMPARE(answerer.seen().buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
    }
    QCOMPARE(rowsOf(*m_window), QStringList{"80,TCP"});
    // The refused text stays for correcting, and the entry has the focus again.
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("80"));
    QVERIFY(testsupport::focusArrives(*entry()));

    chooseProtocol(QStringLiteral("UDP"));
    clickAdd();
    // Ports are compared as typed: "080" is another port than "80".
    chooseProtocol(QStringLiteral("TCP"));
    typePort(QStringLiteral("080"));
    clickAdd();
    QCOMPARE(rowsOf(*m_window), (QStringList{"80,TCP", "80,UDP", "080,TCP"}));
    QCOMPARE(readFile(portFile()), QByteArray("80,TCP\r\n80,UDP\r\n080,TCP\r\n"));
  }

  void removingAsksFirstAndNoKeepsTheRow() {
    QVERIFY(writeFile(portFile(), "21,TCP\r\n22,TCP\r\n"));
    restart();
    selectRow(2);
    {
      MessageBoxAnswerer answerer(QMessageBox::No);
      QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
      QCOMPARE(answerer.boxesAnswered(), 1);
      QCOMPARE(answerer.seen().title, QStringLiteral("Confirm Delete:"));
      QCOMPARE(answerer.seen().text,
               QStringLiteral("Are You Sure Yo Want To Delete This Entry?\r\n22"));
      QCOMPARE(answerer.seen().buttons,
               (QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}));
    }
    QCOMPARE(rowsOf(*m_window), (QStringList{"21,TCP", "22,TCP"}));
    QCOMPARE(readFile(portFile()), QByteArray("21,TCP\r\n22,TCP\r\n"));

    {
      MessageBoxAnswerer answerer(QMessageBox::Yes);
      QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
      QCOMPARE(answerer.boxesAnswered(), 1);
    }
    QCOMPARE(rowsOf(*m_window), QStringList{"21,TCP"});
    QCOMPARE(readFile(portFile()), QByteArray("21,TCP\r\n"));
    QCOMPARE(m_window->Command2.Value(), 0);
  }

  void theDeleteKeyInTheListRemovesLikeTheButton() {
    QVERIFY(writeFile(portFile(), "21,TCP\r\n22,UDP\r\n23,TCP\r\n"));
    restart();
    selectRow(2);
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    tree->setFocus();
    QVERIFY(testsupport::focusArrives(*tree));
    {
      MessageBoxAnswerer answerer(QMessageBox::Yes);
      QTest::keyClick(tree, Qt::Key_Delete);
      QCOMPARE(answerer.boxesAnswered(), 1);
      QCOMPARE(answerer.seen().title, QStringLiteral("Confirm Delete:"));
    }
    QCOMPARE(rowsOf(*m_window), (QStringList{"21,TCP", "23,TCP"}));
    QCOMPARE(readFile(portFile()), QByteArray("21,TCP\r\n23,TCP\r\n"));
    // Other keys in the list ask nothing.
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    QTest::keyClick(tree, Qt::Key_Backspace);
    QTest::keyClick(tree, Qt::Key_A);
    QCOMPARE(answerer.boxesAnswered(), 0);
    QCOMPARE(m_window->ListView1.ListItems().Count(), 2);
  }

  void removingWithNoRowOrNoSelectionAsksNothing() {
    MessageBoxAnswerer answerer(QMessageBox::Yes);
    QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
    QVERIFY(writeFile(portFile(), "21,TCP\r\n"));
    restart();
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
    QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
    // A current row that is not selected (its focus frame only) is no selection either.
    tree->setCurrentItem(tree->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
    tree->clearSelection();
    QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
    tree->setFocus();
    QVERIFY(testsupport::focusArrives(*tree));
    QTest::keyClick(tree, Qt::Key_Delete);
    QCOMPARE(answerer.boxesAnswered(), 0);
    QCOMPARE(rowsOf(*m_window), QStringList{"21,TCP"});
    QCOMPARE(readFile(portFile()), QByteArray("21,TCP\r\n"));
  }

  void theEntryTakesOnlyDigitsBackspaceAndCopyCut() {
    QLineEdit* line = entry();
    line->setFocus();
    QVERIFY(testsupport::focusArrives(*line));
    QTest::keyClicks(line, QStringLiteral("1a2.-3 x"));
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("123"));
    QTest::keyClick(line, Qt::Key_Backspace);
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("12"));
    // Pasting (Ctrl+V) is not among the keys that pass; copying is.
    QGuiApplication::clipboard()->setText(QStringLiteral("99"));
    // As on a real keyboard, a Ctrl chord carries its control character.
    QTest::sendKeyEvent(QTest::Click, line, Qt::Key_V, QString(QChar(22)), Qt::ControlModifier);
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("12"));
    line->selectAll();
    QTest::sendKeyEvent(QTest::Click, line, Qt::Key_C, QString(QChar(3)), Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12"));
    // Text that already holds four dots (set by the program, not typed) takes no key at all.
    m_window->Text1.setText(QStringLiteral("1.2.3.4"));
    line->setCursorPosition(7);
    QTest::keyClick(line, Qt::Key_5);
    QTest::keyClick(line, Qt::Key_Backspace);
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("1.2.3.4"));
  }

  // The key filter sees typed characters only: editing and focus keys work as
  // in any entry, and Enter adds the port.
  void theEntryKeepsEditingKeysAndEnterAdds() {
    typePort(QStringLiteral("8080"));
    QLineEdit* line = entry();
    QTest::keyClick(line, Qt::Key_Home);
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClick(line, Qt::Key_End);
    QTest::keyClick(line, Qt::Key_Left);
    QTest::keyClick(line, Qt::Key_1);
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("0810"));
    QTest::keyClick(line, Qt::Key_Tab);
    QTRY_VERIFY_WITH_TIMEOUT(
        QApplication::focusWidget() != nullptr && QApplication::focusWidget() != line, 5000);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QVERIFY(testsupport::focusArrives(*line));
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(rowsOf(*m_window), QStringList{"0810,TCP"});
    QCOMPARE(readFile(portFile()), QByteArray("0810,TCP\r\n"));
    QCOMPARE(m_window->Text1.Text(), QString());
  }

  void theEntrySelectsItsWholeTextOnFocus() {
    m_window->Text1.setText(QStringLiteral("8080"));
    m_window->Command1.button()->setFocus();
    QVERIFY(testsupport::focusArrives(*m_window->Command1.button()));
    m_window->Text1.SetFocus();
    QVERIFY(testsupport::focusArrives(*entry()));
    QCOMPARE(m_window->Text1.SelStart(), 0);
    QCOMPARE(m_window->Text1.SelLength(), 4);
    // Typing replaces the selected number.
    QTest::keyClicks(entry(), QStringLiteral("443"));
    QCOMPARE(m_window->Text1.Text(), QStringLiteral("443"));
  }

  void theListComesBackIdenticalAfterARestart() {
    // A hand-edited file: duplicates, a blank line, no line end at the last line.
    QVERIFY(writeFile(portFile(), "443,TCP\r\n\r\n80,UDP\r\n443,TCP\r\n8080,TCP"));
    restart();
    QCOMPARE(rowsOf(*m_window), (QStringList{"443,TCP", "80,UDP", "443,TCP", "8080,TCP"}));
    // Remove the second row, add one, and start again: the same rows, in order.
    selectRow(2);
    {
      MessageBoxAnswerer answerer(QMessageBox::Yes);
      QTest::mouseClick(m_window->Command2.button(), Qt::LeftButton);
    }
    chooseProtocol(QStringLiteral("UDP"));
    typePort(QStringLiteral("27015"));
    clickAdd();
    const QStringList before = rowsOf(*m_window);
    QCOMPARE(before, (QStringList{"443,TCP", "443,TCP", "8080,TCP", "27015,UDP"}));
    restart();
    QCOMPARE(rowsOf(*m_window), before);
    QCOMPARE(readFile(portFile()), QByteArray("443,TCP\r\n443,TCP\r\n8080,TCP\r\n27015,UDP\r\n"));
  }

 private:
  QString portFile() const { return m_folder.filePath(QStringLiteral("ports.dat")); }
  QLineEdit* entry() const { return qobject_cast<QLineEdit*>(m_window->Text1.widget()); }

  // A new window on the same program folder, as the next start of the program.
  void restart() {
    m_window.reset();
    init();
  }

  void typePort(const QString& port) {
    QLineEdit* line = entry();
    line->setFocus();
    QVERIFY(testsupport::focusArrives(*line));
    line->selectAll();
    QTest::keyClicks(line, port);
    QCOMPARE(m_window->Text1.Text(), port);
  }

  void chooseProtocol(const QString& protocol) {
    QComboBox* combo = m_window->Combo2.comboBox();
    combo->setFocus();
    QVERIFY(testsupport::focusArrives(*combo));
    QTest::keyClick(combo, protocol == QStringLiteral("UDP") ? Qt::Key_Down : Qt::Key_Up);
    QCOMPARE(m_window->Combo2.Text(), protocol);
  }

  void clickAdd() { QTest::mouseClick(m_window->Command1.button(), Qt::LeftButton); }

  void selectRow(int row) {
    QTreeWidget* tree = m_window->ListView1.treeWidget();
    QTreeWidgetItem* item = tree->topLevelItem(row - 1);
    QVERIFY(item != nullptr);
    const QRect place = tree->visualItemRect(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, place.center());
    QCOMPARE(m_window->ListView1.SelectedItem().value_or(UniListItem()).Index(), row);
  }

  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(PortListEditingTest)
#include "frmmain_portlist_test.moc"
