#pragma once
// A label: a caption that wraps at word boundaries inside its rectangle, and a
// click event (the help link is a label).
#include "app/outside/unicontrol.h"

class QLabel;

class UniLabel : public UniControl {
  Q_OBJECT

 public:
  explicit UniLabel(QWidget* parent);

  QString Caption() const;
  void setCaption(const QString& caption);
  QLabel* label() const { return m_label; }

 signals:
  void Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  std::optional<QString> translatableCaption() const override { return Caption(); }
  bool setTranslatableCaption(const QString& caption) override {
    setCaption(caption);
    return true;
  }

 private:
  QLabel* m_label;
};
