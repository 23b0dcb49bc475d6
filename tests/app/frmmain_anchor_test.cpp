// The main window's anchored layout: the browser grows with the window, the
// two status lines follow the bottom edge and widen, the left column stays
// put, and the window never gets smaller than it starts. A screenshot of the
// window enlarged to 1600 x 1000 pixels is saved for a look.
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <iterator>

#include "app/frmmain.h"
#include "controls/anchor.h"
#include "persist/modini.h"
#include "testsite.h"

namespace {

QString screenshotFolder() {
  const QString folder =
      qEnvironmentVariable("VANTREL_BINARY_DIR", QDir::tempPath()) + "/screenshots";
  QDir().mkpath(folder);
  return folder;
}

}  // namespace

class MainWindowAnchorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(m_folder.isValid());
    QVERIFY(
        WriteIniValue("main", "site", m_site.url(QString()), m_folder.filePath("settings.ini")));
    m_window = std::make_unique<FrmMain>(m_folder.path());
    m_window->Form_Load();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
  }
  void cleanup() { m_window.reset(); }

  void anchorReadsTheCodesAndKeepsTheStartingSizeAsMinimum() {
    QVERIFY(m_window->Anchor1 != nullptr);
    QCOMPARE(m_window->Anchor1->flagsOf(m_window->WebBrowser1.widget()), QStringLiteral("TTTT"));
    QCOMPARE(m_window->Anchor1->flagsOf(m_window->Text2.widget()), QStringLiteral("TFTT"));
    QCOMPARE(m_window->Anchor1->flagsOf(m_window->Label1.widget()), QStringLiteral("TTFF"));
    QCOMPARE(m_window->Anchor1->flagsOf(m_window->Combo3.widget()), QString());
    QVERIFY(m_window->Anchor1->DontRefresh());
    QCOMPARE(m_window->Anchor1->MinWidth(), 11985);
    QCOMPARE(m_window->Anchor1->MinHeight(), 8700);
    // The codes are gone from the Tags; the base texts took their place.
    QCOMPARE(m_window->Label1.Tag(), QStringLiteral("IP To Listen On:"));
    QCOMPARE(m_window->WebBrowser1.Tag(), QString());
  }

  void enlargingMovesAndGrowsWhatIsAnchored() {
    const QSize start = m_window->size();
    const QRect browser = m_window->WebBrowser1.widget()->geometry();
    const QRect status = m_window->Text2.widget()->geometry();
    const QRect error = m_window->Text3.widget()->geometry();
    const QRect unmoved[] = {
        m_window->Label1.widget()->geometry(), m_window->ListView1.widget()->geometry(),
        m_window->Command3.widget()->geometry(), m_window->Label3.widget()->geometry(),
        m_window->Combo3.widget()->geometry()};

    m_window->resize(1600, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->size(), QSize(1600, 1000), 5000);
    const int grownWidth = 1600 - start.width();
    const int grownHeight = 1000 - start.height();
    QTRY_COMPARE_WITH_TIMEOUT(m_window->WebBrowser1.widget()->geometry(),
                              browser.adjusted(0, 0, grownWidth, grownHeight), 5000);
    QCOMPARE(m_window->Text2.widget()->geometry(),
             status.translated(0, grownHeight).adjusted(0, 0, grownWidth, 0));
    QCOMPARE(m_window->Text3.widget()->geometry(),
             error.translated(0, grownHeight).adjusted(0, 0, grownWidth, 0));
    const QRect after[] = {
        m_window->Label1.widget()->geometry(), m_window->ListView1.widget()->geometry(),
        m_window->Command3.widget()->geometry(), m_window->Label3.widget()->geometry(),
        m_window->Combo3.widget()->geometry()};
    for (size_t i = 0; i < std::size(unmoved); ++i) QCOMPARE(after[i], unmoved[i]);

    // Back to the start: everything is where it began.
    m_window->resize(start);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->WebBrowser1.widget()->geometry(), browser, 5000);
    QCOMPARE(m_window->Text3.widget()->geometry(), error);
  }

  void theWindowSnapsBackToItsSmallestSize() {
    const QSize start = m_window->size();
    // The window manager is told the smallest size, so a drag never shows a smaller one.
    QCOMPARE(m_window->minimumSize(), start);
    const QRect status = m_window->Text2.widget()->geometry();
    m_window->resize(start.width() - 200, start.height() - 150);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->size(), start, 5000);
    QCOMPARE(m_window->Text2.widget()->geometry(), status);
    // Narrower only: the height it is given stays, the width snaps back.
    m_window->resize(start.width() - 100, start.height() + 60);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->size(), QSize(start.width(), start.height() + 60), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->Text2.widget()->geometry(), status.translated(0, 60), 5000);
  }

  void screenshotAt1600By1000() {
    // The browser is shown as it is during a test run, with the test page loaded.
    QTRY_VERIFY_WITH_TIMEOUT(m_site.requests().contains(QStringLiteral("GET /port_test.php")),
                             30000);
    m_window->WebBrowser1.setVisible(true);
    m_window->Text2.setText(QStringLiteral("Page Status: Done"));
    m_window->Text3.setText(QStringLiteral("Last Error Status Code: none"));
    m_window->resize(1600, 1000);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->WebBrowser1.widget()->width(), 1600 - (11985 - 8175) / 15,
                              5000);
    // Give the browser a moment to paint at its new size: bounded, not asserted.
    QTest::qWait(1500);
    const QImage shot = m_window->screen()->grabWindow(m_window->winId()).toImage();
    QCOMPARE(shot.size(), QSize(1600, 1000) * m_window->devicePixelRatio());
    QVERIFY(shot.save(screenshotFolder() + "/frmmain_1600x1000.png"));
  }

 private:
  TestSite m_site;
  QTemporaryDir m_folder;
  std::unique_ptr<FrmMain> m_window;
};

QTEST_MAIN(MainWindowAnchorTest)
#include "frmmain_anchor_test.moc"
