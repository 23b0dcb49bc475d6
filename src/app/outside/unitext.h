#pragma once
// A text box, single-line or multi-line. Text uses CR LF between lines, as the
// window's handlers build it; SelStart and SelLength count characters of that
// text. A multi-line box scrolls so that the caret set through SelStart is in
// view, which is how a one-line-high box shows its newest line.
#include <QString>

#include "app/outside/unicontrol.h"

class QLineEdit;
class QPlainTextEdit;

class UniText : public UniControl {
  Q_OBJECT

 public:
  enum class Lines { Single, Multi };

  UniText(QWidget* parent, Lines lines = Lines::Single);

  QString Text() const;
  void setText(const QString& text);
  int SelStart() const;
  void setSelStart(int position);
  int SelLength() const;
  void setSelLength(int length);

  bool isMultiLine() const { return m_multi != nullptr; }
  // Typing is refused; the program still sets the text.
  void setLocked(bool locked);

 signals:
  void GotFocus();
  // Raised for every typed character (control characters included: 8 is
  // Backspace, 3/22/24 copy/paste/cut). Setting keyAscii to 0 rejects the key.
  void KeyPress(int& keyAscii);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  std::optional<QString> translatableText() const override { return Text(); }
  bool setTranslatableText(const QString& text) override {
    setText(text);
    return true;
  }

 private:
  // Positions in Text() and in the editor differ by one per CR LF pair before them.
  int editorPosition(int textPosition) const;
  int textPosition(int editorPosition) const;
  void selectInEditor(int start, int length);

  QLineEdit* m_single = nullptr;
  QPlainTextEdit* m_multi = nullptr;
  int m_selStart = 0;
};
