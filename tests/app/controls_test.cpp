// The control adapters as the window's handlers use them: text and caret of
// text boxes, rejected keys, combo texts, 1-based list items, message box
// answers and column sizing.
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QTreeWidget>

#include "app/autosizecolumns.h"
#include "app/outside/outside.h"
#include "windowactivation.h"

namespace {

// Answers the next message box with the given button, once it is up.
void answerNextMessageBox(QMessageBox::StandardButton button, QString* seenText,
                          QString* seenTitle) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    *seenText = box->text();
    *seenTitle = box->windowTitle();
    box->button(button)->click();
    poll->deleteLater();
  });
  poll->start(20);
}

}  // namespace

class ControlTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { m_window = std::make_unique<QWidget>(); }
  void cleanup() { m_window.reset(); }

  void multiLineTextKeepsCrLfAndCountsCaretInIt() {
    UniText text(m_window.get(), UniText::Lines::Multi);
    text.setText(QStringLiteral("first\r\nsecond\r\nthird"));
    QCOMPARE(text.Text(), QStringLiteral("first\r\nsecond\r\nthird"));
    text.setSelStart(15);  // start of "third"
    QCOMPARE(text.SelStart(), 15);
    text.setSelLength(3);
    QCOMPARE(text.SelLength(), 3);
    auto* editor = qobject_cast<QPlainTextEdit*>(text.widget());
    QCOMPARE(editor->textCursor().selectedText(), QStringLiteral("thi"));
  }

  void oneLineHighTextShowsTheCaretLine() {
    UniText text(m_window.get(), UniText::Lines::Multi);
    text.widget()->setGeometry(0, 0, 400, 18);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QString content;
    for (int i = 0; i < 20; ++i) content += QStringLiteral("\r\nPage Status:line %1").arg(i);
    text.setText(content);
    const int newest = static_cast<int>(content.lastIndexOf(QStringLiteral("\r\n"))) + 2;
    text.setSelStart(newest);
    auto* editor = qobject_cast<QPlainTextEdit*>(text.widget());
    QCOMPARE(editor->cursorForPosition(QPoint(4, 4)).block().text(),
             QStringLiteral("Page Status:line 19"));
  }

  void singleLineSelectionAndGotFocus() {
    UniText text(m_window.get());
    int focusEvents = 0;
    connect(&text, &UniText::GotFocus, [&] {
      ++focusEvents;
      text.setSelStart(0);
      text.setSelLength(static_cast<int>(text.Text().size()));
    });
    text.setText(QStringLiteral("8080"));
    QVERIFY(showActive());
    text.SetFocus();
    QTRY_COMPARE_WITH_TIMEOUT(focusEvents, 1, 10000);
    QCOMPARE(text.SelStart(), 0);
    QCOMPARE(text.SelLength(), 4);
  }

  void keyPressCanRejectCharacters() {
    UniText text(m_window.get());
    QList<int> seen;
    connect(&text, &UniText::KeyPress, [&](int& keyAscii) {
      seen << keyAscii;
      if (keyAscii != 8 && (keyAscii < '0' || keyAscii > '9')) keyAscii = 0;
    });
    QVERIFY(showActive());
    text.SetFocus();
    QTest::keyClicks(text.widget(), QStringLiteral("8a0.8"));
    QCOMPARE(text.Text(), QStringLiteral("808"));
    QTest::keyClick(text.widget(), Qt::Key_Backspace);
    QCOMPARE(text.Text(), QStringLiteral("80"));
    QCOMPARE(seen, (QList<int>{'8', 'a', '0', '.', '8', 8}));
  }

  void comboShowsAnyTextAndKnowsItsItems() {
    UniCombo combo(m_window.get());
    combo.AddItem(QStringLiteral("Deutsch | German"));
    combo.AddItem(QStringLiteral("English | English"));
    QCOMPARE(combo.Text(), QString());
    combo.setText(QStringLiteral("English | English"));
    QCOMPARE(combo.ListIndex(), 1);
    combo.setText(QStringLiteral("Klingon | tlh"));
    QCOMPARE(combo.Text(), QStringLiteral("Klingon | tlh"));
    QCOMPARE(combo.ListIndex(), -1);
    QCOMPARE(combo.List(0), QStringLiteral("Deutsch | German"));
    QCOMPARE(combo.List(5), QString());
    int clicks = 0;
    connect(&combo, &UniCombo::Click, [&] { ++clicks; });
    emit combo.comboBox()->activated(0);
    QCOMPARE(clicks, 1);
    combo.Clear();
    QCOMPARE(combo.ListCount(), 0);
    QCOMPARE(combo.Text(), QString());
  }

  void listItemsAreOneBasedAndSurviveRemoval() {
    UniListView list(m_window.get());
    for (const char* header : {"Port", "", "Status", "Open?"})
      list.ColumnHeaders().Add(QString::fromLatin1(header));
    UniListItems items = list.ListItems();
    UniListItem first = items.Add(QStringLiteral("80"));
    first.setSubItems(1, QStringLiteral("TCP"));
    UniListItem second = items.Add(QStringLiteral("53"));
    second.setSubItems(1, QStringLiteral("UDP"));
    second.setSubItems(3, QStringLiteral("Success"));
    QCOMPARE(items.Count(), 2);
    QCOMPARE(items.Item(2).Text(), QStringLiteral("53"));
    QCOMPARE(items.Item(2).SubItems(3), QStringLiteral("Success"));
    QCOMPARE(items.Item(2).SubItems(4), QString());  // no such column
    QCOMPARE(second.Index(), 2);
    QVERIFY(!list.SelectedItem());
    list.setSelectedIndex(2);
    QCOMPARE(list.SelectedItem()->Text(), QStringLiteral("53"));

    items.Remove(1);
    QCOMPARE(items.Count(), 1);
    QCOMPARE(second.Index(), 1);
    QVERIFY(!first.isValid());
    QCOMPARE(first.Text(), QString());
    first.setSubItems(1, QStringLiteral("ignored"));  // a vanished row takes no writes
    items.Remove(5);                                  // nor does a missing index fail
    QVERIFY(!items.Item(0).isValid());
  }

  void listReportsDeleteKey() {
    UniListView list(m_window.get());
    list.ColumnHeaders().Add(QStringLiteral("Port"));
    list.ListItems().Add(QStringLiteral("80"));
    QList<int> keys;
    connect(&list, &UniListView::KeyDown, [&](int code) { keys << code; });
    QVERIFY(showActive());
    list.SetFocus();
    QTest::keyClick(list.widget(), Qt::Key_Delete);
    QTest::keyClick(list.widget(), Qt::Key_A);
    QCOMPARE(keys, (QList<int>{46, 65}));
  }

  void autoSizeFitsContentAndHeader() {
    UniListView list(m_window.get());
    for (const char* header : {"Port", "", "Status", "Open?"})
      list.ColumnHeaders().Add(QString::fromLatin1(header));
    const QString longText =
        QStringLiteral("Unable to check the port, close any programs using the port");
    list.ListItems().Add(QStringLiteral("1")).setSubItems(3, longText);
    AutoSizeColumns(list);
    QTreeWidget* tree = list.treeWidget();
    QVERIFY(tree->columnWidth(3) >= tree->fontMetrics().horizontalAdvance(longText));
    // A column with short content is still as wide as its header.
    QVERIFY(tree->columnWidth(0) >= tree->header()->sectionSizeHint(0));
  }

  void messageBoxAnswersYesNoAndOk() {
    UniMsgBox box(m_window.get());
    QString text;
    QString title;
    box.Reset();
    answerNextMessageBox(QMessageBox::No, &text, &title);
    QCOMPARE(box.Show(QStringLiteral("Are You Sure Yo Want To Delete This Entry?\r\n80"), 4,
                      QStringLiteral("Confirm Delete:")),
             UniMsgBox::kAnswerNo);
    QCOMPARE(box.Result(1), 7);
    QCOMPARE(title, QStringLiteral("Confirm Delete:"));
    QVERIFY(text.startsWith(QStringLiteral("Are You Sure")));

    box.Reset();
    QCOMPARE(box.Result(1), 0);
    answerNextMessageBox(QMessageBox::Ok, &text, &title);
    box.Show(QStringLiteral("You must have at least 1 port in the port list to continue."), 64);
    QCOMPARE(box.Result(1), 1);
    QCOMPARE(title, QApplication::applicationDisplayName());
  }

  void buttonValueAndCaption() {
    UniCheck button(m_window.get());
    button.setCaption(QStringLiteral("Begin"));
    int clicks = 0;
    connect(&button, &UniCheck::Click, [&] {
      ++clicks;
      QCOMPARE(button.Value(), 1);  // pressed in while its handler runs
      button.setValue(0);
    });
    m_window->show();
    QTest::mouseClick(button.button(), Qt::LeftButton);
    QCOMPARE(clicks, 1);
    QCOMPARE(button.Value(), 0);
    QCOMPARE(button.translatable()->Caption().value_or(QString()), QStringLiteral("Begin"));
    QVERIFY(!button.translatable()->setText(QStringLiteral("x")));  // buttons have no Text
  }

  void tagLivesOnTheWidget() {
    UniLabel label(m_window.get());
    label.setTag(QStringLiteral("TTFF*/"));
    QCOMPARE(label.widget()->property("Tag").toString(), QStringLiteral("TTFF*/"));
    label.widget()->setProperty("Tag", QStringLiteral("rewritten"));
    QCOMPARE(label.translatable()->Tag(), QStringLiteral("rewritten"));
  }

 private:
  // Focus and keys need an active window.
  bool showActive() {
    m_window->show();
    return testsupport::activateWindow(*m_window);
  }

  std::unique_ptr<QWidget> m_window;
};

QTEST_MAIN(ControlTest)
#include "controls_test.moc"
