#pragma once
// How the language machinery reaches a window and its controls without knowing
// their kinds. A control may have a caption, a text, both or neither; every
// control has a Tag. A property the control does not have reads as nullopt and
// refuses assignment (returns false), so a walk over all controls can skip it.
#include <QString>
#include <optional>
#include <vector>

class Translatable {
 public:
  virtual ~Translatable() = default;

  virtual std::optional<QString> Caption() const { return std::nullopt; }
  virtual bool setCaption(const QString&) { return false; }
  virtual std::optional<QString> Text() const { return std::nullopt; }
  virtual bool setText(const QString&) { return false; }
  virtual QString Tag() const = 0;
  virtual void setTag(const QString& tag) = 0;
};

// A window whose controls take part in translation: its own caption and Tag,
// and its controls in one fixed collection order.
class TranslatableWindow {
 public:
  virtual ~TranslatableWindow() = default;

  virtual QString windowName() const = 0;
  virtual QString Caption() const = 0;
  virtual void setCaption(const QString& caption) = 0;
  virtual QString Tag() const = 0;
  virtual void setTag(const QString& tag) = 0;
  virtual std::vector<Translatable*> translatableControls() const = 0;
};
