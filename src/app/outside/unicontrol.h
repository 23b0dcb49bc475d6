#pragma once
// What every window control offers: visibility, enabled state, a Tag string
// and focus. The Tag lives as the dynamic property "Tag" on the control's
// QWidget, so that the anchor control, which only sees widgets, reads and
// rewrites the same string.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "platform/translatable.h"

inline constexpr const char* kTagProperty = "Tag";

class UniControl : public QObject {
  Q_OBJECT

 public:
  // The widget belongs to its Qt parent; the adapter never deletes it.
  explicit UniControl(QWidget* widget);
  ~UniControl() override;

  QWidget* widget() const { return m_widget; }

  bool Visible() const;
  void setVisible(bool visible);
  bool Enabled() const;
  void setEnabled(bool enabled);
  QString Tag() const;
  void setTag(const QString& tag);
  void SetFocus();

  // The control as the language machinery sees it: its optional caption and
  // text, and its Tag.
  Translatable* translatable() const { return &m_translatable; }

 protected:
  // Adapters with a caption or a text override the pair they have.
  virtual std::optional<QString> translatableCaption() const { return std::nullopt; }
  virtual bool setTranslatableCaption(const QString&) { return false; }
  virtual std::optional<QString> translatableText() const { return std::nullopt; }
  virtual bool setTranslatableText(const QString&) { return false; }

 private:
  class Facet final : public Translatable {
   public:
    explicit Facet(UniControl& control) : m_control(control) {}
    std::optional<QString> Caption() const override { return m_control.translatableCaption(); }
    bool setCaption(const QString& caption) override {
      return m_control.setTranslatableCaption(caption);
    }
    std::optional<QString> Text() const override { return m_control.translatableText(); }
    bool setText(const QString& text) override { return m_control.setTranslatableText(text); }
    QString Tag() const override { return m_control.Tag(); }
    void setTag(const QString& tag) override { m_control.setTag(tag); }

   private:
    UniControl& m_control;
  };

  QPointer<QWidget> m_widget;
  // Reaching a control for translation does not change the adapter itself.
  mutable Facet m_translatable{*this};
};

// The key code a key press reports to key handlers (46 = Delete, 13 = Enter,
// letters and digits as their upper-case character), or 0 for keys without one.
int windowsKeyCode(int qtKey);
