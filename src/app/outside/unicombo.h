#pragma once
// A combo box whose text can be set to any string (it then shows that string,
// listed or not), with a 0-based item list and a click event raised when the
// user picks an item.
#include "app/outside/unicontrol.h"

class QComboBox;

class UniCombo : public UniControl {
  Q_OBJECT

 public:
  explicit UniCombo(QWidget* parent);

  QString Text() const;
  void setText(const QString& text);
  // The index of the item equal to the text, or -1.
  int ListIndex() const;
  void setListIndex(int index);
  // The item at a 0-based index, or "" outside the list.
  QString List(int index) const;
  int ListCount() const;
  void AddItem(const QString& item);
  // Removes every item and the text.
  void Clear();
  // Typing into the box is refused; picking from the list still works.
  void setLocked(bool locked);
  QComboBox* comboBox() const { return m_combo; }

 signals:
  void Click();

 protected:
  std::optional<QString> translatableText() const override { return Text(); }
  bool setTranslatableText(const QString& text) override {
    setText(text);
    return true;
  }

 private:
  QComboBox* m_combo;
};
