#pragma once
// PropertyBag: the saved design-time state of one control, as named values
// that keep their stored type (boolean, 16-bit or 32-bit integer, 32-bit
// float, bytes or a picture). Controls read each property with its default and
// write it with its default; a value equal to its default is not kept, so a
// control left at its defaults stores nothing. Keys keep the order in which
// they were first written, so a saved form reads the same every time.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

// A picture property (a mouse icon, say): the bytes of an image file; empty
// bytes stand for "no picture".
struct StoredPicture {
  QByteArray fileBytes;
  bool operator==(const StoredPicture&) const = default;
};

// The stored types, in the order of their type codes in a form data file.
using PropertyValue = std::variant<bool, int16_t, int32_t, float, QByteArray, StoredPicture>;

class PropertyBag {
 public:
  // The stored value, or defaultValue when the key is absent or was stored with
  // another type (a saved form never changes a property's type).
  template <class T>
  T ReadProperty(const QString& name, const T& defaultValue) const {
    const PropertyValue* stored = find(name);
    if (stored == nullptr) return defaultValue;
    if (const T* typed = std::get_if<T>(stored)) return *typed;
    return defaultValue;
  }

  // Keeps value under name; a value equal to defaultValue removes the key.
  // Floats compare by bit pattern, so -0 and NaN payloads survive a round trip.
  template <class T>
  void WriteProperty(const QString& name, const T& value, const T& defaultValue) {
    if (sameValue(PropertyValue(value), PropertyValue(defaultValue))) {
      remove(name);
    } else {
      set(name, PropertyValue(value));
    }
  }

  // Raw access for the file format and the designer.
  const PropertyValue* find(const QString& name) const;
  void set(const QString& name, PropertyValue value);
  void remove(const QString& name);
  bool contains(const QString& name) const { return find(name) != nullptr; }
  void clear() { m_entries.clear(); }
  bool isEmpty() const { return m_entries.empty(); }
  const std::vector<std::pair<QString, PropertyValue>>& entries() const { return m_entries; }

  // Same keys in the same order with the same types and bit-identical values.
  bool operator==(const PropertyBag& other) const;

  // Type and bit-pattern equality (floats by their bits).
  static bool sameValue(const PropertyValue& a, const PropertyValue& b);

 private:
  std::vector<std::pair<QString, PropertyValue>> m_entries;
};
