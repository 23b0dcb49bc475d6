#pragma once
// A captioned frame that groups controls; their positions are relative to it.
#include "app/outside/unicontrol.h"

class QGroupBox;

class UniFrame : public UniControl {
  Q_OBJECT

 public:
  explicit UniFrame(QWidget* parent);

  QString Caption() const;
  void setCaption(const QString& caption);
  // The parent for the controls inside the frame.
  QWidget* container() const;

 protected:
  std::optional<QString> translatableCaption() const override { return Caption(); }
  bool setTranslatableCaption(const QString& caption) override {
    setCaption(caption);
    return true;
  }

 private:
  QGroupBox* m_group;
};
