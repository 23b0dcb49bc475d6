#pragma once
// Answers the next modal message box the window shows, the way a user would:
// a timer looks for the active QMessageBox and clicks one of its buttons with
// the mouse, recording what the box said. The search gives up after a bounded
// number of rounds, so a box that never comes cannot hang a test.
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QTest>
#include <QTimer>

class MessageBoxAnswerer : public QObject {
 public:
  struct Seen {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
  };

  explicit MessageBoxAnswerer(QMessageBox::StandardButton answer) : m_answer(answer) {
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxAnswerer::look);
    m_timer.start();
  }

  int boxesAnswered() const { return static_cast<int>(m_seen.size()); }
  const Seen& seen(int index = 0) const { return m_seen.at(index); }

 private:
  void look() {
    if (++m_rounds > kMaxRounds) {
      m_timer.stop();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    Seen seen{box->windowTitle(), box->text(), box->icon(), {}};
    for (QAbstractButton* button : box->buttons()) seen.buttons << box->standardButton(button);
    m_seen.push_back(seen);
    QAbstractButton* button = box->button(m_answer);
    if (button == nullptr) button = box->buttons().value(0);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  static constexpr int kMaxRounds = 1000;  // 20 s
  QMessageBox::StandardButton m_answer;
  QTimer m_timer;
  int m_rounds = 0;
  QList<Seen> m_seen;
};
