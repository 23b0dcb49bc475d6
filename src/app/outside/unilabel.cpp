#include "app/outside/unilabel.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

UniLabel::UniLabel(QWidget* parent) : UniControl(new QLabel(parent)) {
  m_label = static_cast<QLabel*>(widget());
  m_label->setWordWrap(true);
  m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_label->setTextFormat(Qt::PlainText);
  m_label->installEventFilter(this);
}

QString UniLabel::Caption() const { return m_label->text(); }

void UniLabel::setCaption(const QString& caption) { m_label->setText(caption); }

bool UniLabel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_label && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton &&
        m_label->rect().contains(mouse->position().toPoint())) {
      emit Click();
    }
  }
  return UniControl::eventFilter(watched, event);
}
