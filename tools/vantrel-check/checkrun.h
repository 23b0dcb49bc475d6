#pragma once
// The run over every port, one after the other, with the output as results come.
#include <QNetworkAccessManager>
#include <QObject>
#include <memory>
#include <vector>

#include "checkoptions.h"
#include "checkreport.h"
#include "checkrouter.h"
#include "porttest.h"

// Exit status when no test could be made.
inline constexpr int kExitNoTest = 2;

class CheckRun : public QObject {
  Q_OBJECT

 public:
  explicit CheckRun(CheckOptions options, QObject* parent = nullptr);
  ~CheckRun() override;

  void start();

 signals:
  // The run is over and everything is printed; `exitStatus` is the program's.
  void done(int exitStatus);

 private:
  void startNext();
  void onPortFinished(const PortTestOutcome& outcome);
  void finishRun();
  void hintAtMissingPermission() const;
  void showProgress(const TestedPort& tested);
  void clearProgress();
  void printLine(const QString& line);

  CheckOptions m_options;
  QNetworkAccessManager m_network;
  std::unique_ptr<PortTest> m_current;
  std::unique_ptr<CheckRouter> m_router;  // with --router
  std::vector<ReportedPort> m_ports;
  QString m_publicAddress;
  bool m_siteAnswered = false;
  bool m_progressOnTerminal = false;
  bool m_progressShown = false;
};
