#include "propertypanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSignalBlocker>
#include <QSpinBox>

#include "designerproperties.h"
#include "image/control/aicalphaimage.h"

PropertyPanel::PropertyPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PropertyPanel"));
  auto* form = new QFormLayout(this);
  for (const DesignerProperty& property : designerProperties()) {
    QWidget* editor = createEditor(property);
    editor->setObjectName(property.name);
    form->addRow(property.name, editor);
    m_editors.emplace_back(&property, editor);
  }
  setControl(nullptr);
}

QWidget* PropertyPanel::createEditor(const DesignerProperty& property) {
  switch (property.kind) {
    case DesignerProperty::Kind::Flag:
      return createFlagEditor(property);
    case DesignerProperty::Kind::Choice:
      return createChoiceEditor(property);
    case DesignerProperty::Kind::Number:
    case DesignerProperty::Kind::Colour:
      return createNumberEditor(property);
  }
  return createNumberEditor(property);
}

QWidget* PropertyPanel::createFlagEditor(const DesignerProperty& property) {
  auto* box = new QCheckBox(this);
  connect(box, &QCheckBox::toggled, this,
          [this, &property](bool on) { edit(property, on ? 1 : 0); });
  return box;
}

QWidget* PropertyPanel::createNumberEditor(const DesignerProperty& property) {
  auto* spin = new QSpinBox(this);
  spin->setRange(property.minimum, property.maximum);
  if (property.kind == DesignerProperty::Kind::Colour) {
    // Colour numbers read best in hex: 0x00BBGGRR.
    spin->setDisplayIntegerBase(16);
    spin->setPrefix(QStringLiteral("0x"));
  }
  connect(spin, &QSpinBox::valueChanged, this,
          [this, &property](int value) { edit(property, value); });
  return spin;
}

QWidget* PropertyPanel::createChoiceEditor(const DesignerProperty& property) {
  auto* combo = new QComboBox(this);
  combo->addItems(property.choices);
  connect(combo, &QComboBox::currentIndexChanged, this,
          [this, &property](int index) { edit(property, property.minimum + index); });
  return combo;
}

void PropertyPanel::setControl(aicAlphaImage* control) {
  m_control = control;
  for (const auto& [property, editor] : m_editors) editor->setEnabled(control != nullptr);
  refresh();
}

QWidget* PropertyPanel::editor(const QString& name) const {
  for (const auto& [property, editor] : m_editors) {
    if (property->name == name) return editor;
  }
  return nullptr;
}

void PropertyPanel::refresh() {
  if (!m_control) return;
  m_refreshing = true;
  for (const auto& [property, editor] : m_editors) showValue(*property, editor);
  m_refreshing = false;
}

void PropertyPanel::showValue(const DesignerProperty& property, QWidget* editor) const {
  const int value = property.get(*m_control);
  if (auto* box = qobject_cast<QCheckBox*>(editor)) box->setChecked(value != 0);
  if (auto* spin = qobject_cast<QSpinBox*>(editor)) spin->setValue(value);
  if (auto* combo = qobject_cast<QComboBox*>(editor))
    combo->setCurrentIndex(value - property.minimum);
}

void PropertyPanel::edit(const DesignerProperty& property, int value) {
  if (m_refreshing || !m_control) return;
  property.set(*m_control, value);
  // The control may refuse or change a value (its set rules): show what it kept.
  refresh();
  emit Edited(property.name);
}
