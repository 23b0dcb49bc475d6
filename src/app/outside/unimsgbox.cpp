#include "app/outside/unimsgbox.h"

#include <QApplication>
#include <QMessageBox>

UniMsgBox::UniMsgBox(QWidget* owner) : m_owner(owner) {}

void UniMsgBox::Reset() { m_answers.clear(); }

int UniMsgBox::Show(const QString& prompt, int style, const std::optional<QString>& title) {
  const bool yesNo = (style & 0x7) == kStyleYesNo;
  QMessageBox box(m_owner);
  box.setWindowTitle(title.value_or(QApplication::applicationDisplayName()));
  box.setText(prompt);
  const int iconStyle = style & 0x70;
  box.setIcon(iconStyle == kStyleInformation ? QMessageBox::Information
              : iconStyle == kStyleWarning   ? QMessageBox::Warning
              : yesNo                        ? QMessageBox::Question
                                             : QMessageBox::NoIcon);
  if (yesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  const int pressed = box.exec();
  int answer = 0;
  if (pressed == QMessageBox::Ok) answer = kAnswerOk;
  if (pressed == QMessageBox::Yes) answer = kAnswerYes;
  if (pressed == QMessageBox::No) answer = kAnswerNo;
  if (yesNo && answer == 0) answer = kAnswerNo;  // closed without a choice
  m_answers.push_back(answer);
  return answer;
}

int UniMsgBox::Result(int box) const {
  if (box < 1 || box > static_cast<int>(m_answers.size())) return 0;
  return m_answers[static_cast<size_t>(box - 1)];
}
