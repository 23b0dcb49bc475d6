#include "app/outside/unitext.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

namespace {

QWidget* makeEditor(QWidget* parent, UniText::Lines lines) {
  if (lines == UniText::Lines::Single) return new QLineEdit(parent);
  auto* editor = new QPlainTextEdit(parent);
  // One logical line per row and no scroll bars: a one-line-high box shows
  // exactly the line holding the caret.
  editor->setLineWrapMode(QPlainTextEdit::NoWrap);
  editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor->document()->setDocumentMargin(1);
  return editor;
}

// The character code a typed key carries, or 0 when it types nothing. Keys
// that move the focus or the caret, delete, confirm or cancel type nothing
// here even where the platform gives them a control character, so they reach
// the editor's and the window's own handling whatever a key filter does.
int keyAsciiOf(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      return 0;
    default:
      break;
  }
  const QString text = key.text();
  if (text.isEmpty()) return 0;
  return text.at(0).unicode();
}

}  // namespace

UniText::UniText(QWidget* parent, Lines lines) : UniControl(makeEditor(parent, lines)) {
  m_single = qobject_cast<QLineEdit*>(widget());
  m_multi = qobject_cast<QPlainTextEdit*>(widget());
  widget()->installEventFilter(this);
  if (m_multi != nullptr) m_multi->viewport()->installEventFilter(this);
}

QString UniText::Text() const {
  if (m_single != nullptr) return m_single->text();
  if (m_multi == nullptr) return {};
  QString text = m_multi->toPlainText();
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

void UniText::setText(const QString& text) {
  m_selStart = 0;
  if (m_single != nullptr) {
    m_single->setText(text);
    m_single->setCursorPosition(0);
    return;
  }
  if (m_multi == nullptr) return;
  QString plain = text;
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  m_multi->setPlainText(plain);
  selectInEditor(0, 0);
}

int UniText::SelStart() const {
  if (m_single != nullptr) {
    return m_single->hasSelectedText() ? m_single->selectionStart() : m_single->cursorPosition();
  }
  if (m_multi == nullptr) return 0;
  return textPosition(m_multi->textCursor().selectionStart());
}

void UniText::setSelStart(int position) {
  const int length = static_cast<int>(Text().size());
  m_selStart = std::clamp(position, 0, length);
  selectInEditor(m_selStart, 0);
}

int UniText::SelLength() const {
  if (m_single != nullptr) return static_cast<int>(m_single->selectedText().size());
  if (m_multi == nullptr) return 0;
  const QTextCursor cursor = m_multi->textCursor();
  return textPosition(cursor.selectionEnd()) - textPosition(cursor.selectionStart());
}

void UniText::setSelLength(int length) {
  const int total = static_cast<int>(Text().size());
  const int start = std::clamp(SelStart(), 0, total);
  selectInEditor(start, std::clamp(length, 0, total - start));
}

void UniText::setLocked(bool locked) {
  if (m_single != nullptr) m_single->setReadOnly(locked);
  if (m_multi != nullptr) m_multi->setReadOnly(locked);
}

void UniText::selectInEditor(int start, int length) {
  if (m_single != nullptr) {
    m_single->setSelection(start, length);
    if (length == 0) m_single->setCursorPosition(start);
    return;
  }
  if (m_multi == nullptr) return;
  QTextCursor cursor = m_multi->textCursor();
  cursor.setPosition(editorPosition(start));
  if (length > 0) cursor.setPosition(editorPosition(start + length), QTextCursor::KeepAnchor);
  m_multi->setTextCursor(cursor);
  // Bring the caret's line to the top so a one-line-high box shows exactly it.
  const int line = cursor.block().firstLineNumber();
  m_multi->verticalScrollBar()->setValue(line);
  m_multi->ensureCursorVisible();
}

int UniText::editorPosition(int textPosition) const {
  const QString text = Text();
  int pairs = 0;
  for (int i = 0; i + 1 < textPosition && i + 1 < text.size(); ++i) {
    if (text.at(i) == QLatin1Char('\r') && text.at(i + 1) == QLatin1Char('\n')) ++pairs;
  }
  return textPosition - pairs;
}

int UniText::textPosition(int editorPosition) const {
  if (m_multi == nullptr) return editorPosition;
  const QString plain = m_multi->toPlainText();
  const int end = std::min(editorPosition, static_cast<int>(plain.size()));
  return editorPosition + static_cast<int>(plain.left(end).count(QLatin1Char('\n')));
}

bool UniText::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget() && event->type() == QEvent::FocusIn) {
    emit GotFocus();
  } else if (watched == widget() && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const int original = keyAsciiOf(*key);
    if (original != 0) {
      int keyAscii = original;
      emit KeyPress(keyAscii);
      if (keyAscii == 0) return true;  // rejected: the editor never sees the key
    }
  }
  return UniControl::eventFilter(watched, event);
}
