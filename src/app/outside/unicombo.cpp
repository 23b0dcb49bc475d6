#include "app/outside/unicombo.h"

#include <QComboBox>
#include <QLineEdit>

UniCombo::UniCombo(QWidget* parent) : UniControl(new QComboBox(parent)) {
  m_combo = static_cast<QComboBox*>(widget());
  m_combo->setEditable(true);
  m_combo->setInsertPolicy(QComboBox::NoInsert);
  m_combo->setMaxVisibleItems(16);
  connect(m_combo, &QComboBox::activated, this, [this](int) { emit Click(); });
}

QString UniCombo::Text() const { return m_combo->currentText(); }

void UniCombo::setText(const QString& text) {
  const int index = m_combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (index >= 0) m_combo->setCurrentIndex(index);
  m_combo->setEditText(text);
}

int UniCombo::ListIndex() const {
  const QString text = Text();
  const int current = m_combo->currentIndex();
  if (current >= 0 && m_combo->itemText(current) == text) return current;
  return m_combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void UniCombo::setListIndex(int index) {
  if (index >= 0 && index < m_combo->count()) {
    m_combo->setCurrentIndex(index);
  } else {
    m_combo->setCurrentIndex(-1);
    m_combo->setEditText(QString());
  }
}

QString UniCombo::List(int index) const {
  return index >= 0 && index < m_combo->count() ? m_combo->itemText(index) : QString();
}

int UniCombo::ListCount() const { return m_combo->count(); }

void UniCombo::AddItem(const QString& item) {
  // Adding the first item would otherwise replace the text the box shows.
  const QString text = Text();
  m_combo->addItem(item);
  if (m_combo->count() == 1) setText(text);
}

void UniCombo::Clear() {
  m_combo->clear();
  m_combo->setEditText(QString());
}

void UniCombo::setLocked(bool locked) {
  if (m_combo->lineEdit() != nullptr) m_combo->lineEdit()->setReadOnly(locked);
}
