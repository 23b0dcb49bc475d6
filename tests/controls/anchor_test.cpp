// The anchor control on real top-level windows under Qt's offscreen platform:
// flags read from the Tags, the move-or-grow rules, the minimum size, the
// layout events, redraw suspension, and the remembered position (in this
// process and across two runs of a small program).
#include "controls/anchor.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <memory>

#include "platform/twips.h"
#include "test_support.h"

namespace {

QWidget* place(QWidget* control, const QRect& twips, const char* tag) {
  control->setGeometry(twips);
  if (tag) control->setProperty("Tag", QString::fromLatin1(tag));
  return control;
}

// A window laid out like the program's main window, with the same positions
// and anchor Tags, built from plain widgets, plus one control that follows the
// right edge.
struct AnchoredWindow {
  std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
  QWidget* label1 = nullptr;         // "TTFF*/": never moves
  QWidget* combo2 = nullptr;         // no Tag, inside the frame
  QWidget* text1 = nullptr;          // "TTFF*/", inside the frame
  QWidget* listView = nullptr;       // "TTFF*/"
  QWidget* browser = nullptr;        // "TTTT*/": grows both ways
  QWidget* text2 = nullptr;          // "TFTT*/": follows the bottom, widens
  QWidget* text3 = nullptr;          // "TFTT*/"
  QWidget* rightFollower = nullptr;  // "FTTF*/x": keeps its distance to the right edge
  Anchor* anchor = nullptr;

  AnchoredWindow() {
    QWidget* w = window.get();
    w->setWindowTitle("Vantrel");
    w->resize(twipsToPixels(11985), twipsToPixels(8700));
    label1 = place(new QLabel("IP To Listen On:", w), twipsRect(660, 90, 1275, 195), "TTFF*/");
    auto* combo1 = new QComboBox(w);
    combo1->addItem("192.168.1.20");
    place(combo1, twipsRect(1980, 60, 1695, 300), "TTFF*/");
    auto* label4 = new QLabel("Router updated ok but port forwarding still fails?", w);
    label4->setWordWrap(true);
    place(label4, twipsRect(150, 390, 3525, 405), "TTFF*/");
    place(new QLabel("<u>Click Here For Help</u>", w), twipsRect(60, 780, 3615, 195), "TTFF*/");
    auto* frame = new QGroupBox("Add/Remove Port", w);
    place(frame, twipsRect(60, 1050, 3615, 1005), "TTFF*/");
    place(new QLabel("Port #:", frame), twipsRect(105, 270, 600, 195), "TTFF*/");
    text1 = place(new QLineEdit(frame), twipsRect(720, 240, 615, 270), "TTFF*/");
    place(new QLabel("(1~65535)", frame), twipsRect(1410, 270, 855, 195), "TTFF*/");
    auto* combo2Box = new QComboBox(frame);
    combo2Box->addItems({"TCP", "UDP"});
    combo2 = place(combo2Box, twipsRect(2550, 240, 765, 300), nullptr);
    place(new QPushButton("Add", frame), twipsRect(2340, 630, 1155, 270), "TTFF*/");
    place(new QPushButton("Begin", w), twipsRect(2310, 2130, 1365, 375), "TTFF*/");
    auto* note = new QLabel(
        "Note: Make sure you have applied all ports to your router for port forwarding or the "
        "tests will fail for those ports.",
        w);
    note->setWordWrap(true);
    place(note, twipsRect(60, 2850, 3615, 1140), "TTFF*/");
    auto* list = new QListWidget(w);
    list->addItems({"80    TCP", "25565    UDP"});
    listView = place(list, twipsRect(60, 4020, 3615, 1725), "TTFF*/");
    place(new QPushButton("Remove", w), twipsRect(2520, 5820, 1155, 270), "TTFF*/");
    auto* combo3 = new QComboBox(w);
    combo3->addItem("English | English");
    place(combo3, twipsRect(60, 8340, 2445, 300), nullptr);
    place(new QLabel("<-- Click Begin To Test The Selected Ports", w),
          twipsRect(3750, 2160, 5595, 285), "TTFF*/");
    auto* page = new QTextBrowser(w);
    page->setHtml("<h2>Port test</h2><p>The test page grows with the window.</p>");
    browser = place(page, twipsRect(3750, 60, 8175, 7935), "TTTT*/");
    text2 =
        place(new QLineEdit("Page Status: Done", w), twipsRect(3750, 8040, 8175, 270), "TFTT*/");
    text3 = place(new QLineEdit("", w), twipsRect(3750, 8370, 8175, 270), "TFTT*/");
    rightFollower = place(new QPushButton("Right", w), QRect(700, 10, 80, 20), "FTTF*/x");
    anchor = new Anchor(w);
    anchor->setDontRefresh(true);
  }

  bool show() {
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
  }

  // DoInit the way the main window does it: the current size is the minimum.
  void init() { anchor->DoInit(pixelsToTwips(window->height()), pixelsToTwips(window->width())); }
};

int distanceToRightEdge(const QWidget* control) {
  return control->parentWidget()->width() - control->geometry().right();
}

QString screenshotFolder() {
  const QString folder =
      qEnvironmentVariable("VANTREL_BINARY_DIR", QCoreApplication::applicationDirPath()) +
      "/screenshots";
  QDir().mkpath(folder);
  return folder;
}

}  // namespace

class AnchorTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void readsFlagsFromTagsAndKeepsTheOrdinaryText();
  void rightAnchoredControlKeepsItsDistanceAndWidth();
  void fullyAnchoredControlStretchesBothWays();
  void topLeftAnchoredControlsNeverMove();
  void statusLinesFollowTheBottomAndWiden();
  void shrinkingBelowTheMinimumSnapsBack();
  void minimizedWindowCausesNoLayoutPass();
  void eventsSurroundTheMoveWithTheChangeInTwips();
  void redrawIsSuspendedDuringThePassUnlessDontRefresh();
  void unFreezeRepaintsAtOnce();
  void passBeforeDoInitSetsTheMinimumSize();
  void secondDoInitKeepsTheFlags();
  void oddTagsAreReadLiterallyAndHarmlessly();
  void positionIsSavedOnDestructionAndRestoredByDoInit();
  void positionIsNotSavedWhenMaximizedOrNowhereToGo();
  void positionOffEveryScreenIsNotRestored();
  void positionSurvivesTwoProgramRuns();
  void screenshotEnlargedTo1600x1000();

 private:
  QTemporaryDir m_settingsDir;
};

void AnchorTest::initTestCase() {
  QVERIFY(m_settingsDir.isValid());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void AnchorTest::readsFlagsFromTagsAndKeepsTheOrdinaryText() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  QCOMPARE(w.anchor->flagsOf(w.rightFollower), QString("FTTF"));
  QCOMPARE(w.rightFollower->property("Tag").toString(), QString("x"));
  QCOMPARE(w.anchor->flagsOf(w.browser), QString("TTTT"));
  QCOMPARE(w.browser->property("Tag").toString(), QString(""));
  QCOMPARE(w.anchor->flagsOf(w.text1), QString("TTFF"));  // inside the frame too
  QCOMPARE(w.anchor->flagsOf(w.combo2), QString(""));
  QVERIFY(!w.combo2->property("Tag").isValid());

  // The settings can also be given by name, as stored form data does.
  QVERIFY(w.anchor->setProperty("MinWidth", 4500));
  QCOMPARE(w.anchor->MinWidth(), 4500);
  QVERIFY(w.anchor->setProperty("RegString", "A,B,C,"));
  QCOMPARE(w.anchor->RegString(), QString("A,B,C,"));
}

void AnchorTest::rightAnchoredControlKeepsItsDistanceAndWidth() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect before = w.rightFollower->geometry();
  const int distance = distanceToRightEdge(w.rightFollower);
  for (int grow : {37, 120, 300}) {
    w.window->resize(w.window->width() + grow, w.window->height());
    QTRY_COMPARE_WITH_TIMEOUT(distanceToRightEdge(w.rightFollower), distance, 5000);
    QCOMPARE(w.rightFollower->width(), before.width());
    QCOMPARE(w.rightFollower->height(), before.height());
    QCOMPARE(w.rightFollower->y(), before.y());
  }
  QCOMPARE(w.rightFollower->property("Tag").toString(), QString("x"));
}

void AnchorTest::fullyAnchoredControlStretchesBothWays() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect before = w.browser->geometry();
  w.window->resize(w.window->width() + 200, w.window->height() + 90);
  QTRY_COMPARE_WITH_TIMEOUT(w.browser->geometry(),
                            QRect(before.topLeft(), before.size() + QSize(200, 90)), 5000);
  w.window->resize(w.window->width() - 150, w.window->height() - 40);
  QTRY_COMPARE_WITH_TIMEOUT(w.browser->geometry(),
                            QRect(before.topLeft(), before.size() + QSize(50, 50)), 5000);
}

void AnchorTest::topLeftAnchoredControlsNeverMove() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect label = w.label1->geometry();
  const QRect list = w.listView->geometry();
  const QRect inFrame = w.text1->geometry();
  const QRect untagged = w.combo2->geometry();
  const QSize start = w.window->size();
  for (const QSize& size : {start + QSize(300, 200), start + QSize(10, 400), start}) {
    w.window->resize(size);
    QTRY_COMPARE_WITH_TIMEOUT(w.window->size(), size, 5000);
    QApplication::processEvents();
    QCOMPARE(w.label1->geometry(), label);
    QCOMPARE(w.listView->geometry(), list);
    QCOMPARE(w.text1->geometry(), inFrame);
    QCOMPARE(w.combo2->geometry(), untagged);
  }
}

void AnchorTest::statusLinesFollowTheBottomAndWiden() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect text2 = w.text2->geometry();
  const QRect text3 = w.text3->geometry();
  const int gapBelow = w.window->height() - text3.bottom();
  w.window->resize(w.window->width() + 160, w.window->height() + 75);
  QTRY_COMPARE_WITH_TIMEOUT(w.text2->geometry(), text2.adjusted(0, 75, 160, 75), 5000);
  QCOMPARE(w.text3->geometry(), text3.adjusted(0, 75, 160, 75));
  QCOMPARE(w.window->height() - w.text3->geometry().bottom(), gapBelow);
  QCOMPARE(w.text3->height(), text3.height());
}

void AnchorTest::shrinkingBelowTheMinimumSnapsBack() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QSize minimum = w.window->size();
  const QRect browser = w.browser->geometry();
  w.window->resize(minimum + QSize(100, 100));
  QTRY_COMPARE_WITH_TIMEOUT(w.browser->size(), browser.size() + QSize(100, 100), 5000);

  w.window->resize(minimum.width() - 200, minimum.height() + 100);
  QTRY_COMPARE_WITH_TIMEOUT(w.window->size(), QSize(minimum.width(), minimum.height() + 100), 5000);
  QTRY_COMPARE_WITH_TIMEOUT(w.browser->geometry(), browser.adjusted(0, 0, 0, 100), 5000);

  w.window->resize(minimum.width() - 50, minimum.height() - 300);
  QTRY_COMPARE_WITH_TIMEOUT(w.window->size(), minimum, 5000);
  QTRY_COMPARE_WITH_TIMEOUT(w.browser->geometry(), browser, 5000);
  QCOMPARE(w.anchor->MinWidth(), pixelsToTwips(minimum.width()));
}

void AnchorTest::minimizedWindowCausesNoLayoutPass() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect before = w.rightFollower->geometry();
  QSignalSpy beforeResize(w.anchor, &Anchor::BeforeResize);
  w.window->showMinimized();
  QTRY_VERIFY_WITH_TIMEOUT(w.window->isMinimized(), 5000);
  const int passesBefore = beforeResize.count();

  w.window->resize(w.window->width() + 100, w.window->height());
  QApplication::processEvents();
  w.anchor->DoResize();
  QCOMPARE(beforeResize.count(), passesBefore);
  QCOMPARE(w.rightFollower->geometry(), before);

  // Coming back, the window catches up with the size it got meanwhile.
  w.window->showNormal();
  QTRY_COMPARE_WITH_TIMEOUT(w.rightFollower->x(), before.x() + 100, 5000);
}

void AnchorTest::eventsSurroundTheMoveWithTheChangeInTwips() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const int xBefore = w.rightFollower->x();
  int xSeenBefore = -1;
  int xSeenAfter = -1;
  QList<std::pair<int, int>> changes;
  connect(w.anchor, &Anchor::BeforeResize, w.anchor, [&] { xSeenBefore = w.rightFollower->x(); });
  connect(w.anchor, &Anchor::AfterResize, w.anchor, [&](int heightChange, int widthChange) {
    xSeenAfter = w.rightFollower->x();
    changes.append({heightChange, widthChange});
  });
  w.window->resize(w.window->width() + 20, w.window->height() + 8);
  QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 1, 5000);
  QCOMPARE(changes.first(), std::make_pair(8 * 15, 20 * 15));
  QCOMPARE(xSeenBefore, xBefore);
  QCOMPARE(xSeenAfter, xBefore + 20);
}

void AnchorTest::redrawIsSuspendedDuringThePassUnlessDontRefresh() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  QList<bool> updatesDuringPass;
  connect(w.anchor, &Anchor::BeforeResize, w.anchor,
          [&] { updatesDuringPass.append(w.window->updatesEnabled()); });

  w.anchor->setDontRefresh(false);
  w.window->resize(w.window->width() + 10, w.window->height());
  QTRY_COMPARE_WITH_TIMEOUT(updatesDuringPass.size(), 1, 5000);
  QCOMPARE(updatesDuringPass.at(0), false);
  QVERIFY(w.window->updatesEnabled());

  w.anchor->setDontRefresh(true);
  w.window->resize(w.window->width() + 10, w.window->height());
  QTRY_COMPARE_WITH_TIMEOUT(updatesDuringPass.size(), 2, 5000);
  QCOMPARE(updatesDuringPass.at(1), true);
}

namespace {
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};
}  // namespace

void AnchorTest::unFreezeRepaintsAtOnce() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  PaintCounter counter;
  w.text2->installEventFilter(&counter);
  w.anchor->Freeze();
  QVERIFY(!w.window->updatesEnabled());
  QVERIFY(!w.text2->updatesEnabled());
  w.text2->update();
  QApplication::processEvents();
  QCOMPARE(counter.paints, 0);
  w.anchor->UnFreeze();  // no event processing in between: the repaint is immediate
  QVERIFY(w.window->updatesEnabled());
  QVERIFY(counter.paints > 0);
}

void AnchorTest::passBeforeDoInitSetsTheMinimumSize() {
  {
    AnchoredWindow w;
    QVERIFY(w.show());
    QSignalSpy beforeResize(w.anchor, &Anchor::BeforeResize);
    QSignalSpy afterResize(w.anchor, &Anchor::AfterResize);
    w.anchor->DoResize();
    QCOMPARE(w.anchor->MinHeight(), pixelsToTwips(w.window->height()));
    QCOMPARE(w.anchor->MinWidth(), pixelsToTwips(w.window->width()));
    QCOMPARE(beforeResize.count(), 0);
    QCOMPARE(afterResize.count(), 0);
    // The Tags are read only by DoInit.
    QCOMPARE(w.rightFollower->property("Tag").toString(), QString("FTTF*/x"));
  }
  {
    AnchoredWindow w;
    QVERIFY(w.show());
    const QRect browser = w.browser->geometry();
    QSignalSpy beforeResize(w.anchor, &Anchor::BeforeResize);
    w.anchor->setMinHeight(6000);
    w.anchor->setMinWidth(9000);
    w.anchor->DoResize();
    QTRY_COMPARE_WITH_TIMEOUT(w.window->size(), QSize(600, 400), 5000);
    QCOMPARE(beforeResize.count(), 0);
    QCOMPARE(w.browser->geometry(), browser);
  }
}

void AnchorTest::secondDoInitKeepsTheFlags() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  w.init();
  QCOMPARE(w.anchor->flagsOf(w.rightFollower), QString("FTTF"));
  QCOMPARE(w.rightFollower->property("Tag").toString(), QString("x"));
  const int x = w.rightFollower->x();
  w.window->resize(w.window->width() + 30, w.window->height());
  QTRY_COMPARE_WITH_TIMEOUT(w.rightFollower->x(), x + 30, 5000);
}

void AnchorTest::oddTagsAreReadLiterallyAndHarmlessly() {
  QWidget window;
  window.resize(300, 200);
  auto* shortTag = place(new QLabel("a", &window), QRect(10, 10, 50, 20), "T*/");
  auto* lowerCase = place(new QLabel("b", &window), QRect(10, 40, 50, 20), "ttTT*/keep");
  auto* lateMarker = place(new QLabel("c", &window), QRect(10, 70, 50, 20), "FFTFxx*/rest");
  auto* plain = place(new QLabel("d", &window), QRect(10, 100, 50, 20), "just a tag");
  auto* anchor = new Anchor(&window);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  anchor->DoInit(0, 0);

  QCOMPARE(anchor->flagsOf(shortTag), QString("T*/"));
  QCOMPARE(shortTag->property("Tag").toString(), QString(""));
  QCOMPARE(lateMarker->property("Tag").toString(), QString("*/rest"));
  QCOMPARE(lowerCase->property("Tag").toString(), QString("keep"));
  QCOMPARE(plain->property("Tag").toString(), QString("just a tag"));

  window.resize(340, 230);
  QTRY_COMPARE_WITH_TIMEOUT(lateMarker->x(), 10 + 40, 5000);
  QCOMPARE(shortTag->geometry(), QRect(10, 10, 50, 20));
  // Only a capital T anchors: "tt" leaves the left and top edges free.
  QCOMPARE(lowerCase->geometry(), QRect(10 + 40, 40 + 30, 50, 20));
  QCOMPARE(plain->geometry(), QRect(10, 100, 50, 20));
}

void AnchorTest::positionIsSavedOnDestructionAndRestoredByDoInit() {
  const QString regString = "VantrelAnchorTest,Windows,Main,";
  {
    AnchoredWindow w;
    w.anchor->setRegString(regString);
    QVERIFY(w.show());
    w.init();
    w.window->move(123, 77);
    QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(123, 77), 5000);
  }
  QCOMPARE(QSettings("VantrelAnchorTest").value("Windows/MainPos").toString(),
           QString("1845|1155"));
  {
    AnchoredWindow w;
    w.anchor->setRegString(regString);
    QVERIFY(w.show());
    w.init();
    QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(123, 77), 5000);
  }
  {
    // Nothing saved yet: the default part of the string is used.
    AnchoredWindow w;
    w.anchor->setRegString("VantrelAnchorTest,Windows,Fresh,600|450");
    QVERIFY(w.show());
    w.init();
    QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(40, 30), 5000);
  }
}

void AnchorTest::positionIsNotSavedWhenMaximizedOrNowhereToGo() {
  {
    AnchoredWindow w;
    w.anchor->setRegString("VantrelAnchorTest,Windows,Maximized,");
    QVERIFY(w.show());
    w.init();
    w.window->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(w.window->isMaximized(), 5000);
  }
  QVERIFY(!QSettings("VantrelAnchorTest").contains("Windows/MaximizedPos"));
  {
    AnchoredWindow w;
    w.anchor->setRegString("VantrelAnchorTest");  // no section or key: nowhere to keep it
    QVERIFY(w.show());
    w.init();
  }
  {
    AnchoredWindow w;
    w.anchor->setRegString("VantrelAnchorTest,Windows,NeverShown,");
    w.init();
  }
  QVERIFY(!QSettings("VantrelAnchorTest").contains("Windows/NeverShownPos"));
}

void AnchorTest::positionOffEveryScreenIsNotRestored() {
  QSettings("VantrelAnchorTest").setValue("Windows/LostPos", "-300000|-300000");
  QSettings("VantrelAnchorTest").setValue("Windows/JunkPos", "left|top");
  for (const char* key : {"Lost", "Junk"}) {
    AnchoredWindow w;
    w.anchor->setRegString(QString("VantrelAnchorTest,Windows,%1,").arg(key));
    QVERIFY(w.show());
    w.window->move(50, 60);
    QTRY_COMPARE_WITH_TIMEOUT(w.window->pos(), QPoint(50, 60), 5000);
    w.init();
    QApplication::processEvents();
    QCOMPARE(w.window->pos(), QPoint(50, 60));
  }
}

void AnchorTest::positionSurvivesTwoProgramRuns() {
  QTemporaryDir configHome;
  QVERIFY(configHome.isValid());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_CONFIG_HOME", configHome.path());
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  const QString probe = testsupport::binDir() + "/anchor_position_probe";

  auto run = [&](const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(probe, arguments);
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished(5000);
      return QString("did not finish");
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
      return QString("failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
  };

  const QString first = run({"210", "140"});
  QVERIFY2(first.contains("moved 210 140"), qPrintable(first));
  QVERIFY(QFile::exists(configHome.path() + "/VantrelAnchorProbe.conf"));
  const QString second = run({});
  QVERIFY2(second.contains("restored 210 140"), qPrintable(second));
}

void AnchorTest::screenshotEnlargedTo1600x1000() {
  AnchoredWindow w;
  QVERIFY(w.show());
  w.init();
  const QRect label = w.label1->geometry();
  w.window->resize(1600, 1000);
  QTRY_COMPARE_WITH_TIMEOUT(w.window->size(), QSize(1600, 1000), 5000);
  QTRY_COMPARE_WITH_TIMEOUT(
      w.browser->geometry().right(),
      1600 - 1 - (twipsToPixels(11985) - 1 - twipsRect(3750, 60, 8175, 7935).right()), 5000);
  QCOMPARE(w.label1->geometry(), label);
  QCOMPARE(w.window->height() - w.text3->geometry().bottom(),
           twipsToPixels(8700) - twipsRect(3750, 8370, 8175, 270).bottom());
  QVERIFY(w.window->grab().save(screenshotFolder() + "/anchor-window-1600x1000.png"));
}

QTEST_MAIN(AnchorTest)
#include "anchor_test.moc"
