#pragma once
// The designer's property editors: one editor a property of the designer's
// table (a check box, a number, a choice or a colour number in hex), showing
// the selected control's value and setting it through the control.
#include <QPointer>
#include <QWidget>

#include <vector>

class aicAlphaImage;
struct DesignerProperty;

class PropertyPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PropertyPanel(QWidget* parent = nullptr);

  // The control edited (may be null: the editors are then disabled).
  void setControl(aicAlphaImage* control);
  // Shows the control's current values again.
  void refresh();
  // The editor of a property, by its name (for tests and the window).
  QWidget* editor(const QString& name) const;

 signals:
  void Edited(const QString& name);

 private:
  QWidget* createEditor(const DesignerProperty& property);
  QWidget* createFlagEditor(const DesignerProperty& property);
  QWidget* createNumberEditor(const DesignerProperty& property);
  QWidget* createChoiceEditor(const DesignerProperty& property);
  void showValue(const DesignerProperty& property, QWidget* editor) const;
  void edit(const DesignerProperty& property, int value);

  QPointer<aicAlphaImage> m_control;
  std::vector<std::pair<const DesignerProperty*, QWidget*>> m_editors;
  bool m_refreshing = false;
};
