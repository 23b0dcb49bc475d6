// The real window's router help against the real router daemon, in the lab
// that run-router-tests.sh builds (this program is the PC): a failed row is
// explained as having no rule, with the address the site saw; "Forward and
// test again" makes the row open through the router; the added rule is then
// removed from the router.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <functional>

#include "app/frmmain.h"
#include "app/routerhelp.h"
#include "labcontrol.h"
#include "persist/modini.h"
#include "router/routerclient.h"

namespace {

constexpr int kPort = 40011;

// Lets the window work until `done` holds; false when a minute passes first
// (a bound, not an expectation: a run and a router call take seconds).
bool waitFor(const std::function<bool()>& done) {
  const QDeadlineTimer deadline(60000);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

QString newestLine(const UniText& text) { return text.Text().split(QStringLiteral("\r\n")).last(); }

TEST(RouterLabWindow, FailedRowIsExplainedThenForwardedOpenAndTheRuleRemoved) {
  if (!lab::present()) GTEST_SKIP() << "not inside the router lab: run through run-router-tests.sh";
  ASSERT_TRUE(lab::ensure(lab::Wan::Public, lab::Daemon::UpnpAndNatPmp));
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString settings = folder.filePath(QStringLiteral("settings.ini"));
  ASSERT_TRUE(WriteIniValue("main", "site", QString::fromLatin1(lab::kSiteUrl), settings));
  ASSERT_TRUE(WriteIniValue("main", "page_timeout_s", "60", settings));
  FrmMain window(folder.path());
  window.Form_Load();
  window.show();
  window.Combo1.setText(QString::fromLatin1(lab::kPcAddress));
  window.Text1.setText(QString::number(kPort));
  window.Command1.button()->click();
  ASSERT_EQ(window.ListView1.ListItems().Count(), 1);
  const UniListItem row = window.ListView1.ListItems().Item(1);
  QTreeWidgetItem* item = window.ListView1.treeWidget()->topLevelItem(0);

  // "Begin" runs to its end inside the click.
  window.Command3.button()->click();
  ASSERT_FALSE(window.running);
  EXPECT_EQ(row.SubItems(3), window.Text16.Text());
  const QString reason =
      window.Text37.Text() + " (" + window.Text42.Text() + " " + lab::kPublicWanAddress + ")";
  ASSERT_TRUE(waitFor([&] { return !item->toolTip(3).isEmpty(); }));
  EXPECT_EQ(item->toolTip(3), reason);
  EXPECT_EQ(newestLine(window.Text2),
            QString::number(kPort) + " TCP: " + window.Text16.Text() + " - " + reason);
  EXPECT_TRUE(window.routerHelp().gateway().found());

  window.ListView1.setSelectedIndex(1);
  window.routerHelp().forwardSelectedRow();
  ASSERT_TRUE(waitFor([&] { return row.SubItems(3) == window.Text15.Text() && !window.running; }))
      << newestLine(window.Text2).toStdString();
  ASSERT_EQ(window.routerHelp().addedRules().size(), 1u);
  EXPECT_EQ(window.routerHelp().addedRules()[0].internalClient.text(),
            QString::fromLatin1(lab::kPcAddress));
  EXPECT_EQ(window.routerHelp().addedRules()[0].leaseSeconds, router::kDefaultLeaseSeconds);
  EXPECT_TRUE(item->toolTip(3).isEmpty());

  window.routerHelp().removeAddedRules();
  ASSERT_TRUE(waitFor([&] { return window.routerHelp().addedRules().empty(); }));
  EXPECT_EQ(newestLine(window.Text2), window.Text47.Text());
  router::RouterClient client;
  ASSERT_TRUE(client.discover().found());
  EXPECT_EQ(client.findRule(kPort, router::Transport::Tcp).state,
            router::RuleAnswer::State::NoRule);
}

}  // namespace
