#pragma once
// A check-style button used as a push button: a caption, a click event and a
// Value (1 pressed in, 0 up). Click handlers set Value to 0 first so the
// button never stays pressed.
#include "app/outside/unicontrol.h"

class QPushButton;

class UniCheck : public UniControl {
  Q_OBJECT

 public:
  explicit UniCheck(QWidget* parent);

  QString Caption() const;
  void setCaption(const QString& caption);
  int Value() const;
  void setValue(int value);
  QPushButton* button() const { return m_button; }

 signals:
  void Click();

 protected:
  std::optional<QString> translatableCaption() const override { return Caption(); }
  bool setTranslatableCaption(const QString& caption) override {
    setCaption(caption);
    return true;
  }

 private:
  QPushButton* m_button;
};
