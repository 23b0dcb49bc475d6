#pragma once
// The modal message box component. The program always resets it, shows one
// box, then reads the answer of box 1. Styles: 64 shows an information icon
// and 48 a warning icon, each with OK (answer 1); 4 shows Yes (answer 6) and
// No (answer 7). A box that was never answered reads 0, which callers treat
// like No.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

class UniMsgBox : public QObject {
  Q_OBJECT

 public:
  static constexpr int kStyleInformation = 64;
  static constexpr int kStyleWarning = 48;
  static constexpr int kStyleYesNo = 4;
  static constexpr int kAnswerOk = 1;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;

  // Boxes are modal to the given window; without a title they carry the
  // program's name.
  explicit UniMsgBox(QWidget* owner);

  void Reset();
  // Shows a box and waits until it is answered; returns its answer.
  int Show(const QString& prompt, int style, const std::optional<QString>& title = std::nullopt);
  // The answer of the box with a 1-based number, 0 when there is none.
  int Result(int box) const;

 private:
  QPointer<QWidget> m_owner;
  std::vector<int> m_answers;
};
