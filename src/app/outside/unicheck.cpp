#include "app/outside/unicheck.h"

#include <QPushButton>

UniCheck::UniCheck(QWidget* parent) : UniControl(new QPushButton(parent)) {
  m_button = static_cast<QPushButton*>(widget());
  m_button->setCheckable(true);
  m_button->setAutoDefault(false);
  connect(m_button, &QPushButton::clicked, this, [this] { emit Click(); });
}

QString UniCheck::Caption() const { return m_button->text(); }

void UniCheck::setCaption(const QString& caption) { m_button->setText(caption); }

int UniCheck::Value() const { return m_button->isChecked() ? 1 : 0; }

void UniCheck::setValue(int value) { m_button->setChecked(value != 0); }
